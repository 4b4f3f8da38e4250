pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts

// The scrolling page of a settings tab: its sections top to bottom, 26 points in from every edge,
// with no scroll bar drawn.
Flickable {
    id: root

    default property alias content: sections.data

    contentWidth: width
    contentHeight: sections.implicitHeight + 52
    boundsBehavior: Flickable.StopAtBounds
    clip: true
    onVisibleChanged: if (visible) contentY = 0

    ColumnLayout {
        id: sections
        x: 26
        y: 26
        width: root.width - 52
        spacing: 0
    }
}
