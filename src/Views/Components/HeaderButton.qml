pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The square symbol button of the menu-bar window's header. Its hover flag belongs to the owner:
// the button shows isHovered and reports pointer changes through hoverChangeRequested.
PlainButton {
    id: root

    required property string icon
    required property bool isHovered

    signal hoverChangeRequested(bool hovered)

    implicitWidth: 30
    implicitHeight: 30
    onHoveredChanged: root.hoverChangeRequested(hovered)

    HoverFill {
        anchors.fill: parent
        radius: 7
        hovered: root.isHovered
    }
    SymbolIcon {
        anchors.centerIn: parent
        symbol: root.icon
        size: 14
    }
}
