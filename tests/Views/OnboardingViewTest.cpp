// The first start in the menu-bar window: the onboarding before and after the grants, Continue to
// the list, and the reading of the grants that runs only while the onboarding is on screen.
#include "Platform/Simulated/SimulatedScreenCapture.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Services/Storage/SettingsManager.h"
#include "Support/RowFixture.h"
#include "Support/Views/ViewHarness.h"
#include "ViewModels/AppRootModel.h"
#include "ViewModels/PopoverModel.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class OnboardingViewTest : public RowFixture {
protected:
    OnboardingViewTest()
        : capture(desktop()) {
        capture.installInto(platform());
        desktop().setTrusted(false);
        capture.setAccessGranted(false);
        settings.setWorkspaceSortOption("updatedAt");
    }
    void show() {
        ui.show("AppRootView",
                {{"appRoot", QVariant::fromValue(&root)}, {"popover", QVariant::fromValue(&popover)}});
    }
    int width() const { return qRound(ui.root()->width()); }
    // Every test is a first start: the root reads the flag when it is made.
    static bool forgetOnboarding() {
        JsonSettingsFormat::userSettings()->remove(AppRootModel::onboardingCompleteKey);
        return true;
    }
    int height() const { return qRound(ui.root()->height()); }

    const bool firstStart = forgetOnboarding();
    SimulatedScreenCapture capture;
    RevertStateManager revertStates;
    RestoreCoordinator coordinator{[](Workspace, bool) -> QCoro::Task<RestoreReport> { co_return {}; },
                                   &revertStates};
    SettingsManager settings;
    PopoverModel popover{
        {&store, &coordinator, &revertStates, &hotkeys, nullptr, &settings, platform().clock}};
    int quits = 0;
    AppRootModel root{[this] { ++quits; }};
    ViewHarness ui;
};

} // namespace

TEST_F(OnboardingViewTest, FromTheFirstStartToTheList) {
    show();
    root.setWindowVisible(true);
    ui.settle();
    EXPECT_TRUE(ui.isShown("onboardingView"));
    EXPECT_FALSE(ui.isShown("popoverView"));
    EXPECT_EQ(width(), 420);
    EXPECT_GE(height(), 500);
    // Everything fits: the caption under Continue keeps its margin above the window's edge.
    QQuickItem* caption = ui.item("continueCaption");
    EXPECT_LE(caption->mapToScene(QPointF(0, caption->height())).y(), ui.root()->height() - 19);
    EXPECT_EQ(ui.text("welcomeTitle"), "Welcome to Ordella");
    EXPECT_EQ(ui.text("welcomeLine"), "To save and restore your workspace, we need a few permissions.");
    EXPECT_EQ(ui.items("permissionTitle")[0]->property("text").toString(), "Accessibility Access");
    EXPECT_EQ(ui.items("permissionTitle")[1]->property("text").toString(), "Screen Recording");
    EXPECT_EQ(ui.items("grantButton").size(), 2);
    EXPECT_TRUE(ui.items("grantButton")[0]->isVisible());
    EXPECT_FALSE(ui.item("continueButton")->isEnabled());
    EXPECT_TRUE(ui.isShown("continueWarning"));
    EXPECT_EQ(ui.text("continueCaption"), "Accessibility permission is required to continue");
    ui.click("continueButton");
    EXPECT_FALSE(root.isOnboardingComplete());
    ui.screenshots("OnboardingView-nothingGranted");

    ui.click(ui.items("grantButton")[1]); // Screen Recording: the platform asks
    EXPECT_EQ(capture.accessRequests(), 1);

    // Granted elsewhere: the view follows within a second.
    desktop().setTrusted(true);
    clock().advanceBy(1s);
    ui.settle();
    EXPECT_TRUE(ui.item("continueButton")->isEnabled());
    EXPECT_FALSE(ui.isShown("continueWarning"));
    EXPECT_TRUE(ui.items("grantedMark")[0]->isVisible());
    EXPECT_EQ(ui.text("continueCaption"),
              "Screen Recording is optional. Placeholders will be shown without it.");
    ui.screenshots("OnboardingView-accessibilityGranted");

    capture.setAccessGranted(true);
    clock().advanceBy(1s);
    ui.settle();
    EXPECT_FALSE(ui.isShown("continueCaption"));
    EXPECT_FALSE(ui.items("grantButton")[1]->isVisible());
    ui.screenshots("OnboardingView-allGranted");

    ui.click("quitButton");
    EXPECT_EQ(quits, 1);

    ui.click("continueButton");
    EXPECT_TRUE(root.isOnboardingComplete());
    EXPECT_TRUE(AppRootModel::storedOnboardingComplete());
    EXPECT_TRUE(ui.isShown("popoverView"));
    EXPECT_FALSE(ui.has("onboardingView"));
    EXPECT_EQ(width(), 450);
    EXPECT_EQ(height(), 280);
    EXPECT_FALSE(root.onboarding()->isMonitoring());
    EXPECT_EQ(clock().pendingCount(), 0);
}

TEST_F(OnboardingViewTest, AClosedWindowReadsNothing) {
    show();
    root.setWindowVisible(true);
    EXPECT_TRUE(root.onboarding()->isMonitoring());
    root.setWindowVisible(false);
    EXPECT_FALSE(root.onboarding()->isMonitoring());
    desktop().setTrusted(true);
    clock().advanceBy(10s);
    ui.settle();
    EXPECT_FALSE(ui.item("continueButton")->isEnabled());
    root.setWindowVisible(true);
    ui.settle();
    EXPECT_TRUE(ui.item("continueButton")->isEnabled());
}
