pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Ordella

// The middle of the save and update panels, as the panel's capture stands: nothing yet, the
// loading row, the error block, or the list of what the workspace will hold - a header with the
// counts and Select All / Deselect All, then one row per captured application (or, without any, the
// empty block).
Item {
    id: root

    required property CapturePanelModel panel
    // "What will be saved" or "What will be updated".
    required property string listTitle

    implicitWidth: 410
    implicitHeight: root.panel.showsLoading ? loading.implicitHeight
                    : root.panel.showsError ? failure.implicitHeight
                    : root.panel.showsList ? listHeader.implicitHeight + 4 + 8 + 16
                                             + (root.panel.showsEmptyBlock ? empty.implicitHeight : 200)
                    : 0

    CaptureLoadingRow {
        id: loading
        objectName: "captureLoading"
        width: parent.width
        visible: root.panel.showsLoading
    }
    CaptureMessageBlock {
        id: failure
        objectName: "captureError"
        width: parent.width
        visible: root.panel.showsError
        symbol: "exclamationmark.triangle.fill"
        symbolColor: Theme.orange
        message: root.panel.captureError
    }

    ColumnLayout {
        objectName: "captureList"
        anchors.fill: parent
        anchors.bottomMargin: 16
        visible: root.panel.showsList
        spacing: 8

        RowLayout {
            id: listHeader
            Layout.fillWidth: true
            Layout.bottomMargin: 4
            spacing: 6

            UiText {
                objectName: "listTitle"
                text: root.listTitle
                size: 12
                font.weight: Font.Bold
            }
            Item {
                Layout.fillWidth: true
            }
            UiText {
                objectName: "summaryText"
                visible: text !== ""
                text: root.panel.summaryText
                size: 11
                color: Theme.secondary
            }
            PlainButton {
                id: selectionButton
                objectName: "selectionButton"
                visible: root.panel.showsSelectionButton
                implicitWidth: selectionTitle.implicitWidth + 4
                implicitHeight: selectionTitle.implicitHeight + 4
                pointingCursor: true
                onClicked: root.panel.toggleSelectAll()

                UiText {
                    id: selectionTitle
                    objectName: "selectionButtonTitle"
                    anchors.centerIn: parent
                    text: root.panel.selectionButtonTitle
                    size: 11
                    color: selectionButton.hovered ? Qt.darker(Theme.accent, 1.15) : Theme.accent
                }
            }
        }
        CaptureMessageBlock {
            id: empty
            objectName: "captureEmpty"
            Layout.fillWidth: true
            visible: root.panel.showsEmptyBlock
            symbol: "app.dashed"
            symbolSize: 24
            symbolColor: Theme.tertiary
            message: "No applications are currently running"
        }
        Item {
            Layout.fillHeight: true
            visible: root.panel.showsEmptyBlock
        }
        ListView {
            id: list
            objectName: "captureRows"
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: root.panel.showsList && !root.panel.showsEmptyBlock
            clip: true
            spacing: 8
            boundsBehavior: Flickable.StopAtBounds
            model: root.panel.rows
            ScrollBar.vertical: ScrollBar {
                policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            }

            // A browser's row lists its tabs, any other application's row its windows.
            delegate: Item {
                id: cell

                required property SelectionRowModel modelData

                // Clear of the scroll bar when there is one.
                width: list.width - (list.contentHeight > list.height ? 14 : 0)
                height: childrenRect.height

                Repeater {
                    model: cell.modelData.isBrowser ? [] : [cell.modelData]

                    AppPreviewRow {
                        required property SelectionRowModel modelData

                        objectName: "appPreviewRow"
                        width: cell.width
                        appRow: modelData as AppSelectionRowModel
                    }
                }
                Repeater {
                    model: cell.modelData.isBrowser ? [cell.modelData] : []

                    BrowserAppPreviewRow {
                        required property SelectionRowModel modelData

                        objectName: "browserPreviewRow"
                        width: cell.width
                        browserRow: modelData as BrowserSelectionRowModel
                    }
                }
            }
        }
    }
}
