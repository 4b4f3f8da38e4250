pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The menu of trigger kinds that can be added.
Column {
    id: root

    signal displayConnectedChosen
    signal displayDisconnectedChosen

    width: 240
    padding: 12
    spacing: 12

    UiText {
        text: "ADD TRIGGER"
        size: 10
        font.weight: Font.Bold
        font.letterSpacing: 0.5
        color: Theme.tertiary
    }
    Rectangle {
        width: parent.width - 24
        implicitHeight: entries.implicitHeight + 16
        radius: 8
        color: Theme.alpha(Theme.primary, 0.04)

        Column {
            id: entries
            x: 8
            y: 8
            width: parent.width - 16
            spacing: 4

            TriggerOptionRow {
                objectName: "displayConnectedOption"
                width: parent.width
                icon: "display"
                iconColor: Theme.blue
                title: "Display connected"
                onClicked: root.displayConnectedChosen()
            }
            Rectangle {
                x: 4
                width: parent.width - 8
                height: 1
                color: Theme.alpha(Theme.primary, 0.1)
            }
            TriggerOptionRow {
                objectName: "displayDisconnectedOption"
                width: parent.width
                icon: "display.trianglebadge.exclamationmark"
                iconColor: Theme.orange
                title: "Display disconnected"
                onClicked: root.displayDisconnectedChosen()
            }
        }
    }
}
