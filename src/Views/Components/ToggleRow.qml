pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// A caption with a small switch.
Item {
    id: root

    required property string label
    required property bool checked

    signal toggled(bool value)

    implicitHeight: line.implicitHeight + 8
    implicitWidth: line.implicitWidth

    RowLayout {
        id: line
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        UiText {
            text: root.label
            size: 13
            elide: Text.ElideNone
        }
        Item {
            Layout.fillWidth: true
        }
        MiniSwitch {
            objectName: "toggleSwitch"
            checked: root.checked
            onToggled: value => root.toggled(value)
        }
    }
}
