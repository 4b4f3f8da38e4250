#pragma once

#include "Models/WindowRestoreResult.h"
#include "Platform/Accessibility.h"
#include "Services/Desktop/WindowMatcher.h"

#include <QList>
#include <QRectF>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

// Moves windows onto their frames and reads them back until each stands within 50 points of its
// target, trying again a few times while it does not.
class GeometryApplier {
public:
    GeometryApplier() = delete;

    // One window to be put on its frame.
    struct Moving {
        AXElement window;
        QRectF targetFrame;
        std::optional<QString> windowTitle;
        WindowMatchQuality matchQuality = WindowMatchQuality::indexFallback;
        // Whether its first move raises it. A window the restore showed again was raised by being
        // shown; raised again while its manager still draws it back from its icon, it is drawn
        // from the icon anew (openbox), and on a busy manager it then never gets to its place.
        bool raise = true;
    };
    // Asks each window onto its target frame, reads it back and asks again (4 times, 100 to 800
    // ms apart) until it stands within 50 points of it. All the windows still off their targets
    // are asked together at each attempt, and one pause serves them all. The outcomes in the
    // windows' order.
    static QCoro::Task<QList<WindowRestoreResult>> applyAndVerify(QList<Moving> windows);
};
