pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A text in the interface font, in the primary colour unless told otherwise.
Text {
    property real size: 13

    font.family: Theme.fontFamily
    font.pixelSize: size
    color: Theme.primary
    elide: Text.ElideRight
}
