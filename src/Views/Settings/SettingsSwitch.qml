pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The switch of a settings row. It shows checked as given; a click asks for the other value
// through toggled.
PlainButton {
    id: root

    required property bool checked

    signal toggled(bool value)

    implicitWidth: 32
    implicitHeight: 18
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
        width: root.height - 4
        height: width
        radius: width / 2
        y: 2
        x: root.checked ? root.width - width - 2 : 2
        color: "white"
        border.width: 0.5
        border.color: Theme.alpha(Theme.shadow, 0.4)

        Behavior on x {
            enabled: Theme.animated
            NumberAnimation {
                duration: Theme.hoverDuration
                easing.type: Easing.InOutQuad
            }
        }
    }
}
