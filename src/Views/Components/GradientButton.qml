pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// One swatch of the colour picker: a pair's gradient, outlined in white while it is the current one.
PlainButton {
    id: root

    required property int index
    required property bool isSelected

    width: 32
    height: 32

    // The selection's shadow.
    Rectangle {
        visible: root.isSelected
        anchors.fill: parent
        anchors.topMargin: 1
        anchors.bottomMargin: -2
        anchors.leftMargin: -1
        anchors.rightMargin: -1
        radius: 8
        color: Theme.alpha(Theme.primary, 0.15)
    }
    GradientRect {
        anchors.fill: parent
        radius: 7
        startColor: Theme.gradientStart(root.index)
        endColor: Theme.gradientEnd(root.index)
        outlineWidth: 2
        outlineColor: root.isSelected ? Theme.alpha("white", 0.8) : "transparent"
    }
}
