pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// One installed application in the picker's list; a click chooses it.
PlainButton {
    id: root

    required property string name
    required property string bundleIdentifier
    required property string icon

    implicitWidth: line.implicitWidth + 28
    implicitHeight: line.implicitHeight + 20

    Rectangle {
        anchors.fill: parent
        color: root.hovered ? Theme.alpha(Theme.accent, 0.08) : "transparent"

        Behavior on color {
            enabled: Theme.animated
            ColorAnimation {
                duration: Theme.hoverDuration
                easing.type: Easing.InOutQuad
            }
        }
    }
    RowLayout {
        id: line
        x: 14
        y: 10
        width: root.width - 28
        spacing: 12

        EntryIconImage {
            id: appIcon
            Layout.preferredWidth: 28
            Layout.preferredHeight: 28
            visible: appIcon.hasIcon
            source: root.icon
        }
        // An application whose entry names no icon shows the one its identifier has.
        AppIconImage {
            id: fallbackIcon
            objectName: "pickerFallbackIcon"
            Layout.preferredWidth: 28
            Layout.preferredHeight: 28
            visible: !appIcon.hasIcon && fallbackIcon.hasIcon
            bundleIdentifier: appIcon.hasIcon ? "" : root.bundleIdentifier
            radius: 6
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2

            UiText {
                objectName: "pickerRowName"
                Layout.fillWidth: true
                text: OutsideText.shown(root.name)
                size: 13
                font.weight: Font.Medium
            }
            UiText {
                Layout.fillWidth: true
                text: root.bundleIdentifier
                size: 10
                color: Theme.tertiary
            }
        }
    }
}
