// The menu-bar window as the application shows it: the root view in a window of its own, whose
// showing and hiding start and stop the onboarding's reading of the permissions.
#include "App/MenuBarWindow.h"
#include "Platform/Simulated/SimulatedScreenCapture.h"
#include "Services/Coordination/GlobalHotkeyManager.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Services/Storage/SettingsManager.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/ScriptedDesktop.h"
#include "ViewModels/AppRootModel.h"
#include "ViewModels/PopoverModel.h"
#include "Views/Theme.h"
#include "Views/UiSetup.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTemporaryDir>

namespace {

using namespace std::chrono_literals;

class MenuBarWindowTest : public SimulatedDesktopFixture {
protected:
    MenuBarWindowTest() {
        static const bool prepared = [] {
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
            UiSetup::prepare();
            return true;
        }();
        Q_UNUSED(prepared)
        Theme::shared().setAnimated(false);
        addScreen(1920, 1080);
        screenCapture.installInto(platform());
        desktop().setTrusted(false);
        settings.setWorkspaceSortOption("updatedAt");
    }
    static bool firstStart() {
        JsonSettingsFormat::userSettings()->remove(AppRootModel::onboardingCompleteKey);
        return true;
    }

    const bool fresh = firstStart();
    SimulatedScreenCapture screenCapture{desktop()};
    QTemporaryDir folder;
    WorkspaceStore store{folder.path()};
    GlobalHotkeyManager hotkeys{platform().hotKeys};
    RevertStateManager revertStates;
    RestoreCoordinator coordinator{[](Workspace, bool) -> QCoro::Task<RestoreReport> { co_return {}; },
                                   &revertStates};
    SettingsManager settings;
    PopoverModel popover{
        {&store, &coordinator, &revertStates, &hotkeys, nullptr, &settings, platform().clock}};
    AppRootModel root{[] {}};
    MenuBarWindow window{root, popover, platform().clock};
};

} // namespace

TEST_F(MenuBarWindowTest, TheOnboardingReadsThePermissionsOnlyWhileTheWindowShowsIt) {
    ASSERT_NE(root.onboarding(), nullptr);
    EXPECT_FALSE(root.onboarding()->isMonitoring());
    window.open();
    EXPECT_TRUE(window.isOpen());
    EXPECT_TRUE(root.onboarding()->isMonitoring());
    EXPECT_EQ(window.window()->width(), 420);

    window.close();
    EXPECT_FALSE(root.onboarding()->isMonitoring());
    EXPECT_EQ(clock().pendingCount(), 0);

    window.open();
    desktop().setTrusted(true);
    clock().advanceBy(1s);
    ASSERT_TRUE(root.onboarding()->canContinue());
    root.onboarding()->continueOnboarding();
    QCoreApplication::processEvents();
    EXPECT_FALSE(root.onboarding()->isMonitoring());
    EXPECT_EQ(clock().pendingCount(), 0);
    // The list takes the window's place, at its own size.
    EXPECT_EQ(window.window()->width(), 450);
    EXPECT_EQ(window.window()->height(), 280);
}
