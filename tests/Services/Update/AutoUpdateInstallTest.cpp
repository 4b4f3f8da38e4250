#include "Services/Update/InstalledCopy.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/FullDisk.h"
#include "Support/StreamingHttpServer.h"
#include "UpdateFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

using Response = TestHttpServer::Response;

class AutoUpdateInstall : public UpdateFixture {
protected:
    // Checks (finding 2.0.0) and downloads; drives until the updater rests.
    bool update() {
        serveVersion("2.0.0");
        start();
        if (!check()) {
            return false;
        }
        manager().downloadAndInstallUpdate();
        return settle();
    }
    // An archive of one copy of version, as the packaging script makes it.
    QByteArray package(const QString& version) {
        writeCopy(staging() + "/Ordella", version);
        return archive({"Ordella"});
    }
    QString installedVersion() const { return InstalledCopy::version(installed()).value_or("(none)"); }
    bool leftovers() const {
        return QDir(place()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden) !=
               QStringList{"Ordella"};
    }
    // Private download folders still in $TMPDIR.
    QStringList downloadFolders() const {
        return QDir(temporary()).entryList({"ordella-update-*"}, QDir::Dirs | QDir::Hidden);
    }
    QString address(const QString& version) {
        return server().url("/downloads/Ordella" + version + ".tar.gz");
    }
};

