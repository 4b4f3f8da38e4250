pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import Ordella

// The searchable list of installed applications that are not excluded yet; choosing one excludes
// it and closes the list.
Column {
    id: root

    required property AppExclusionPickerModel picker
    // The list's height at most: 320, less when the window has no room for it.
    property real maxListHeight: 320
    readonly property real rowHeight: 48

    width: 300
    Component.onCompleted: search.field.forceActiveFocus()
    onVisibleChanged: if (visible) search.field.forceActiveFocus()

    SearchField {
        id: search
        objectName: "appSearch"
        width: root.width
        implicitHeight: 44
        radius: 10
        color: Theme.alpha(Theme.primary, 0.03)
        text: root.picker.searchText
        placeholder: "Search apps..."
        onEdited: text => root.picker.searchText = text
        onCleared: root.picker.clearSearch()
    }
    Rectangle {
        width: root.width
        height: 1
        color: Theme.alpha(Theme.primary, 0.08)
    }
    Column {
        objectName: "pickerEmptyState"
        width: root.width
        visible: list.count === 0
        topPadding: 50
        bottomPadding: 50
        spacing: 10

        SymbolIcon {
            anchors.horizontalCenter: parent.horizontalCenter
            symbol: root.picker.emptySymbol
            size: 28
            font.weight: Font.Light
            color: Theme.quaternary
        }
        UiText {
            objectName: "pickerEmptyText"
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(implicitWidth, root.width - 28)
            text: root.picker.emptyText
            size: 12
            font.weight: Font.Medium
            color: Theme.secondary
        }
    }
    ListView {
        id: list
        objectName: "pickerList"
        width: root.width
        height: Math.min(count * (root.rowHeight + spacing) - spacing, root.maxListHeight)
        visible: count > 0
        clip: true
        spacing: 1
        boundsBehavior: Flickable.StopAtBounds
        model: root.picker.filteredApps
        ScrollBar.vertical: ScrollBar {
            policy: list.count * (root.rowHeight + list.spacing) > list.height + list.spacing ? ScrollBar.AlwaysOn
                                                                                              : ScrollBar.AlwaysOff
        }

        delegate: AppPickerRow {
            required property var modelData

            objectName: "pickerRow"
            width: ListView.view.width
            height: root.rowHeight
            name: modelData.name
            bundleIdentifier: modelData.bundleIdentifier
            icon: modelData.icon
            onClicked: root.picker.select(modelData.bundleIdentifier)
        }
    }
}
