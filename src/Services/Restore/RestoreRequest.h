#pragma once

#include "Platform/RunningApplications.h"
#include "Services/Restore/HandedFolders.h"
#include "Services/Restore/OpenedWindows.h"
#include "Services/Restore/RestoreBounds.h"

#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// What one restore request learns while it runs, and what it may still do: made once for the
// request, handed to every pass of the engine and every step of a pass, and dropped with the
// request. A later pass knows what an earlier one opened and handed over; a new request knows
// nothing of an earlier one, whose windows are the user's by now. Main thread.
class RestoreRequest {
public:
    explicit RestoreRequest(int starts = RestoreBounds::startsPerRestore);

    // What the request may still start.
    RestoreBounds& starts() { return m_starts; }
    const RestoreBounds& starts() const { return m_starts; }

    // The windows the request opened for saved windows, and the documents it handed over.
    OpenedWindows& openedWindows() { return m_openedWindows; }
    const OpenedWindows& openedWindows() const { return m_openedWindows; }

    // The saved folders the request handed to a file manager, in all its passes.
    HandedFolders& handedFolders() { return m_handedFolders; }

    // What the request opened for one saved browser application: its windows (ids), the saved
    // window (position) each was opened or kept for where known, and the saved windows handed to
    // the browser whole with the windows it showed for them.
    struct BrowserWindows {
        QList<std::int64_t> windows;
        QHash<std::int64_t, qsizetype> savedFor;
        QHash<qsizetype, std::int64_t> handed;
        // The browser's windows there before the request first opened any (none when it started
        // the browser; nothing when they could not be read): a blank one among them is the user's.
        std::optional<QList<std::int64_t>> windowsBefore;
    };
    // Per saved browser application (browser identifier and snapshot id).
    QHash<QString, BrowserWindows>& browserWindows() { return m_browserWindows; }
    const QHash<QString, BrowserWindows>& browserWindows() const { return m_browserWindows; }

    // Notes an application the request asked to quit; each is noted once, by its identifier.
    void noteQuit(const RunningApplication& app);
    // The applications the request asked to quit, in the order it asked: what a revert starts
    // again, also one whose window came up only after the desktop was recorded.
    const QList<RunningApplication>& quitApplications() const { return m_quit; }

    // Asks the request to stop: its passes end at their next cancellation point, and the waits it
    // is given to (RestoreWait) end at once.
    void requestStop() { m_stopRequested = true; }
    bool stopRequested() const { return m_stopRequested; }

private:
    RestoreBounds m_starts;
    OpenedWindows m_openedWindows;
    HandedFolders m_handedFolders;
    QHash<QString, BrowserWindows> m_browserWindows;
    QList<RunningApplication> m_quit;
    bool m_stopRequested = false;
};
