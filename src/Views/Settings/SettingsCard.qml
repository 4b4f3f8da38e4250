pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The rounded card that holds the rows of one settings section, lifted off the page by a soft
// shadow.
Item {
    id: root

    default property alias rows: column.data

    Layout.fillWidth: true
    implicitWidth: column.implicitWidth
    implicitHeight: column.implicitHeight

    Rectangle {
        anchors.fill: parent
        anchors.topMargin: 2
        anchors.bottomMargin: -2
        anchors.leftMargin: -1
        anchors.rightMargin: -1
        radius: 13
        color: Theme.alpha(Theme.shadow, Theme.dark ? 0.3 : 0.12)
    }
    Rectangle {
        anchors.fill: parent
        radius: 12
        color: Theme.cardBackground
        border.width: 1
        border.color: Theme.alpha(Theme.primary, 0.08)
    }
    ColumnLayout {
        id: column
        width: parent.width
        spacing: 0
    }
}
