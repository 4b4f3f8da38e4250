pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts

// The frame of one settings line: its content in a row, and, when tappable, a click anywhere on
// it reported through tapped.
Item {
    id: root

    default property alias content: line.data
    property bool tappable: false

    signal tapped

    implicitHeight: line.implicitHeight + 10
    implicitWidth: line.implicitWidth

    MouseArea {
        anchors.fill: parent
        enabled: root.tappable
        onClicked: root.tapped()
    }

    RowLayout {
        id: line
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8
    }
}
