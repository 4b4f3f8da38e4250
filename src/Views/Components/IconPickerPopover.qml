pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Ordella

// The icon picker: a search field over the catalogue of workspace symbols by category.
Item {
    id: root

    required property IconPickerModel picker

    implicitWidth: 325
    implicitHeight: 400

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        SearchField {
            objectName: "iconSearch"
            Layout.fillWidth: true
            Layout.margins: 10
            text: root.picker.searchText
            placeholder: "Search icons"
            onEdited: text => root.picker.searchText = text
            onCleared: root.picker.clearSearch()
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.alpha(Theme.primary, 0.1)
        }
        ScrollView {
            id: scroll
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            ScrollBar.vertical: ThinScrollBar {
                parent: scroll
                x: scroll.width - width
                height: scroll.availableHeight
                policy: ScrollBar.AlwaysOn
            }

            Column {
                width: scroll.availableWidth
                topPadding: 14
                bottomPadding: 14
                leftPadding: 14
                rightPadding: 14
                spacing: 14

                Column {
                    objectName: "iconsEmptyState"
                    visible: root.picker.isEmpty
                    width: parent.width - 28
                    topPadding: 40
                    bottomPadding: 40
                    spacing: 8

                    SymbolIcon {
                        anchors.horizontalCenter: parent.horizontalCenter
                        symbol: "magnifyingglass"
                        size: 24
                    }
                    UiText {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "No icons match your search"
                        size: 12
                        font.weight: Font.Medium
                        color: Theme.secondary
                    }
                }

                Repeater {
                    model: root.picker.categories

                    Column {
                        id: category

                        required property var modelData

                        objectName: "iconCategory"
                        spacing: 8

                        UiText {
                            objectName: "iconCategoryTitle"
                            text: String(category.modelData.title).toUpperCase()
                            size: 10
                            font.weight: Font.Bold
                            font.letterSpacing: 0.5
                            color: Theme.tertiary
                        }
                        Grid {
                            // Always eight columns wide, so a short row starts at the left.
                            width: 8 * 32 + 7 * 4
                            columns: 8
                            columnSpacing: 4
                            rowSpacing: 4

                            Repeater {
                                model: category.modelData.icons

                                IconButtonGrid {
                                    required property string modelData

                                    objectName: "iconCell"
                                    iconName: modelData
                                    isSelected: modelData === root.picker.currentIcon
                                    onClicked: root.picker.select(modelData)
                                }
                            }
                        }
                    }
                }
            }
        }
    }
}