TEST_F(AutoUpdateInstall, DownloadsInstallsOverTheRunningCopyAndRestarts) {
    // Two copies in the archive: the first listed that holds the program is installed. A random
    // payload makes the download long enough to report progress.
    QByteArray payload(256 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(payload.data()), payload.size() / 4);
    QDir().mkpath(staging() + "/Docs");
    writeCopy(staging() + "/Zed", "2.0.0");
    writeCopy(staging() + "/Alpha", "2.0.0-other");
    QFile padding(staging() + "/Zed/share/ordella/padding");
    ASSERT_TRUE(padding.open(QIODevice::WriteOnly));
    padding.write(payload);
    padding.close();
    serveArchive("2.0.0", archive({"Docs", "Zed", "Alpha"}));
    // Planted where a fixed-name download would go: never followed.
    const QString victim = temporary() + "/victim";
    QFile(victim).open(QIODevice::WriteOnly);
    QFile::link(victim, temporary() + "/" + AutoUpdateManager::downloadFileName());
    QString savedTo;
    QFile::Permissions folderPermissions;
    serveVersion("2.0.0");
    start();
    QObject::connect(&manager(), &AutoUpdateManager::updateStateChanged, &manager(), [&] {
        if (manager().updateState() == UpdateState::installing()) {
            savedTo = manager().downloadedFilePath();
            folderPermissions = QFileInfo(QFileInfo(savedTo).absolutePath()).permissions();
        }
    });
    prompts().queueAlertAnswer(0);
    ASSERT_TRUE(check());
    manager().downloadAndInstallUpdate();
    ASSERT_TRUE(settle());

    EXPECT_EQ(manager().updateState(), UpdateState::readyToInstall());
    QList<double> progress;
    for (const UpdateState& s : states()) {
        if (s.kind() == UpdateState::Kind::downloading) {
            progress << s.progress();
        }
    }
    ASSERT_GE(progress.size(), 2);
    EXPECT_EQ(progress.first(), 0.0);
    EXPECT_EQ(progress.last(), 1.0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(states().mid(states().size() - 2),
              QList<UpdateState>({UpdateState::installing(), UpdateState::readyToInstall()}));

    // Saved in a folder of this user's own, then deleted; the planted link was left alone.
    const QFileInfo folder(QFileInfo(savedTo).absolutePath());
    EXPECT_NE(folder.absoluteFilePath(), QFileInfo(temporary()).absoluteFilePath());
    EXPECT_EQ(folderPermissions & 0x0077, 0) << std::oct << folderPermissions;
    EXPECT_FALSE(QFile::exists(savedTo));
    EXPECT_FALSE(folder.exists());
    EXPECT_EQ(QFileInfo(victim).size(), 0);
    EXPECT_TRUE(manager().downloadedFilePath().isEmpty());

    // The new copy is in place, nothing else is left beside it.
    EXPECT_EQ(installedVersion(), "2.0.0");
    EXPECT_TRUE(QFile::exists(installed() + "/share/ordella/padding"));
    EXPECT_FALSE(leftovers());

    ASSERT_EQ(prompts().shownAlerts().size(), 1);
    const AlertRequest& alert = prompts().shownAlerts().first();
    EXPECT_EQ(alert.style, AlertRequest::Style::Informational);
    EXPECT_EQ(alert.messageText, "Update Complete");
    EXPECT_EQ(alert.informativeText, "The update has been installed successfully. The app will now restart.");
    EXPECT_EQ(alert.buttons, QStringList{"Restart Now"});
    EXPECT_TRUE(quitCalled());
    ASSERT_TRUE(waitForStart());
    EXPECT_TRUE(server().requests().contains("/started?version=2.0.0&replaces=" +
                                             QString::number(QCoreApplication::applicationPid())));
}

TEST_F(AutoUpdateInstall, ADismissedRestartAlertLeavesTheRestartToTheUser) {
    writeCopy(staging() + "/Ordella", "2.0.0");
    serveArchive("2.0.0", archive({"Ordella"}));
    serveVersion("2.0.0");
    start();
    manager().restartIntoUpdate();
    EXPECT_FALSE(quitCalled()) << "nothing is installed yet";
    prompts().queueAlertAnswer(-1);
    ASSERT_TRUE(check());
    manager().downloadAndInstallUpdate();
    ASSERT_TRUE(settle());
    EXPECT_EQ(manager().updateState(), UpdateState::readyToInstall());
    EXPECT_FALSE(quitCalled());
    manager().restartIntoUpdate();
    EXPECT_TRUE(quitCalled());
    ASSERT_TRUE(waitForStart());
}

TEST_F(AutoUpdateInstall, ADownloadThatFailsTwiceGivesTheAddress) {
    server().route("/downloads/Ordella2.0.0.tar.gz", {Response::truncated({})});
    ASSERT_TRUE(update());
    EXPECT_EQ(manager().updateState(), UpdateState::failedAfterRetry(address("2.0.0")));
    EXPECT_EQ(server().count("/downloads/Ordella2.0.0.tar.gz"), 2);
    EXPECT_EQ(clock().elapsed(), std::chrono::seconds(1));
    EXPECT_EQ(states().mid(1),
              QList<UpdateState>({UpdateState::updateAvailable("2.0.0"), UpdateState::downloading(0),
                                  UpdateState::failedAfterRetry(address("2.0.0"))}));
    EXPECT_EQ(installedVersion(), "1.9.9");
    // Only an offered update is downloaded.
    manager().downloadAndInstallUpdate();
    EXPECT_EQ(manager().updateState(), UpdateState::failedAfterRetry(address("2.0.0")));
}

TEST_F(AutoUpdateInstall, FailedInstallationsRetryFromTheSameFileAndShareTheCount) {
    DiagnosticsCapture diagnostics;
    // The archive holds 2.0.1 where 2.0.0 was offered: refused twice, from one download.
    serveArchive("2.0.0", package("2.0.1"));
    ASSERT_TRUE(update());
    EXPECT_EQ(manager().updateState(), UpdateState::failedAfterRetry(address("2.0.0")));
    EXPECT_EQ(server().count("/downloads/Ordella2.0.0.tar.gz"), 1);
    EXPECT_EQ(diagnostics.lines().size(), 2);
    EXPECT_TRUE(diagnostics.lines().value(0).startsWith("[AutoUpdateManager.installUpdate] AutoUpdate 8: "));
    EXPECT_EQ(installedVersion(), "1.9.9");
    EXPECT_FALSE(leftovers());

    // A download that fails once and then succeeds, followed by a failed installation: at once.
    serveArchive("2.0.0", package("2.0.1"), {Response::truncated("x")});
    ASSERT_TRUE(update());
    EXPECT_EQ(manager().updateState(), UpdateState::failedAfterRetry(address("2.0.0")));
    EXPECT_EQ(server().count("/downloads/Ordella2.0.0.tar.gz"), 3);
    EXPECT_EQ(diagnostics.lines().size(), 3);
}

TEST_F(AutoUpdateInstall, HostileArchivesAreRefusedAndChangeNothing) {
    DiagnosticsCapture diagnostics;
    writeCopy(staging() + "/Ordella", "2.0.0");
    QDir().mkpath(staging() + "/evil");
    QFile::link("/", staging() + "/Ordella/root");
    QFile::link("../../escaped", staging() + "/Ordella/up");
    const QString outside = place() + "/escaped";
    struct Row {
        const char* what;
        QStringList arguments;
    };
    const QList<Row> rows = {
        {"a ../ entry", {"--transform=s,^evil,../escaped,", "Ordella", "evil"}},
        {"an absolute name", {"--absolute-names", "Ordella", staging() + "/evil"}},
        {"a link to an absolute path", {"Ordella/bin", "Ordella/share", "Ordella/root"}},
        {"a link that climbs out", {"Ordella/bin", "Ordella/share", "Ordella/up"}},
    };
    for (const Row& row : rows) {
        diagnostics.clear();
        serveArchive("2.0.0", archive(row.arguments));
        ASSERT_TRUE(update());
        EXPECT_EQ(manager().updateState(), UpdateState::failedAfterRetry(address("2.0.0"))) << row.what;
        EXPECT_TRUE(diagnostics.lines().value(0).contains("AutoUpdate 7: "))
            << row.what << diagnostics.lines().value(0).toStdString();
        EXPECT_EQ(installedVersion(), "1.9.9") << row.what;
        EXPECT_FALSE(QFileInfo::exists(outside)) << row.what;
        EXPECT_FALSE(leftovers()) << row.what;
    }
}

// Only an archive whose signature, as the version document gives it, verifies with the build's key
// is installed: any other is refused before anything of it is unpacked (tar never runs), tried once
// more from the same file, and leaves the installed copy as it was.
TEST_F(AutoUpdateInstall, OnlyArchivesSignedWithTheBuildsKeyAreUnpacked) {
    const QString tools = staging() + "/recording-tools";
    const QString runs = staging() + "/tar-runs";
    QDir().mkpath(tools);
    QFile tar(tools + "/tar");
    ASSERT_TRUE(tar.open(QIODevice::WriteOnly));
    tar.write("#!/bin/sh\necho run >> '" + runs.toUtf8() + "'\nexec /usr/bin/tar \"$@\"\n");
    tar.setPermissions(tar.permissions() | QFile::ExeOwner);
    tar.close();
    const QByteArray path = qgetenv("PATH");

    const QByteArray other = package("2.0.1");
    // The right version, and a program that is a short shell script.
    const QByteArray genuine = package("2.0.0");
    QByteArray tampered = genuine;
    tampered[tampered.size() / 2] = static_cast<char>(tampered[tampered.size() / 2] ^ 1);
    const TestSigningKey stranger;
    struct Row {
        const char* what;
        QByteArray served;
        QString signature; // empty: the version document has none
        bool buildHasKey = true;
        bool installs = false;
    };
    const QList<Row> rows = {
        {"no signature", genuine, {}},
        {"signed with another key", genuine, stranger.sign(genuine)},
        {"the signature of another archive", genuine, key().sign(other)},
        {"changed after signing", tampered, key().sign(genuine)},
        {"a signature that is not base64", genuine, "not a signature!"},
        {"a cut signature", genuine, key().sign(genuine).left(40)},
        {"a build without a key", genuine, key().sign(genuine), false},
        {"signed with the build's key", genuine, key().sign(genuine), true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        DiagnosticsCapture diagnostics;
        QFile::remove(runs);
        const int downloadsBefore = server().count("/downloads/Ordella2.0.0.tar.gz");
        serveArchive("2.0.0", row.served);
        setSignature("2.0.0", row.signature);
        serveVersion("2.0.0");
        AutoUpdateManager::Configuration c = configuration();
        if (!row.buildHasKey) {
            c.publicKey.clear();
        }
        start(c);
        prompts().queueAlertAnswer(-1);
        ASSERT_TRUE(check());
        qputenv("PATH", QFile::encodeName(tools) + ":" + path);
        manager().downloadAndInstallUpdate();
        const bool settled = settle();
        qputenv("PATH", path);
        ASSERT_TRUE(settled);
        EXPECT_EQ(server().count("/downloads/Ordella2.0.0.tar.gz") - downloadsBefore, 1);
        EXPECT_FALSE(leftovers());
        EXPECT_EQ(downloadFolders(), QStringList());
        if (row.installs) {
            EXPECT_EQ(manager().updateState(), UpdateState::readyToInstall());
            EXPECT_EQ(installedVersion(), "2.0.0");
            EXPECT_TRUE(QFile::exists(runs));
            continue;
        }
        EXPECT_EQ(manager().updateState(), UpdateState::failedAfterRetry(address("2.0.0")));
        EXPECT_EQ(diagnostics.lines().size(), 2) << diagnostics.lines().join("\n").toStdString();
        EXPECT_TRUE(
            diagnostics.lines().value(0).startsWith("[AutoUpdateManager.installUpdate] AutoUpdate 11: "))
            << diagnostics.lines().value(0).toStdString();
        EXPECT_EQ(installedVersion(), "1.9.9");
        EXPECT_FALSE(QFile::exists(runs)) << "tar ran on an archive that was not verified";
        EXPECT_FALSE(quitCalled());
    }
}

TEST_F(AutoUpdateInstall, OnlyADedicatedInstalledCopyIsReplaced) {
    DiagnosticsCapture diagnostics;
    serveArchive("2.0.0", package("2.0.0"));
    // The user's own file in the folder: a shared prefix, not Ordella's own folder.
    QFile(installed() + "/share/notes.txt").open(QIODevice::WriteOnly);
    ASSERT_TRUE(update());
    EXPECT_EQ(manager().updateState(), UpdateState::failedAfterRetry(address("2.0.0")));
    EXPECT_TRUE(diagnostics.lines().value(0).contains(
        "AutoUpdate 9: The folder holds more than Ordella's own files"));
    EXPECT_EQ(installedVersion(), "1.9.9");
    EXPECT_TRUE(QFile::exists(installed() + "/share/notes.txt"));
}

TEST_F(AutoUpdateInstall, DownloadAddressAndSaveFailures) {
    serveVersion("2.0.0");
    AutoUpdateManager::Configuration c = configuration();
    c.downloadBase = "http://updates.ordella.app/Ordella";
    start(c);
    ASSERT_TRUE(check());
    manager().downloadAndInstallUpdate();
    EXPECT_EQ(manager().updateState(), UpdateState::error("Invalid download URL"));

    // No private temporary folder can be made.
    serveArchive("2.0.0", package("2.0.0"));
    QFile blocker(temporary() + "/file");
    blocker.open(QIODevice::WriteOnly);
    qputenv("TMPDIR", QFile::encodeName(blocker.fileName()));
    ASSERT_TRUE(update());
    EXPECT_EQ(manager().updateState(),
              UpdateState::error("Failed to save download: No private temporary folder"));
    EXPECT_EQ(installedVersion(), "1.9.9");

    // A disk that fills up during the download.
    qputenv("TMPDIR", QFile::encodeName(temporary()));
    FullDisk disk(FullDisk::Kind::simulated);
    disk.fill(100);
    ASSERT_TRUE(update());
    EXPECT_EQ(manager().updateState(),
              UpdateState::error("Failed to save download: No space left on device"));
    EXPECT_EQ(installedVersion(), "1.9.9");
}

// Too large a download, too large an archive once unpacked, a tar that does not end, or a download
// that does not end: each is stopped and fails like any other update, and nothing of it stays on
// disk.
TEST_F(AutoUpdateInstall, BoundsStopOversizedOrEndlessUpdates) {
    const QString slowTools = staging() + "/slow-tools";
    QDir().mkpath(slowTools);
    QFile tar(slowTools + "/tar");
    ASSERT_TRUE(tar.open(QIODevice::WriteOnly));
    tar.write("#!/bin/sh\nexec sleep 30\n");
    tar.setPermissions(tar.permissions() | QFile::ExeOwner);
    tar.close();
    const QByteArray path = qgetenv("PATH");

    struct Row {
        const char* what;
        UpdateLimits limits;
        bool slowTar;
        int downloads;
        QString diagnostic;
        // The server sends the archive a byte every 20 s; the virtual time the whole update takes.
        bool trickle = false;
        std::chrono::milliseconds took{0};
        // The archive comes without a length, as fast as it is taken, from endless.
        bool endlessServer = false;
        // The disk is full: the download stops at once with the write's failure.
        bool fullDisk = false;
    };
    StreamingHttpServer endless("", qint64(256) << 20);
    const QList<Row> rows = {
        {"download",
         {4000, qint64(2) << 30, std::chrono::seconds(120)},
         false,
         2,
         "[AutoUpdateManager.download] The update is larger than 4000 bytes; the download was stopped"},
        {"unpacked",
         {qint64(512) << 20, 100'000, std::chrono::seconds(120)},
         false,
         1,
         "AutoUpdate 7: The update archive unpacks to 262"},
        {"tar",
         {qint64(512) << 20, qint64(2) << 30, std::chrono::milliseconds(200)},
         true,
         1,
         "AutoUpdate 3: Failed to mount DMG: tar took longer than 0.2 s and was stopped"},
        {"slow download",
         {qint64(512) << 20, qint64(2) << 30, std::chrono::seconds(120), qint64(1) << 20,
          std::chrono::seconds(30), std::chrono::minutes(10)},
         false,
         2,
         "[AutoUpdateManager.download] The download took longer than 600 s",
         true,
         std::chrono::minutes(20) + std::chrono::seconds(1)},
        {"download without a length",
         {qint64(1) << 20, qint64(2) << 30, std::chrono::seconds(120)},
         false,
         2,
         "[AutoUpdateManager.download] The update is larger than 1048576 bytes; the download was stopped",
         false,
         {},
         true},
        {"download onto a full disk", {}, false, 1, {}, false, {}, true, true},
    };
    // Random bytes: the archive stays about as large as its files.
    QByteArray payload(256 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(payload.data()), payload.size() / 4);
    writeCopy(staging() + "/Ordella", "2.0.0");
    QFile padding(staging() + "/Ordella/share/ordella/padding");
    ASSERT_TRUE(padding.open(QIODevice::WriteOnly));
    padding.write(payload);
    padding.close();
    const QByteArray body = archive({"Ordella"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        DiagnosticsCapture diagnostics;
        const int downloadsBefore = server().count("/downloads/Ordella2.0.0.tar.gz");
        serveArchive("2.0.0", body);
        if (row.trickle) {
            server().route("/downloads/Ordella2.0.0.tar.gz",
                           {Response::trickled(body, std::chrono::seconds(20))});
        }
        serveVersion("2.0.0");
        AutoUpdateManager::Configuration c = configuration();
        c.limits = row.limits;
        if (row.endlessServer) {
            c.downloadBase = endless.url("/downloads/Ordella");
        }
        start(c);
        ASSERT_TRUE(check());
        if (row.slowTar) {
            qputenv("PATH", QFile::encodeName(slowTools) + ":" + path);
        }
        std::optional<FullDisk> disk;
        if (row.fullDisk) {
            disk.emplace(FullDisk::Kind::simulated);
            disk->fill(100);
        }
        const auto before = clock().elapsed();
        const qint64 sentBefore = endless.sent();
        const int requestsBefore = endless.requests();
        manager().downloadAndInstallUpdate();
        const bool settled = settle();
        qputenv("PATH", path);
        disk.reset();
        ASSERT_TRUE(settled);
        EXPECT_EQ(manager().updateState(),
                  row.fullDisk ? UpdateState::error("Failed to save download: No space left on device")
                               : UpdateState::failedAfterRetry(manager().downloadURL()));
        EXPECT_EQ(manager().downloadURL(),
                  row.endlessServer ? endless.url("/downloads/Ordella2.0.0.tar.gz") : address("2.0.0"));
        EXPECT_EQ(row.endlessServer ? endless.requests() - requestsBefore
                                    : server().count("/downloads/Ordella2.0.0.tar.gz") - downloadsBefore,
                  row.downloads);
        if (row.endlessServer) {
            ASSERT_TRUE(endless.waitUntilIdle(std::chrono::seconds(30)));
            // Each try stopped near the bound, long before the endless body's end.
            EXPECT_LT(endless.sent() - sentBefore,
                      row.downloads * ((1 << 20) + StreamingHttpServer::readAhead()));
        }
        if (row.trickle || row.fullDisk) {
            EXPECT_EQ(clock().elapsed() - before, row.took);
        }
        EXPECT_TRUE(row.diagnostic.isEmpty() ||
                    std::any_of(diagnostics.lines().begin(), diagnostics.lines().end(),
                                [&](const QString& line) { return line.contains(row.diagnostic); }))
            << diagnostics.lines().join("\n").toStdString();
        EXPECT_EQ(installedVersion(), "1.9.9");
        EXPECT_FALSE(leftovers());
        EXPECT_EQ(downloadFolders(), QStringList());
    }
}

} // namespace
