pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The card of one browser tab: favicon, title, host and the include switch, in a card of fixed
// size (0.8 times as high as it is wide).
ThumbnailCard {
    id: root

    required property TabCellModel tabCell
    property real size: 120

    cell: tabCell
    implicitWidth: size
    implicitHeight: 0.8 * size

    ColumnLayout {
        anchors.fill: parent
        spacing: 6

        RowLayout {
            Layout.fillWidth: true
            spacing: 6

            FaviconImage {
                Layout.alignment: Qt.AlignVCenter
                url: root.tabCell.url
                size: 16
            }
            UiText {
                objectName: "tabTitle"
                Layout.fillWidth: true
                text: OutsideText.shown(root.tabCell.label)
                size: 11
                font.weight: root.tabCell.isUntitled ? Font.Normal : Font.Medium
                font.italic: root.tabCell.isUntitled
                color: root.tabCell.isUntitled ? Theme.tertiary : Theme.primary
                wrapMode: Text.Wrap
                maximumLineCount: 2
            }
        }
        UiText {
            objectName: "tabHost"
            Layout.fillWidth: true
            visible: root.tabCell.host !== ""
            text: OutsideText.shown(root.tabCell.host)
            size: 9
            color: Theme.secondary
        }
        Item {
            Layout.fillHeight: true
        }
        Item {
            Layout.fillWidth: true
            implicitHeight: toggle.implicitHeight

            MinimizedBadge {
                visible: root.tabCell.isMinimized
                anchors.verticalCenter: parent.verticalCenter
            }
            IncludeSwitch {
                id: toggle
                anchors.right: parent.right
                checked: !root.tabCell.isIgnored
                enabled: root.tabCell.canToggle
                onToggled: root.tabCell.toggleIgnore()
            }
        }
    }
}
