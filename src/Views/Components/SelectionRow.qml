pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// What the two selection rows of the save and update panels share: the application's icon, name,
// badge and a line under the name, controls of the row's own before the include switch, and a
// horizontal strip of cards below.
Rectangle {
    id: root

    required property SelectionRowModel row
    property string subtitle
    property bool showsSubtitle: false
    // Controls shown between the name and the include switch.
    property alias accessories: accessorySlot.data
    // The cards of the strip.
    default property alias cards: cardRow.data

    implicitWidth: 410
    implicitHeight: column.implicitHeight + 20
    radius: 8
    color: Theme.alpha(Theme.primary, 0.03)

    ColumnLayout {
        id: column
        x: 12
        y: 10
        width: parent.width - 24
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 10

            Item {
                Layout.alignment: Qt.AlignTop
                implicitWidth: 20
                implicitHeight: 20
                opacity: root.row.iconOpacity

                Rectangle {
                    anchors.fill: parent
                    visible: !icon.hasIcon
                    radius: 5
                    color: Theme.alpha(Theme.secondary, 0.2)
                }
                AppIconImage {
                    id: icon
                    objectName: "appIcon"
                    anchors.fill: parent
                    bundleIdentifier: root.row.bundleIdentifier
                    radius: 5
                }
            }
            ColumnLayout {
                Layout.alignment: Qt.AlignTop
                Layout.fillWidth: true
                spacing: 2

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 6

                    UiText {
                        objectName: "appName"
                        Layout.maximumWidth: implicitWidth
                        Layout.minimumWidth: 0
                        text: OutsideText.shown(root.row.appName)
                        size: 13
                        font.weight: Font.DemiBold
                        color: root.row.isIgnored ? Theme.secondary : Theme.primary
                    }
                    AppPreviewBadge {
                        objectName: "appBadge"
                        kind: root.row.badge
                    }
                    Item {
                        Layout.fillWidth: true
                    }
                }
                UiText {
                    objectName: "appSubtitle"
                    visible: root.showsSubtitle
                    text: root.subtitle
                    size: 11
                    color: Theme.secondary
                }
            }
            Row {
                id: accessorySlot
                Layout.alignment: Qt.AlignTop
            }
            IncludeSwitch {
                objectName: "appIncludeSwitch"
                Layout.alignment: Qt.AlignTop
                knobSize: 16
                checked: !root.row.isIgnored
                onToggled: root.row.toggleIgnore()
            }
        }
        Flickable {
            objectName: "cardStrip"
            Layout.fillWidth: true
            visible: root.row.showsStrip
            implicitHeight: cardRow.implicitHeight + 6
            contentWidth: cardRow.implicitWidth + 4
            contentHeight: height
            flickableDirection: Flickable.HorizontalFlick
            boundsBehavior: Flickable.StopAtBounds
            clip: true

            Row {
                id: cardRow
                x: 2
                y: 2
                spacing: 8
            }
        }
    }
}
