pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The rounded box that holds the lines of one section of a panel.
Rectangle {
    default property alias content: lines.data

    implicitHeight: lines.implicitHeight + 20
    radius: 10
    color: Theme.alpha(Theme.primary, 0.03)

    Column {
        id: lines
        x: 10
        y: 10
        width: parent.width - 20
    }
}
