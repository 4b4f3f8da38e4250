pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// An indeterminate progress indicator: eight spokes fading around a circle, turning while shown.
Item {
    id: root

    property color color: Theme.secondary
    property real diameter: 16

    implicitWidth: diameter
    implicitHeight: diameter

    Item {
        id: wheel
        anchors.fill: parent

        Repeater {
            model: 8

            Rectangle {
                id: spoke

                required property int index

                x: (wheel.width - width) / 2
                y: 0
                width: Math.max(1.5, wheel.width / 9)
                height: wheel.height * 0.3
                radius: width / 2
                color: root.color
                opacity: 1 - spoke.index * 0.11
                transform: Rotation {
                    origin.x: spoke.width / 2
                    origin.y: wheel.height / 2
                    angle: -spoke.index * 45
                }
            }
        }

        RotationAnimator on rotation {
            running: Theme.animated && root.visible
            from: 0
            to: 360
            duration: 1000
            loops: Animation.Infinite
        }
    }
}
