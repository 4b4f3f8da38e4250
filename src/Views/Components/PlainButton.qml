pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A button with no bezel and no pressed highlight of its own: its children draw it. The whole
// rectangle is the hit area.
Item {
    id: root

    readonly property alias hovered: area.containsMouse
    readonly property alias pressed: area.pressed
    property string toolTip
    property bool pointingCursor: false

    signal clicked

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        enabled: root.enabled
        cursorShape: root.pointingCursor ? Qt.PointingHandCursor : Qt.ArrowCursor
        onClicked: root.clicked()
    }

    UiToolTip {
        visible: root.toolTip !== "" && area.containsMouse
        text: root.toolTip
        delay: 700
    }
}
