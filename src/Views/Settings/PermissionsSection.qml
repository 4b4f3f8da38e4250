pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// Whether the two permissions Ordella uses are granted, each with its Grant action.
ColumnLayout {
    id: root

    required property PermissionsModel permissions

    Layout.fillWidth: true
    spacing: 10

    PermissionRow {
        objectName: "accessibilityPermission"
        Layout.fillWidth: true
        icon: "hand.point.up.left.fill"
        iconColor: Theme.blue
        title: "Accessibility Access"
        description: "Required to capture and restore window positions"
        isGranted: root.permissions.accessibilityGranted
        isRequired: true
        onAction: root.permissions.grantAccessibility()
    }
    PermissionRow {
        objectName: "screenRecordingPermission"
        Layout.fillWidth: true
        icon: "photo.on.rectangle.angled"
        iconColor: Theme.workspaceColor("purple")
        title: "Screen Recording"
        description: "Optional - enables window thumbnails"
        isGranted: root.permissions.screenRecordingGranted
        isRequired: false
        onAction: root.permissions.grantScreenRecording()
    }
}
