#include "Support/PreferencesFixture.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using Tab = PreferencesViewModel::Tab;

class PreferencesViewModelTest : public PreferencesFixture {
protected:
    PreferencesViewModelTest() {
        SimulatedDesktop::InstalledApp editor;
        editor.bundleIdentifier = "editor.desktop";
        editor.name = "Editor";
        editor.icon = "accessories-text-editor";
        desktop().installApplication(editor);
    }
};

TEST_F(PreferencesViewModelTest, FiveTabsInSidebarOrder) {
    QStringList rows;
    for (const QVariant& tab : PreferencesViewModel::tabs()) {
        const QVariantMap map = tab.toMap();
        rows << map["title"].toString() + " " + map["icon"].toString();
    }
    EXPECT_EQ(rows,
              (QStringList{"General gearshape.fill", "Appearance paintbrush.fill", "Data externaldrive.fill",
                           "Support questionmark.circle.fill", "About info.circle.fill"}));
    for (Tab tab : PreferencesViewModel::allTabs()) {
        EXPECT_EQ(PreferencesViewModel::tabFromRawValue(PreferencesViewModel::rawValue(tab)), tab);
    }
    EXPECT_FALSE(PreferencesViewModel::tabFromRawValue("General"));
    EXPECT_EQ(model.selectedTab(), Tab::general);
}

TEST_F(PreferencesViewModelTest, AppearingFadesInAndScansTheApplications) {
    EXPECT_TRUE(model.isLoadingApps());
    EXPECT_FALSE(model.animateIn());
    // The desktop answers later: the loading state shows meanwhile.
    model.appear();
    EXPECT_TRUE(model.animateIn());
    EXPECT_TRUE(model.exclusions()->isLoadingApps());
    ASSERT_TRUE(clock().runUntil([&] { return !model.isLoadingApps(); }));
    ASSERT_EQ(model.availableApps().size(), 1);
    EXPECT_EQ(model.exclusions()->filteredAppList().first().name, "Editor");
}

TEST_F(PreferencesViewModelTest, ATabSelectedAgainStartsAfresh) {
    model.selectTab(Tab::data);
    prompts().queueAlertAnswer(0);
    ASSERT_TRUE(clock().runUntilDone(model.dataTab()->runDeleteAll()));
    EXPECT_EQ(model.dataTab()->statusMessage(), "Workspaces deleted successfully");
    model.selectTab(Tab::data);
    EXPECT_EQ(model.dataTab()->statusMessage(), "Workspaces deleted successfully");
    model.selectTab(Tab::support);
    model.support()->setAttachLogFile(false);
    model.selectTab(Tab::data);
    EXPECT_EQ(model.dataTab()->statusMessage(), "");
    model.selectTab(Tab::support);
    EXPECT_TRUE(model.support()->attachLogFile());
}

TEST_F(PreferencesViewModelTest, SwitchesWriteTheSettings) {
    SettingsViewModel& general = *model.settings();
    int themeChanges = 0;
    QObject::connect(&general, &SettingsViewModel::themeIndexChanged, [&] { ++themeChanges; });
    EXPECT_EQ(general.themeLabels(), (QStringList{"System", "Light", "Dark"}));
    general.setThemeIndex(2);
    EXPECT_EQ(settings.appTheme(), AppTheme::dark);
    general.setThemeIndex(7);
    EXPECT_EQ(general.themeIndex(), 2);
    general.setThemeIndex(0);
    EXPECT_EQ(SettingsManager().appTheme(), AppTheme::system);
    EXPECT_EQ(themeChanges, 2);

    general.setShowRestoreNotifications(false);
    EXPECT_FALSE(SettingsManager().showRestoreNotifications());
    general.setShowRestoreNotifications(true);

    general.setLaunchAtLogin(true);
    EXPECT_TRUE(general.launchAtLogin());
    EXPECT_EQ(loginItems->currentStatus, LoginItems::Status::enabled);
    loginItems->failUnregister = true;
    general.setLaunchAtLogin(false);
    EXPECT_TRUE(general.launchAtLogin()) << "a refusal shows the registration as it is";
}

TEST_F(PreferencesViewModelTest, PermissionsAreReadAgainWhenOrdellaBecomesActive) {
    PermissionsModel& permissions = *model.permissions();
    EXPECT_TRUE(permissions.accessibilityGranted());
    EXPECT_TRUE(permissions.screenRecordingGranted());
    desktop().setTrusted(false);
    capture.setAccessGranted(false);
    permissions.applicationBecameActive();
    EXPECT_TRUE(permissions.accessibilityGranted()) << "not followed while the window is away";
    model.appear();
    EXPECT_FALSE(permissions.accessibilityGranted());
    EXPECT_FALSE(permissions.screenRecordingGranted());
    desktop().setTrusted(true);
    permissions.applicationBecameActive();
    EXPECT_TRUE(permissions.accessibilityGranted());
    permissions.grantScreenRecording();
    EXPECT_EQ(capture.accessRequests(), 1);
    model.disappear();
    desktop().setTrusted(false);
    permissions.applicationBecameActive();
    EXPECT_TRUE(permissions.accessibilityGranted());
}

} // namespace
