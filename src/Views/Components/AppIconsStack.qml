pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The overlapping round icons of a workspace's first applications, the first on top, followed by
// the number of the others.
Row {
    id: root

    // Bundle identifiers of the icons to show, in order.
    required property var icons
    // "+N", or empty.
    required property string overflowText

    spacing: -6

    Repeater {
        model: root.icons

        Item {
            id: cell

            required property string modelData
            required property int index

            objectName: "appIcon"
            width: 18
            height: 18
            z: 6 - index

            // A soft shadow under the icon.
            Rectangle {
                x: -0.5
                y: 0
                width: 19
                height: 19
                radius: 9.5
                color: Theme.alpha("black", 0.2)
            }
            AppIconImage {
                anchors.fill: parent
                bundleIdentifier: cell.modelData
                radius: 9
                outlineWidth: 1.5
                outlineColor: Theme.alpha(Theme.windowBackground, 0.8)
            }
        }
    }

    Item {
        visible: root.overflowText !== ""
        width: overflow.implicitWidth + 8
        height: 18

        UiText {
            id: overflow
            objectName: "appOverflow"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: root.overflowText
            size: 10
            font.weight: Font.Medium
            color: Theme.tertiary
        }
    }
}
