pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import Ordella

// The live picture of one window of a running application in a 16 : 10 area: a progress indicator
// while it is taken, then the picture (cropped to fill the area), or the "photo" placeholder when
// there is none. A minimised window carries its badge in the bottom-left corner.
Item {
    id: root

    required property int pid
    required property int windowIndex
    property real size: 120
    property bool isMinimized: false

    implicitWidth: size
    implicitHeight: 0.625 * size

    SoftShadow {
        visible: picture.hasThumbnail
        anchors.fill: parent
        radius: 6
        color: Theme.alpha("black", 0.1)
        blur: 2
        offsetY: 1
    }
    Rectangle {
        objectName: "thumbnailPlaceholder"
        visible: !picture.hasThumbnail
        anchors.fill: parent
        radius: 6
        color: Theme.alpha(Theme.secondary, 0.1)
    }
    WindowThumbnailImage {
        id: picture
        objectName: "thumbnailPicture"
        anchors.fill: parent
        visible: hasThumbnail
        pid: root.pid
        windowIndex: root.windowIndex
        viewSize: root.size
        radius: 6
        outlineColor: Theme.alpha(Theme.primary, 0.1)
        outlineWidth: 0.5
    }
    BusyIndicator {
        objectName: "thumbnailProgress"
        anchors.centerIn: parent
        visible: picture.isLoading
        running: picture.isLoading
        implicitWidth: 18
        implicitHeight: 18
        palette.dark: Theme.secondary
    }
    SymbolIcon {
        objectName: "thumbnailPlaceholderSymbol"
        anchors.centerIn: parent
        visible: !picture.isLoading && !picture.hasThumbnail
        symbol: "photo"
        size: 20
        color: Theme.tertiary
    }
    MinimizedBadge {
        objectName: "thumbnailMinimizedBadge"
        visible: root.isMinimized
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: 4
    }
}
