pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// One of the two buttons at the foot of the save and update panels: Cancel on a faint fill, or the
// panel's prominent action in white on the accent colour. Hover changes show at once.
PlainButton {
    id: root

    required property string title
    property bool prominent: false

    implicitWidth: label.implicitWidth + 32
    implicitHeight: 34
    opacity: enabled ? 1 : 0.45

    Rectangle {
        anchors.fill: parent
        radius: 8
        color: root.prominent ? Theme.alpha(Theme.accent, root.hovered ? 1 : 0.9)
                              : Theme.alpha(Theme.primary, root.hovered ? 0.08 : 0.05)
    }
    UiText {
        id: label
        objectName: "panelButtonTitle"
        anchors.centerIn: parent
        text: root.title
        size: 13
        font.weight: root.prominent ? Font.DemiBold : Font.Medium
        color: root.prominent ? "white" : Theme.primary
    }
}
