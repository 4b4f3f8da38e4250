pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A small switch. It shows checked as given; a click asks for the other value through toggled.
// The knob's size sets the control's: 13 for the mini size, 16 for the small one.
PlainButton {
    id: root

    required property bool checked
    property real knobSize: 13

    signal toggled(bool value)

    implicitWidth: 2 * knobSize
    implicitHeight: knobSize + 2
    onClicked: root.toggled(!root.checked)

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: root.checked ? Theme.accent : Theme.alpha(Theme.primary, Theme.dark ? 0.24 : 0.14)

        Behavior on color {
            enabled: Theme.animated
            ColorAnimation {
                duration: Theme.hoverDuration
            }
        }
    }
    Rectangle {
        width: root.knobSize
        height: root.knobSize
        radius: root.knobSize / 2
        y: 1
        x: root.checked ? root.width - width - 1 : 1
        color: "white"
        border.width: 0.5
        border.color: Theme.alpha("black", 0.12)

        Behavior on x {
            enabled: Theme.animated
            NumberAnimation {
                duration: Theme.hoverDuration
                easing.type: Easing.InOutQuad
            }
        }
    }
}
