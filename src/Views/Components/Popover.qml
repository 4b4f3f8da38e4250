pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import Ordella

// A popover anchored to a control: below it with its arrow pointing up at the control's bottom
// edge (above it, pointing down, when there is no room below), kept inside the window. It opens
// and closes with presented; when the user dismisses it (a click outside, Escape) it asks its
// owner through dismissed to set presented back to false. A choice inside does not close it. A
// press inside owner (the anchor, or the whole line whose click toggles the popover) does not
// dismiss it: the owner's own click decides, so a second click on the line closes it instead of
// reopening it.
Popup {
    id: root

    required property Item anchorItem
    property Item owner: anchorItem
    property bool presented: false
    readonly property real arrowSize: 7
    // Where the box sits, worked out each time it opens: below the control when it fits in the
    // window, else above; centred on the control, pushed inside the window's edges.
    property bool below: true
    property real arrowX: width / 2

    signal dismissed

    function place() {
        const win = anchorItem.Window.window;
        const origin = anchorItem.mapToItem(null, 0, 0);
        const ownerOrigin = owner.mapToItem(null, 0, 0);
        const room = win ? win.height : 1e9;
        below = origin.y + anchorItem.height + arrowSize + implicitHeight + margins <= room
                || origin.y < room / 2;
        const centre = origin.x + anchorItem.width / 2;
        const widest = win ? win.width - width - margins : 1e9;
        const left = Math.max(margins, Math.min(centre - width / 2, widest));
        x = Math.round(left - ownerOrigin.x);
        y = (origin.y - ownerOrigin.y) + (below ? anchorItem.height + arrowSize : -implicitHeight - arrowSize);
        arrowX = centre - left;
    }

    parent: owner
    margins: 6
    padding: 0
    modal: false
    focus: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent

    onPresentedChanged: presented ? open() : close()
    Component.onCompleted: if (presented) open()
    onAboutToShow: place()
    onClosed: if (presented) dismissed()

    background: Item {
        // The arrow: a square turned by 45 degrees, half of it outside the box.
        Rectangle {
            width: root.arrowSize * 2
            height: width
            rotation: 45
            x: root.arrowX - width / 2
            y: root.below ? -root.arrowSize + 1 : parent.height - root.arrowSize - 1
            color: Theme.popoverBackground
            border.width: 1
            border.color: Theme.alpha(Theme.primary, 0.1)
        }
        // A soft shadow below the box.
        Rectangle {
            anchors.fill: parent
            anchors.leftMargin: -1
            anchors.rightMargin: -1
            anchors.topMargin: 1
            anchors.bottomMargin: -3
            radius: 11
            color: Theme.alpha(Theme.shadow, 0.6)
        }
        Rectangle {
            anchors.fill: parent
            radius: 10
            color: Theme.popoverBackground
            border.width: 1
            border.color: Theme.alpha(Theme.primary, 0.1)
        }
        // Covers the arrow's inner half so it joins the box without a seam.
        Rectangle {
            width: root.arrowSize * 2 - 2
            height: root.arrowSize
            x: root.arrowX - width / 2
            y: root.below ? 1 : parent.height - root.arrowSize - 1
            color: Theme.popoverBackground
        }
    }
}
