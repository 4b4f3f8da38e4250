pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The status tag beside an application in the preview lists: "Saved", "New", "Hidden", or the
// minimised badge.
Item {
    id: root

    required property int kind

    implicitWidth: kind === PreviewBadge.Minimized ? minimized.implicitWidth : tag.implicitWidth
    implicitHeight: kind === PreviewBadge.Minimized ? minimized.implicitHeight : tag.implicitHeight
    visible: kind !== PreviewBadge.None

    CapsuleTag {
        id: tag
        visible: root.kind !== PreviewBadge.Minimized
        icon: root.kind === PreviewBadge.Saved ? "checkmark.circle.fill"
              : root.kind === PreviewBadge.New ? "plus.circle.fill" : "eye.slash"
        label: root.kind === PreviewBadge.Saved ? "Saved" : root.kind === PreviewBadge.New ? "New" : "Hidden"
        tint: root.kind === PreviewBadge.Saved ? Theme.accent : root.kind === PreviewBadge.New ? Theme.green
                                                                                             : Theme.orange
    }
    MinimizedBadge {
        id: minimized
        visible: root.kind === PreviewBadge.Minimized
    }
}
