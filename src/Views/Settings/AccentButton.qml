pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The filled accent button of the update card; it brightens while the pointer is over it.
PlainButton {
    id: root

    required property string title

    implicitWidth: label.implicitWidth + 28
    implicitHeight: label.implicitHeight + 16
    pointingCursor: true

    Rectangle {
        anchors.fill: parent
        radius: 6
        color: Theme.accent
        opacity: root.hovered ? 1 : 0.85

        Behavior on opacity {
            enabled: Theme.animated
            NumberAnimation {
                duration: Theme.hoverDuration
                easing.type: Easing.InOutQuad
            }
        }
    }
    UiText {
        id: label
        anchors.centerIn: parent
        text: root.title
        size: 12
        font.weight: Font.DemiBold
        color: "white"
    }
}
