pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// One trigger of a workspace, with its remove button.
Rectangle {
    id: root

    required property string symbol
    required property string text

    signal removeClicked

    implicitHeight: line.implicitHeight + 12
    radius: 6
    color: Theme.alpha(Theme.primary, 0.04)

    RowLayout {
        id: line
        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        spacing: 8

        SymbolIcon {
            Layout.preferredWidth: 18
            symbol: root.symbol
            size: 11
        }
        UiText {
            objectName: "triggerText"
            Layout.fillWidth: true
            text: root.text
            size: 13
            maximumLineCount: 1
        }
        IconButton {
            objectName: "removeTriggerButton"
            icon: "xmark.circle.fill"
            color: Theme.tertiary
            pointingCursor: true
            onClicked: root.removeClicked()
        }
    }
}
