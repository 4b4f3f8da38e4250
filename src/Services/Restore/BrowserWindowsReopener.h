#pragma once

#include "Models/AppRestoreResult.h"
#include "Models/AppSnapshot.h"
#include "Models/TabSnapshot.h"
#include "Platform/Accessibility.h"
#include "Services/Restore/BrowserTabRestorer.h"
#include "Services/Restore/RestorePlan.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

#include <qcoro/qcorotask.h>

// Opens a browser's saved windows for a restore, tried again while the browser's record shows them
// short of tabs, and notes in the restore request, per saved application, which windows it opened
// for its saved windows: a later attempt or pass closes those it replaces, never a window of the
// user's, and never takes them for the user's own.
class BrowserWindowsReopener {
public:
    BrowserWindowsReopener() = delete;

    // closed: the browser's windows its tidying closed; notStarted: the saved windows (positions)
    // not opened because the restore's starts ran out.
    struct Outcome {
        QList<ClosedWindow> closed;
        QList<qsizetype> notStarted;
    };
    // Opens the saved windows no window shows, each taking a start of the plan's request.
    static QCoro::Task<Outcome> reopen(AppPlan plan, bool closeOtherApps);
    // The tab issues of each saved window (BrowserRestoreIssues::tabIssues), once the browser's
    // record lists its windows (those handed whole with the tabs they were handed).
    static QCoro::Task<QStringList> countedTabIssues(QString bundleIdentifier, AppSnapshot snapshot,
                                                     std::shared_ptr<RestoreRequest> request);
    // The windows among windowsBefore that show no saved window's tabs (all of them when the
    // browser's windows cannot be told apart), by their numbers; never one the request opened for
    // the saved windows.
    static QCoro::Task<QList<std::int64_t>> windowsOfOthers(QString browser, AppSnapshot snapshot,
                                                            QSet<AXElement> windowsBefore,
                                                            std::shared_ptr<RestoreRequest> request);
    // The saved windows of a browser application that the restore request handed to the browser
    // whole, with the windows it showed for them.
    static BrowserTabRestorer::Handed handed(const RestoreRequest& request, const AppSnapshot& snapshot);

private:
    // One attempt: opens the saved windows, then closes the windows this request opened before
    // (key names the saved application) for the saved windows it opened a window for now that
    // shows, and notes the ones it opened; adds the windows its tidying closed, and those it could
    // not open, to outcome.
    static QCoro::Task<void> openTabs(QString bundleIdentifier, QString key, AppSnapshot snapshot,
                                      bool closeOtherApps, bool launched,
                                      std::shared_ptr<RestoreRequest> request,
                                      std::shared_ptr<Outcome> outcome);
    // Whether the browser shows the expected tabs, or its record has not caught up with a window.
    static QCoro::Task<bool> tabsMatch(QString bundleIdentifier, QList<QList<TabSnapshot>> expected);
    // The saved new-tab and start pages that come back as blank pages, each once.
    static QStringList blankStandIns(const QList<QList<TabSnapshot>>& saved);
};
