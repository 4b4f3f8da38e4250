#pragma once

#include "Models/DisplaySnapshot.h"
#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Platform/RunningApplications.h"
#include "Services/Restore/RestoreRequest.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QUuid>

#include <memory>

#include <qcoro/qcorotask.h>

// Brings back the saved windows of a running application that were closed since the save. Where a
// program runs one process per window (terminals and most older X programs), reopening the
// application brings no window back: it is asked for one new window per missing window, before
// the windows are placed, and each new window is put on its saved window's frame at once so that
// placement pairs the two. A request that brings no new window within the readiness wait ends the
// requests for that application, so one that keeps a single window is not asked again and again.
// Windows with a document come back through their document instead; those are waited for first,
// up to the same readiness wait.
class MissingWindowReopener {
public:
    MissingWindowReopener() = delete;

    // How long a new window is waited for after each request.
    static constexpr double readinessWait = 5.0;

    // The positions of the saved windows that no live window pairs with (as placement pairs
    // them) and that have no document; none while the application shows at least as many
    // windows as were saved. A window the restore opened for some saved windows (openedFor, by
    // their ids) is theirs: they are not missing, and it pairs with no other. windowsBefore: the
    // windows there were before the restore touched the application (when known), as placement
    // takes them.
    static QList<int> missingWindows(const RunningApplication& app, const QList<WindowSnapshot>& snapshots,
                                     const QHash<AXElement, QSet<QUuid>>& openedFor = {},
                                     const std::optional<QSet<AXElement>>& windowsBefore = std::nullopt);
    struct Reopened {
        // The positions of the saved windows left unasked for when the restore's starts ran out.
        QList<int> notAskedFor;
        // Each window that came for a request, with the id of the saved window it was asked for:
        // it is that window's alone (OpenedWindows).
        QHash<AXElement, QSet<QUuid>> openedFor;
    };
    // Each request takes a start of request (when given). openedFor: the windows this restore
    // opened so far, each for the saved windows it is for; windowsBefore as for missingWindows.
    static QCoro::Task<Reopened>
    reopenMissingWindows(RunningApplication app, QList<WindowSnapshot> snapshots,
                         QList<DisplaySnapshot> savedDisplays, std::shared_ptr<RestoreRequest> request = {},
                         QHash<AXElement, QSet<QUuid>> openedFor = {},
                         std::optional<QSet<AXElement>> windowsBefore = std::nullopt);
};
