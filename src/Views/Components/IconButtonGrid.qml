pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// One symbol cell of the icon picker.
PlainButton {
    id: root

    required property string iconName
    required property bool isSelected

    width: 32
    height: 32

    HoverFill {
        anchors.fill: parent
        radius: 6
        hovered: root.hovered
        restColor: root.isSelected ? Theme.alpha(Theme.accent, 0.15) : Theme.alpha(Theme.primary, 0.04)
        hoverColor: root.isSelected ? Theme.alpha(Theme.accent, 0.15) : Theme.alpha(Theme.primary, 0.08)
    }
    SymbolIcon {
        anchors.centerIn: parent
        symbol: root.iconName
        size: 13
        color: root.isSelected ? Theme.accent : Theme.primary
    }
}
