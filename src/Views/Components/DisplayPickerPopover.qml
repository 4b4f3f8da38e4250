pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The displays connected now, one of which a new display trigger will watch.
Column {
    id: root

    required property DisplayPickerModel picker

    width: 220
    padding: 12
    spacing: 12

    Row {
        spacing: 8

        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: root.picker.icon
            size: 13
            color: root.picker.iconColor
        }
        UiText {
            objectName: "displayPickerTitle"
            anchors.verticalCenter: parent.verticalCenter
            text: root.picker.title
            size: 12
            font.weight: Font.DemiBold
        }
    }
    Rectangle {
        visible: !root.picker.isEmpty
        width: parent.width - 24
        implicitHeight: list.implicitHeight + 12
        radius: 8
        color: Theme.alpha(Theme.primary, 0.04)

        Column {
            id: list
            x: 6
            y: 6
            width: parent.width - 12
            spacing: 2

            Repeater {
                model: root.picker.displays

                DisplayRow {
                    required property var modelData
                    required property int index

                    objectName: "displayRow"
                    width: list.width
                    name: modelData.name
                    onClicked: root.picker.select(index)
                }
            }
        }
    }
    UiText {
        objectName: "noDisplays"
        visible: root.picker.isEmpty
        width: parent.width - 24
        topPadding: 20
        bottomPadding: 20
        horizontalAlignment: Text.AlignHCenter
        text: "—"
        size: 12
        color: Theme.tertiary
    }
}
