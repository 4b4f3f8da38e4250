pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Ordella

// The read-only preview of a saved workspace, shown in the menu-bar window in place of the list:
// the coloured symbol tile, the name and a summary of what a restore brings back, one row per saved
// application, and Back (or Escape), which asks the owner to close it.
Item {
    id: root

    required property WorkspacePreviewInlineModel preview

    implicitWidth: 410
    implicitHeight: header.implicitHeight + 16 + Math.max(content.implicitHeight, 120) + 16 + 34

    Shortcut {
        sequence: "Esc"
        onActivated: root.preview.close()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            id: header
            Layout.fillWidth: true
            Layout.bottomMargin: 16
            spacing: 12

            Item {
                implicitWidth: 40
                implicitHeight: 40

                SoftShadow {
                    anchors.fill: parent
                    radius: 10
                    color: Theme.alpha(root.preview.gradientStart, 0.25)
                    blur: 6
                    offsetY: 3
                }
                GradientRect {
                    objectName: "symbolTile"
                    anchors.fill: parent
                    radius: 10
                    startColor: root.preview.gradientStart
                    endColor: root.preview.gradientEnd

                    SymbolIcon {
                        objectName: "workspaceSymbol"
                        anchors.centerIn: parent
                        symbol: root.preview.iconName
                        size: 16
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
                    text: OutsideText.shown(root.preview.name)
                    size: 14
                    font.weight: Font.Bold
                }
                UiText {
                    objectName: "summaryText"
                    Layout.fillWidth: true
                    text: root.preview.summaryText
                    size: 11
                    color: Theme.secondary
                }
            }
        }
        Item {
            id: content
            Layout.fillWidth: true
            Layout.fillHeight: true
            implicitHeight: root.preview.hasApps ? appList.implicitHeight : emptyState.implicitHeight

            ScrollView {
                objectName: "appScroll"
                visible: root.preview.hasApps
                anchors.fill: parent
                contentWidth: availableWidth
                ScrollBar.vertical.policy: ScrollBar.AsNeeded

                Column {
                    id: appList
                    width: parent.width
                    spacing: 10

                    Repeater {
                        model: root.preview.rows

                        AppRestorePreviewRow {
                            required property AppRestorePreviewRowModel modelData

                            objectName: "appRestorePreviewRow"
                            width: appList.width
                            row: modelData
                        }
                    }
                }
            }
            ColumnLayout {
                id: emptyState
                objectName: "emptyState"
                visible: !root.preview.hasApps
                anchors.centerIn: parent
                spacing: 12

                SymbolIcon {
                    Layout.alignment: Qt.AlignHCenter
                    symbol: "app.dashed"
                    size: 32
                    color: Theme.tertiary
                }
                UiText {
                    Layout.alignment: Qt.AlignHCenter
                    text: "No apps to save"
                    size: 13
                    font.weight: Font.Medium
                    color: Theme.secondary
                }
                UiText {
                    Layout.alignment: Qt.AlignHCenter
                    text: "This workspace has no saved applications."
                    size: 11
                    color: Theme.tertiary
                }
            }
        }
        PlainButton {
            id: backButton
            objectName: "backButton"
            Layout.fillWidth: true
            Layout.topMargin: 16
            implicitHeight: 34
            onClicked: root.preview.close()

            Rectangle {
                anchors.fill: parent
                radius: 8
                color: Theme.alpha(Theme.primary, backButton.hovered ? 0.08 : 0.05)
            }
            Row {
                anchors.centerIn: parent
                spacing: 6

                SymbolIcon {
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "chevron.left"
                    size: 12
                }
                UiText {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Back"
                    size: 13
                    font.weight: Font.Medium
                }
            }
        }
    }
}
