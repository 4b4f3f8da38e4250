pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// One connected display in the display picker.
PlainButton {
    id: root

    required property string name

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
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        spacing: 10

        SymbolIcon {
            Layout.preferredWidth: 16
            symbol: "display"
            size: 11
        }
        UiText {
            objectName: "displayName"
            Layout.fillWidth: true
            text: OutsideText.shown(root.name)
            size: 12
            maximumLineCount: 1
        }
    }
}
