pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The Data tab: export, import and delete every workspace, and the outcome of the last of them.
SettingsPage {
    id: root

    required property DataTabModel dataTab

    SettingsSectionTitle {
        title: "Data"
    }
    SettingsCard {
        SettingsCardRow {
            SettingsLine {
                icon: "square.and.arrow.up.fill"
                startColor: Theme.green
                endColor: Theme.workspaceColor("teal")
                title: "Export Workspaces"
                description: "Save all workspaces to a file for backup or transfer"

                ModernButton {
                    objectName: "exportButton"
                    title: "Export"
                    onClicked: root.dataTab.exportWorkspaces()
                }
            }
        }
        RowDivider {}
        SettingsCardRow {
            SettingsLine {
                icon: "square.and.arrow.down.fill"
                startColor: Theme.orange
                endColor: Theme.workspaceColor("pink")
                title: "Import Workspaces"
                description: "Load workspaces from a previously exported file"

                ModernButton {
                    objectName: "importButton"
                    title: "Import"
                    onClicked: root.dataTab.importWorkspaces()
                }
            }
        }
        RowDivider {}
        SettingsCardRow {
            SettingsLine {
                icon: "trash.fill"
                startColor: Theme.workspaceColor("pink")
                endColor: Theme.red
                title: "Delete all workspaces"
                description: "Delete all saved workspaces"

                ModernButton {
                    objectName: "deleteAllButton"
                    title: "Delete"
                    color: Theme.red
                    onClicked: root.dataTab.deleteAllWorkspaces()
                }
            }
        }
    }
    UiText {
        objectName: "dataStatus"
        Layout.topMargin: 12
        Layout.fillWidth: true
        visible: root.dataTab.statusMessage !== ""
        text: root.dataTab.statusMessage
        size: 11
        font.weight: Font.Medium
        color: Theme.secondary
        wrapMode: Text.Wrap
    }
}
