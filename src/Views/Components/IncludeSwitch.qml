pragma ComponentBehavior: Bound

import QtQuick
import Ordella

// The switch that keeps an item in the workspace: on while it is included. A click only reports
// itself; the owner decides (and the capture preview model holds) what is included.
MiniSwitch {
    objectName: "includeSwitch"
    Accessible.name: "Include in workspace"
}
