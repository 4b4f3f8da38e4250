pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The colour picker: the 32 colour pairs as swatches, the current one marked.
Column {
    id: root

    // The current pair, 0 to 31 (any other value marks none).
    required property int currentIndex

    signal selected(int index)

    // At least 310 wide; the eight swatches and their margins need a little more.
    width: Math.max(310, swatches.implicitWidth + 28)
    padding: 14
    spacing: 10

    UiText {
        text: "COLOR"
        size: 10
        font.weight: Font.Bold
        font.letterSpacing: 0.5
        color: Theme.tertiary
    }
    Grid {
        id: swatches
        anchors.horizontalCenter: parent.horizontalCenter
        columns: 8
        columnSpacing: 6
        rowSpacing: 6

        Repeater {
            model: 32

            GradientButton {
                required property int modelData

                objectName: "colorSwatch"
                index: modelData
                isSelected: modelData === root.currentIndex
                onClicked: root.selected(modelData)
            }
        }
    }
}
