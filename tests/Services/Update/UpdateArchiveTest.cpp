#include "Services/Update/UpdateArchive.h"
#include "Services/Update/InstallSwap.h"
#include "Services/Update/InstalledCopy.h"
#include "Support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

namespace {

using Entry = UpdateArchive::Entry;

TEST(UpdateArchive, ReadsTheVerboseListing) {
    const QByteArray listing =
        "drwxr-xr-x 0/0               0 2026-01-15 09:30 \"Ordella/\"\n"
        "-rw-r--r-- 0/0               1 2026-01-15 09:30 \"Ordella/a \\\"b\\\"\\nc\\303\\251\"\n"
        "lrwxrwxrwx 0/0               0 2026-01-15 09:30 \"Ordella/link\" -> \"bin/ordella\"\n"
        "hrw-r--r-- 0/0               0 2026-01-15 09:30 \"Ordella/hard\" link to \"Ordella/x\"\n"
        "crw-rw-rw- 0/0             1,3 2026-01-15 09:30 \"/dev/null\"\n";
    const std::optional<QList<Entry>> entries = UpdateArchive::parseListing(listing);
    ASSERT_TRUE(entries);
    EXPECT_EQ(*entries, QList<Entry>({{u'd', "Ordella/", {}},
                                      {u'-', QString::fromUtf8("Ordella/a \"b\"\nc\xc3\xa9"), {}},
                                      {u'l', "Ordella/link", "bin/ordella"},
                                      {u'h', "Ordella/hard", "Ordella/x"},
                                      {u'c', "/dev/null", {}}}));
    EXPECT_EQ(UpdateArchive::topLevelNames(*entries), QStringList{"Ordella"});
    for (const char* bad : {"-rw-r--r-- 0/0 1 2026-01-15 09:30 Ordella/unquoted", "-rw \"open",
                            "-rw \"a\\q\"", "lrw \"a\" => \"b\"", "lrw \"a\" -> \"b\" trailing",
                            // No byte above 255: the name checked is the name tar extracts.
                            "-rw \"a\\777\""}) {
        EXPECT_FALSE(UpdateArchive::parseListing(bad)) << bad;
    }

    // Only files take room; a size that does not read makes the whole size unknown, never 0.
    struct SizeRow {
        QByteArray listing;
        std::optional<qint64> size;
    };
    const QList<SizeRow> sizes = {
        {listing, 1},
        {"-rw-r--r-- 0/0 12 2026-01-15 09:30 \"a\"\n-rw-r--r-- 0/0 30 2026-01-15 09:30 \"b\"\n", 42},
        {"-rw-r--r-- 0/0 12x 2026-01-15 09:30 \"a\"\n", std::nullopt},
        {"-rw-r--r-- 0/0 -5 2026-01-15 09:30 \"a\"\n", std::nullopt},
        {"-rw-r--r-- 0/0 9223372036854775807 2026-01-15 09:30 \"a\"\n"
         "-rw-r--r-- 0/0 9223372036854775807 2026-01-15 09:30 \"b\"\n",
         std::numeric_limits<qint64>::max()},
    };
    for (const SizeRow& row : sizes) {
        EXPECT_EQ(UpdateArchive::unpackedSize(row.listing), row.size) << row.listing.toStdString();
    }
}

TEST(UpdateArchive, RefusesEveryEntryThatCouldLeaveTheFolder) {
    struct Row {
        Entry entry;
        bool safe;
    };
    const QList<Row> rows = {
        {{u'-', "Ordella/bin/ordella", {}}, true},
        {{u'd', "./", {}}, true},
        {{u'd', "./Ordella/./share/", {}}, true},
        {{u'l', "Ordella/lib/libx.so", "libx.so.1"}, true},
        {{u'l', "Ordella/current", "./versions/2"}, true},
        {{u'h', "Ordella/copy", "Ordella/bin/ordella"}, true},
        {{u'-', "/etc/passwd", {}}, false},
        {{u'-', "../escaped", {}}, false},
        {{u'-', "Ordella/../../escaped", {}}, false},
        {{u'-', "./", {}}, false},
        {{u'l', "Ordella/root", "/"}, false},
        {{u'l', "Ordella/up", "../.."}, false},
        {{u'l', "Ordella/sideways", "bin/../../x"}, false},
        {{u'l', "Ordella/empty", ""}, false},
        {{u'h', "Ordella/hard", "../x"}, false},
        {{u'h', "Ordella/hard", "/etc/shadow"}, false},
        {{u'p', "Ordella/fifo", {}}, false},
        {{u'c', "Ordella/null", {}}, false},
        {{u'b', "Ordella/disk", {}}, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(UpdateArchive::unsafeEntry({row.entry}).isEmpty(), row.safe)
            << row.entry.name.toStdString() << " -> " << row.entry.linkTarget.toStdString();
    }
}

// A folder standing for an installed copy of version, holding a program and its installation info.
void writeCopy(const QString& folder, const QString& version, const QStringList& extra = {}) {
    QDir().mkpath(folder + "/bin");
    QDir().mkpath(folder + "/share/ordella");
    QFile(folder + "/bin/ordella").open(QIODevice::WriteOnly);
    QFile info(folder + "/share/ordella/install.json");
    info.open(QIODevice::WriteOnly);
    info.write("{\"version\": \"" + version.toUtf8() + "\", \"files\": [\"bin/ordella\"]}");
    for (const QString& file : extra) {
        QFile(folder + "/" + file).open(QIODevice::WriteOnly);
    }
}

TEST(InstalledCopy, OnlyAFolderOfOrdellasOwnFiles) {
    QTemporaryDir place;
    writeCopy(place.filePath("Ordella"), "1.0.0");
    writeCopy(place.filePath("Shared"), "1.0.0", {"share/workspaces.json"});
    writeCopy(place.filePath("Dotted"), "1.0.0", {"bin/.hidden"});
    QDir().mkpath(place.filePath("build"));
    QFile(place.filePath("build/ordella")).open(QIODevice::WriteOnly);
    QFile::link(place.filePath("Ordella"), place.filePath("Linked"));
    struct Row {
        QString program;
        QString folder;
    };
    const QList<Row> rows = {
        {"Ordella/bin/ordella", place.filePath("Ordella")},
        {"build/ordella", {}},
        {"Shared/bin/ordella", {}},
        {"Dotted/bin/ordella", {}},
        {"Linked/bin/ordella", {}},
        {"Missing/bin/ordella", {}},
    };
    for (const Row& row : rows) {
        const InstalledCopy::Location location = InstalledCopy::locate(place.filePath(row.program));
        EXPECT_EQ(location.folder, row.folder) << row.program.toStdString();
        EXPECT_EQ(location.problem.isEmpty(), !row.folder.isEmpty()) << row.program.toStdString();
    }
    EXPECT_EQ(InstalledCopy::version(place.filePath("Ordella")), "1.0.0");
    EXPECT_EQ(InstalledCopy::version(place.filePath("build")), std::nullopt);
}

TEST(InstalledCopy, WhatTheInstallationMakesIsOne) {
    QTemporaryDir place;
    QProcess install;
    install.start("cmake", {"--install", ORDELLA_BINARY_DIR, "--prefix", place.filePath("Ordella")});
    ASSERT_TRUE(install.waitForFinished(60'000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    const InstalledCopy::Location location = InstalledCopy::locate(place.filePath("Ordella/bin/ordella"));
    EXPECT_EQ(location.folder, place.filePath("Ordella")) << location.problem.toStdString();
    EXPECT_EQ(InstalledCopy::version(location.folder), ORDELLA_VERSION);
}

TEST(InstallSwap, NeverLeavesTheUserWithoutAWorkingCopy) {
    QTemporaryDir place;
    const QString installed = place.filePath("Ordella");
    const QString fresh = place.filePath("unpacked/Ordella");
    const auto reset = [&] {
        QDir(installed).removeRecursively();
        QDir(fresh).removeRecursively();
        writeCopy(installed, "1.0.0");
        writeCopy(fresh, "2.0.0");
    };
    const auto version = [](const QString& folder) {
        return InstalledCopy::version(folder).value_or("(none)");
    };

    // A copy that is itself installed as "Ordella.backup" is never taken for an old backup.
    reset();
    const QString backupNamed = place.filePath("Ordella.backup");
    writeCopy(backupNamed, "1.0.0");
    InstallSwap itself(backupNamed);
    EXPECT_FALSE(itself.replace(fresh));
    EXPECT_EQ(version(backupNamed), "1.0.0");
    QDir(backupNamed).removeRecursively();

    // A stale backup goes; the old copy is kept until committed.
    reset();
    writeCopy(place.filePath("Ordella.backup"), "0.9.0");
    InstallSwap swap(installed);
    EXPECT_EQ(swap.backupPath(), place.filePath("Ordella.backup"));
    ASSERT_TRUE(swap.replace(fresh));
    EXPECT_EQ(version(installed), "2.0.0");
    EXPECT_EQ(version(swap.backupPath()), "1.0.0");
    swap.commit();
    EXPECT_FALSE(QFile::exists(swap.backupPath()));

    // Rolled back after a later failure: the old copy is back, the new one where it came from.
    reset();
    InstallSwap undone(installed);
    ASSERT_TRUE(undone.replace(fresh));
    undone.rollback();
    EXPECT_EQ(version(installed), "1.0.0");
    EXPECT_EQ(version(fresh), "2.0.0");
    EXPECT_FALSE(QFile::exists(undone.backupPath()));

    // The new copy cannot be moved in, in the middle of the swap: the old one is put back.
    reset();
    InstallSwap failing(
        installed,
        [&](const QString& from, const QString& to) {
            return from != fresh && InstallSwap::renameInPlace(from, to);
        },
        InstallSwap::noExchange);
    EXPECT_FALSE(failing.replace(fresh));
    EXPECT_EQ(version(installed), "1.0.0");
    EXPECT_TRUE(QFile::exists(installed + "/bin/ordella"));
    EXPECT_FALSE(QFile::exists(failing.backupPath()));
    // Nothing was replaced, so a rollback has nothing to undo and leaves the working copy.
    failing.rollback();
    EXPECT_EQ(version(installed), "1.0.0");
    EXPECT_TRUE(QFile::exists(installed + "/bin/ordella"));

    // The old copy cannot be moved aside: nothing changes.
    InstallSwap stuck(
        installed, [](const QString&, const QString&) { return false; }, InstallSwap::noExchange);
    EXPECT_FALSE(stuck.replace(fresh));
    EXPECT_EQ(version(installed), "1.0.0");
}

// Where the two folders can trade places in one step, the installed path holds a complete copy
// after every single change of the file system, whatever fails after it.
TEST(InstallSwap, TradesPlacesInOneStepWhereTheFileSystemCan) {
    QTemporaryDir place;
    const QString installed = place.filePath("Ordella");
    const QString fresh = place.filePath("unpacked/Ordella");
    const auto version = [](const QString& folder) {
        return InstalledCopy::version(folder).value_or("(none)");
    };
    // An exchange made of renames through a spare name, seen by the file system as one step.
    const auto exchange = [&](const QString& a, const QString& b) {
        const QString spare = place.filePath("spare");
        return InstallSwap::renameInPlace(a, spare) && InstallSwap::renameInPlace(b, a) &&
               InstallSwap::renameInPlace(spare, b);
    };
    struct Row {
        const char* what;
        QString failingFrom; // renames from here fail
        bool replaced;
        QStringList installedAfterEachStep;
    };
    const QList<Row> rows = {
        {"all goes well", {}, true, {"2.0.0", "2.0.0"}},
        {"the old copy cannot be moved to the backup", fresh, false, {"2.0.0", "2.0.0", "1.0.0"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QDir(place.path()).removeRecursively();
        QDir().mkpath(place.path());
        writeCopy(installed, "1.0.0");
        writeCopy(fresh, "2.0.0");
        QStringList seen;
        InstallSwap swap(
            installed,
            [&](const QString& from, const QString& to) {
                const bool moved = from != row.failingFrom && InstallSwap::renameInPlace(from, to);
                seen << version(installed);
                return moved;
            },
            [&](const QString& a, const QString& b) {
                const bool swapped = exchange(a, b);
                seen << version(installed);
                return swapped;
            });
        EXPECT_EQ(swap.replace(fresh), row.replaced);
        EXPECT_EQ(seen, row.installedAfterEachStep);
        if (!row.replaced) {
            EXPECT_EQ(version(fresh), "2.0.0");
            continue;
        }
        EXPECT_EQ(version(swap.backupPath()), "1.0.0");
    }

    // Rolled back in one step: the old copy is back, the new one where it came from.
    QDir(place.path()).removeRecursively();
    QDir().mkpath(place.path());
    writeCopy(installed, "1.0.0");
    writeCopy(fresh, "2.0.0");
    QStringList seen;
    InstallSwap swap(
        installed,
        [&](const QString& from, const QString& to) {
            const bool moved = InstallSwap::renameInPlace(from, to);
            seen << version(installed);
            return moved;
        },
        [&](const QString& a, const QString& b) {
            const bool swapped = exchange(a, b);
            seen << version(installed);
            return swapped;
        });
    ASSERT_TRUE(swap.replace(fresh));
    swap.rollback();
    EXPECT_EQ(seen, QStringList({"2.0.0", "2.0.0", "1.0.0", "1.0.0"}));
    EXPECT_EQ(version(installed), "1.0.0");
    EXPECT_EQ(version(fresh), "2.0.0");
    EXPECT_FALSE(QFile::exists(swap.backupPath()));

    // The real exchange, where this file system offers it.
    QDir(place.path()).removeRecursively();
    QDir().mkpath(place.path());
    writeCopy(installed, "1.0.0");
    writeCopy(fresh, "2.0.0");
    if (InstallSwap::exchangeInPlace(fresh, installed)) {
        EXPECT_EQ(version(installed), "2.0.0");
        EXPECT_EQ(version(fresh), "1.0.0");
    }
}

} // namespace
