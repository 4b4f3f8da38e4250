pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The General tab: start at login, restore notifications and the applications a restore leaves
// alone, then the permissions and the updates. Every change is stored at once.
SettingsPage {
    id: root

    required property PreferencesViewModel preferences
    readonly property SettingsViewModel settings: preferences.settings

    SettingsSectionTitle {
        title: "General"
    }
    SettingsCard {
        SettingsCardRow {
            SettingsLine {
                icon: "power"
                startColor: Theme.blue
                endColor: Theme.workspaceColor("cyan")
                title: "Launch at Login"
                description: "Automatically start Ordella when you log in"

                SettingsSwitch {
                    objectName: "launchAtLoginSwitch"
                    checked: root.settings.launchAtLogin
                    onToggled: value => root.settings.launchAtLogin = value
                }
            }
        }
        RowDivider {}
        SettingsCardRow {
            SettingsLine {
                icon: "bell.badge.fill"
                startColor: Theme.workspaceColor("purple")
                endColor: Theme.workspaceColor("pink")
                title: "Show restore notifications"
                description: "Display a notification when a workspace is restored"

                SettingsSwitch {
                    objectName: "notificationsSwitch"
                    checked: root.settings.showRestoreNotifications
                    onToggled: value => root.settings.showRestoreNotifications = value
                }
            }
        }
        RowDivider {}
        SettingsCardRow {
            SettingsLine {
                icon: "app.badge.checkmark.fill"
                startColor: Theme.orange
                endColor: Theme.red
                title: "Exclude apps from closing"
                description: "Exclude apps from being closed on restore if “Close other apps when restoring” is enabled."
            }
            AppExclusionPicker {
                Layout.fillWidth: true
                Layout.leftMargin: 46
                picker: root.preferences.exclusions
            }
        }
    }
    SettingsSectionTitle {
        title: "Permissions"
        topSpace: 24
    }
    PermissionsSection {
        Layout.bottomMargin: 24
        permissions: root.preferences.permissions
    }
    SettingsSectionTitle {
        title: "Updates"
    }
    UpdateSection {
        Layout.bottomMargin: 24
        updates: root.preferences.updates
    }
}
