#pragma once

#include "Models/AppSnapshot.h"
#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Platform/RunningApplications.h"

#include <QHash>
#include <QList>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

// Puts the workspace's applications, and the windows inside each, back into their saved
// front-to-back order: applications are activated from the back to the front and their windows
// raised from the last saved to the first, and the first visible application ends frontmost.
class StackingOrderRestorer {
public:
    StackingOrderRestorer() = delete;

    // remappedSnapshots: the windows to raise per bundle identifier (an application without an
    // entry raises its own saved windows).
    static QCoro::Task<void> restoreZOrder(QList<AppSnapshot> appSnapshots,
                                           QHash<QString, QList<WindowSnapshot>> remappedSnapshots);

private:
    // A window raised, and the virtual desktop it stands on (-1: the one shown, or all).
    struct Raised {
        AXElement window;
        qint64 desktop = -1;
    };
    // Raises the windows from the last to the first: a browser's by their frames, any other's by
    // their titles. The windows raised, in the order they were raised.
    static QCoro::Task<QList<Raised>> raiseWindows(RunningApplication app, QList<WindowSnapshot> windows);
};
