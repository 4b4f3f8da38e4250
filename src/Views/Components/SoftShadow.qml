pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A soft shadow under a rounded shape of the same size: thin layers that widen up to the blur
// radius and together reach the shadow's colour under the shape.
Item {
    id: root

    property real radius: 0
    property color color: "black"
    property real blur: 2
    property real offsetY: 0

    Repeater {
        id: layers

        model: Math.max(2, Math.min(8, Math.round(root.blur * 1.5)))

        Rectangle {
            required property int index
            readonly property real spread: root.blur * (index + 1) / layers.count

            x: -spread
            y: root.offsetY - spread
            width: root.width + 2 * spread
            height: root.height + 2 * spread
            radius: root.radius + spread
            color: Theme.alpha(root.color, 1.2 / layers.count)
        }
    }
}
