// The menu-bar window as the application shows it: the root view in a window of its own, made when
// first needed, whose showing and hiding start and stop the onboarding's reading of the
// permissions.
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

#include <functional>

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

// The window's views are made when something first needs them, once, so that starting Ordella
// does not wait for them.
TEST_F(MenuBarWindowTest, MakesItsViewsOnceWhenFirstNeeded) {
    struct Case {
        const char* need;
        std::function<void(MenuBarWindow&)> use;
        bool opens;
    };
    const Case cases[] = {
        {"prepare", [](MenuBarWindow& w) { w.prepare(); }, false},
        {"open", [](MenuBarWindow& w) { w.open(); }, true},
        {"a click on the icon", [](MenuBarWindow& w) { w.toggle(); }, true},
        {"the settings window's engine", [](MenuBarWindow& w) { w.engine(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.need);
        MenuBarWindow fresh(root, popover, platform().clock);
        EXPECT_FALSE(fresh.isPrepared());
        // Closing a window that was never made does nothing.
        fresh.close();
        EXPECT_FALSE(fresh.isOpen());
        EXPECT_FALSE(fresh.isPrepared());

        c.use(fresh);
        EXPECT_TRUE(fresh.isPrepared());
        EXPECT_EQ(fresh.isOpen(), c.opens);
        EXPECT_EQ(root.onboarding()->isMonitoring(), c.opens);
        QQuickWindow* made = fresh.window();
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->title(), "Ordella");
        fresh.prepare();
        fresh.open();
        EXPECT_EQ(fresh.window(), made);
        EXPECT_TRUE(fresh.isOpen());
        fresh.close();
        EXPECT_FALSE(fresh.isOpen());
        EXPECT_FALSE(root.onboarding()->isMonitoring());
    }
    EXPECT_FALSE(window.isPrepared());
}
