#pragma once

#include "Models/SnapshotRect.h"
#include "Platform/ScriptDescriptor.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <functional>
#include <optional>

class ScriptQueue;

// Reads and reopens the file manager's folder windows by script, one script per step, on the file
// manager's own script queue (each caller waits at most 5 seconds). Diagnostics are printed, never
// logged to the analysis log, and a refusal puts up no alert.
class FinderScriptService {
public:
    struct FinderWindowInfo {
        QString path;        // the folder the window shows; never empty
        SnapshotRect bounds; // global, top-left origin, whole points
        std::optional<QString> name;

        bool operator==(const FinderWindowInfo&) const = default;
    };
    using FramesMatch = std::function<bool(const SnapshotRect& current, const SnapshotRect& saved)>;

    // Whether the application is the file manager the scripts speak to: the classic identifier,
    // or the one the platform's own file manager runs under.
    static bool isFileManager(const QString& bundleIdentifier);

    // The folder windows in the file manager's window order; empty on any failure.
    static QCoro::Task<QList<FinderWindowInfo>> captureWindows();
    // Closes every folder window, then opens one per path with the frame at its position (when
    // there is one). A folder that cannot be opened is passed over; the others still open.
    static QCoro::Task<void> batchRestoreWindows(QStringList paths, QList<SnapshotRect> bounds);
    // Closes, opens and re-frames only what differs, in one script; each step is guarded so that
    // one failing folder does not stop the others.
    static QCoro::Task<void> batchOperations(QStringList pathsToClose, QStringList pathsToOpen,
                                             QStringList allPaths, QList<SnapshotRect> bounds,
                                             QList<FinderWindowInfo> currentWindows,
                                             QStringList pathsToReposition, FramesMatch framesMatch);

    // The script texts.
    static QString listingScript();
    static QString batchRestoreScript(const QStringList& paths, const QList<SnapshotRect>& bounds);
    static QString batchOperationsScript(const QStringList& pathsToClose, const QStringList& pathsToOpen,
                                         const QStringList& allPaths, const QList<SnapshotRect>& bounds,
                                         const QList<FinderWindowInfo>& currentWindows,
                                         const QStringList& pathsToReposition,
                                         const FramesMatch& framesMatch);

    static QList<FinderWindowInfo> parseWindowResult(const ScriptDescriptor& result);

private:
    static ScriptQueue& scriptQueue();
    static QCoro::Task<std::optional<ScriptDescriptor>> runAppleScript(QString source);
};
