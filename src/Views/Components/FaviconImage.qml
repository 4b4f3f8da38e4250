pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The site icon of a web page in a small square: the globe until the icon is there, and for good
// when none can be had.
Item {
    id: root

    required property string url
    property real size: 16

    implicitWidth: size
    implicitHeight: size

    FaviconPicture {
        id: picture
        objectName: "faviconPicture"
        anchors.fill: parent
        visible: hasImage
        url: root.url
        radius: 0.2 * root.size
    }
    SymbolIcon {
        objectName: "faviconGlobe"
        anchors.centerIn: parent
        visible: !picture.hasImage
        symbol: "globe"
        size: 0.8 * root.size
        color: Theme.secondary
    }
}
