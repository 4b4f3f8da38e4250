pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The name of a settings section, in capitals, 16 points above what it names.
UiText {
    required property string title
    property real topSpace: 0

    text: title.toUpperCase()
    Layout.topMargin: topSpace
    Layout.bottomMargin: 16
    size: 11
    font.weight: Font.Bold
    font.letterSpacing: 0.5
    color: Theme.secondary
}
