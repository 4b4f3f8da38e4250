pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Ordella

// The menu-bar window once onboarding is done: one of four screens - the save panel, the update
// panel, the preview of a saved workspace, or the workspace list with its header, status line,
// search and sort, rows and footer. Every rule lives in the PopoverModel.
Rectangle {
    id: root

    required property PopoverModel popover

    // Hover flags of the header-style buttons, owned here and handed to them.
    property bool preferencesButtonHovered: false
    property bool quitButtonHovered: false
    property bool sortButtonHovered: false

    implicitWidth: 450
    // The list's height, and room for the update banner above it while it shows, so the banner never
    // crowds out the list's empty state or the footer.
    implicitHeight: root.popover.dynamicPopoverHeight
                    + (root.popover.screen === "list" && root.popover.showUpdateBanner
                       ? updateBannerSlot.implicitHeight + 8 : 0)
    color: Theme.windowFill

    // The panels of the other screens. Each fills the window with 20 points of padding and returns
    // to the list through the model.
    Item {
        objectName: "savePanelSlot"
        anchors.fill: parent
        anchors.margins: 20
        visible: root.popover.screen === "save"

        // A panel of its own for every opening.
        Repeater {
            model: root.popover.savePanel !== null ? [root.popover.savePanel] : []

            SaveWorkspaceInlineView {
                required property SaveWorkspacePanelModel modelData

                objectName: "saveWorkspaceInlineView"
                anchors.fill: parent
                panel: modelData
            }
        }
    }
    Item {
        objectName: "updatePanelSlot"
        anchors.fill: parent
        anchors.margins: 20
        visible: root.popover.screen === "update"

        Repeater {
            model: root.popover.updatePanel !== null ? [root.popover.updatePanel] : []

            UpdateWorkspaceInlineView {
                required property UpdateWorkspacePanelModel modelData

                objectName: "updateWorkspaceInlineView"
                anchors.fill: parent
                panel: modelData
            }
        }
    }
    Item {
        objectName: "previewSlot"
        anchors.fill: parent
        anchors.margins: 20
        visible: root.popover.screen === "preview"

        // Made while a workspace is previewed.
        Repeater {
            model: root.popover.preview !== null ? 1 : 0

            WorkspacePreviewInlineView {
                anchors.fill: parent
                preview: root.popover.preview
            }
        }
    }

    ColumnLayout {
        id: mainContent
        objectName: "mainContent"
        anchors.fill: parent
        visible: root.popover.screen === "list"
        spacing: 0

        // Header: the application's icon and name, settings and quit.
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.topMargin: 16
            Layout.bottomMargin: 12

            RowLayout {
                spacing: 10

                Image {
                    objectName: "appIcon"
                    Layout.preferredWidth: 26
                    Layout.preferredHeight: 26
                    source: "qrc:/Ordella/AppIcon.svg"
                    sourceSize.width: 52
                    sourceSize.height: 52
                    visible: status === Image.Ready
                }
                UiText {
                    objectName: "productName"
                    text: "Ordella"
                    size: 15
                    font.weight: Font.Bold
                }
            }
            Item {
                Layout.fillWidth: true
            }
            RowLayout {
                spacing: 4

                HeaderButton {
                    objectName: "preferencesButton"
                    icon: "gearshape"
                    isHovered: root.preferencesButtonHovered
                    onHoverChangeRequested: hovered => root.preferencesButtonHovered = hovered
                    onClicked: root.popover.showPreferences()
                }
                HeaderButton {
                    objectName: "quitButton"
                    icon: "power"
                    isHovered: root.quitButtonHovered
                    onHoverChangeRequested: hovered => root.quitButtonHovered = hovered
                    onClicked: root.popover.quit()
                }
            }
        }

        // The update banner's place.
        // The banner comes in from the top edge, fading in, and fades out when it goes.
        Item {
            id: updateBannerSlot
            objectName: "updateBannerSlot"
            visible: root.popover.showUpdateBanner || bannerFade.running
            opacity: root.popover.showUpdateBanner ? 1 : 0
            transform: Translate {
                y: root.popover.showUpdateBanner ? 0 : -12

                Behavior on y {
                    enabled: Theme.animated
                    NumberAnimation {
                        duration: 200
                        easing.type: Easing.InOutQuad
                    }
                }
            }

            Behavior on opacity {
                enabled: Theme.animated
                NumberAnimation {
                    id: bannerFade
                    duration: 200
                    easing.type: Easing.InOutQuad
                }
            }
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.bottomMargin: 8
            implicitHeight: childrenRect.height

            Repeater {
                model: root.popover.updateBanner !== null ? [root.popover.updateBanner] : []

                UpdateBanner {
                    required property UpdateBannerModel modelData

                    objectName: "updateBanner"
                    width: parent.width
                    banner: modelData
                }
            }
        }

        // Section title with the count of listed workspaces, and the status line.
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.topMargin: 8
            Layout.bottomMargin: 2
            Layout.preferredHeight: 32

            RowLayout {
                spacing: 6

                UiText {
                    text: qsTr("Saved Workspaces").toUpperCase()
                    size: 11
                    font.weight: Font.Bold
                    font.letterSpacing: 0.5
                    color: Theme.secondary
                }
                Rectangle {
                    objectName: "countBadge"
                    implicitWidth: countText.implicitWidth + 12
                    implicitHeight: countText.implicitHeight + 4
                    radius: height / 2
                    color: Theme.alpha(Theme.primary, 0.08)

                    UiText {
                        id: countText
                        objectName: "countText"
                        anchors.centerIn: parent
                        text: root.popover.listedCount
                        size: 10
                        font.weight: Font.Bold
                        color: Theme.secondary
                    }
                }
            }
            // The status line takes the rest of the row; its pill sits at the right end.
            StatusIndicator {
                objectName: "statusIndicator"
                Layout.fillWidth: true
                Layout.minimumWidth: 0
                message: root.popover.statusMessage
                shown: root.popover.statusVisible
                isProcessing: root.popover.isProcessing
                colorName: root.popover.statusColor
                iconName: root.popover.statusIcon
                showsRevert: root.popover.showRevertButton
                onRevertClicked: root.popover.revert()
            }
        }

        // Search and sort, while there is anything to search.
        RowLayout {
            objectName: "searchRow"
            visible: root.popover.storedCount > 0
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.topMargin: 6
            Layout.bottomMargin: 10
            spacing: 8

            SearchField {
                objectName: "searchBox"
                Layout.fillWidth: true
                text: root.popover.searchText
                placeholder: "Search workspaces, apps, tabs…"
                onEdited: text => root.popover.searchText = text
                onCleared: root.popover.clearSearch()

                Rectangle {
                    anchors.fill: parent
                    radius: 8
                    color: "transparent"
                    border.width: 1
                    border.color: Theme.alpha(Theme.primary, 0.08)
                }
            }
            HeaderButton {
                id: sortButton
                objectName: "sortButton"
                icon: "arrow.up.arrow.down"
                isHovered: root.sortButtonHovered
                toolTip: root.popover.sortHelpText
                onHoverChangeRequested: hovered => root.sortButtonHovered = hovered
                onClicked: root.popover.toggleSortPopover()

                Popover {
                    objectName: "sortPopover"
                    anchorItem: sortButton
                    presented: root.popover.showSortPopover
                    onDismissed: root.popover.showSortPopover = false

                    ColumnLayout {
                        width: 180
                        spacing: 2

                        UiText {
                            Layout.leftMargin: 16
                            Layout.rightMargin: 16
                            Layout.topMargin: 10
                            Layout.bottomMargin: 4
                            text: qsTr("Sort by")
                            size: 11
                            font.weight: Font.Medium
                            color: Theme.tertiary
                        }
                        Repeater {
                            model: root.popover.sortOptions

                            delegate: PlainButton {
                                id: option

                                required property var modelData
                                required property int index

                                objectName: "sortOption"
                                Layout.fillWidth: true
                                Layout.leftMargin: 4
                                Layout.rightMargin: 4
                                Layout.bottomMargin: index === 2 ? 8 : 0
                                implicitWidth: 172
                                implicitHeight: optionLine.implicitHeight + 14
                                onClicked: root.popover.chooseSortOption(index)

                                Rectangle {
                                    anchors.fill: parent
                                    radius: 6
                                    color: option.modelData.selected ? Theme.alpha(Theme.accent, 0.08)
                                                                     : option.hovered ? Theme.alpha(Theme.primary, 0.04)
                                                                                      : "transparent"
                                }
                                RowLayout {
                                    id: optionLine
                                    anchors.fill: parent
                                    anchors.leftMargin: 12
                                    anchors.rightMargin: 12
                                    spacing: 8

                                    SymbolIcon {
                                        Layout.preferredWidth: 14
                                        symbol: option.modelData.symbol
                                        size: 12
                                        color: option.modelData.selected ? Theme.accent : Theme.secondary
                                    }
                                    UiText {
                                        Layout.fillWidth: true
                                        text: option.modelData.raw
                                        font.weight: option.modelData.selected ? Font.Bold : Font.Normal
                                        color: option.modelData.selected ? Theme.primary : Theme.secondary
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }

        // The rows, or what to say when there are none.
        ListView {
            id: list
            objectName: "workspaceList"
            visible: root.popover.listedCount > 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 6
            leftMargin: 12
            rightMargin: 12
            bottomMargin: 12
            boundsBehavior: Flickable.StopAtBounds
            model: root.popover.workspaces
            // The indicator shows whenever there is more than fits.
            ScrollBar.vertical: ScrollBar {
                policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            }

            // The row's required "row" comes from the model's role of that name.
            delegate: WorkspaceRowView {
                width: list.width - list.leftMargin - list.rightMargin
            }
        }
        Item {
            objectName: "searchEmptyState"
            visible: root.popover.listedCount === 0
            Layout.fillWidth: true
            Layout.fillHeight: true

            Column {
                anchors.centerIn: parent
                spacing: 12

                SymbolIcon {
                    objectName: "emptyStateSymbol"
                    anchors.horizontalCenter: parent.horizontalCenter
                    symbol: root.popover.emptyStateSymbol
                    size: 32
                    font.weight: Font.Light
                    color: Theme.quaternary
                }
                UiText {
                    objectName: "emptyStateText"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: root.popover.emptyStateText
                    font.weight: Font.Medium
                    color: Theme.secondary
                }
            }
        }

        // Footer: a new workspace.
        ColumnLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.topMargin: 12
            Layout.bottomMargin: 12
            spacing: 8

            NewWorkspaceButton {
                objectName: "newWorkspaceButton"
                Layout.fillWidth: true
                isProcessing: root.popover.isProcessing
                onAction: root.popover.newWorkspace()
            }
        }
    }
}
