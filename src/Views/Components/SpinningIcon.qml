pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The circular arrows turning once a second while an operation runs.
SymbolIcon {
    id: root

    required property color tint

    symbol: "arrow.triangle.2.circlepath"
    size: 12
    font.weight: Font.DemiBold
    color: root.tint

    RotationAnimation on rotation {
        running: Theme.animated && root.visible
        from: 0
        to: 360
        duration: 1000
        loops: Animation.Infinite
    }
}
