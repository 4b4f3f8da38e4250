#include "Platform/Linux/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <future>
#include <iterator>
#include <optional>
#include <thread>

namespace {

// Runs call on a thread of its own whose every open waits until between has run here: what stands
// at a path may be changed after it was looked at and before it is opened, every time. False when
// the thread cannot be set up so.
bool withOpensHeld(const std::function<void()>& call, const std::function<void()>& between) {
    std::promise<int> listening;
    std::thread caller([&] {
        sock_filter holding[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{std::size(holding), holding};
        // Both hold for this thread alone, and end with it.
        const int listener = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
                                 ? int(::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER,
                                                 SECCOMP_FILTER_FLAG_NEW_LISTENER, &program))
                                 : -1;
        listening.set_value(listener);
        if (listener >= 0) {
            call();
        }
    });
    const int listener = listening.get_future().get();
    // Each open waits for an answer; the listener hangs up once the thread has ended.
    pollfd waiting{listener, POLLIN, 0};
    while (listener >= 0 && ::poll(&waiting, 1, -1) > 0 && (waiting.revents & POLLIN)) {
        seccomp_notif asked{};
        if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &asked) != 0) {
            continue;
        }
        between();
        seccomp_notif_resp answer{};
        answer.id = asked.id;
        answer.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        ::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &answer);
    }
    caller.join();
    if (listener >= 0) {
        ::close(listener);
    }
    return listener >= 0;
}

// A file is taken as regular only when what was opened is one: a FIFO, a folder or a device put in
// its place after it was looked at, before it was opened, is refused.
TEST(RegularFile, RefusesWhatTookTheFilesPlaceBeforeItWasOpened) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("file"));
    const QString other = dir.filePath(QStringLiteral("other"));
    const QByteArray encodedOther = QFile::encodeName(other);
    const struct {
        const char* name;
        std::function<bool()> make;
        bool opened;
    } cases[] = {
        {"the same file", [] { return true; }, true},
        {"another regular file", [&] { return QFile(other).open(QIODevice::WriteOnly); }, true},
        {"a FIFO", [&] { return ::mkfifo(encodedOther.constData(), 0600) == 0; }, false},
        {"a folder", [&] { return QDir().mkdir(other); }, false},
        {"a link to a device", [&] { return QFile::link(QStringLiteral("/dev/zero"), other); }, false},
    };
    for (const auto& c : cases) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("text") == 4);
        file.close();
        ASSERT_TRUE(c.make()) << c.name;
        bool swapped = false;
        std::optional<RegularFile> opened;
        const bool held = withOpensHeld(
            [&] { opened = RegularFile::open(path); },
            [&] {
                // The opener waits meanwhile: the file may go first.
                swapped = swapped || !QFileInfo(other).exists() ||
                          (QFile::remove(path) &&
                           ::rename(encodedOther.constData(), QFile::encodeName(path).constData()) == 0);
            });
        if (!held) {
            // A kernel or a container that keeps a thread from holding its own opens.
            GTEST_SKIP() << "opens cannot be held here (seccomp user notification)";
        }
        EXPECT_TRUE(swapped) << c.name;
        EXPECT_EQ(opened.has_value(), c.opened) << c.name;
        QDir(path).removeRecursively();
        QFile::remove(path);
    }
}

} // namespace
