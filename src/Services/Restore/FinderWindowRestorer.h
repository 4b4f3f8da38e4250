#pragma once

#include "Models/AppRestoreResult.h"
#include "Models/AppSnapshot.h"
#include "Models/SnapshotRect.h"
#include "Models/WindowRestoreResult.h"
#include "Services/Restore/RestorePlan.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QStringList>

#include <qcoro/qcorotask.h>

// Puts the file manager's folder windows back, one per saved folder at its saved frame, in one
// script run: closes what is not saved, opens what is missing and re-frames what is off. A folder
// goes to the file manager only as a document would go to an application.
class HandedFolders;

class FinderWindowRestorer {
public:
    FinderWindowRestorer() = delete;

    // What the folder step did, by saved window (its index among the application's windows).
    struct Outcome {
        // The windows whose folder the file manager may not have, each with the reason.
        QMap<qsizetype, QString> refused;
        // The windows whose folder was shown elsewhere and got the saved frame.
        QSet<qsizetype> moved;
        // The file manager's windows the step closed, as read back: listed before, gone after.
        QList<ClosedWindow> closed;
    };

    // The folder windows of the saved file manager: each refused folder is logged with its reason
    // and left out, and the rest put back. handed (may be null) holds the folders the request
    // handed to the file manager already, in this run or an earlier one: none is handed again, and
    // none of their windows closed (a close of every window gives way to closing the others).
    static QCoro::Task<Outcome> restoreSavedFolders(AppSnapshot snapshot, bool closeOtherWindows,
                                                    HandedFolders* handed = nullptr);
    // The plan without the windows whose folders were refused: they are placed nowhere.
    static AppPlan withoutRefused(AppPlan plan, const Outcome& outcome);
    // The results of the windows placed (for the plan withoutRefused), one per saved window again:
    // a refused window failed with its reason, and a window the step moved that was read back in
    // place was moved.
    static QList<WindowRestoreResult> completed(QList<WindowRestoreResult> placed, const Outcome& outcome,
                                                const AppSnapshot& snapshot);

    // What restoreFinderWindows did.
    struct Steps {
        // The positions of the paths whose windows showed them at another frame and were given the
        // saved one.
        QSet<qsizetype> moved;
        // The folders it asked the file manager to show.
        QStringList opened;
        // The windows it closed, as read back.
        QList<ClosedWindow> closed;
    };
    // paths and bounds are paired by position. closeOtherWindows: every folder window is closed
    // and the saved ones opened afresh. A refused folder is neither opened nor re-framed, and a
    // window showing it is not closed for not being saved; a folder in handed is not opened again
    // (its window may still be on its way).
    static QCoro::Task<Steps> restoreFinderWindows(QStringList paths, QList<SnapshotRect> bounds,
                                                   bool closeOtherWindows, QSet<QString> refused = {},
                                                   QSet<QString> handed = {});
    // The folder a file manager started for the saved windows starts in, as a file URL: the first
    // saved folder it may have; nothing when it may have none.
    static QStringList startingFolder(const AppSnapshot& snapshot);
    // A saved folder as the path the file manager is handed: a file URL of this machine
    // ("file:///…", "file://localhost/…") is its path, without a closing slash; anything else stands
    // as it is, and is judged as it is.
    static QString folderPath(const QString& saved);
    // A saved or listed folder as folders are compared: its path without a closing slash (the file
    // manager lists folders with one; they are saved with or without one).
    static QString folderKey(const QString& folder);
    // Two frames count as the same when x, y, width and height each differ by at most 50 points.
    static bool framesMatch(const SnapshotRect& current, const SnapshotRect& saved);
};
