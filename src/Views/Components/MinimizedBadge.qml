pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The orange "Minimized" tag, in a regular and a small size.
CapsuleTag {
    id: root

    enum Size {
        Regular,
        Small
    }

    property int size: MinimizedBadge.Regular
    readonly property bool small: size === MinimizedBadge.Small

    icon: "arrow.down.to.line"
    label: "Minimized"
    tint: Theme.orange
    spacing: 2
    symbolSize: small ? 5 : 6
    labelSize: small ? 6 : 7
    horizontalPadding: small ? 3 : 4
    verticalPadding: small ? 1 : 2
    fillOpacity: small ? 0.12 : 0.15
    outlineOpacity: small ? 0.25 : 0.3
}
