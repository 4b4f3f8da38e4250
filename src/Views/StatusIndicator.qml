pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The status line of the menu-bar window: a small pill with the current status text, its symbol
// (turning while an operation runs) in the status colour and, after a restore that can be undone,
// a Revert button. What it shows is decided by the window's model. The pill takes the room it is
// given at most: a long text is shortened with an ellipsis, the symbol and Revert stay whole; the
// whole text then shows on hover.
Item {
    id: root

    required property string message
    required property bool shown
    required property bool isProcessing
    required property string colorName
    required property string iconName
    required property bool showsRevert

    signal revertClicked

    readonly property color tint: Theme.namedColor(root.colorName)
    property bool revertHovered: false

    implicitWidth: pill.implicitWidth
    implicitHeight: 30

    Item {
        id: pill
        objectName: "statusPill"
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        implicitWidth: line.implicitWidth + 24
        implicitHeight: line.implicitHeight + 12
        width: Math.min(implicitWidth, root.width)
        height: implicitHeight
        visible: opacity > 0
        opacity: root.shown ? 1 : 0
        scale: root.shown ? 1 : 0.85

        Behavior on opacity {
            enabled: Theme.animated
            NumberAnimation {
                duration: 200
                easing.type: Easing.InOutQuad
            }
        }
        Behavior on scale {
            enabled: Theme.animated
            SpringAnimation {
                spring: 4
                damping: 0.35
            }
        }

        // A soft shadow of the status colour, then the window's background, so the translucent
        // pill reads the same over anything.
        Rectangle {
            anchors.fill: parent
            anchors.topMargin: 2
            anchors.bottomMargin: -2
            radius: 10
            color: Theme.alpha(root.tint, 0.15)
        }
        Rectangle {
            anchors.fill: parent
            radius: 10
            color: Theme.windowBackground
        }
        GradientRect {
            anchors.fill: parent
            radius: 10
            startColor: Theme.alpha(root.tint, 0.15)
            endColor: Theme.alpha(root.tint, 0.08)
            outlineColor: Theme.alpha(root.tint, 0.25)
            outlineWidth: 1
        }

        RowLayout {
            id: line
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 12
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8

            Item {
                Layout.minimumWidth: 18
                Layout.preferredWidth: 18
                Layout.preferredHeight: 18

                SpinningIcon {
                    objectName: "statusSpinner"
                    anchors.centerIn: parent
                    visible: root.isProcessing
                    tint: root.tint
                }
                PulsingIcon {
                    objectName: "statusIcon"
                    anchors.centerIn: parent
                    visible: !root.isProcessing
                    iconName: root.iconName
                    tint: root.tint
                }
            }
            UiText {
                id: messageText
                objectName: "statusMessage"
                Layout.fillWidth: true
                Layout.minimumWidth: 0
                text: root.message
                size: 11
                font.weight: Font.DemiBold

                HoverHandler {
                    id: messageHover
                }
                // Above the whole pill, not over its edge.
                UiToolTip {
                    parent: pill
                    visible: messageText.truncated && messageHover.hovered
                    text: root.message
                    delay: Theme.animated ? 300 : 0
                }
            }
            Rectangle {
                visible: revert.visible
                Layout.minimumWidth: 1
                Layout.preferredWidth: 1
                Layout.preferredHeight: 12
                color: Theme.alpha(root.tint, 0.3)
            }
            PlainButton {
                id: revert
                objectName: "revertButton"
                visible: !root.isProcessing && root.showsRevert
                Layout.minimumWidth: implicitWidth
                implicitWidth: revertLabel.implicitWidth + 16
                implicitHeight: revertLabel.implicitHeight + 8
                onHoveredChanged: root.revertHovered = hovered
                onClicked: root.revertClicked()

                HoverFill {
                    anchors.fill: parent
                    radius: 6
                    hovered: root.revertHovered
                    restColor: Theme.alpha(root.tint, 0.1)
                    hoverColor: Theme.alpha(root.tint, 0.2)
                }
                RowLayout {
                    id: revertLabel
                    anchors.centerIn: parent
                    spacing: 4

                    SymbolIcon {
                        symbol: "arrow.uturn.backward"
                        size: 10
                        color: root.tint
                    }
                    UiText {
                        text: "Revert"
                        size: 10
                        font.weight: Font.DemiBold
                        color: root.tint
                    }
                }
            }
        }
    }
}
