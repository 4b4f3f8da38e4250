pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The "Icon" line of a workspace's panel: the current symbol in a pill that opens the icon picker.
SettingsRow {
    id: root

    required property string iconName
    required property bool presented
    required property IconPickerModel picker

    signal presentedChangeRequested(bool presented)

    tappable: true
    onTapped: root.presentedChangeRequested(!root.presented)

    SettingsLabel {
        objectName: "iconCaption"
        text: "Icon"
    }
    Item {
        Layout.fillWidth: true
    }
    PickerPill {
        id: pill
        objectName: "iconPill"
        spacing: 8

        SymbolIcon {
            objectName: "iconPillSymbol"
            anchors.verticalCenter: parent.verticalCenter
            symbol: root.iconName
            size: 13
            color: Theme.primary
        }
        SymbolIcon {
            objectName: "iconPillChevron"
            anchors.verticalCenter: parent.verticalCenter
            symbol: "chevron.up.chevron.down"
            size: 8
            color: Theme.tertiary
        }
    }

    Popover {
        objectName: "iconPopover"
        anchorItem: pill
        owner: root
        presented: root.presented
        onDismissed: root.presentedChangeRequested(false)

        IconPickerPopover {
            picker: root.picker
        }
    }
}
