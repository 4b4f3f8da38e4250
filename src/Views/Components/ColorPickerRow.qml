pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The "Color" line of a workspace's panel: the current colour pair in a pill that opens the picker.
SettingsRow {
    id: root

    required property int gradientIndex
    required property bool presented

    signal presentedChangeRequested(bool presented)
    signal selected(int index)

    tappable: true
    onTapped: root.presentedChangeRequested(!root.presented)

    SettingsLabel {
        objectName: "colorCaption"
        text: "Color"
    }
    Item {
        Layout.fillWidth: true
    }
    PickerPill {
        id: pill
        objectName: "colorPill"
        spacing: 6

        GradientRect {
            objectName: "colorPillSwatch"
            anchors.verticalCenter: parent.verticalCenter
            width: 18
            height: 18
            radius: 4
            startColor: Theme.gradientStart(root.gradientIndex)
            endColor: Theme.gradientEnd(root.gradientIndex)
        }
        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: "chevron.up.chevron.down"
            size: 7
            color: Theme.tertiary
        }
    }

    Popover {
        objectName: "colorPopover"
        anchorItem: pill
        owner: root
        presented: root.presented
        onDismissed: root.presentedChangeRequested(false)

        ColorPickerPopover {
            currentIndex: root.gradientIndex
            onSelected: index => root.selected(index)
        }
    }
}
