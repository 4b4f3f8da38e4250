#include "Services/Storage/JsonSettingsFormat.h"
#include "Support/X11DesktopTest.h"
#include "ViewModels/AppRootModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// A session of use on this X session, ended with the power button, in a program that ends as
// ordella's main() ends (tests/Programs/ordella-session): on the demo desktop, and on this desktop
// with real programs, a first start with a tray. Built with the memory checkers (ORDELLA_SANITIZE=address),
// whatever the session or the quit does wrong with memory ends the program with a report.
class OrdellaSessionTest : public X11DesktopTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        X11DesktopTest::SetUp();
        // A runtime folder of this test's own, so the instance socket is not another test's.
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        // On this desktop it is a first start, beginning with the onboarding.
        if (GetParam()) {
            AppRootModel().finishOnboarding();
        } else {
            const std::unique_ptr<QSettings> settings = JsonSettingsFormat::userSettings();
            settings->remove(AppRootModel::onboardingCompleteKey);
            settings->sync();
        }
    }

    void TearDown() override {
        if (m_sceneArranged) {
            scene(QStringLiteral("teardown"));
        }
        X11DesktopTest::TearDown();
    }

    // Runs a step of the scene program (three applications with six windows on this desktop);
    // what it printed.
    QString scene(const QString& step) {
        QProcess process;
        // Its output goes to a file: the programs it starts keep the descriptors they inherit.
        process.setStandardOutputFile(files.filePath(QStringLiteral("step.log")));
        process.start(programs + QStringLiteral("/ordella-scene"), {step, files.path()});
        process.waitForFinished(-1);
        QFile log(files.filePath(QStringLiteral("step.log")));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).trimmed() : QString();
    }

    const QString programs = QCoreApplication::applicationDirPath() + QStringLiteral("/programs");
    QTemporaryDir runtime;
    QTemporaryDir files;
    bool m_sceneArranged = false;
};

TEST_P(OrdellaSessionTest, AWholeSessionOfUseEndsWithTheQuitButton) {
    const bool demo = GetParam();
    if (!demo) {
        ASSERT_EQ(scene(QStringLiteral("setup")), QStringLiteral("scene arranged"));
        m_sceneArranged = true;
        // With a system tray, which takes Ordella's icon.
        start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "40",
                         "--heighttype", "pixel", "--height", "28", "--transparent", "false"});
    }
    QStringList arguments;
    if (demo) {
        arguments << QStringLiteral("--demo");
    }
    arguments << files.path();
    QProcess session;
    session.setStandardOutputFile(QProcess::nullDevice());
    session.start(programs + QStringLiteral("/ordella-session"), arguments);
    ASSERT_TRUE(session.waitForStarted());
    // Its own waits are bounded; the test's time-out bounds them all.
    session.waitForFinished(-1);
    const QString errors = QString::fromUtf8(session.readAllStandardError());
    EXPECT_EQ(session.exitStatus(), QProcess::NormalExit) << errors.toStdString();
    EXPECT_EQ(session.exitCode(), 0) << errors.toStdString();
    for (const char* fault : {"session:", "AddressSanitizer", "runtime error", "shared QObject"}) {
        EXPECT_FALSE(errors.contains(QLatin1String(fault))) << errors.toStdString();
    }
}

// On the demo desktop, and on this X11 desktop with real programs.
INSTANTIATE_TEST_SUITE_P(Desktops, OrdellaSessionTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Demo" : "X11");
                         });

} // namespace
