pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The dot between two items of a metadata line.
UiText {
    text: "•"
    size: 10
    color: Theme.secondary
}
