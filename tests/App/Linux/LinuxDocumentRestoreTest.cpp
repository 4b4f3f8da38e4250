#include "App/RestoreRunText.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Restore/WorkspaceRestorer.h"
#include "Support/X11DesktopTest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <csignal>

namespace {

// Documents handed over to a program of the desktop, which shows each in a process of its own.
class LinuxDocumentRestoreTest : public X11DesktopTest {
protected:
    void SetUp() override {
        X11DesktopTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure()) {
            m_ready = installProductionPlatform();
        }
    }

    // The processes whose command line names path.
    static int processesWith(const QString& path) {
        const QStringList pids =
            QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
        return int(std::count_if(pids.begin(), pids.end(), [&path](const QString& pid) {
            QFile line(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
            return line.open(QIODevice::ReadOnly) &&
                   line.readAll().split('\0').contains(QFile::encodeName(path));
        }));
    }

    std::optional<X11Client> titled(const QString& title) {
        for (const X11Client& client : windows->clients()) {
            if (client.title == title) {
                return client;
            }
        }
        return std::nullopt;
    }

    QTemporaryDir folder;
    bool m_ready = false;
};

// A program slow to show a document's window: it comes after the restore's first wait for it, and
// the document is still handed over once.
TEST_F(LinuxDocumentRestoreTest, ADocumentWhoseWindowComesLateIsHandedOverOnce) {
    ASSERT_TRUE(m_ready);
    // Each of its processes shows its windows 6 s after it started: past the waits of the hand-over
    // for its window (3 s, then up to 5 s after the hand-over), before the wait for the windows of
    // documents ends (5 s more).
    const QString id = installTestWindowEntry(QStringLiteral("--delay 6000"));
    const QString notes = folder.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(QFile(notes).open(QIODevice::WriteOnly));
    const std::optional<QUrl> program = applications->urlForApplication(id);
    ASSERT_TRUE(program);
    ASSERT_TRUE(QCoro::waitFor(applications->openApplication(*program, false)).succeeded);
    ASSERT_TRUE(
        QCoro::waitFor(applications->openDocuments({QUrl::fromLocalFile(notes)}, *program, false)).succeeded);
    ASSERT_TRUE(
        waitUntil([&] { return titled(QStringLiteral("Launched")) && titled(QStringLiteral("notes.txt")); }));
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Late")));
    ASSERT_TRUE(workspace);

    // The document's window is closed since the save.
    ::kill(*titled(QStringLiteral("notes.txt"))->pid, SIGTERM);
    ASSERT_TRUE(waitUntil([&] { return !titled(QStringLiteral("notes.txt")) && processesWith(notes) == 0; }));
    RevertStateManager revertStates;
    RestoreCoordinator coordinator(WorkspaceRestorer::restore, &revertStates);
    RestoreRun run;
    run.report = QCoro::waitFor(coordinator.restore(*workspace, false));
    EXPECT_EQ(processesWith(notes), 1) << RestoreRunText::describe(run).toStdString();
    EXPECT_EQ(run.report.status, RestoreStatus::restored) << RestoreRunText::describe(run).toStdString();
    EXPECT_TRUE(titled(QStringLiteral("notes.txt")));
}

} // namespace
