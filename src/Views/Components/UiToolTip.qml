pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Ordella

// A tooltip in the window's look: the popover colours of the theme, a thin outline and a soft
// shadow, the interface font. A long text wraps at maxWidth (never wider than the window) instead
// of running off it, and the box stays inside the window's edges. The text is always plain: it
// may carry names from outside.
T.ToolTip {
    id: root

    readonly property real windowWidth: parent && parent.Window.window ? parent.Window.width : 0
    readonly property real maxWidth: windowWidth > 0 ? Math.min(320, windowWidth - 2 * margins) : 320

    width: Math.min(implicitWidth, maxWidth)
    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)
    // Centred above the item that owns it.
    x: parent ? Math.round((parent.width - width) / 2) : 0
    y: -implicitHeight - 4
    margins: 6
    horizontalPadding: 10
    verticalPadding: 6
    closePolicy: T.Popup.CloseOnEscape | T.Popup.CloseOnPressOutsideParent | T.Popup.CloseOnReleaseOutsideParent

    contentItem: UiText {
        objectName: "toolTipText"
        text: root.text
        size: 11
        wrapMode: Text.Wrap
        maximumLineCount: 8
    }

    background: Rectangle {
        objectName: "toolTipBackground"
        radius: 8
        color: Theme.popoverBackground
        border.width: 1
        border.color: Theme.alpha(Theme.primary, 0.12)

        // A soft shadow below the box.
        Rectangle {
            z: -1
            anchors.fill: parent
            anchors.topMargin: 1
            anchors.bottomMargin: -2
            radius: 9
            color: Theme.alpha(Theme.shadow, 0.6)
        }
    }

    enter: Transition {
        NumberAnimation {
            property: "opacity"
            from: 0
            to: 1
            duration: Theme.animated ? Theme.hoverDuration : 0
        }
    }
    exit: Transition {
        NumberAnimation {
            property: "opacity"
            from: 1
            to: 0
            duration: Theme.animated ? Theme.hoverDuration : 0
        }
    }
}
