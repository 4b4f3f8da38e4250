pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A text in the interface font, in the primary colour unless told otherwise. Always plain: the
// texts shown carry names, window and tab titles and paths from outside, and markup in them (an
// image tag would be fetched) must show as typed, never be rendered.
Text {
    property real size: 13

    font.family: Theme.fontFamily
    font.pixelSize: size
    color: Theme.primary
    elide: Text.ElideRight
    textFormat: Text.PlainText
}
