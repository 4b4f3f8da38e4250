pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The hairline between two rows of a card, fading out towards both ends.
Item {
    Layout.fillWidth: true
    implicitHeight: 1

    Rectangle {
        x: 16
        width: parent.width - 32
        height: 1
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop {
                position: 0
                color: "transparent"
            }
            GradientStop {
                position: 0.5
                color: Theme.alpha(Theme.primary, 0.08)
            }
            GradientStop {
                position: 1
                color: "transparent"
            }
        }
    }
}
