pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The excluded applications as chips that wrap onto lines, and the Add button with its list of
// installed applications.
ColumnLayout {
    id: root

    required property AppExclusionPickerModel picker

    spacing: 10

    Row {
        objectName: "noExclusions"
        visible: !root.picker.hasExclusions
        topPadding: 4
        bottomPadding: 4
        spacing: 6

        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: "circle.slash"
            size: 11
            font.weight: Font.Medium
            color: Theme.tertiary
        }
        UiText {
            anchors.verticalCenter: parent.verticalCenter
            text: "No apps excluded"
            size: 11
            color: Theme.secondary
        }
    }
    Flow {
        Layout.fillWidth: true
        visible: root.picker.hasExclusions
        spacing: 7

        Repeater {
            model: root.picker.chips

            ExcludedAppChip {
                required property var modelData

                objectName: "excludedAppChip"
                appName: modelData.name
                appIcon: modelData.icon
                onRemove: root.picker.remove(modelData.bundleIdentifier)
            }
        }
    }
    PlainButton {
        id: add
        objectName: "addAppButton"
        implicitWidth: addLine.implicitWidth
        implicitHeight: addLine.implicitHeight + 4
        enabled: !root.picker.isLoadingApps
        pointingCursor: true
        onClicked: root.picker.togglePicker()

        Row {
            id: addLine
            anchors.verticalCenter: parent.verticalCenter
            spacing: 5

            ProgressSpinner {
                objectName: "addAppSpinner"
                anchors.verticalCenter: parent.verticalCenter
                visible: root.picker.isLoadingApps
                diameter: 11
                color: Theme.blue
            }
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                visible: !root.picker.isLoadingApps
                symbol: "plus.circle.fill"
                size: 12
                color: Theme.blue
            }
            UiText {
                anchors.verticalCenter: parent.verticalCenter
                text: "Add app"
                size: 12
                font.weight: Font.Medium
                color: Theme.blue
            }
        }

        Popover {
            id: popover
            objectName: "appPickerPopover"
            anchorItem: add
            presented: root.picker.isShowingPicker
            onDismissed: root.picker.isShowingPicker = false
            // The list fits on the side of the button with more room in the window, so the popover
            // never runs past the window's edge; then the popover is placed again for that size.
            onAboutToShow: {
                const win = add.Window.window;
                const top = add.mapToItem(null, 0, 0).y;
                const room = win ? Math.max(top, win.height - top - add.height) : 1e9;
                list.maxListHeight = Math.max(96, Math.min(320, room - 45 - popover.arrowSize - 2 * popover.margins - 4));
                popover.place();
            }

            AppPickerPopover {
                id: list
                picker: root.picker
            }
        }
    }
}
