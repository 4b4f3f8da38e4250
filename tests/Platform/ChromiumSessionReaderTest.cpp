// A browser's session is asked for every fifth of a second while a script waits for it: the
// profile is looked for once per script, its newest file at every read, and a file is parsed again
// only when it changed.
#include "Platform/Linux/ChromiumSessionReader.h"
#include "Platform/Linux/ChromiumProfile.h"
#include "Support/ChromiumSessionFile.h"
#include "Support/FifoWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>

#include <qcoro/qcorotask.h>

#include <array>
#include <atomic>
#include <ctime>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <functional>
#include <optional>
#include <thread>

namespace {

// Runs check on a thread of its own on which no file's extended attributes (its ACL) can be read,
// as on a file system that fails to give them; false when the thread cannot be set up so.
bool withAttributesUnreadable(const std::function<void()>& check) {
    bool ran = false;
    std::thread([&check, &ran] {
        sock_filter failing[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_getxattr, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{std::size(failing), failing};
        // Both hold for this thread alone, and end with it.
        ran = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
              ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
        if (ran) {
            check();
        }
    }).join();
    return ran;
}

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

    std::optional<FifoWriter> fifo;
    int locates = 0;
    int parses = 0;
    std::optional<QDateTime> startedAt;
    ChromiumSessionReader reader(
        [&](qint32, const QString&) {
            ++locates;
            return ChromiumSessionReader::Location{profile.path(), startedAt};
        },
        [&](const QString& file, QString* problem, const std::atomic<bool>* stop) {
            ++parses;
            return ChromiumSession::readFile(file, problem, stop);
        },
        {}, &ChromiumSessionReader::atOnce);

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
        {"a link to another program's FIFO looks newer: it is no record, never opened",
         [&] {
             fifo.emplace(profile.filePath(QStringLiteral("pipe")),
                          ChromiumSessionFile().window(1, QRect(10, 20, 800, 600), {a}, 0).data());
             ASSERT_TRUE(QFile::link(profile.filePath(QStringLiteral("pipe")), path("Session_6")));
             const timespec later[2] = {{std::time(nullptr) + 3 * 3600, 0},
                                        {std::time(nullptr) + 3 * 3600, 0}};
             ASSERT_EQ(::utimensat(AT_FDCWD,
                                   QFile::encodeName(profile.filePath(QStringLiteral("pipe"))).constData(),
                                   later, 0),
                       0);
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

// A record is parsed on a worker, as a crafted one can take long: the reads meanwhile give what
// was parsed before at once, and once the parse has ended (settle) the next read gives it.
TEST(ChromiumSessionReaderTest, ParsesOnAWorkerAndGivesWhatWasReadBeforeMeanwhile) {
    QTemporaryDir profile;
    ASSERT_TRUE(QDir(profile.path()).mkpath(QStringLiteral("Sessions")));
    const QString path = profile.filePath(QStringLiteral("Sessions/Session_1"));
    const auto write = [&](const QString& url, int hours) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ChromiumSessionFile().window(1, QRect(10, 20, 800, 600), {url}, 0).data());
        file.flush();
        file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(hours * 3600),
                         QFileDevice::FileModificationTime);
    };
    // A parse on the test's own thread ends at once; one elsewhere waits until the test lets it go.
    QThread* const caller = QThread::currentThread();
    std::atomic<int> parsedHere{0};
    int parses = 0; // started
    QSemaphore go;
    ChromiumSessionReader reader(
        [&](qint32, const QString&) {
            return ChromiumSessionReader::Location{profile.path(), std::nullopt};
        },
        [&](const QString& file, QString* problem, const std::atomic<bool>* stop) {
            if (QThread::currentThread() == caller) {
                ++parsedHere;
            } else {
                go.tryAcquire(1, 60000);
            }
            return ChromiumSession::readFile(file, problem, stop);
        },
        {},
        [&parses](std::function<ChromiumSessionReader::Parsed()> parse) {
            ++parses;
            return ChromiumSessionReader::onWorker(std::move(parse));
        });
    const auto firstUrl = [](const ChromiumSessionReader::Result& read) {
        return read.session && !read.session->windows.isEmpty()
                   ? read.session->windows.first().tabs.value(0).url
                   : QString();
    };
    const QString a = QStringLiteral("https://a.example/");
    const QString b = QStringLiteral("https://b.example/");
    write(a, 0);
    const ChromiumSessionReader::Result first = reader.read(42, QStringLiteral("browser"));
    EXPECT_TRUE(first.reading);
    EXPECT_EQ(firstUrl(first), QString());
    go.release();
    QCoro::waitFor(reader.settle());
    const ChromiumSessionReader::Result read = reader.read(42, QStringLiteral("browser"));
    EXPECT_FALSE(read.reading);
    EXPECT_EQ(firstUrl(read), a);
    // Changed: what was read before, until the new state is read; changed again meanwhile, it is
    // parsed once that parse has ended, never beside it.
    write(b, 1);
    const ChromiumSessionReader::Result changing = reader.read(42, QStringLiteral("browser"));
    EXPECT_TRUE(changing.reading);
    EXPECT_EQ(firstUrl(changing), a);
    write(QStringLiteral("https://c.example/"), 2);
    EXPECT_EQ(firstUrl(reader.read(42, QStringLiteral("browser"))), a);
    EXPECT_EQ(parses, 2);
    go.release();
    QCoro::waitFor(reader.settle());
    EXPECT_TRUE(reader.read(42, QStringLiteral("browser")).reading);
    EXPECT_EQ(parses, 3);
    go.release();
    QCoro::waitFor(reader.settle());
    EXPECT_EQ(firstUrl(reader.read(42, QStringLiteral("browser"))), QStringLiteral("https://c.example/"));
    EXPECT_EQ(parses, 3);
    EXPECT_EQ(parsedHere, 0);
    // Stopped, as when the application quits (Qt waits for its pool): the parse under way ends with
    // nothing.
    write(QStringLiteral("https://d.example/"), 3);
    EXPECT_TRUE(reader.read(42, QStringLiteral("browser")).reading);
    reader.stop();
    go.release();
    QCoro::waitFor(reader.settle());
    const ChromiumSessionReader::Result stopped = reader.read(42, QStringLiteral("browser"));
    EXPECT_FALSE(stopped.session);
    EXPECT_EQ(stopped.problem, QStringLiteral("the read was stopped"));
}

// A saved profile comes from a file that may have been imported: only a folder that already holds
// a browser's data, and a profile folder that already exists in it, are named to the browser,
// which would otherwise make whatever folder it is given; and only folders of this user's that no
// other user may write, in folders no other user may change, as the browser writes cookies there.
TEST(ChromiumProfileTest, NamesOnlyProfilesThatAlreadyExist) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const auto dataFolder = [&home](const QString& name, QFile::Permissions mode) {
        const QString folder = home.filePath(name);
        EXPECT_TRUE(QDir().mkpath(folder));
        QFile state(folder + QStringLiteral("/Local State"));
        EXPECT_TRUE(state.open(QIODevice::WriteOnly));
        EXPECT_TRUE(QFile::setPermissions(folder, mode));
        // As the folder is named once its links are followed.
        return QFileInfo(folder).canonicalFilePath();
    };
    const QFile::Permissions own = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    const QFile::Permissions everyone = own | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                        QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    const QString data = dataFolder(QStringLiteral("work"), own);
    ASSERT_TRUE(QDir().mkpath(data + QStringLiteral("/Profile 2")));
    ASSERT_TRUE(QFile::setPermissions(data + QStringLiteral("/Profile 2"), own));
    ASSERT_TRUE(QDir().mkpath(data + QStringLiteral("/Open Profile")));
    ASSERT_TRUE(QFile::setPermissions(data + QStringLiteral("/Open Profile"), everyone));
    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("plain"))));
    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("odd/Local State"))));
    const QString open = dataFolder(QStringLiteral("open"), everyone);
    ASSERT_TRUE(QFile::link(open, home.filePath(QStringLiteral("link"))));
    const QString inShared = dataFolder(QStringLiteral("shared/work"), own);
    ASSERT_TRUE(QFile::setPermissions(home.filePath(QStringLiteral("shared")), everyone));
    const QString inSticky = dataFolder(QStringLiteral("sticky/work"), own);
    ASSERT_EQ(::chmod(QFile::encodeName(home.filePath(QStringLiteral("sticky"))).constData(), 01777), 0);
    // Run as root, the test can hand a folder's group to another (65534, "nogroup"), which may then
    // write it; otherwise the folder stays the user's alone.
    const QString grouped = dataFolder(QStringLiteral("grouped"), own);
    const bool otherGroup = ::geteuid() == 0 &&
                            ::chown(QFile::encodeName(grouped).constData(), 0, 65534) == 0 &&
                            ::chmod(QFile::encodeName(grouped).constData(), 0770) == 0;
    // Links to the user's own data folder: the user's own, and as root the test can hand one to
    // another user (65534), who could point it elsewhere once it was looked at; a link in a folder
    // everyone may change; and a folder whose ACL lets another user write it, where the file system
    // keeps ACLs.
    ASSERT_TRUE(QFile::link(data, home.filePath(QStringLiteral("sticky/mine"))));
    // A link whose target climbs out of a linked folder: the kernel climbs from where that link led.
    ASSERT_TRUE(QFile::link(QStringLiteral("mine/../work"), home.filePath(QStringLiteral("sticky/climb"))));
    ASSERT_TRUE(QFile::link(data, home.filePath(QStringLiteral("shared/link"))));
    const QString theirs = home.filePath(QStringLiteral("sticky/theirs"));
    ASSERT_TRUE(QFile::link(data, theirs));
    const bool theirLink =
        ::geteuid() == 0 && ::lchown(QFile::encodeName(theirs).constData(), 65534, 65534) == 0;
    const QString shared = dataFolder(QStringLiteral("acl"), own);
    // user::rwx user:65534:rwx group::--- mask::rwx other::---, in the kernel's form.
    const std::array<quint32, 11> acl{2,          0x00070001, 0xffffffff, 0x00070002, 65534,     0x00000004,
                                      0xffffffff, 0x00070010, 0xffffffff, 0x00000020, 0xffffffff};
    const bool sharedByAcl = ::setxattr(QFile::encodeName(shared).constData(), "system.posix_acl_access",
                                        acl.data(), sizeof(acl), 0) == 0;
    // The same user given rwx, masked to r-x: not a writer.
    const QString masked = dataFolder(QStringLiteral("masked"), own);
    std::array<quint32, 11> maskedAcl = acl;
    maskedAcl[7] = 0x00050010;
    ASSERT_EQ(::setxattr(QFile::encodeName(masked).constData(), "system.posix_acl_access", maskedAcl.data(),
                         sizeof(maskedAcl), 0) == 0,
              sharedByAcl);
    // A folder its group may write, the group being the user's own: private, unless its ACL cannot
    // be read.
    const QString ownGroup =
        dataFolder(QStringLiteral("own-group"), own | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup);
    const std::optional<QStringList> refused;
    const struct {
        const char* name;
        QString userDataDir;
        QString profileDirectory;
        std::optional<QStringList> switches;
        // Part of the reason given.
        const char* why = "";
        // The user whose folders they must be; this process's by default.
        std::optional<uint> owner = std::nullopt;
        // Whether no ACL can be read.
        bool aclUnreadable = false;
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
        {"a profile that is not there", data, QStringLiteral("Profile 3"), refused},
        {"a profile that is a path", data, QStringLiteral("../work/Profile 2"), refused},
        {"a folder without a browser's data", home.filePath(QStringLiteral("plain")), {}, refused},
        {"a folder whose browser's data is a folder", home.filePath(QStringLiteral("odd")), {}, refused},
        {"a folder that is not there", home.filePath(QStringLiteral("none")), {}, refused},
        {"a relative folder", QStringLiteral("work"), {}, refused},
        {"a line break", data + QStringLiteral("\n"), {}, refused},
        {"a system folder", QStringLiteral("/etc"), {}, refused},
        {"a profile that climbs out of the default data folder", {}, QStringLiteral("../../etc"), refused},
        {"another user's folder", data, {}, refused, "belongs to another user", ::geteuid() + 1},
        {"a folder everyone may write", open, {}, refused, "(its mode is 777)"},
        {"a link to such a folder", home.filePath(QStringLiteral("link")), {}, refused, "(its mode is 777)"},
        {"a profile folder everyone may write", data, QStringLiteral("Open Profile"), refused,
         "(its mode is 777)"},
        {"in a folder everyone may write", inShared, {}, refused, "above it (its mode is 777)"},
        {"in a folder everyone may add to but only owners remove from",
         inSticky,
         {},
         QStringList{QStringLiteral("--user-data-dir=") + inSticky}},
        {"a link of the user's, handed over as the folder it leads to",
         home.filePath(QStringLiteral("sticky/mine")),
         {},
         QStringList{QStringLiteral("--user-data-dir=") + data}},
        {"a link of another user's",
         theirs,
         {},
         theirLink ? refused : std::optional(QStringList{QStringLiteral("--user-data-dir=") + data}),
         theirLink ? "link" : ""},
        {"a link whose target climbs out of a linked folder",
         home.filePath(QStringLiteral("sticky/climb")),
         {},
         QStringList{QStringLiteral("--user-data-dir=") + data}},
        {"a link in a folder everyone may change",
         home.filePath(QStringLiteral("shared/link")),
         {},
         refused,
         "may be changed"},
        {"a folder whose ACL lets another user write",
         shared,
         {},
         sharedByAcl ? refused : std::optional(QStringList{QStringLiteral("--user-data-dir=") + shared}),
         sharedByAcl ? "ACL" : ""},
        {"a folder whose ACL masks another user's write out",
         masked,
         {},
         QStringList{QStringLiteral("--user-data-dir=") + masked}},
        {"a folder whose ACL cannot be read", ownGroup, {}, refused, "ACL", std::nullopt, true},
        {"a folder another group may write",
         grouped,
         {},
         otherGroup ? refused : std::optional(QStringList{QStringLiteral("--user-data-dir=") + grouped}),
         otherGroup ? "(its mode is 770)" : ""},
    };
    for (const auto& c : cases) {
        QString problem;
        std::optional<QStringList> switches;
        const auto judge = [&] {
            switches = ChromiumProfile::profileSwitches(c.userDataDir, c.profileDirectory,
                                                        QStringLiteral("chromium"), &problem, c.owner);
        };
        if (c.aclUnreadable) {
            ASSERT_TRUE(withAttributesUnreadable(judge)) << c.name;
        } else {
            judge();
        }
        EXPECT_EQ(switches, c.switches) << c.name;
        EXPECT_EQ(problem.isEmpty(), c.switches.has_value()) << c.name;
        EXPECT_TRUE(problem.contains(QString::fromUtf8(c.why))) << c.name << ": " << problem.toStdString();
    }
    // The test's own folders are its to remove.
    ASSERT_TRUE(QFile::setPermissions(home.filePath(QStringLiteral("shared")), own));
}

} // namespace
