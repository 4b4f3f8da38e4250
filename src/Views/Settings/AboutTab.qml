pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The About tab: Ordella's icon, name, version and build, a short notice and the web site.
SettingsPage {
    id: root

    required property AboutTabModel about

    ColumnLayout {
        Layout.fillWidth: true
        Layout.bottomMargin: 24
        spacing: 0

        Item {
            objectName: "appIconGroup"
            Layout.alignment: Qt.AlignHCenter
            visible: root.about.appIconSource !== ""
            implicitWidth: 64
            implicitHeight: 64

            // A soft glow of the accent colour below the icon, in rings that fade outwards.
            Repeater {
                model: 6

                Rectangle {
                    required property int index

                    anchors.centerIn: parent
                    anchors.verticalCenterOffset: 6
                    width: 56 + index * 5
                    height: width
                    radius: 14 + index * 2.5
                    color: Theme.alpha(Theme.accent, Theme.dark ? 0.07 : 0.045)
                }
            }
            Image {
                anchors.fill: parent
                source: root.about.appIconSource
                sourceSize.width: 128
                sourceSize.height: 128
                smooth: true
            }
        }
        Item {
            implicitHeight: 14
        }
        UiText {
            objectName: "productName"
            Layout.alignment: Qt.AlignHCenter
            text: "Ordella"
            size: 20
            font.weight: Font.Bold
        }
        Item {
            implicitHeight: 6
        }
        Row {
            Layout.alignment: Qt.AlignHCenter
            spacing: 8

            UiText {
                objectName: "versionText"
                anchors.verticalCenter: parent.verticalCenter
                text: "Version " + root.about.appVersion
                size: 12
                font.weight: Font.Medium
                color: Theme.secondary
            }
            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: 3
                height: 3
                radius: 1.5
                color: Theme.quaternary
            }
            UiText {
                objectName: "buildText"
                anchors.verticalCenter: parent.verticalCenter
                text: "Build " + root.about.buildNumber
                size: 12
                font.weight: Font.Medium
                color: Theme.secondary
            }
        }
        Item {
            implicitHeight: 6
        }
        UiText {
            Layout.alignment: Qt.AlignHCenter
            text: root.about.notice
            size: 11
            color: Theme.tertiary
        }
        Item {
            implicitHeight: 6
        }
        PlainButton {
            objectName: "websiteLink"
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: link.implicitWidth
            implicitHeight: link.implicitHeight
            pointingCursor: true
            onClicked: root.about.openWebsite()

            UiText {
                id: link
                text: root.about.websiteHost
                size: 11
                color: Theme.blue
                font.underline: parent.hovered
            }
        }
    }
}
