pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The compact text button at the end of a settings row. Hovering tints its text, fill and border
// with its colour at once.
PlainButton {
    id: root

    required property string title
    property color color: Theme.accent
    property real minWidth: 80

    implicitWidth: Math.max(minWidth, label.implicitWidth) + 28
    implicitHeight: label.implicitHeight + 12
    pointingCursor: true

    Rectangle {
        anchors.fill: parent
        radius: 7
        color: root.hovered ? Theme.alpha(root.color, 0.12) : Theme.alpha(Theme.primary, 0.04)
        border.width: 1
        border.color: root.hovered ? Theme.alpha(root.color, 0.3) : Theme.alpha(Theme.primary, 0.12)
    }
    UiText {
        id: label
        anchors.centerIn: parent
        text: root.title
        size: 12
        font.weight: Font.Medium
        color: root.hovered ? root.color : Theme.primary
    }
}
