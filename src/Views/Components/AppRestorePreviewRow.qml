pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// One saved application in the inline preview of a workspace: icon, name, state badge and window
// count, then what a restore reopens for it: a browser's tabs, or an application's documents.
Rectangle {
    id: root

    required property AppRestorePreviewRowModel row

    implicitWidth: 410
    implicitHeight: column.implicitHeight + 20
    radius: 8
    color: Theme.alpha(Theme.primary, 0.04)

    ColumnLayout {
        id: column
        x: 10
        y: 10
        width: parent.width - 20
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Item {
                implicitWidth: 20
                implicitHeight: 20

                Rectangle {
                    anchors.fill: parent
                    visible: !icon.hasIcon
                    radius: 4
                    color: Theme.alpha(Theme.secondary, 0.2)
                }
                AppIconImage {
                    id: icon
                    objectName: "appIcon"
                    anchors.fill: parent
                    bundleIdentifier: root.row.bundleIdentifier
                    radius: 4
                }
            }
            UiText {
                objectName: "appName"
                Layout.maximumWidth: implicitWidth
                Layout.minimumWidth: 0
                text: OutsideText.shown(root.row.appName)
                size: 13
                font.weight: Font.DemiBold
            }
            AppPreviewBadge {
                objectName: "appBadge"
                kind: root.row.badge
            }
            Item {
                Layout.fillWidth: true
            }
            Rectangle {
                objectName: "windowPill"
                visible: root.row.windowCount > 0
                implicitWidth: pill.implicitWidth + 12
                implicitHeight: pill.implicitHeight + 4
                radius: 3
                color: Theme.alpha(Theme.primary, 0.06)

                Row {
                    id: pill
                    anchors.centerIn: parent
                    spacing: 3

                    SymbolIcon {
                        anchors.verticalCenter: parent.verticalCenter
                        symbol: "macwindow"
                        size: 9
                    }
                    UiText {
                        objectName: "windowCount"
                        anchors.verticalCenter: parent.verticalCenter
                        text: root.row.windowCount
                        size: 10
                        font.weight: Font.Medium
                        color: Theme.secondary
                    }
                }
            }
        }
        ColumnLayout {
            objectName: "tabList"
            visible: root.row.detail === AppRestorePreviewRowModel.Tabs
            Layout.fillWidth: true
            Layout.leftMargin: 28
            spacing: 6

            Repeater {
                model: root.row.tabs

                RowLayout {
                    id: tabLine

                    required property var modelData

                    objectName: "tabLine"
                    Layout.fillWidth: true
                    Layout.topMargin: 1
                    Layout.bottomMargin: 1
                    spacing: 6

                    FaviconImage {
                        url: tabLine.modelData.url
                        size: 12
                    }
                    UiText {
                        objectName: "tabTitle"
                        Layout.maximumWidth: implicitWidth
                        Layout.minimumWidth: 0
                        text: OutsideText.shown(tabLine.modelData.title)
                        size: 10
                        font.italic: tabLine.modelData.isUntitled
                        color: tabLine.modelData.isUntitled ? Theme.tertiary : Theme.primary
                    }
                    MinimizedBadge {
                        visible: tabLine.modelData.isMinimized
                        size: MinimizedBadge.Small
                    }
                    Item {
                        Layout.fillWidth: true
                    }
                }
            }
        }
        ColumnLayout {
            objectName: "documentList"
            visible: root.row.detail === AppRestorePreviewRowModel.Documents
            Layout.fillWidth: true
            Layout.leftMargin: 28
            spacing: 4

            Repeater {
                model: root.row.documents

                RowLayout {
                    id: documentLine

                    required property var modelData

                    objectName: "documentLine"
                    Layout.fillWidth: true
                    Layout.topMargin: 1
                    Layout.bottomMargin: 1
                    spacing: 4

                    SymbolIcon {
                        symbol: "doc"
                        size: 10
                    }
                    UiText {
                        objectName: "documentName"
                        Layout.maximumWidth: implicitWidth
                        Layout.minimumWidth: 0
                        text: OutsideText.shown(documentLine.modelData.name)
                        size: 10
                    }
                    MinimizedBadge {
                        visible: documentLine.modelData.isMinimized
                        size: MinimizedBadge.Small
                    }
                    Item {
                        Layout.fillWidth: true
                    }
                }
            }
            UiText {
                objectName: "moreFiles"
                visible: root.row.moreFilesText !== ""
                Layout.topMargin: 1
                text: root.row.moreFilesText
                size: 10
                color: Theme.tertiary
            }
        }
    }
}
