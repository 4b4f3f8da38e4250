pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Ordella

// The panel in which a new workspace is captured, reviewed and named, shown by the menu-bar window
// in place of its list: the header, the name field, the capture area and Cancel / Save. Return in
// the name field saves, Escape cancels; the panel model decides whether either does anything.
Item {
    id: root

    required property SaveWorkspacePanelModel panel

    implicitWidth: 410
    implicitHeight: column.implicitHeight

    // Return saves from anywhere in the panel; in the name field the field's own Return does.
    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: root.visible && !nameField.activeFocus
        onActivated: root.panel.save()
    }
    Shortcut {
        sequence: "Esc"
        enabled: root.visible
        onActivated: root.panel.cancel()
    }
    Connections {
        target: root.panel

        function onFocusRequested() {
            nameField.forceActiveFocus();
        }
    }
    Component.onCompleted: nameField.forceActiveFocus()

    ColumnLayout {
        id: column
        anchors.fill: parent
        spacing: 0

        ColumnLayout {
            Layout.fillWidth: true
            Layout.bottomMargin: 16
            spacing: 3

            UiText {
                objectName: "panelTitle"
                text: "New Workspace"
                size: 14
                font.weight: Font.Bold
            }
            UiText {
                objectName: "panelSubtitle"
                text: "Give your workspace a name to save it"
                size: 11
                color: Theme.secondary
            }
        }

        TextField {
            id: nameField
            objectName: "nameField"
            Layout.fillWidth: true
            Layout.bottomMargin: 16
            text: root.panel.name
            placeholderText: "Enter a name for the workspace"
            placeholderTextColor: Theme.tertiary
            color: Theme.primary
            selectionColor: Theme.alpha(Theme.accent, 0.35)
            selectedTextColor: Theme.primary
            font.family: Theme.fontFamily
            font.pixelSize: 13
            leftPadding: 12
            rightPadding: 12
            topPadding: 10
            bottomPadding: 10
            onTextEdited: root.panel.name = text
            onAccepted: root.panel.save()

            background: Rectangle {
                radius: 8
                color: Theme.alpha(Theme.primary, 0.03)
                border.width: 1
                border.color: nameField.activeFocus ? Theme.alpha(Theme.accent, 0.5)
                                                    : Theme.alpha(Theme.primary, 0.08)
            }
        }

        CaptureArea {
            objectName: "captureArea"
            Layout.fillWidth: true
            Layout.fillHeight: true
            panel: root.panel
            listTitle: "What will be saved"
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 10

            PanelButton {
                objectName: "cancelButton"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                title: "Cancel"
                onClicked: root.panel.cancel()
            }
            PanelButton {
                objectName: "saveButton"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                title: "Save"
                prominent: true
                enabled: root.panel.canSave
                onClicked: root.panel.save()
            }
        }
    }
}
