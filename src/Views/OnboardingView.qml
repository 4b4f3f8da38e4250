pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The first-start screen of the menu-bar window: what Ordella needs (access to the windows of
// other applications, required; window pictures, optional), whether each is granted, the way to
// each grant, and Continue once the required one is there. The power button quits. The model reads
// the grants once a second while this screen is on screen.
Rectangle {
    id: root

    required property OnboardingViewModel onboarding

    // Hover flag of the power button, owned here and handed to it.
    property bool quitButtonHovered: false

    implicitWidth: 420
    // 500 high, or as high as the texts need in the desktop's fonts.
    implicitHeight: Math.max(500, content.implicitHeight)
    color: Theme.windowFill

    ColumnLayout {
        id: content
        anchors.fill: parent
        spacing: 0

        ColumnLayout {
            Layout.fillWidth: true
            Layout.topMargin: 32
            Layout.bottomMargin: 28
            spacing: 16

            Item {
                Layout.alignment: Qt.AlignHCenter
                implicitWidth: 80
                implicitHeight: 80
                visible: appIcon.status === Image.Ready

                SoftShadow {
                    anchors.fill: parent
                    anchors.margins: 4
                    radius: 18
                    color: Theme.alpha("black", 0.15)
                    blur: 8
                    offsetY: 4
                }
                Image {
                    id: appIcon
                    objectName: "appIcon"
                    anchors.fill: parent
                    source: "qrc:/Ordella/AppIcon.svg"
                    sourceSize.width: 160
                    sourceSize.height: 160
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 32
                Layout.rightMargin: 32
                spacing: 6

                UiText {
                    objectName: "welcomeTitle"
                    Layout.alignment: Qt.AlignHCenter
                    text: "Welcome to Ordella"
                    size: 20
                    font.weight: Font.Bold
                }
                UiText {
                    objectName: "welcomeLine"
                    Layout.fillWidth: true
                    text: "To save and restore your workspace, we need a few permissions."
                    size: 13
                    color: Theme.secondary
                    wrapMode: Text.Wrap
                    maximumLineCount: 3
                    horizontalAlignment: Text.AlignHCenter
                }
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.bottomMargin: 24
            spacing: 0

            SectionHeader {
                objectName: "permissionsHeader"
                Layout.leftMargin: 20
                Layout.rightMargin: 20
                Layout.bottomMargin: 12
                icon: "lock.shield.fill"
                title: "PERMISSIONS REQUIRED"
            }
            ColumnLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 20
                Layout.rightMargin: 20
                spacing: 10

                PermissionRow {
                    objectName: "accessibilityRow"
                    Layout.fillWidth: true
                    icon: "hand.point.up.left.fill"
                    iconColor: Theme.blue
                    title: "Accessibility Access"
                    description: "Required to capture and restore window positions"
                    isGranted: root.onboarding.accessibilityGranted
                    isRequired: true
                    showBorder: true
                    onAction: root.onboarding.grantAccessibility()
                }
                PermissionRow {
                    objectName: "screenRecordingRow"
                    Layout.fillWidth: true
                    icon: "photo.on.rectangle.angled"
                    iconColor: Theme.purple
                    title: "Screen Recording"
                    description: "Optional - enables window thumbnails"
                    isGranted: root.onboarding.screenRecordingGranted
                    isRequired: false
                    showBorder: true
                    onAction: root.onboarding.grantScreenRecording()
                }
            }
        }

        Item {
            Layout.fillHeight: true
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.bottomMargin: 20
            spacing: 12

            PlainButton {
                id: continueButton
                objectName: "continueButton"
                Layout.fillWidth: true
                implicitHeight: 38
                enabled: root.onboarding.canContinue
                pointingCursor: true
                onClicked: root.onboarding.continueOnboarding()

                Rectangle {
                    anchors.fill: parent
                    radius: 10
                    color: !continueButton.enabled ? Theme.alpha(Theme.accent, 0.4)
                           : continueButton.pressed ? Qt.darker(Theme.accent, 1.12)
                           : continueButton.hovered ? Qt.darker(Theme.accent, 1.05) : Theme.accent
                }
                Row {
                    anchors.centerIn: parent
                    spacing: 8

                    UiText {
                        objectName: "continueTitle"
                        anchors.verticalCenter: parent.verticalCenter
                        text: "Continue"
                        size: 13
                        font.weight: Font.DemiBold
                        color: Theme.alpha("white", continueButton.enabled ? 1 : 0.85)
                    }
                    SymbolIcon {
                        objectName: "continueWarning"
                        anchors.verticalCenter: parent.verticalCenter
                        visible: !root.onboarding.canContinue
                        symbol: "exclamationmark.circle.fill"
                        size: 13
                        color: Theme.alpha("white", 0.85)
                    }
                }
            }
            UiText {
                objectName: "continueCaption"
                Layout.fillWidth: true
                visible: text !== ""
                text: root.onboarding.caption
                size: 10
                color: Theme.secondary
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }
        }
    }

    HeaderButton {
        objectName: "quitButton"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.topMargin: 16
        anchors.rightMargin: 16
        icon: "power"
        isHovered: root.quitButtonHovered
        onHoverChangeRequested: hovered => root.quitButtonHovered = hovered
        onClicked: root.onboarding.quit()
    }
}
