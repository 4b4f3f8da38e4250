pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A row of segments of which one is chosen; a click on another asks for it through selected.
Rectangle {
    id: root

    required property var labels
    required property int currentIndex
    readonly property real segmentWidth: width / Math.max(1, labels.length)

    signal selected(int index)

    implicitWidth: 180
    implicitHeight: 24
    radius: 7
    color: Theme.alpha(Theme.primary, 0.06)
    border.width: 1
    border.color: Theme.alpha(Theme.primary, 0.06)

    Rectangle {
        objectName: "segmentHighlight"
        visible: root.currentIndex >= 0
        x: root.currentIndex * root.segmentWidth + 2
        y: 2
        width: root.segmentWidth - 4
        height: root.height - 4
        radius: 5
        color: Theme.dark ? Theme.alpha(Theme.primary, 0.18) : Theme.popoverBackground
        border.width: Theme.dark ? 0 : 0.5
        border.color: Theme.alpha(Theme.shadow, 0.5)

        Behavior on x {
            enabled: Theme.animated
            NumberAnimation {
                duration: Theme.springDuration
                easing.type: Easing.OutBack
                easing.overshoot: 0.6
            }
        }
    }
    Row {
        anchors.fill: parent

        Repeater {
            model: root.labels

            PlainButton {
                id: segment

                required property string modelData
                required property int index

                objectName: "segment"
                width: root.segmentWidth
                height: root.height
                onClicked: root.selected(segment.index)

                UiText {
                    anchors.centerIn: parent
                    text: segment.modelData
                    size: 12
                    font.weight: segment.index === root.currentIndex ? Font.DemiBold : Font.Medium
                    color: segment.index === root.currentIndex ? Theme.primary : Theme.secondary
                }
            }
        }
    }
}
