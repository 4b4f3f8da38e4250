pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// One entry of the trigger menu.
PlainButton {
    id: root

    required property string icon
    required property color iconColor
    required property string title

    implicitHeight: line.implicitHeight + 16
    pointingCursor: true

    HoverFill {
        anchors.fill: parent
        radius: 6
        hovered: root.hovered
        restColor: "transparent"
        hoverColor: Theme.alpha(Theme.primary, 0.05)
    }
    RowLayout {
        id: line
        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        spacing: 10

        SymbolIcon {
            Layout.preferredWidth: 20
            symbol: root.icon
            size: 13
            color: root.iconColor
        }
        UiText {
            Layout.fillWidth: true
            text: root.title
            size: 12
        }
        SymbolIcon {
            symbol: "chevron.right"
            size: 10
            color: Theme.tertiary
        }
    }
}
