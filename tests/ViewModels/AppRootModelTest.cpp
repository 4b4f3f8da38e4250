// The root of the menu-bar window and its onboarding, in virtual time: the permissions are read
// once a second only while the onboarding is what the user sees.
#include "ViewModels/AppRootModel.h"

#include "Platform/Simulated/SimulatedScreenCapture.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Support/ScriptedDesktop.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class AppRoot : public SimulatedDesktopFixture {
protected:
    AppRoot() {
        JsonSettingsFormat::userSettings()->remove(AppRootModel::onboardingCompleteKey);
        screenCapture.installInto(platform());
        desktop().setTrusted(false);
        screenCapture.setAccessGranted(false);
    }

    SimulatedScreenCapture screenCapture{desktop()};
    int quits = 0;
};

// A timer that outlived its screen read the permissions once a second for the life of the
// process. The reading now runs exactly while the window shows the onboarding.
TEST_F(AppRoot, OnboardingReadsThePermissionsOnlyWhileOnScreen) {
    AppRootModel root([this] { ++quits; });
    OnboardingViewModel* onboarding = root.onboarding();
    ASSERT_NE(onboarding, nullptr);
    EXPECT_FALSE(onboarding->isMonitoring()); // made, not yet shown

    root.setWindowVisible(true);
    EXPECT_TRUE(root.isOnboardingOnScreen());
    EXPECT_TRUE(onboarding->isMonitoring());
    EXPECT_EQ(clock().pendingCount(), 1);
    desktop().setTrusted(true);
    clock().advanceBy(1s);
    EXPECT_TRUE(onboarding->canContinue());

    root.setWindowVisible(false); // the window closes: the reading stops
    EXPECT_FALSE(onboarding->isMonitoring());
    EXPECT_EQ(clock().pendingCount(), 0);
    screenCapture.setAccessGranted(true);
    clock().advanceBy(5s);
    EXPECT_FALSE(onboarding->screenRecordingGranted());

    root.setWindowVisible(true); // shown again: read at once, then once a second
    EXPECT_TRUE(onboarding->screenRecordingGranted());
    EXPECT_EQ(clock().pendingCount(), 1);

    onboarding->continueOnboarding(); // the list replaces the onboarding: the reading stops at once
    EXPECT_TRUE(root.isOnboardingComplete());
    EXPECT_FALSE(root.isOnboardingOnScreen());
    EXPECT_FALSE(onboarding->isMonitoring());
    EXPECT_EQ(clock().pendingCount(), 0);
    EXPECT_TRUE(AppRootModel::storedOnboardingComplete());

    root.setWindowVisible(false);
    root.setWindowVisible(true); // the window opens on the list from now on
    EXPECT_FALSE(onboarding->isMonitoring());
    EXPECT_EQ(quits, 0);
    onboarding->quit();
    EXPECT_EQ(quits, 1);
}

TEST_F(AppRoot, ARootMadeAfterOnboardingShowsTheListAndNoOnboarding) {
    AppRootModel first;
    first.finishOnboarding();
    AppRootModel later;
    EXPECT_TRUE(later.isOnboardingComplete());
    EXPECT_EQ(later.onboarding(), nullptr);
    later.setWindowVisible(true);
    EXPECT_EQ(clock().pendingCount(), 0);
}

TEST_F(AppRoot, ARootThatGoesAwayLeavesNoTimer) {
    {
        AppRootModel root;
        root.setWindowVisible(true);
        EXPECT_EQ(clock().pendingCount(), 1);
    }
    EXPECT_EQ(clock().pendingCount(), 0);
    clock().advanceBy(3s);
}

} // namespace
