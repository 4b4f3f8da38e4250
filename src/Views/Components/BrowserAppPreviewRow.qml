pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A captured browser in the save and update panels: the include switch, a summary of its tabs and
// one card per tab of every window, each of which can be ticked off. The cards stay, dimmed, while
// the whole browser is left out.
SelectionRow {
    id: root

    required property BrowserSelectionRowModel browserRow

    row: browserRow
    subtitle: browserRow.summaryText
    showsSubtitle: browserRow.hasTabs

    Repeater {
        model: root.browserRow.cells

        BrowserTabThumbnail {
            required property TabCellModel modelData

            objectName: "tabCard"
            tabCell: modelData
        }
    }
}
