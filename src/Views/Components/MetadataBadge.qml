pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A symbol with a count, as in "3 apps".
Row {
    id: root

    required property string icon
    required property int value

    spacing: 4

    SymbolIcon {
        anchors.verticalCenter: parent.verticalCenter
        symbol: root.icon
        size: 10
    }
    UiText {
        objectName: "metadataValue"
        anchors.verticalCenter: parent.verticalCenter
        text: root.value.toString()
        size: 11
        font.weight: Font.Medium
        color: Theme.secondary
    }
}
