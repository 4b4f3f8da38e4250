pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A captured application (not a browser) in the save and update panels: the include switch, the
// "App Only" / "Files" choice of a document application, and its window pictures, which can be
// ticked off one by one in Files mode.
SelectionRow {
    id: root

    required property AppSelectionRowModel appRow

    row: appRow
    subtitle: appRow.windowCountText
    showsSubtitle: appRow.showsWindowCount

    accessories: Rectangle {
        objectName: "modeSelector"
        visible: root.appRow.showsModeSelector
        implicitWidth: modes.implicitWidth + 4
        implicitHeight: modes.implicitHeight + 4
        radius: 5
        color: Theme.alpha(Theme.primary, 0.06)

        Row {
            id: modes
            x: 2
            y: 2
            spacing: 4

            ModeButton {
                objectName: "appOnlyButton"
                label: "App Only"
                selected: !root.appRow.restoreFilesMode
                onClicked: root.appRow.chooseAppOnly()
            }
            ModeButton {
                objectName: "filesButton"
                label: "Files"
                selected: root.appRow.restoreFilesMode
                onClicked: root.appRow.chooseFiles()
            }
        }
    }

    Repeater {
        model: root.appRow.filesMode ? root.appRow.cells : []

        DocumentFileThumbnail {
            required property WindowCellModel modelData

            objectName: "documentCard"
            windowCell: modelData
        }
    }
    Repeater {
        model: root.appRow.filesMode ? [] : root.appRow.cells

        WindowThumbnail {
            required property WindowCellModel modelData

            objectName: "windowPicture"
            pid: modelData.pid
            windowIndex: modelData.windowIndex
            isMinimized: modelData.isMinimized
        }
    }

    component ModeButton: PlainButton {
        id: button

        required property string label
        required property bool selected

        implicitWidth: text.implicitWidth + 16
        implicitHeight: text.implicitHeight + 8

        Rectangle {
            anchors.fill: parent
            radius: 4
            color: button.selected ? Theme.accent : "transparent"
        }
        UiText {
            id: text
            anchors.centerIn: parent
            text: button.label
            size: 10
            color: button.selected ? "white" : Theme.secondary
        }
    }
}
