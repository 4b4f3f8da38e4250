pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The value pill of a picker line. It takes no clicks itself: they reach the line's tap.
Rectangle {
    id: root

    default property alias content: row.data
    property alias spacing: row.spacing

    implicitWidth: row.implicitWidth + 20
    implicitHeight: row.implicitHeight + 10
    radius: 6
    color: hover.hovered ? Theme.alpha(Theme.primary, 0.1) : Theme.alpha(Theme.primary, 0.05)

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
    Row {
        id: row
        anchors.centerIn: parent
    }
}
