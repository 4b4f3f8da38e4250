pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// One symbol, named as the designs name it ("play.fill"), drawn with the symbol font at the
// visual size of a symbol of that point size.
Text {
    property string symbol
    property real size: 13

    text: Symbols.glyph(symbol)
    font.family: Symbols.fontFamily
    font.pixelSize: Math.round(size * 1.25)
    color: Theme.secondary
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
}
