pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Window
import Ordella

// The root of the menu-bar window: the onboarding until the user has finished it, then the
// workspace list. The theme (light, dark or the desktop's) comes from Theme.
Item {
    id: root

    required property AppRootModel appRoot
    required property PopoverModel popover

    // Escape that no picker or field took: the open panel goes first, then the window. The root
    // takes the focus back whenever nothing below it holds it (a picker that closed hands it to
    // the window), so Escape always arrives.
    function takeFreeFocus() {
        const focused = root.Window.activeFocusItem;
        if (focused === null || focused === root.parent) {
            root.forceActiveFocus();
        }
    }

    focus: true
    Keys.onEscapePressed: root.popover.escapePressed()
    Component.onCompleted: root.takeFreeFocus()

    Connections {
        target: root.Window.window

        function onActiveFocusItemChanged() {
            root.takeFreeFocus();
        }
    }

    implicitWidth: root.appRoot.isOnboardingComplete ? popoverView.implicitWidth : 420
    implicitHeight: root.appRoot.isOnboardingComplete || onboardingSlot.count === 0
                    ? popoverView.implicitHeight : (onboardingSlot.itemAt(0) as OnboardingView).implicitHeight

    PopoverView {
        id: popoverView
        objectName: "popoverView"
        anchors.fill: parent
        visible: root.appRoot.isOnboardingComplete
        popover: root.popover
    }

    // The onboarding, while it is not complete.
    Repeater {
        id: onboardingSlot

        model: !root.appRoot.isOnboardingComplete && root.appRoot.onboarding !== null
               ? [root.appRoot.onboarding] : []

        OnboardingView {
            required property OnboardingViewModel modelData

            objectName: "onboardingView"
            anchors.fill: parent
            onboarding: modelData
        }
    }
}
