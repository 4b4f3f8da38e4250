pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The panel in which a saved workspace is captured again and reviewed before it is updated, shown
// by the menu-bar window in place of its list: the workspace's tile and name, the merged capture
// with a Saved, New or Hidden badge on every application, and Cancel / Update. Return updates,
// Escape cancels; the panel model decides whether either does anything.
Item {
    id: root

    required property UpdateWorkspacePanelModel panel

    implicitWidth: 410
    implicitHeight: column.implicitHeight

    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: root.visible
        onActivated: root.panel.update()
    }
    Shortcut {
        sequence: "Esc"
        enabled: root.visible
        onActivated: root.panel.cancel()
    }

    ColumnLayout {
        id: column
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.bottomMargin: 16
            spacing: 12

            Item {
                implicitWidth: 40
                implicitHeight: 40

                SoftShadow {
                    anchors.fill: parent
                    radius: 10
                    color: Theme.alpha(root.panel.gradientStart, 0.25)
                    blur: 6
                    offsetY: 3
                }
                GradientRect {
                    objectName: "symbolTile"
                    anchors.fill: parent
                    radius: 10
                    startColor: root.panel.gradientStart
                    endColor: root.panel.gradientEnd

                    SymbolIcon {
                        objectName: "workspaceSymbol"
                        anchors.centerIn: parent
                        symbol: root.panel.iconName
                        size: 16
                        font.weight: Font.Bold
                        color: "white"
                    }
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 3

                UiText {
                    objectName: "workspaceName"
                    Layout.fillWidth: true
                    text: OutsideText.shown(root.panel.workspaceName)
                    size: 14
                    font.weight: Font.Bold
                }
                UiText {
                    objectName: "panelSubtitle"
                    text: "Review changes before updating"
                    size: 11
                    color: Theme.secondary
                }
            }
        }

        CaptureArea {
            objectName: "captureArea"
            Layout.fillWidth: true
            Layout.fillHeight: true
            panel: root.panel
            listTitle: "What will be updated"
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 10

            PanelButton {
                objectName: "cancelButton"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                title: "Cancel"
                onClicked: root.panel.cancel()
            }
            PanelButton {
                objectName: "updateButton"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                title: "Update"
                prominent: true
                enabled: root.panel.canUpdate
                onClicked: root.panel.update()
            }
        }
    }
}
