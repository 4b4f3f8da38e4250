pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The update card: "Check for Updates" with what the updater is doing and the one control that
// fits, the install row once an update is in place, and the error row after a failure.
SettingsCard {
    id: root

    required property UpdateSectionModel updates

    SettingsCardRow {
        SettingsLine {
            icon: "arrow.down.circle.fill"
            startColor: Theme.green
            endColor: Theme.workspaceColor("mint")
            title: root.updates.title
            description: root.updates.subtitle

            AccentButton {
                objectName: "updateActionButton"
                visible: root.updates.showsActionButton
                title: root.updates.actionTitle
                onClicked: root.updates.performAction()
            }
            Row {
                objectName: "updateProgress"
                visible: root.updates.showsProgressRow
                spacing: 6

                ProgressSpinner {
                    anchors.verticalCenter: parent.verticalCenter
                    diameter: 12
                }
                UiText {
                    objectName: "updateProgressText"
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.updates.progressText
                    size: 11
                    font.weight: Font.Medium
                    color: Theme.secondary
                }
            }
            ProgressSpinner {
                objectName: "updateSpinner"
                visible: root.updates.showsSpinner
                diameter: 14
            }
        }
    }
    RowDivider {
        visible: root.updates.showsReadyRow
    }
    SettingsCardRow {
        objectName: "updateReadyRow"
        visible: root.updates.showsReadyRow

        RowLayout {
            Layout.fillWidth: true

            UiText {
                Layout.fillWidth: true
                text: "Ready to Install"
                size: 12
                font.weight: Font.Medium
            }
            AccentButton {
                title: "Install Update"
                onClicked: root.updates.installUpdate()
            }
        }
    }
    RowDivider {
        visible: root.updates.showsErrorRow
    }
    SettingsCardRow {
        objectName: "updateErrorRow"
        visible: root.updates.showsErrorRow

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            SymbolIcon {
                symbol: "exclamationmark.triangle.fill"
                size: 13
                color: Theme.orange
            }
            UiText {
                objectName: "updateErrorMessage"
                Layout.fillWidth: true
                text: root.updates.errorMessage
                size: 11
                color: Theme.secondary
                wrapMode: Text.Wrap
                maximumLineCount: 2
            }
            ModernButton {
                title: "Check for Updates"
                minWidth: 0
                onClicked: root.updates.checkForUpdates()
            }
        }
    }
}
