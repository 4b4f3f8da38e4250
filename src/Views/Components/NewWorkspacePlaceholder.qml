pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// Holds the place of the new-workspace button of the list's footer.
PlainButton {
    id: root

    implicitHeight: 40
    opacity: enabled ? 1 : 0.5

    Rectangle {
        anchors.fill: parent
        radius: 10
        color: root.hovered ? Qt.darker(Theme.accent, 1.08) : Theme.accent
    }
    RowLayout {
        anchors.centerIn: parent
        spacing: 6

        SymbolIcon {
            symbol: "plus"
            size: 13
            color: "white"
        }
        UiText {
            text: "New Workspace"
            font.weight: Font.DemiBold
            color: "white"
        }
    }
}
