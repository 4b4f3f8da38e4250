pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// One excluded application: its icon and name, and a cross that removes it.
Rectangle {
    id: root

    required property string appName
    required property string appIcon

    signal remove

    implicitWidth: line.implicitWidth + 20
    implicitHeight: line.implicitHeight + 10
    radius: 7
    color: hover.hovered ? Theme.alpha(Theme.primary, 0.08) : Theme.alpha(Theme.primary, 0.05)
    border.width: 1
    border.color: Theme.alpha(Theme.primary, 0.1)

    Behavior on color {
        enabled: Theme.animated
        ColorAnimation {
            duration: Theme.hoverDuration
            easing.type: Easing.InOutQuad
        }
    }

    HoverHandler {
        id: hover
    }

    RowLayout {
        id: line
        anchors.centerIn: parent
        spacing: 6

        EntryIconImage {
            id: icon
            Layout.preferredWidth: 14
            Layout.preferredHeight: 14
            visible: icon.hasIcon
            source: root.appIcon
        }
        UiText {
            objectName: "chipName"
            Layout.maximumWidth: 220
            text: OutsideText.shown(root.appName)
            size: 11
            font.weight: Font.Medium
            maximumLineCount: 1
        }
        IconButton {
            objectName: "chipRemoveButton"
            icon: "xmark"
            size: 9
            opacity: hover.hovered ? 1 : 0.6
            toolTip: "Remove"
            onClicked: root.remove()
        }
    }
}
