pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// Holds the place of a panel of the menu-bar window that has no view of its own yet: its title
// and a Back button that returns to the list.
Item {
    id: root

    property string title

    signal back

    ColumnLayout {
        anchors.fill: parent
        spacing: 12

        RowLayout {
            spacing: 8

            PlainButton {
                objectName: "panelBackButton"
                implicitWidth: 30
                implicitHeight: 30
                onClicked: root.back()

                HoverFill {
                    anchors.fill: parent
                    radius: 7
                    hovered: parent.hovered
                }
                SymbolIcon {
                    anchors.centerIn: parent
                    symbol: "chevron.left"
                    size: 13
                }
            }
            UiText {
                text: root.title
                size: 15
                font.weight: Font.Bold
            }
        }
        Item {
            Layout.fillHeight: true
        }
    }
}
