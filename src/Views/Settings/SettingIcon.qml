pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The coloured tile at the start of a settings row: the symbol in white on a diagonal gradient.
GradientRect {
    id: root

    required property string icon

    implicitWidth: 34
    implicitHeight: 34
    radius: 9

    SymbolIcon {
        anchors.centerIn: parent
        symbol: root.icon
        size: 14
        font.weight: Font.DemiBold
        color: "white"
    }
}
