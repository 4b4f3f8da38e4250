#pragma once

#include "Models/SnapshotRect.h"

#include <QList>
#include <QStringList>

#include <qcoro/qcorotask.h>

// Puts the file manager's folder windows back, one per saved folder at its saved frame, in one
// script run: closes what is not saved, opens what is missing and re-frames what is off.
class FinderWindowRestorer {
public:
    FinderWindowRestorer() = delete;

    // paths and bounds are paired by position. closeOtherWindows: every folder window is closed
    // and the saved ones opened afresh.
    static QCoro::Task<void> restoreFinderWindows(QStringList paths, QList<SnapshotRect> bounds,
                                                  bool closeOtherWindows);
    // Two frames count as the same when x, y, width and height each differ by at most 50 points.
    static bool framesMatch(const SnapshotRect& current, const SnapshotRect& saved);
};
