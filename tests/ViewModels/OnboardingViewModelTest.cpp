#include "ViewModels/OnboardingViewModel.h"

#include "Platform/Simulated/SimulatedScreenCapture.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Support/ScriptedDesktop.h"

#include <gtest/gtest.h>

namespace {

class Onboarding : public SimulatedDesktopFixture {
protected:
    Onboarding() {
        JsonSettingsFormat::userSettings()->remove(OnboardingViewModel::completeKey());
        screenCapture.installInto(platform());
        desktop().setTrusted(false);
        screenCapture.setAccessGranted(false);
    }
    // Lets virtual time pass by seconds.
    void wait(double seconds) { clock().advanceBy(Clock::seconds(seconds)); }

    SimulatedScreenCapture screenCapture{desktop()};
    int quits = 0;
    OnboardingViewModel model{[this] { ++quits; }};
};

} // namespace

TEST(OnboardingCaption, FollowsTheGrants) {
    ScriptedDesktop desktop;
    SimulatedScreenCapture capture(desktop.desktop());
    capture.installInto(desktop.platform());
    struct Row {
        bool accessibility;
        bool screenRecording;
        QString caption;
    };
    const QList<Row> rows = {
        {false, false, "Accessibility permission is required to continue"},
        {false, true, "Accessibility permission is required to continue"},
        {true, false, "Screen Recording is optional. Placeholders will be shown without it."},
        {true, true, ""},
    };
    for (const Row& row : rows) {
        desktop.desktop().setTrusted(row.accessibility);
        capture.setAccessGranted(row.screenRecording);
        OnboardingViewModel model;
        EXPECT_FALSE(model.accessibilityGranted()); // nothing is read before the screen shows
        model.appeared();
        EXPECT_EQ(model.canContinue(), row.accessibility);
        EXPECT_EQ(model.screenRecordingGranted(), row.screenRecording);
        EXPECT_EQ(model.caption(), row.caption);
        model.disappeared();
    }
}

TEST_F(Onboarding, GrantsAndRevocationsShowWithinASecond) {
    model.appeared();
    EXPECT_TRUE(model.isMonitoring());
    EXPECT_FALSE(model.accessibilityGranted());
    desktop().setTrusted(true);
    wait(0.5);
    EXPECT_FALSE(model.accessibilityGranted());
    wait(0.5);
    EXPECT_TRUE(model.accessibilityGranted());
    screenCapture.setAccessGranted(true);
    wait(1);
    EXPECT_TRUE(model.screenRecordingGranted());
    desktop().setTrusted(false);
    wait(1);
    EXPECT_FALSE(model.accessibilityGranted());
}

TEST_F(Onboarding, PollingStopsWhenTheScreenGoesAway) {
    model.appeared();
    model.appeared(); // shown again: still one timer
    EXPECT_EQ(clock().pendingCount(), 1);
    model.disappeared();
    EXPECT_FALSE(model.isMonitoring());
    EXPECT_EQ(clock().pendingCount(), 0);
    desktop().setTrusted(true);
    wait(3);
    EXPECT_FALSE(model.accessibilityGranted()); // nothing read while away
    model.appeared();
    EXPECT_TRUE(model.accessibilityGranted());
    EXPECT_TRUE(model.isMonitoring());
}

TEST_F(Onboarding, ContinueNeedsAccessibilityAndStopsThePolling) {
    int completions = 0;
    QObject::connect(&model, &OnboardingViewModel::onboardingCompleted, [&] { ++completions; });
    model.appeared();
    model.continueOnboarding();
    EXPECT_EQ(completions, 0);
    EXPECT_FALSE(OnboardingViewModel::isCompleteStored());
    EXPECT_FALSE(JsonSettingsFormat::userSettings()->contains(OnboardingViewModel::completeKey()));

    desktop().setTrusted(true); // Screen Recording stays missing: it is optional
    wait(1);
    model.continueOnboarding();
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(model.isOnboardingComplete());
    EXPECT_TRUE(OnboardingViewModel::isCompleteStored());
    EXPECT_TRUE(model.isMonitoring());
    wait(1); // one more reading sees the completion
    EXPECT_FALSE(model.isMonitoring());
    EXPECT_EQ(clock().pendingCount(), 0);
}

TEST_F(Onboarding, GrantActionsAndQuit) {
    model.grantAccessibility();
    ASSERT_EQ(prompts().openedUrls().size(), 1);
    EXPECT_TRUE(prompts().openedUrls().first().isLocalFile());
    model.appeared();
    model.grantScreenRecording();
    EXPECT_EQ(screenCapture.accessRequests(), 1);
    model.quit();
    EXPECT_EQ(quits, 1);
}
