pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The Appearance tab: the theme of every Ordella window, applied at once.
SettingsPage {
    id: root

    required property SettingsViewModel settings

    SettingsSectionTitle {
        title: "Appearance"
    }
    SettingsCard {
        SettingsCardRow {
            SettingsLine {
                icon: "paintbrush.fill"
                startColor: Theme.workspaceColor("purple")
                endColor: Theme.workspaceColor("pink")
                title: "Theme"
                description: "Choose your preferred appearance"

                SegmentedPicker {
                    objectName: "themePicker"
                    labels: root.settings.themeLabels
                    currentIndex: root.settings.themeIndex
                    onSelected: index => root.settings.themeIndex = index
                }
            }
        }
    }
}
