pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The small upper-case title with a symbol that opens a section of a panel.
Item {
    id: root

    required property string icon
    required property string title

    implicitWidth: row.implicitWidth
    implicitHeight: row.implicitHeight + 8 + 2

    Row {
        id: row
        y: 8
        spacing: 6

        SymbolIcon {
            objectName: "sectionHeaderIcon"
            anchors.verticalCenter: parent.verticalCenter
            symbol: root.icon
            size: 11
        }
        UiText {
            objectName: "sectionHeaderTitle"
            anchors.verticalCenter: parent.verticalCenter
            text: root.title.toUpperCase()
            size: 11
            font.weight: Font.Bold
            font.letterSpacing: 0.5
            color: Theme.secondary
        }
    }
}
