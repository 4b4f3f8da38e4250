pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A small capsule with an optional symbol and a label, tinted in one colour: the status badges.
Rectangle {
    id: root

    property string icon
    required property string label
    required property color tint
    property real symbolSize: 7
    property real labelSize: 8
    property real spacing: 3
    property real horizontalPadding: 5
    property real verticalPadding: 2
    property real fillOpacity: 0.15
    property real outlineOpacity: 0.3

    implicitWidth: content.implicitWidth + 2 * horizontalPadding
    implicitHeight: content.implicitHeight + 2 * verticalPadding
    radius: height / 2
    color: Theme.alpha(tint, fillOpacity)
    border.width: 0.5
    border.color: Theme.alpha(tint, outlineOpacity)

    Row {
        id: content
        anchors.centerIn: parent
        spacing: root.spacing

        SymbolIcon {
            visible: root.icon !== ""
            anchors.verticalCenter: parent.verticalCenter
            symbol: root.icon
            size: root.symbolSize
            color: root.tint
        }
        UiText {
            objectName: "badgeLabel"
            anchors.verticalCenter: parent.verticalCenter
            text: root.label
            size: root.labelSize
            font.weight: Font.DemiBold
            color: root.tint
        }
    }
}
