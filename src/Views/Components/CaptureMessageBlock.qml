pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// A symbol over a short centred text in a panel's capture area: the failed capture and the capture
// without applications.
Item {
    id: root

    required property string symbol
    required property color symbolColor
    property real symbolSize: 20
    required property string message

    implicitWidth: column.implicitWidth
    implicitHeight: column.implicitHeight + 40

    ColumnLayout {
        id: column
        anchors.centerIn: parent
        width: Math.min(implicitWidth, root.width)
        spacing: 8

        SymbolIcon {
            objectName: "captureMessageSymbol"
            Layout.alignment: Qt.AlignHCenter
            symbol: root.symbol
            size: root.symbolSize
            color: root.symbolColor
        }
        UiText {
            objectName: "captureMessage"
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: root.width
            text: root.message
            size: 11
            color: Theme.secondary
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
        }
    }
}
