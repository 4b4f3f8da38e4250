pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// One saved workspace in the menu-bar window's list: a header that restores and previews it, and,
// expanded, the panel that edits it. Every rule lives in the row's WorkspaceRowModel.
Item {
    id: root

    required property WorkspaceRowModel row
    property bool panelBuilt: false

    implicitWidth: 426
    implicitHeight: header.height + panelClip.height
    clip: true

    HoverHandler {
        onHoveredChanged: root.row.setViewHovered(root, hovered)
    }

    Rectangle {
        objectName: "rowBackground"
        anchors.fill: parent
        radius: 12
        color: Theme.alpha(Theme.primary, root.row.backgroundOpacity)
        border.width: root.row.isExpanded ? 1 : 0
        border.color: Theme.alpha(Theme.primary, 0.06)

        Behavior on color {
            enabled: Theme.animated
            ColorAnimation {
                duration: Theme.hoverDuration
                easing.type: Easing.InOutQuad
            }
        }
    }

    Item {
        id: header
        objectName: "rowHeader"
        width: parent.width
        // 10 above and 12 below: the expand chevron sits in the bottom margin.
        height: headerLine.implicitHeight + 22

        MouseArea {
            anchors.fill: parent
            onClicked: root.row.tapHeader()
        }

        RowLayout {
            id: headerLine
            x: 12
            y: 10
            width: parent.width - 24
            spacing: 12

            GradientRect {
                objectName: "symbolTile"
                Layout.preferredWidth: 48
                Layout.preferredHeight: 48
                radius: 12
                startColor: root.row.gradientStart
                endColor: root.row.gradientEnd

                SymbolIcon {
                    objectName: "workspaceSymbol"
                    anchors.centerIn: parent
                    symbol: root.row.iconName
                    size: 18
                    color: "white"
                }
            }

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 6

                RowLayout {
                    Layout.fillWidth: true
                    visible: !root.row.isRenaming
                    spacing: 6

                    UiText {
                        objectName: "workspaceName"
                        // Rounded up: a layout that rounds a fractional width down elides the name.
                        Layout.maximumWidth: Math.ceil(implicitWidth) + 1
                        Layout.fillWidth: true
                        text: OutsideText.shown(root.row.name)
                        size: 14
                        font.weight: Font.DemiBold
                        maximumLineCount: 1
                    }
                    PlainButton {
                        objectName: "renameButton"
                        implicitWidth: renameLabel.implicitWidth + 16
                        implicitHeight: renameLabel.implicitHeight + 6
                        opacity: root.row.showsHoverControls ? 1 : 0
                        enabled: root.row.showsHoverControls
                        toolTip: "Rename"
                        onClicked: root.row.startRename()

                        Behavior on opacity {
                            enabled: Theme.animated
                            NumberAnimation {
                                duration: Theme.hoverDuration
                                easing.type: Easing.InOutQuad
                            }
                        }

                        Rectangle {
                            anchors.fill: parent
                            radius: 4
                            color: Theme.accent
                        }
                        UiText {
                            id: renameLabel
                            anchors.centerIn: parent
                            text: "Rename"
                            size: 8
                            font.weight: Font.DemiBold
                            color: "white"
                        }
                    }
                    Item {
                        Layout.fillWidth: true
                        Layout.preferredWidth: 0
                    }
                }
                RenameField {
                    objectName: "renameGroup"
                    Layout.fillWidth: true
                    visible: root.row.isRenaming
                    row: root.row
                }

                Item {
                    Layout.preferredHeight: 18
                    Layout.fillWidth: true

                    UiText {
                        objectName: "noApps"
                        visible: root.row.appCount === 0
                        anchors.verticalCenter: parent.verticalCenter
                        text: "—"
                        size: 12
                        color: Theme.secondary
                    }
                    AppIconsStack {
                        objectName: "appIconsStack"
                        visible: root.row.appCount > 0
                        anchors.verticalCenter: parent.verticalCenter
                        icons: root.row.appIcons
                        overflowText: root.row.overflowText
                    }
                }

                Row {
                    Layout.topMargin: 2
                    spacing: 8

                    MetadataBadge {
                        objectName: "appCountBadge"
                        anchors.verticalCenter: parent.verticalCenter
                        icon: "app.fill"
                        value: root.row.appCount
                    }
                    MetadataSeparator {
                        anchors.verticalCenter: parent.verticalCenter
                    }
                    MetadataBadge {
                        objectName: "windowCountBadge"
                        anchors.verticalCenter: parent.verticalCenter
                        icon: "macwindow"
                        value: root.row.windowCount
                    }
                    MetadataSeparator {
                        anchors.verticalCenter: parent.verticalCenter
                    }
                    UiText {
                        objectName: "ageText"
                        anchors.verticalCenter: parent.verticalCenter
                        text: root.row.ageText
                        size: 10
                        color: Theme.tertiary
                    }
                    Row {
                        objectName: "shortcutItem"
                        visible: root.row.hasShortcut
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 4

                        SymbolIcon {
                            anchors.verticalCenter: parent.verticalCenter
                            symbol: "keyboard"
                            size: 10
                        }
                        UiText {
                            objectName: "shortcutText"
                            anchors.verticalCenter: parent.verticalCenter
                            text: root.row.shortcutText
                            size: 11
                            font.weight: Font.Medium
                            color: Theme.secondary
                        }
                    }
                }
            }

            ColumnLayout {
                spacing: 6

                PlainButton {
                    id: restoreButton
                    objectName: "restoreButton"
                    implicitWidth: Math.max(100, restoreLabel.implicitWidth + 28)
                    implicitHeight: restoreLabel.implicitHeight + 16
                    enabled: !root.row.isProcessing
                    opacity: enabled ? 1 : 0.5
                    onHoveredChanged: root.row.restoreButtonHovered = hovered
                    onClicked: root.row.restore()

                    HoverFill {
                        anchors.fill: parent
                        radius: 6
                        hovered: root.row.restoreButtonHovered
                        restColor: Theme.alpha(Theme.accent, 0.85)
                        hoverColor: Theme.accent
                    }
                    Row {
                        id: restoreLabel
                        anchors.centerIn: parent
                        spacing: 5

                        SymbolIcon {
                            anchors.verticalCenter: parent.verticalCenter
                            symbol: "play.fill"
                            size: 9
                            color: "white"
                        }
                        UiText {
                            anchors.verticalCenter: parent.verticalCenter
                            text: "Restore"
                            size: 12
                            font.weight: Font.DemiBold
                            color: "white"
                        }
                    }
                }
                PlainButton {
                    objectName: "previewButton"
                    implicitWidth: Math.max(100, previewLabel.implicitWidth + 28)
                    implicitHeight: previewLabel.implicitHeight + 16
                    onHoveredChanged: root.row.previewButtonHovered = hovered
                    onClicked: root.row.showPreview()

                    HoverFill {
                        anchors.fill: parent
                        radius: 6
                        hovered: root.row.previewButtonHovered
                        restColor: "transparent"
                        hoverColor: Theme.alpha(Theme.primary, 0.1)
                        border.width: 1
                        border.color: Theme.alpha(Theme.primary, root.row.previewButtonHovered ? 0.3 : 0.15)
                    }
                    Row {
                        id: previewLabel
                        anchors.centerIn: parent
                        spacing: 5

                        SymbolIcon {
                            anchors.verticalCenter: parent.verticalCenter
                            symbol: "eye.fill"
                            size: 10
                            color: root.row.previewButtonHovered ? Theme.primary : Theme.secondary
                        }
                        UiText {
                            anchors.verticalCenter: parent.verticalCenter
                            text: "Preview"
                            size: 12
                            font.weight: Font.DemiBold
                            color: root.row.previewButtonHovered ? Theme.primary : Theme.secondary
                        }
                    }
                }
            }
        }

        SymbolIcon {
            objectName: "expandChevron"
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: -1
            width: 12
            symbol: "chevron.down"
            size: 10
            rotation: root.row.isExpanded ? 180 : 0
            opacity: root.row.showsHoverControls ? 0.6 : 0

            Behavior on rotation {
                enabled: Theme.animated
                SpringAnimation {
                    spring: 4
                    damping: 0.4
                }
            }
            Behavior on opacity {
                enabled: Theme.animated
                NumberAnimation {
                    duration: Theme.hoverDuration
                    easing.type: Easing.InOutQuad
                }
            }
        }
    }

    Item {
        id: panelClip
        y: header.height
        width: parent.width
        height: root.row.isExpanded ? panel.implicitHeight : 0
        clip: true

        Behavior on height {
            enabled: Theme.animated
            NumberAnimation {
                duration: Theme.springDuration
                easing.type: Easing.OutCubic
            }
        }

        // The panel is built the first time the row expands, so a long list of collapsed rows
        // stays light; it is kept afterwards.
        Item {
            id: panel
            width: parent.width
            implicitHeight: panelRepeater.count > 0 ? panelRepeater.itemAt(0).implicitHeight : 0

            Repeater {
                id: panelRepeater
                model: root.row.isExpanded || root.panelBuilt ? 1 : 0
                onItemAdded: root.panelBuilt = true

                Column {
                    width: panel.width
                    objectName: "editingPanel"
                    visible: panelClip.height > 0
                    opacity: root.row.isExpanded ? 1 : 0
                    y: root.row.isExpanded ? 0 : -16

                    Behavior on opacity {
                        enabled: Theme.animated
                        NumberAnimation {
                            duration: Theme.springDuration
                        }
                    }
                    Behavior on y {
                        enabled: Theme.animated
                        NumberAnimation {
                            duration: Theme.springDuration
                            easing.type: Easing.OutCubic
                        }
                    }

                    Rectangle {
                        x: 14
                        width: parent.width - 28
                        height: 1
                        color: Theme.alpha(Theme.primary, 0.08)
                    }
                    Column {
                        width: parent.width
                        leftPadding: 14
                        rightPadding: 14
                        topPadding: 12
                        bottomPadding: 14
                        spacing: 2

                        Column {
                            width: parent.width - 28
                            spacing: 6

                            SectionHeader {
                                width: parent.width
                                icon: "paintbrush"
                                title: "Appearance"
                            }
                            SettingsBox {
                                width: parent.width

                                IconPickerRow {
                                    objectName: "iconPickerRow"
                                    width: parent.width
                                    iconName: root.row.iconName
                                    presented: root.row.showingIconPicker
                                    picker: root.row.iconPicker
                                    onPresentedChangeRequested: presented => root.row.showingIconPicker = presented
                                }
                                ColorPickerRow {
                                    objectName: "colorPickerRow"
                                    width: parent.width
                                    gradientIndex: root.row.gradientIndex
                                    presented: root.row.showingColorPicker
                                    onPresentedChangeRequested: presented => root.row.showingColorPicker = presented
                                    onSelected: index => root.row.selectGradient(index)
                                }
                            }
                        }
                        Column {
                            width: parent.width - 28
                            spacing: 6

                            SectionHeader {
                                width: parent.width
                                icon: "gearshape"
                                title: "Settings"
                            }
                            SettingsBox {
                                width: parent.width

                                ShortcutRow {
                                    width: parent.width
                                    recorder: root.row.recorder
                                }
                                ToggleRow {
                                    objectName: "closeOtherAppsRow"
                                    width: parent.width
                                    label: "Close other apps when restoring"
                                    checked: root.row.closeOtherApps
                                    onToggled: value => root.row.setCloseOtherApps(value)
                                }
                            }
                        }
                        TriggersSection {
                            width: parent.width - 28
                            row: root.row
                        }
                        Column {
                            width: parent.width - 28
                            topPadding: 6
                            spacing: 8

                            UiText {
                                objectName: "deleteQuestion"
                                visible: root.row.isConfirmingDelete
                                width: parent.width
                                text: root.row.deleteQuestion
                                size: 12
                                color: Theme.secondary
                                wrapMode: Text.Wrap
                                elide: Text.ElideNone
                            }
                            Row {
                                width: parent.width
                                spacing: 6

                                ActionButton {
                                    objectName: "leftAction"
                                    width: (parent.width - 6) / 2
                                    icon: root.row.isConfirmingDelete ? "xmark" : "arrow.triangle.2.circlepath"
                                    label: root.row.isConfirmingDelete ? "Cancel" : "Update"
                                    onClicked: root.row.isConfirmingDelete ? root.row.cancelDelete() : root.row.requestUpdate()
                                }
                                ActionButton {
                                    objectName: "rightAction"
                                    width: (parent.width - 6) / 2
                                    icon: root.row.isConfirmingDelete ? "trash.fill" : "trash"
                                    label: "Delete"
                                    destructive: true
                                    onClicked: root.row.isConfirmingDelete ? root.row.confirmDelete() : root.row.askDelete()
                                }
                            }
                        }
                    }
                }
            }
        }
    }
}
