pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The large accent button at the foot of the menu-bar window that starts a new workspace. It grows
// a little under the pointer and shrinks while pressed, also while an operation runs; only the
// click is held back then.
Item {
    id: root

    property bool isProcessing: false

    signal action

    readonly property bool isHovered: area.containsMouse
    readonly property bool isPressed: area.pressed

    implicitWidth: 410
    implicitHeight: 42

    Item {
        id: label
        anchors.fill: parent
        scale: root.isPressed ? 0.97 : root.isHovered ? 1.01 : 1.0
        opacity: root.isProcessing ? 0.6 : 1

        Behavior on scale {
            enabled: Theme.animated
            NumberAnimation {
                duration: root.isPressed ? 100 : 200
                easing.type: Easing.InOutQuad
            }
        }

        SoftShadow {
            anchors.fill: parent
            radius: 12
            color: Theme.alpha(Theme.accent, root.isHovered ? 0.4 : 0.25)
            blur: root.isHovered ? 12 : 8
            offsetY: root.isHovered ? 6 : 4
        }
        GradientRect {
            objectName: "newWorkspaceFill"
            anchors.fill: parent
            radius: 12
            startColor: Theme.alpha(Theme.accent, root.isHovered ? 1.0 : 0.95)
            endColor: Theme.alpha(Theme.accent, root.isHovered ? 0.85 : 0.75)
        }
        Rectangle {
            anchors.fill: parent
            radius: 12
            color: "transparent"
            border.width: 1
            border.color: Theme.alpha("white", root.isHovered ? 0.25 : 0.15)
        }
        UiText {
            objectName: "newWorkspaceTitle"
            anchors.centerIn: parent
            text: "Create New Workspace"
            size: 14
            font.weight: Font.DemiBold
            color: "white"
        }
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: {
            if (!root.isProcessing)
                root.action();
        }
    }
}
