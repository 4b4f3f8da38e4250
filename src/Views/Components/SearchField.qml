pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Ordella

// A plain search field with its magnifying glass and, while it holds text, a clear button.
Rectangle {
    id: root

    required property string text
    property string placeholder
    property alias field: input

    signal edited(string text)
    signal cleared

    implicitHeight: 32
    radius: 8
    color: Theme.alpha(Theme.primary, 0.05)

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        spacing: 8

        SymbolIcon {
            symbol: "magnifyingglass"
            size: 12
        }
        TextField {
            id: input
            objectName: "searchField"
            Layout.fillWidth: true
            text: root.text
            placeholderText: root.placeholder
            placeholderTextColor: Theme.tertiary
            color: Theme.primary
            selectionColor: Theme.alpha(Theme.accent, 0.35)
            selectedTextColor: Theme.primary
            font.family: Theme.fontFamily
            font.pixelSize: 13
            leftPadding: 0
            rightPadding: 0
            background: null
            onTextEdited: root.edited(text)
        }
        IconButton {
            objectName: "searchClearButton"
            visible: root.text !== ""
            icon: "xmark.circle.fill"
            color: Theme.secondary
            onClicked: root.cleared()
        }
    }
}
