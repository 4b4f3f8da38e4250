#pragma once

#include "Models/AppRestoreResult.h"
#include "Models/AppSnapshot.h"
#include "Models/TabSnapshot.h"
#include "Platform/Clock.h"
#include "Services/Restore/RestoreRequest.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include <qcoro/qcorotask.h>

// Reopens a browser's saved windows with their tabs and frames: clears what the situation allows,
// skips the work when the browser already shows the saved tabs, reopens, waits for the tabs and
// checks them.
class BrowserTabRestorer {
public:
    using TabList = QList<QList<TabSnapshot>>;

    BrowserTabRestorer() = delete;

    // Saved windows (by their positions) that were handed to the browser whole, and the windows
    // (ids) the browser showed for them.
    using Handed = QHash<qsizetype, std::int64_t>;
    // A window closed, and its id.
    struct Closed {
        std::int64_t id = 0;
        ClosedWindow window;
    };
    // The windows a restore of the tabs opened, and the windows already shown that it kept for
    // saved windows (by their ids); handed: the saved windows that have a window handed whole,
    // earlier or now; closed: the browser's windows the tidying closed, as read back.
    // notStarted: the saved windows (positions) not opened because the restore's starts ran out.
    // openedFor: each window opened, by its id, with the saved window (position) it was opened for.
    struct Reopened {
        QList<std::int64_t> opened;
        QHash<std::int64_t, qsizetype> openedFor;
        QList<std::int64_t> kept;
        Handed handed;
        QList<Closed> closed;
        QList<qsizetype> notStarted;
    };
    // Skips the work when the running browser already shows the saved tabs (unless other
    // applications are being closed); otherwise opens the saved windows that no window shows
    // whole yet, and only then tidies, so that a running browser never loses its last window and
    // quits: with closeOtherApps every window but those just opened and those kept for a saved
    // window is closed, else only the windows that show nothing but a blank or new-tab page. A
    // window with a page the user had stays. wasJustLaunched: the browser did not run, so there is
    // nothing to compare. A saved window among handed whose window still shows is that window,
    // whatever the browser's record says of it yet: it is kept, never handed again. Each window
    // opened takes a start of request (when given), as every window a restore opens does; with a
    // window left unopened for that, no other window is closed. earlier: the windows an earlier
    // attempt opened, each with the saved window (position) it was opened for; with closeOtherApps,
    // one whose saved window has no window opened or kept now stays, as that saved window's.
    // windowsBefore: the browser's windows (ids) there before this restore request began (nothing:
    // those there when called, none when it was just launched); a blank window among them is the
    // user's and stays. A browser that records none of its windows keeps each window that shows a
    // saved window by its title for that saved window (unreadSavedWindows).
    static QCoro::Task<Reopened> restoreBrowserTabs(AppSnapshot appSnapshot, bool closeOtherApps,
                                                    bool wasJustLaunched, Handed handed = {},
                                                    std::shared_ptr<RestoreRequest> request = {},
                                                    QHash<std::int64_t, qsizetype> earlier = {},
                                                    std::optional<QList<std::int64_t>> windowsBefore = {});
    // Whether the browser's record of its windows has stopped (ScriptRunner::browserRecordStopped):
    // nothing it lists more comes of waiting.
    static bool recordStopped(const QString& bundleIdentifier);
    // When the browser's record has stopped: its windows listed without tabs whose title is a saved
    // window's (one with tabs), each paired with one saved window (by position); nothing otherwise,
    // or when the windows cannot be told apart. Such a window is that saved window, whose tabs
    // cannot be read.
    static QCoro::Task<QHash<qsizetype, std::int64_t>> unreadSavedWindows(QString bundleIdentifier,
                                                                          AppSnapshot appSnapshot);
    // With "close other apps", when the browser already shows the saved windows: closes its other
    // windows (those no saved window pairs with), never the saved ones, and none when the windows
    // cannot be told apart. Answers the windows it closed.
    static QCoro::Task<QList<ClosedWindow>>
    closeWindowsOutside(QString bundleIdentifier, TabList expectedTabsByWindow, TabList current);
    // How long a window the browser lists without tabs is waited for before its tabs count as
    // missing: the browser rewrites its record every few seconds.
    static constexpr Clock::Duration recordLag{8000};
    // The browser's tabs once its record lists each window in handed (by its id) with as many tabs
    // as its saved window was handed (where the windows cannot be told apart, once they match the
    // expected ones), or the record has stopped, or recordLag passed: a
    // window handed whole that is listed without tabs, or short of them, is one the record has not
    // caught up with, which is never opened again for that. Any other window listed without tabs
    // is not waited for (the record never lists developer tools or an application window).
    static QCoro::Task<TabList> recordedTabs(QString bundleIdentifier, TabList expectedTabsByWindow,
                                             Clock::Duration step = Clock::Duration(500), Handed handed = {});
    // The ids of the browser's windows that show a saved window's tabs whole (each paired with one
    // saved window); nothing when the windows cannot be told apart.
    static QCoro::Task<std::optional<QList<std::int64_t>>>
    windowsShowingSavedTabs(QString bundleIdentifier, TabList expectedTabsByWindow);
    // Until the browser shows at least as many windows as expected, each with at least the
    // expected number of tabs (compared by position), or its record lists a window without tabs
    // (it has not caught up: the tabs are counted at the end of the restore), or the time-out
    // passes.
    static QCoro::Task<void> waitForBrowserTabs(QString bundleIdentifier, TabList expectedTabsByWindow,
                                                double timeout);

    // The saved tabs, one list per saved window (empty lists kept).
    static TabList expectedTabs(const AppSnapshot& appSnapshot);
    // The tabs as the browser will show them once they are opened: a saved address the platform
    // does not hand to browsers is expected back as the page it is replaced by. What the browser
    // shows is compared with this, never with addresses it was not given.
    static TabList openedTabs(const TabList& savedTabs);

private:
    // Runs close, and answers the browser's windows it closed: listed before, gone after; none when
    // the windows listed cannot be told apart.
    static QCoro::Task<QList<Closed>>
    closeAndName(QString bundleIdentifier, std::function<QCoro::Task<void>()> close, ClosedWindow::Why why);
    // Closes the windows that show nothing but a blank or new-tab page (listed: the browser's tabs
    // as last read) and were not among windowsBefore (none when those are not known), and answers
    // those it closed.
    static QCoro::Task<QList<Closed>> closeEmptyWindows(QString bundleIdentifier, TabList listed,
                                                        std::optional<QList<std::int64_t>> windowsBefore);
    // A browser shows each tab it opens, so a tab that comes after the selection keys takes the
    // window from the tab they showed. Once such a window has all its tabs, its tab is selected
    // once more and the browser is read until it shows it or a bound passes. Answers the tabs as
    // last read (current when nothing was lost).
    static QCoro::Task<TabList> reselectActiveTabs(QString bundleIdentifier, TabList expectedTabsByWindow,
                                                   TabList current);
    static bool logVerification(const QString& bundleIdentifier, const TabList& expectedTabsByWindow,
                                const TabList& current);
    // Whether the browser lists at least the expected windows and tabs, by position, or lists a
    // window its record has not caught up with.
    static QCoro::Task<bool> showsAtLeast(QString bundleIdentifier, TabList expectedTabsByWindow);
};
