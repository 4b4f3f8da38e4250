pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The frame of a window or tab card: an 8-point margin around the content on the control
// background, a hairline outline and a faint shadow, the whole card at the cell's opacity.
Item {
    id: root

    required property SelectionCellModel cell
    default property alias content: inner.data

    opacity: cell.cardOpacity

    SoftShadow {
        anchors.fill: parent
        radius: 6
        color: Theme.alpha("black", 0.05)
        blur: 2
        offsetY: 1
    }
    Rectangle {
        anchors.fill: parent
        radius: 6
        color: Theme.controlBackground
        border.width: 0.5
        border.color: Theme.alpha(Theme.primary, 0.1)
    }
    Item {
        id: inner
        anchors.fill: parent
        anchors.margins: 8
    }
}
