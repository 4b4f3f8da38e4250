pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The triggers of a workspace: one line per trigger, and the button that adds a display trigger
// through the menu of kinds and the display pickers.
Column {
    id: root

    required property WorkspaceRowModel row

    spacing: 2

    SectionHeader {
        width: parent.width
        icon: "bolt.fill"
        title: "Triggers"
    }
    Rectangle {
        id: box
        width: parent.width
        implicitHeight: list.implicitHeight + 20
        radius: 10
        color: Theme.alpha(Theme.primary, 0.03)

        Column {
            id: list
            x: 10
            y: 10
            width: parent.width - 20
            spacing: 6

            Repeater {
                model: root.row.triggers

                TriggerRow {
                    required property var modelData

                    objectName: "triggerRow"
                    width: list.width
                    symbol: modelData.symbol
                    text: modelData.text
                    onRemoveClicked: root.row.removeTrigger(modelData.id)
                }
            }
            AddTriggerRow {
                id: addButton
                objectName: "addTriggerButton"
                width: list.width
                onClicked: root.row.showingTriggerPicker = !root.row.showingTriggerPicker
            }
        }
    }

    Popover {
        objectName: "triggerPickerPopover"
        anchorItem: box
        presented: root.row.showingTriggerPicker
        onDismissed: root.row.showingTriggerPicker = false

        TriggerPickerPopover {
            onDisplayConnectedChosen: root.row.chooseDisplayTrigger(true)
            onDisplayDisconnectedChosen: root.row.chooseDisplayTrigger(false)
        }
    }
    Popover {
        objectName: "displayPickerPopover"
        anchorItem: box
        presented: root.row.showingDisplayPicker
        onDismissed: root.row.showingDisplayPicker = false

        DisplayPickerPopover {
            picker: root.row.displayPicker
        }
    }
    Popover {
        objectName: "displayDisconnectPickerPopover"
        anchorItem: box
        presented: root.row.showingDisplayDisconnectPicker
        onDismissed: root.row.showingDisplayDisconnectPicker = false

        DisplayPickerPopover {
            picker: root.row.displayDisconnectPicker
        }
    }
}
