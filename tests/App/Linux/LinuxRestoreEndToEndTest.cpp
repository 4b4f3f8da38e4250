#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Restore/WorkspaceRestorer.h"
#include "Support/X11DesktopTest.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

namespace {

// A whole restore on the real desktop: the scene program arranges three applications with six
// windows over two monitors (one of them xcalc, which has no desktop entry and sets no
// _NET_WM_PID), Ordella captures it, the scene is scrambled (windows moved, one minimised, the
// stacking changed, xcalc quit), and one restore request puts everything back.
class LinuxRestoreEndToEndTest : public X11DesktopTest {
protected:
    void SetUp() override {
        X11DesktopTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure()) {
            m_ready = installProductionPlatform();
        }
    }

    void TearDown() override {
        if (m_ready) {
            scene(QStringLiteral("teardown"));
        }
        X11DesktopTest::TearDown();
    }

    // Runs a step of the scene program; what it printed.
    QString scene(const QString& step) {
        QProcess process;
        // Its output goes to a file: the programs it starts keep the descriptors they inherit.
        process.setStandardOutputFile(folder.filePath("step.log"));
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/programs/ordella-scene"),
                      {step, folder.path()});
        process.waitForFinished(60000);
        QFile log(folder.filePath("step.log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).trimmed() : QString();
    }

    QTemporaryDir folder;
    bool m_ready = false;
};

TEST_F(LinuxRestoreEndToEndTest, OneRestorePutsEveryWindowBackInItsPlaceAndOrder) {
    ASSERT_TRUE(m_ready);
    ASSERT_EQ(scene(QStringLiteral("setup")), QStringLiteral("scene arranged"));
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Scene")));
    ASSERT_TRUE(workspace);
    qsizetype windows = 0;
    for (const AppSnapshot& app : workspace->appSnapshots) {
        windows += app.windowSnapshots.size();
    }
    EXPECT_EQ(workspace->appSnapshots.size(), 3);
    EXPECT_EQ(windows, 6);
    EXPECT_EQ(workspace->displaySnapshots.size(), 2);

    ASSERT_EQ(scene(QStringLiteral("scramble")), QStringLiteral("scene scrambled"));
    EXPECT_NE(scene(QStringLiteral("measure")), QStringLiteral("placed 6/6 open 6 stacking saved"));

    RevertStateManager revertStates;
    RestoreCoordinator coordinator(WorkspaceRestorer::restore, &revertStates);
    const RestoreReport report = QCoro::waitFor(coordinator.restore(*workspace, false));
    EXPECT_EQ(report.status, RestoreStatus::restored) << report.summary().toStdString();
    for (const AppRestoreResult& app : report.appResults) {
        EXPECT_EQ(app.status, RestoreStatus::restored)
            << app.appName.toStdString() << ": " << app.reason.toStdString();
    }
    EXPECT_EQ(scene(QStringLiteral("measure")), QStringLiteral("placed 6/6 open 6 stacking saved"));
}

} // namespace
