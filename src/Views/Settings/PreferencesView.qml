pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The settings window: the sidebar of tabs, a thin divider and the selected tab.
Rectangle {
    id: root

    required property PreferencesViewModel preferences

    implicitWidth: 620
    implicitHeight: 420
    color: Theme.windowBackground
    // Escape that no control or popover inside used closes the window. The root takes the focus
    // back whenever nothing below it holds it (a popover that closed hands it to the window), so
    // Escape always arrives.
    function takeFreeFocus() {
        const focused = root.Window.activeFocusItem;
        if (focused === null || focused === root.parent) {
            root.forceActiveFocus();
        }
    }

    focus: true
    Keys.onEscapePressed: root.preferences.cancel()
    Component.onCompleted: root.takeFreeFocus()

    Connections {
        target: root.Window.window

        function onActiveFocusItemChanged() {
            root.takeFreeFocus();
        }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Rectangle {
            objectName: "sidebar"
            Layout.preferredWidth: 190
            Layout.fillHeight: true
            color: Theme.controlBackground

            Rectangle {
                anchors.fill: parent
                gradient: Gradient {
                    GradientStop {
                        position: 0
                        color: Theme.alpha(Theme.primary, 0.02)
                    }
                    GradientStop {
                        position: 1
                        color: Theme.alpha(Theme.primary, 0.01)
                    }
                }
            }
            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 14
                spacing: 6

                Repeater {
                    model: root.preferences.tabs

                    SidebarButton {
                        required property var modelData
                        required property int index

                        objectName: "sidebarButton"
                        title: modelData.title
                        icon: modelData.icon
                        isSelected: root.preferences.selectedTab === modelData.tab
                        position: index
                        animateIn: root.preferences.animateIn
                        onClicked: root.preferences.selectedTab = modelData.tab
                    }
                }
                Item {
                    Layout.fillHeight: true
                }
            }
        }
        Rectangle {
            Layout.preferredWidth: 1
            Layout.fillHeight: true
            gradient: Gradient {
                GradientStop {
                    position: 0
                    color: Theme.alpha(Theme.primary, 0.08)
                }
                GradientStop {
                    position: 0.5
                    color: Theme.alpha(Theme.primary, 0.12)
                }
                GradientStop {
                    position: 1
                    color: Theme.alpha(Theme.primary, 0.08)
                }
            }
        }
        Item {
            id: content
            objectName: "tabContent"
            Layout.fillWidth: true
            Layout.fillHeight: true
            states: State {
                when: !root.preferences.animateIn
                PropertyChanges {
                    content.opacity: 0
                }
            }
            transitions: Transition {
                enabled: Theme.animated
                SequentialAnimation {
                    PauseAnimation {
                        duration: 200
                    }
                    NumberAnimation {
                        property: "opacity"
                        duration: 500
                        easing.type: Easing.OutQuad
                    }
                }
            }

            // Every tab exists; only the selected one shows. A tab selected anew starts over: its
            // model is reset and its page scrolled back to the top.
            GeneralTab {
                objectName: "generalTab"
                anchors.fill: parent
                visible: root.preferences.selectedTab === 0
                preferences: root.preferences
            }
            AppearanceTab {
                objectName: "appearanceTab"
                anchors.fill: parent
                visible: root.preferences.selectedTab === 1
                settings: root.preferences.settings
            }
            DataTab {
                objectName: "dataTab"
                anchors.fill: parent
                visible: root.preferences.selectedTab === 2
                dataTab: root.preferences.dataTab
            }
            SupportTab {
                objectName: "supportTab"
                anchors.fill: parent
                visible: root.preferences.selectedTab === 3
                support: root.preferences.support
            }
            AboutTab {
                objectName: "aboutTab"
                anchors.fill: parent
                visible: root.preferences.selectedTab === 4
                about: root.preferences.about
            }
        }
    }
}
