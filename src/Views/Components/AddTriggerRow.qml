pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The "Add Trigger" button, which opens the menu of trigger kinds.
PlainButton {
    id: root

    implicitHeight: content.implicitHeight + 20

    HoverFill {
        anchors.fill: parent
        radius: 6
        hovered: root.hovered
        restColor: Theme.alpha(Theme.accent, 0.2)
        hoverColor: Theme.alpha(Theme.accent, 0.3)
    }
    Row {
        id: content
        anchors.centerIn: parent
        spacing: 8

        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: "plus"
            size: 13
            color: Theme.accent
        }
        UiText {
            anchors.verticalCenter: parent.verticalCenter
            text: "Add Trigger"
            size: 12
            font.weight: Font.Medium
            color: Theme.accent
        }
    }
}
