#include "Platform/Linux/ChromiumProfile.h"
#include "Support/FifoWriter.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <optional>

namespace {

// A file's lease holder that gives the lease up as soon as an open of another asks for it: an
// open that waits for that ends at once.
int g_leased = -1;
void giveUpLease(int) {
    ::fcntl(g_leased, F_SETLEASE, F_UNLCK);
}

} // namespace

// A profile name comes from the browser's command line or its "Local State" file: only a plain
// folder name below the user-data folder is taken, anything else falls back to the next source
// and finally to "Default".
TEST(ChromiumProfile, TakesOnlyPlainFolderNamesForAProfile) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("Default")));
    const auto localState = [&root](const QByteArray& lastUsed) {
        QFile state(root.filePath(QStringLiteral("Local State")));
        ASSERT_TRUE(state.open(QIODevice::WriteOnly | QIODevice::Truncate));
        state.write(R"({"profile":{"last_used":")" + lastUsed + R"("}})");
    };
    // What stands where "Local State" is expected.
    enum class Kind { file, fifo, linkToFifo, leased };
    const struct {
        const char* switchValue; // nullptr: no --profile-directory
        QByteArray lastUsed;
        const char* profile;
        Kind kind = Kind::file;
    } cases[] = {
        {"Profile 1", "Profile 2", "Profile 1"},
        {nullptr, "Profile 2", "Profile 2"},
        {nullptr, "", "Default"},
        {"../outside", "Profile 2", "Profile 2"},
        {"..", "", "Default"},
        {"a/b", "", "Default"},
        {":/qt-project.org", "Profile 2", "Profile 2"},
        {":", "", "Default"},
        {nullptr, ":/resource", "Default"},
        {nullptr, ":Profile", "Default"},
        {nullptr, "/etc", "Default"},
        {":x", ":y", "Default"},
        // One another program holds a lease on is not waited for.
        {nullptr, "Profile 2", "Default", Kind::leased},
        // Another program's FIFO is never opened (a writer there would hold Ordella until it wrote),
        // whatever it would say, nor one a link leads to.
        {nullptr, "Profile 2", "Default", Kind::fifo},
        {nullptr, "Profile 2", "Default", Kind::linkToFifo},
    };
    for (const auto& c : cases) {
        localState(c.lastUsed);
        const QString statePath = root.filePath(QStringLiteral("Local State"));
        const QString fifoPath =
            c.kind == Kind::linkToFifo ? root.filePath(QStringLiteral("pipe")) : statePath;
        std::optional<FifoWriter> fifo;
        if (c.kind == Kind::fifo || c.kind == Kind::linkToFifo) {
            fifo.emplace(fifoPath, R"({"profile":{"last_used":")" + c.lastUsed + R"("}})");
            ASSERT_TRUE(fifo->made());
        }
        if (c.kind == Kind::linkToFifo) {
            QFile::remove(statePath);
            ASSERT_TRUE(QFile::link(fifoPath, statePath));
        }
        struct sigaction previous {};
        // A file system that takes no lease has the file read as any other.
        bool unleased = false;
        if (c.kind == Kind::leased) {
            struct sigaction release {};
            release.sa_handler = &giveUpLease;
            release.sa_flags = SA_RESTART;
            ASSERT_EQ(::sigaction(SIGIO, &release, &previous), 0);
            g_leased = ::open(QFile::encodeName(statePath).constData(), O_RDONLY | O_CLOEXEC);
            unleased = ::fcntl(g_leased, F_SETLEASE, F_WRLCK) != 0;
        }
        // Whether what stands there is opened at all.
        const int opens = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(::inotify_add_watch(opens, QFile::encodeName(statePath).constData(), IN_OPEN), 0);
        QStringList commandLine{QStringLiteral("/usr/lib/chromium/chromium")};
        if (c.switchValue) {
            commandLine << QStringLiteral("--profile-directory=") + QString::fromUtf8(c.switchValue);
        }
        EXPECT_EQ(ChromiumProfile::profileFolder(root.path(), commandLine),
                  root.filePath(unleased ? QString::fromUtf8(c.lastUsed) : QString::fromUtf8(c.profile)))
            << (c.switchValue ? c.switchValue : "(none)") << " / " << c.lastUsed.toStdString();
        alignas(inotify_event) char events[sizeof(inotify_event) + NAME_MAX + 1];
        const bool opened = ::read(opens, events, sizeof events) > 0;
        ::close(opens);
        EXPECT_FALSE(opened && (c.kind == Kind::fifo || c.kind == Kind::linkToFifo)) << "a FIFO was opened";
        if (c.kind == Kind::leased) {
            ::close(g_leased);
            ::sigaction(SIGIO, &previous, nullptr);
        }
    }
}

