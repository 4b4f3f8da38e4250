pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The card of one document window: its picture, its file name and the include switch.
ThumbnailCard {
    id: root

    required property WindowCellModel windowCell
    property real size: 120

    cell: windowCell
    implicitWidth: size + 16
    implicitHeight: column.implicitHeight + 16

    Column {
        id: column
        width: root.size
        spacing: 6

        WindowThumbnail {
            pid: root.windowCell.pid
            windowIndex: root.windowCell.windowIndex
            size: root.size
        }
        UiText {
            objectName: "documentName"
            width: root.size
            text: OutsideText.shown(root.windowCell.label)
            size: 10
            font.weight: root.windowCell.isUntitled ? Font.Normal : Font.Medium
            font.italic: root.windowCell.isUntitled
            color: root.windowCell.isUntitled ? Theme.tertiary : Theme.primary
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            maximumLineCount: 2
        }
        Item {
            width: root.size
            height: toggle.implicitHeight

            MinimizedBadge {
                visible: root.windowCell.isMinimized
                anchors.verticalCenter: parent.verticalCenter
            }
            IncludeSwitch {
                id: toggle
                anchors.right: parent.right
                checked: !root.windowCell.isIgnored
                enabled: root.windowCell.canToggle
                onToggled: root.windowCell.toggleIgnore()
            }
        }
    }
}
