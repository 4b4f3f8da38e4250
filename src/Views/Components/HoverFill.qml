pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The rounded fill behind a small control, fading between its rest and hover colours.
Rectangle {
    property bool hovered: false
    property color restColor: Theme.alpha(Theme.primary, 0.04)
    property color hoverColor: Theme.alpha(Theme.primary, 0.08)

    color: hovered ? hoverColor : restColor

    Behavior on color {
        enabled: Theme.animated
        ColorAnimation {
            duration: Theme.hoverDuration
            easing.type: Easing.InOutQuad
        }
    }
}
