pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Ordella

// The field that replaces a workspace's title while it is renamed.
Rectangle {
    id: root

    required property WorkspaceRowModel row

    implicitHeight: line.implicitHeight + 8
    radius: 6
    color: Theme.alpha(Theme.primary, 0.04)
    border.width: 1
    border.color: Theme.alpha(Theme.accent, 0.3)

    // The field takes the current name and the keyboard focus each time it appears.
    onVisibleChanged: {
        if (visible) {
            root.row.renameText = root.row.name;
            field.forceActiveFocus();
            field.selectAll();
        }
    }

    RowLayout {
        id: line
        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        spacing: 4

        TextField {
            id: field
            objectName: "renameField"
            Layout.fillWidth: true
            text: root.row.renameText
            placeholderText: "Enter a new name"
            placeholderTextColor: Theme.tertiary
            color: Theme.primary
            selectionColor: Theme.alpha(Theme.accent, 0.35)
            selectedTextColor: Theme.primary
            font.family: Theme.fontFamily
            font.pixelSize: 13
            font.weight: Font.DemiBold
            padding: 0
            topPadding: 3
            bottomPadding: 3
            background: null
            onTextEdited: root.row.renameText = text
            onAccepted: root.row.confirmRename()
            Keys.onEscapePressed: event => {
                event.accepted = true;
                root.row.cancelRename();
            }
        }
        IconButton {
            objectName: "confirmRenameButton"
            icon: "checkmark.circle.fill"
            color: Theme.green
            onClicked: root.row.confirmRename()
        }
        IconButton {
            objectName: "cancelRenameButton"
            icon: "xmark.circle.fill"
            color: Theme.secondary
            onClicked: root.row.cancelRename()
        }
    }
}