// A data folder named on a command line is a path of the file system, made absolute from the
// browser's working folder where it is relative: never one of Qt's built-in resources (":…"),
// never this program's own working folder.
TEST(ChromiumProfile, ReadsADataFolderOnlyAsAnAbsolutePath) {
    const QString config = QStringLiteral("/home/me/.config/chromium");
    const struct {
        const char* switchValue;
        const char* workingFolder;
        const char* folder;
    } cases[] = {
        {"/p/work", "/home/me", "/p/work"},
        {"/p/work/../play/", "", "/p/play"},
        {":work", "/home/me", "/home/me/:work"},
        {":/qt-project.org", "/home/me", "/home/me/:/qt-project.org"},
        {"work", "/srv", "/srv/work"},
        {":work", "", ""},
        {":/qt-project.org", "", ""},
        {"work", "relative", ""},
    };
    for (const auto& c : cases) {
        const QStringList commandLine{QStringLiteral("chromium"),
                                      QStringLiteral("--user-data-dir=") + QString::fromUtf8(c.switchValue)};
        const QString folder =
            ChromiumProfile::userDataFolder(commandLine, config, QString::fromUtf8(c.workingFolder));
        EXPECT_EQ(folder, QString::fromUtf8(c.folder)) << c.switchValue << " in " << c.workingFolder;
        // What cannot be placed has no profile (and no session) at all.
        if (folder.isEmpty()) {
            EXPECT_EQ(ChromiumProfile::profileFolder(folder, commandLine), QString()) << c.switchValue;
        }
    }
    EXPECT_EQ(ChromiumProfile::userDataFolder({QStringLiteral("chromium")}, QStringLiteral("chromium")),
              QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  QStringLiteral("/chromium"));
    // Not even a built-in folder that exists is taken for a profile's.
    ASSERT_TRUE(QDir(QStringLiteral(":/Ordella/Simulated")).exists());
    for (const char* folder : {":/Ordella/Simulated", ":", "relative"}) {
        EXPECT_EQ(ChromiumProfile::profileFolder(QString::fromUtf8(folder), {}), QString()) << folder;
        EXPECT_EQ(ChromiumProfile::newestSessionFile(QString::fromUtf8(folder)), QString()) << folder;
    }
}

// A saved data folder is named to a browser only as a path from the root that holds a browser's
// data; a relative one, or ":…", never is.
TEST(ChromiumProfile, NamesOnlyAbsoluteSavedDataFolders) {
    QTemporaryDir root;
    QFile state(root.filePath(QStringLiteral("Local State")));
    ASSERT_TRUE(state.open(QIODevice::WriteOnly));
    state.close();
    const QString config = QStringLiteral("chromium");
    QString problem;
    EXPECT_EQ(ChromiumProfile::profileSwitches(root.path(), QString(), config, &problem),
              QStringList(QStringLiteral("--user-data-dir=") + root.path()));
    for (const QString& refused : {QStringLiteral(":/Ordella/Simulated"), QStringLiteral(":work"),
                                   QStringLiteral("relative/folder")}) {
        problem.clear();
        EXPECT_EQ(ChromiumProfile::profileSwitches(refused, QString(), config, &problem), std::nullopt)
            << refused.toStdString();
        EXPECT_FALSE(problem.isEmpty()) << refused.toStdString();
    }
}
