// A browser's session is asked for every fifth of a second while a script waits for it: the
// profile is looked for once per script, its newest file at every read, and a file is parsed again
// only when it changed.
#include "Platform/Linux/ChromiumSessionReader.h"
#include "Platform/Linux/ChromiumProfile.h"
#include "Support/ChromiumSessionFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace {

TEST(ChromiumSessionReaderTest, ParsesAFileAgainOnlyWhenItChangedAndLooksForItOncePerScript) {
    QTemporaryDir profile;
    ASSERT_TRUE(profile.isValid());
    ASSERT_TRUE(QDir(profile.path()).mkpath(QStringLiteral("Sessions")));
    const auto path = [&](const char* name) { return profile.filePath(QStringLiteral("Sessions/") + name); };
    const auto write = [&](const char* name, const QStringList& urls) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ChromiumSessionFile().window(1, QRect(10, 20, 800, 600), urls, 0).data());
    };
    const auto age = [&](const char* name, int hours) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(hours * 3600),
                         QFileDevice::FileModificationTime);
    };

    int locates = 0;
    int parses = 0;
    std::optional<QDateTime> startedAt;
    ChromiumSessionReader reader(
        [&](qint32, const QString&) {
            ++locates;
            return ChromiumSessionReader::Location{profile.path(), startedAt};
        },
        [&](const QString& file, QString* problem) {
            ++parses;
            return ChromiumSession::readFile(file, problem);
        });

    struct Step {
        const char* what;
        std::function<void()> change;
        int locates;
        int parses;
        // The first tab's address; empty when no session is read.
        QString firstUrl;
    };
    const QString a = QStringLiteral("https://a.example/");
    const QString b = QStringLiteral("https://b.example/");
    const QList<Step> steps = {
        {"first read", [&] { write("Session_1", {a}); }, 1, 1, a},
        {"same file again", [] {}, 1, 1, a},
        {"a tab added",
         [&] {
             write("Session_1", {a, b});
         },
         1, 2, a},
        {"same size, later time",
         [&] {
             write("Session_1", {b, a});
             age("Session_1", 1);
         },
         1, 3, b},
        {"next script, file unchanged", [&] { reader.forgetLocations(); }, 2, 3, b},
        {"the browser moved to a new file",
         [&] {
             write("Session_2", {a});
             QFile::remove(path("Session_1"));
         },
         2, 4, a},
        {"no file at all", [&] { QFile::remove(path("Session_2")); }, 2, 4, QString()},
        {"still none", [] {}, 2, 4, QString()},
        {"a file appears within the script", [&] { write("Session_3", {a}); }, 2, 5, a},
        {"a newer file appears beside it",
         [&] {
             write("Session_4", {b});
             age("Session_4", 2);
         },
         2, 6, b},
        {"the old file changes again: the newer one stays",
         [&] {
             write("Session_3", {a, b});
             age("Session_3", 1);
         },
         2, 6, b},
        {"a browser started after every file was written: none is its own",
         [&] {
             startedAt = QDateTime::currentDateTimeUtc().addSecs(5 * 3600);
             reader.forgetLocations();
         },
         3, 6, QString()},
        {"until it writes its own",
         [&] {
             write("Session_5", {a});
             age("Session_5", 6);
         },
         3, 7, a},
    };
    for (const Step& step : steps) {
        step.change();
        const ChromiumSessionReader::Result read = reader.read(42, QStringLiteral("browser"));
        EXPECT_EQ(locates, step.locates) << step.what;
        EXPECT_EQ(parses, step.parses) << step.what;
        const QString firstUrl = read.session && !read.session->windows.isEmpty()
                                     ? read.session->windows.first().tabs.value(0).url
                                     : QString();
        EXPECT_EQ(firstUrl, step.firstUrl) << step.what;
        EXPECT_EQ(read.file.isEmpty(), step.firstUrl.isEmpty()) << step.what;
    }
}

// A saved profile comes from a file that may have been imported: only a folder that already holds
// a browser's data, and a profile folder that already exists in it, are named to the browser,
// which would otherwise make whatever folder it is given.
TEST(ChromiumProfileTest, NamesOnlyProfilesThatAlreadyExist) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString data = home.filePath(QStringLiteral("work"));
    ASSERT_TRUE(QDir().mkpath(data + QStringLiteral("/Profile 2")));
    QFile state(data + QStringLiteral("/Local State"));
    ASSERT_TRUE(state.open(QIODevice::WriteOnly));
    state.close();
    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("plain"))));
    const struct {
        const char* name;
        QString userDataDir;
        QString profileDirectory;
        std::optional<QStringList> switches;
    } cases[] = {
        {"the default profile", {}, {}, QStringList()},
        {"a data folder of its own", data, {}, QStringList{QStringLiteral("--user-data-dir=") + data}},
        {"written untidily",
         data + QStringLiteral("/./"),
         {},
         QStringList{QStringLiteral("--user-data-dir=") + data}},
        {"and a profile in it", data, QStringLiteral("Profile 2"),
         QStringList{QStringLiteral("--user-data-dir=") + data,
                     QStringLiteral("--profile-directory=Profile 2")}},
        {"a profile that is not there", data, QStringLiteral("Profile 3"), std::nullopt},
        {"a profile that is a path", data, QStringLiteral("../work/Profile 2"), std::nullopt},
        {"a folder without a browser's data", home.filePath(QStringLiteral("plain")), {}, std::nullopt},
        {"a folder that is not there", home.filePath(QStringLiteral("none")), {}, std::nullopt},
        {"a relative folder", QStringLiteral("work"), {}, std::nullopt},
        {"a line break", data + QStringLiteral("\n"), {}, std::nullopt},
        {"a system folder", QStringLiteral("/etc"), {}, std::nullopt},
        {"a profile that climbs out of the default data folder",
         {},
         QStringLiteral("../../etc"),
         std::nullopt},
    };
    for (const auto& c : cases) {
        QString problem;
        const std::optional<QStringList> switches = ChromiumProfile::profileSwitches(
            c.userDataDir, c.profileDirectory, QStringLiteral("chromium"), &problem);
        EXPECT_EQ(switches, c.switches) << c.name;
        EXPECT_EQ(problem.isEmpty(), c.switches.has_value()) << c.name;
    }
}

} // namespace
