pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// One permission the application needs: what it is, whether it is optional, and either a "Grant"
// button or a green check mark. The owner tells whether it is granted and what Grant does.
Rectangle {
    id: root

    required property string icon
    required property color iconColor
    required property string title
    required property string description
    required property bool isGranted
    required property bool isRequired
    property bool showBorder: false

    signal action

    implicitWidth: 420
    implicitHeight: Math.max(line.implicitHeight, 44) + 28
    radius: 12
    color: Theme.alpha(Theme.primary, 0.03)
    border.width: 1
    border.color: !root.showBorder ? "transparent"
                  : root.isGranted ? Theme.alpha(Theme.green, 0.3) : Theme.alpha(Theme.primary, 0.08)

    RowLayout {
        id: line
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        anchors.topMargin: 14
        anchors.bottomMargin: 14
        spacing: 14

        Rectangle {
            Layout.preferredWidth: 44
            Layout.preferredHeight: 44
            radius: 10
            color: Theme.alpha(root.iconColor, 0.12)

            SymbolIcon {
                anchors.centerIn: parent
                symbol: root.icon
                size: 18
                color: root.iconColor
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 3

            RowLayout {
                spacing: 6

                UiText {
                    objectName: "permissionTitle"
                    text: root.title
                    size: 13
                    font.weight: Font.DemiBold
                }
                Rectangle {
                    objectName: "optionalTag"
                    visible: !root.isRequired
                    implicitWidth: optional.implicitWidth + 12
                    implicitHeight: optional.implicitHeight + 4
                    radius: height / 2
                    color: Theme.alpha(Theme.primary, 0.08)

                    UiText {
                        id: optional
                        anchors.centerIn: parent
                        text: "OPTIONAL"
                        size: 9
                        font.weight: Font.Bold
                        color: Theme.secondary
                    }
                }
            }
            UiText {
                objectName: "permissionDescription"
                Layout.fillWidth: true
                text: root.description
                size: 11
                color: Theme.secondary
                wrapMode: Text.Wrap
                maximumLineCount: 2
            }
        }
        SymbolIcon {
            objectName: "grantedMark"
            visible: root.isGranted
            symbol: "checkmark.circle.fill"
            size: 20
            color: Theme.green
        }
        PlainButton {
            id: grant
            objectName: "grantButton"
            visible: !root.isGranted
            implicitWidth: grantLabel.implicitWidth + 24
            implicitHeight: grantLabel.implicitHeight + 12
            onClicked: root.action()

            Rectangle {
                anchors.fill: parent
                radius: height / 2
                color: root.iconColor
                opacity: grant.hovered ? 0.9 : 1

                Behavior on opacity {
                    enabled: Theme.animated
                    NumberAnimation {
                        duration: Theme.hoverDuration
                        easing.type: Easing.InOutQuad
                    }
                }
            }
            UiText {
                id: grantLabel
                anchors.centerIn: parent
                text: "Grant"
                size: 11
                font.weight: Font.DemiBold
                color: "white"
            }
        }
    }
}
