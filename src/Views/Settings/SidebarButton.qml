pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// One tab of the settings sidebar. It fades and slides in, a little after the one above it, when
// the window comes on screen.
PlainButton {
    id: root

    required property string title
    required property string icon
    required property bool isSelected
    required property int position
    required property bool animateIn

    Layout.fillWidth: true
    implicitHeight: line.implicitHeight + 12
    transform: Translate {
        id: slide
    }

    // Hidden and 10 points to the left until the window comes on screen, then fading and sliding
    // in, 50 ms after the entry above.
    states: State {
        when: !root.animateIn
        PropertyChanges {
            root.opacity: 0
            slide.x: -10
        }
    }
    transitions: Transition {
        enabled: Theme.animated
        SequentialAnimation {
            PauseAnimation {
                duration: root.position * 50
            }
            NumberAnimation {
                targets: [root, slide]
                properties: "opacity,x"
                duration: 400
                easing.type: Easing.OutQuad
            }
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: 10
        color: root.isSelected ? Theme.alpha(Theme.accent, 0.08)
                               : root.hovered ? Theme.alpha(Theme.primary, 0.04) : "transparent"
        border.width: 1
        border.color: root.isSelected ? Theme.alpha(Theme.accent, 0.2) : "transparent"

        Behavior on color {
            enabled: Theme.animated
            ColorAnimation {
                duration: 200
                easing.type: Easing.InOutQuad
            }
        }
    }
    RowLayout {
        id: line
        x: 10
        y: 6
        width: root.width - 20
        spacing: 10

        Item {
            implicitWidth: 28
            implicitHeight: 28

            GradientRect {
                anchors.fill: parent
                visible: root.isSelected
                radius: 14
                startColor: Theme.alpha(Theme.accent, 0.2)
                endColor: Theme.alpha(Theme.accent, 0.1)
            }
            SymbolIcon {
                anchors.centerIn: parent
                symbol: root.icon
                size: 14
                font.weight: root.isSelected ? Font.DemiBold : Font.Medium
                color: root.isSelected ? Theme.accent : Theme.secondary
            }
        }
        UiText {
            objectName: "sidebarTitle"
            Layout.fillWidth: true
            text: root.title
            size: 13
            font.weight: root.isSelected ? Font.DemiBold : Font.Medium
            color: root.isSelected ? Theme.primary : Theme.secondary
        }
    }
}
