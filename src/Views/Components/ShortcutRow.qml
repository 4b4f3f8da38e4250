pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The "Assign Shortcut" line of a workspace's panel, holding the shortcut recorder.
SettingsRow {
    id: root

    required property ShortcutRecorderModel recorder

    SettingsLabel {
        text: "Assign Shortcut"
        elide: Text.ElideNone
    }
    Item {
        Layout.fillWidth: true
    }
    KeyboardShortcutRecorder {
        recorder: root.recorder
    }
}
