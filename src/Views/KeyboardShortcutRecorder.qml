pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Window
import Ordella

// The shortcut recorder: a button that records the next key combination, and a remove button
// while a shortcut is set.
Row {
    id: root

    required property ShortcutRecorderModel recorder

    spacing: 6

    // A recording ends without a change when the recorder leaves the screen, and when its window
    // hides or loses the focus (keys typed elsewhere, in the settings say, are not a shortcut).
    readonly property bool windowActive: root.Window.active
    readonly property bool windowVisible: root.Window.window !== null && root.Window.window.visible
    onWindowActiveChanged: if (!root.windowActive) root.recorder.stopRecording()
    onWindowVisibleChanged: if (!root.windowVisible) root.recorder.stopRecording()
    Component.onDestruction: root.recorder.stopRecording()

    PlainButton {
        id: button
        objectName: "recorderButton"
        anchors.verticalCenter: parent.verticalCenter
        implicitWidth: Math.max(80, content.implicitWidth + 20)
        implicitHeight: content.implicitHeight + 10
        onClicked: root.recorder.toggleRecording()

        Rectangle {
            anchors.fill: parent
            radius: 6
            color: root.recorder.isRecording ? Theme.alpha(Theme.accent, 0.08) : Theme.alpha(Theme.primary, 0.05)
            border.width: root.recorder.isRecording ? 2 : 1
            border.color: root.recorder.isRecording ? Theme.alpha(Theme.accent, 0.6) : Theme.alpha(Theme.primary, 0.08)
        }
        Row {
            id: content
            x: 10
            anchors.verticalCenter: parent.verticalCenter
            spacing: 6

            Rectangle {
                id: dot
                objectName: "recordingDot"
                visible: root.recorder.isRecording
                anchors.verticalCenter: parent.verticalCenter
                width: 6
                height: 6
                radius: 3
                color: Theme.red

                SequentialAnimation on opacity {
                    running: dot.visible && Theme.animated
                    loops: Animation.Infinite
                    NumberAnimation {
                        from: 1
                        to: 0.4
                        duration: 600
                        easing.type: Easing.InOutQuad
                    }
                    NumberAnimation {
                        from: 0.4
                        to: 1
                        duration: 600
                        easing.type: Easing.InOutQuad
                    }
                }
            }
            SymbolIcon {
                visible: !root.recorder.isRecording && !root.recorder.hasShortcut
                anchors.verticalCenter: parent.verticalCenter
                symbol: "keyboard.badge.clock"
                size: 10
            }
            UiText {
                objectName: "recorderText"
                anchors.verticalCenter: parent.verticalCenter
                text: root.recorder.isRecording ? root.recorder.modifiersText
                      : root.recorder.hasShortcut ? root.recorder.shortcutText : "Assign Shortcut"
                size: root.recorder.isRecording || root.recorder.hasShortcut ? 12 : 11
                font.family: root.recorder.isRecording || root.recorder.hasShortcut ? Theme.monospaceFamily
                                                                                    : Theme.fontFamily
                font.weight: Font.Medium
                color: root.recorder.isRecording || root.recorder.hasShortcut ? Theme.primary : Theme.secondary
            }
            UiText {
                objectName: "recorderDash"
                visible: root.recorder.isRecording && root.recorder.modifiersText === ""
                anchors.verticalCenter: parent.verticalCenter
                text: " —"
                size: 12
                color: Theme.tertiary
            }
        }
    }
    IconButton {
        objectName: "removeShortcutButton"
        visible: root.recorder.showsRemoveButton
        anchors.verticalCenter: parent.verticalCenter
        icon: "xmark.circle.fill"
        size: 15
        toolTip: "Remove Shortcut"
        onClicked: root.recorder.removeShortcut()
    }
}
