pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The usual content of a settings row: the symbol tile, the title with its description (and any
// detail below them), and the row's control at the trailing end.
RowLayout {
    id: root

    required property string icon
    required property color startColor
    required property color endColor
    required property string title
    property string description
    default property alias control: trailing.data
    property alias detail: details.data

    Layout.fillWidth: true
    spacing: 10

    SettingIcon {
        Layout.alignment: Qt.AlignVCenter
        icon: root.icon
        startColor: root.startColor
        endColor: root.endColor
    }
    ColumnLayout {
        Layout.fillWidth: true
        spacing: 3

        UiText {
            objectName: "settingTitle"
            Layout.fillWidth: true
            text: root.title
            size: 13
            font.weight: Font.Medium
        }
        UiText {
            objectName: "settingDescription"
            Layout.fillWidth: true
            visible: root.description !== ""
            text: root.description
            size: 11
            color: Theme.secondary
            wrapMode: Text.Wrap
            maximumLineCount: 3
        }
        Column {
            id: details
            Layout.fillWidth: true
            visible: children.length > 0
        }
    }
    Row {
        id: trailing
        Layout.alignment: Qt.AlignVCenter
        spacing: 8
    }
}
