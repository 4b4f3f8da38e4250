pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// A result symbol that pops in each time it comes on screen: from half size, past 1.2, to 1.0.
SymbolIcon {
    id: root

    required property string iconName
    required property color tint

    symbol: root.iconName
    size: 12
    font.weight: Font.DemiBold
    color: root.tint

    function pop() {
        if (!Theme.animated) {
            return;
        }
        popAnimation.restart();
    }

    onVisibleChanged: if (visible) pop()
    Component.onCompleted: pop()

    SequentialAnimation {
        id: popAnimation
        PropertyAction {
            target: root
            property: "scale"
            value: 0.5
        }
        NumberAnimation {
            target: root
            property: "scale"
            to: 1.2
            duration: 150
            easing.type: Easing.OutBack
        }
        NumberAnimation {
            target: root
            property: "scale"
            to: 1.0
            duration: 200
            easing.type: Easing.OutBack
        }
    }
}
