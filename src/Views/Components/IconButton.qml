pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A bare symbol button.
PlainButton {
    id: root

    required property string icon
    property color color: Theme.secondary
    property real size: 14

    implicitWidth: glyph.implicitWidth
    implicitHeight: glyph.implicitHeight

    SymbolIcon {
        id: glyph
        anchors.centerIn: parent
        symbol: root.icon
        size: root.size
        color: root.color
    }
}
