pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Ordella

// The fixed-width caption of a settings line.
UiText {
    size: 13
    color: Theme.secondary
    Layout.preferredWidth: 100
    width: 100
}
