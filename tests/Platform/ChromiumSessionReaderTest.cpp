// A browser's session is asked for every fifth of a second while a script waits for it: the file
// is looked for once per script and parsed again only when it changed.
#include "Platform/Linux/ChromiumSessionReader.h"
#include "Platform/Linux/ChromiumProfile.h"
#include "Support/ChromiumSessionFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

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

    int locates = 0;
    int parses = 0;
    ChromiumSessionReader reader(
        [&](qint32, const QString&) {
            ++locates;
            return ChromiumProfile::newestSessionFile(profile.path());
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
             QFile file(path("Session_1"));
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(3600),
                              QFileDevice::FileModificationTime);
         },
         1, 3, b},
        {"next script, file unchanged", [&] { reader.forgetLocations(); }, 2, 3, b},
        {"the browser moved to a new file",
         [&] {
             write("Session_2", {a});
             QFile::remove(path("Session_1"));
         },
         3, 4, a},
        {"no file at all", [&] { QFile::remove(path("Session_2")); }, 4, 4, QString()},
        {"still none: looked for again", [] {}, 5, 4, QString()},
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

} // namespace
