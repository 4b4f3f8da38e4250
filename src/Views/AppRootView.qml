pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The root of the menu-bar window: the onboarding until the user has finished it, then the
// workspace list. The theme (light, dark or the desktop's) comes from Theme.
Item {
    id: root

    required property AppRootModel appRoot
    required property PopoverModel popover

    implicitWidth: 450
    implicitHeight: root.appRoot.isOnboardingComplete ? popoverView.implicitHeight : 520

    PopoverView {
        id: popoverView
        objectName: "popoverView"
        anchors.fill: parent
        visible: root.appRoot.isOnboardingComplete
        popover: root.popover
    }

    // The onboarding's place.
    Rectangle {
        objectName: "onboardingSlot"
        anchors.fill: parent
        visible: !root.appRoot.isOnboardingComplete
        color: Theme.windowBackground

        ColumnLayout {
            anchors.centerIn: parent
            spacing: 14

            Image {
                Layout.alignment: Qt.AlignHCenter
                Layout.preferredWidth: 64
                Layout.preferredHeight: 64
                source: "qrc:/Ordella/AppIcon.svg"
                sourceSize.width: 128
                sourceSize.height: 128
            }
            UiText {
                Layout.alignment: Qt.AlignHCenter
                text: "Welcome to Ordella"
                size: 20
                font.weight: Font.Bold
            }
            NewWorkspacePlaceholder {
                objectName: "finishOnboardingButton"
                Layout.preferredWidth: 200
                onClicked: root.appRoot.finishOnboarding()
            }
        }
    }
}
