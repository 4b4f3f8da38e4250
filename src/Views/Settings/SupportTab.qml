pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The Support tab: the FAQ page, a bug report (with the analysis log when there is one) and
// feedback.
SettingsPage {
    id: root

    required property SupportTabModel support

    SettingsSectionTitle {
        title: "Support"
    }
    SettingsCard {
        SettingsCardRow {
            SettingsLine {
                icon: "globe"
                startColor: Theme.blue
                endColor: Theme.workspaceColor("cyan")
                title: "FAQ"
                description: "Open FAQ"

                ModernButton {
                    objectName: "faqButton"
                    title: "Open"
                    onClicked: root.support.openFAQ()
                }
            }
        }
        RowDivider {}
        SettingsCardRow {
            SettingsLine {
                icon: "ladybug.fill"
                startColor: Theme.orange
                endColor: Theme.red
                title: "Report"
                description: "Describe what went wrong and we'll investigate"
                // The switch is off limits until a restore has written a log; the line itself
                // still answers the pointer, so it can say why.
                detail: Item {
                    objectName: "attachLogLine"
                    implicitWidth: attachLine.implicitWidth
                    implicitHeight: attachLine.implicitHeight

                    UiToolTip {
                        visible: root.support.attachHelpText !== "" && attachHover.hovered
                        text: root.support.attachHelpText
                        delay: 700
                    }
                    HoverHandler {
                        id: attachHover
                    }
                    Row {
                        id: attachLine
                        topPadding: 4
                        spacing: 6
                        enabled: root.support.logFileExists
                        opacity: root.support.logFileExists ? 1 : 0.4

                        MiniSwitch {
                            objectName: "attachLogSwitch"
                            anchors.verticalCenter: parent.verticalCenter
                            checked: root.support.attachLogFile
                            onToggled: value => root.support.attachLogFile = value
                        }
                        UiText {
                            anchors.verticalCenter: parent.verticalCenter
                            text: "Attach log to bug report"
                            size: 11
                            color: Theme.secondary
                        }
                    }
                }

                ModernButton {
                    objectName: "reportButton"
                    title: "Report"
                    onClicked: root.support.composeBugReportEmail()
                }
            }
        }
        RowDivider {}
        SettingsCardRow {
            SettingsLine {
                icon: "envelope.fill"
                startColor: Theme.workspaceColor("purple")
                endColor: Theme.workspaceColor("pink")
                title: "Send"
                description: "Share ideas, suggestions or general feedback"

                ModernButton {
                    objectName: "feedbackButton"
                    title: "Send"
                    onClicked: root.support.composeFeedbackEmail()
                }
            }
        }
    }
}
