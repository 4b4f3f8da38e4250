pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// What a panel shows while its capture of the desktop runs.
Item {
    implicitWidth: row.implicitWidth
    implicitHeight: row.implicitHeight + 40

    Row {
        id: row
        anchors.centerIn: parent
        spacing: 8

        ProgressSpinner {
            objectName: "captureSpinner"
            anchors.verticalCenter: parent.verticalCenter
            diameter: 14
        }
        UiText {
            objectName: "captureLoadingText"
            anchors.verticalCenter: parent.verticalCenter
            text: "Capturing workspace..."
            size: 11
            color: Theme.secondary
        }
    }
}
