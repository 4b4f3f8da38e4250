pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The green strip above the workspace list that offers a newer version: its title and version,
// the control of the updater's state (Download, the download's or installation's progress, a
// failure with Check for Updates, Install Update) and the dismiss button, which turns this version
// down for good.
Rectangle {
    id: root

    required property UpdateBannerModel banner
    // The pointer is over one of the banner's text buttons; they share this one flag.
    property bool updateButtonHovered: false

    implicitWidth: 410
    implicitHeight: line.implicitHeight + 24
    radius: 10
    color: Theme.alpha(Theme.green, 0.1)
    border.width: 1
    border.color: Theme.alpha(Theme.green, 0.3)

    RowLayout {
        id: line
        anchors.fill: parent
        anchors.margins: 12
        spacing: 12

        SymbolIcon {
            objectName: "bannerSymbol"
            symbol: "arrow.down.circle.fill"
            size: 20
            color: Theme.green
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2

            UiText {
                objectName: "bannerTitle"
                text: "Update Available"
                size: 13
                font.weight: Font.DemiBold
            }
            UiText {
                objectName: "bannerVersion"
                Layout.fillWidth: true
                visible: text !== ""
                text: root.banner.versionLine
                size: 11
                color: Theme.secondary
            }
        }
        Row {
            objectName: "bannerProgress"
            visible: root.banner.showsProgress
            spacing: 6

            ProgressSpinner {
                anchors.verticalCenter: parent.verticalCenter
                diameter: 16
                scale: 0.6
            }
            UiText {
                objectName: "bannerProgressText"
                anchors.verticalCenter: parent.verticalCenter
                text: root.banner.progressText
                size: 11
                font.weight: Font.Medium
                color: Theme.secondary
            }
        }
        ColumnLayout {
            visible: root.banner.showsButton
            spacing: 4

            UiText {
                objectName: "bannerError"
                Layout.alignment: Qt.AlignRight
                Layout.maximumWidth: 190
                visible: root.banner.showsError
                text: root.banner.errorMessage
                size: 10
                font.weight: Font.Medium
                color: Theme.orange
                maximumLineCount: 1
            }
            PlainButton {
                id: textButton
                objectName: "bannerButton"
                Layout.alignment: Qt.AlignRight
                implicitWidth: buttonTitle.implicitWidth + 28
                implicitHeight: buttonTitle.implicitHeight + 16
                pointingCursor: true
                onHoveredChanged: root.updateButtonHovered = hovered
                onClicked: root.banner.performButtonAction()

                Rectangle {
                    anchors.fill: parent
                    radius: 6
                    color: Theme.alpha(Theme.accent, root.updateButtonHovered ? 1 : 0.85)
                }
                UiText {
                    id: buttonTitle
                    objectName: "bannerButtonTitle"
                    anchors.centerIn: parent
                    text: root.banner.buttonTitle
                    size: 12
                    font.weight: Font.DemiBold
                    color: "white"
                }
            }
        }
        PlainButton {
            objectName: "bannerDismissButton"
            Layout.leftMargin: 4
            implicitWidth: 16
            implicitHeight: 16
            onClicked: root.banner.dismiss()

            SymbolIcon {
                anchors.centerIn: parent
                symbol: "xmark"
                size: 10
                font.weight: Font.Medium
                color: Theme.secondary
            }
        }
    }
}
