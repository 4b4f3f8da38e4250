pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A full-width button of a panel, neutral or destructive.
PlainButton {
    id: root

    required property string icon
    required property string label
    property bool destructive: false
    readonly property color tint: destructive ? Theme.red : Theme.primary

    implicitHeight: content.implicitHeight + 18
    implicitWidth: content.implicitWidth + 24

    HoverFill {
        anchors.fill: parent
        radius: 6
        hovered: root.hovered
        restColor: Theme.alpha(root.tint, root.destructive ? 0.08 : 0.04)
        hoverColor: Theme.alpha(root.tint, root.destructive ? 0.15 : 0.08)
    }
    Row {
        id: content
        anchors.centerIn: parent
        spacing: 6

        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: root.icon
            size: 12
            color: root.tint
        }
        UiText {
            anchors.verticalCenter: parent.verticalCenter
            text: root.label
            size: 12
            font.weight: Font.Medium
            color: root.tint
        }
    }
}
