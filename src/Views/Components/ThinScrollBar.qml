pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import Ordella

// A slim scroll indicator in the theme's ink, for the scroll areas of panels and popovers.
ScrollBar {
    id: root

    padding: 2
    contentItem: Rectangle {
        implicitWidth: 6
        implicitHeight: 6
        radius: 3
        color: Theme.alpha(Theme.primary, root.pressed ? 0.45 : root.hovered ? 0.35 : 0.22)
        opacity: root.size < 1 ? 1 : 0
    }
}
