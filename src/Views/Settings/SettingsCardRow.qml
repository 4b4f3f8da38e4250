pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts

// One row of a settings card: its content inset 16 points at the sides and 14 above and below.
Item {
    id: root

    default property alias content: box.data

    Layout.fillWidth: true
    implicitWidth: box.implicitWidth + 32
    implicitHeight: box.implicitHeight + 28

    ColumnLayout {
        id: box
        x: 16
        y: 14
        width: root.width - 32
        spacing: 10
    }
}
