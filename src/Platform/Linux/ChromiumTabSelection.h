#pragma once

#include "Platform/Clock.h"
#include "Platform/Linux/ChromiumSession.h"
#include "Platform/ScriptRunner.h"

#include <QList>

#include <xcb/xproto.h>

#include <cstdint>
#include <memory>
#include <optional>

class ChromiumDesktop;
class HandedBrowserWindows;

// Shows a tab of a Chromium-family browser's window with the browser's tab keys, typed only while
// that window has the focus. The window's title tells whether they took (it names the tab, or it
// changed where the tab's title is not known yet); the keys are typed again only when they did
// not. A change of the title may also be the page shown before still loading while a key was
// lost (a browser that has just started drops keys for a while): where the tab's title is not
// known, its key goes once the title stands still, and counts once a key back to the tab shown
// before and the tab's key again showed; where no single key leads back, the key, which shows the same tab
// however often it goes, is typed once more and the browser's record must come to show the tab.
// One selection waits a bounded time in all, however far the tab is.
class ChromiumTabSelection {
public:
    // How long the keys of one selection wait, in all, for the steps before the last to show:
    // neighbouring tabs that share a title show no change, and each would wait out a step's bound.
    static constexpr Clock::Duration selectionBound{3000};

    ChromiumTabSelection(ChromiumDesktop& desktop, HandedBrowserWindows& handed,
                         std::shared_ptr<Clock> clock);

    // Shows the tab (1-based) in the window; a tab that could not be shown is noted.
    QCoro::Task<std::optional<ScriptError>> select(xcb_window_t window, std::int64_t tab);
    // Shows the tab (1-based) in the window: whether the window reads back showing it.
    QCoro::Task<bool> show(xcb_window_t window, std::int64_t tab);

    // The keys (each pressed with Control) that show tab (1-based) of a window with tabCount tabs
    // (nothing when not known): its digit up to 8, 9 for the last tab, else the shorter way of the
    // eighth tab and then one tab to the right at a time, or the last tab and then one to the left.
    static QList<quint32> tabKeys(std::int64_t tab, std::optional<qsizetype> tabCount);

private:
    // The window's title now; empty when it has none or is gone.
    QString titleOf(xcb_window_t window);
    // A tab's title (1-based) as tabs has it; empty where not known.
    static QString titleOfTab(const std::optional<ChromiumSession::Window>& tabs, std::int64_t tab);
    // Waits, at most bound, until the window's title has stood still for a moment.
    QCoro::Task<> untilStill(xcb_window_t window, Clock::Duration bound);
    // Types a key that shows the same tab however often it goes once more, when the title stands
    // still.
    QCoro::Task<> typeAgainOnceStill(xcb_window_t window, quint32 key, Clock::Duration bound);
    // Whether the title changes from what it was within a step's bound (and at most bound).
    QCoro::Task<bool> changesFrom(xcb_window_t window, QString from, Clock::Duration bound);
    // Goes back to the tab shown before with back, then to the tab with key, each typed again
    // where the browser lost it: whether the browser shows that last key within the selection's
    // bound.
    QCoro::Task<bool> backAndForth(xcb_window_t window, quint32 back, quint32 key);
    // Goes from tab from to tab to (1-based) with the keys to the next or the previous tab, each
    // once the one before showed: whether every one showed, and the title names the tab where its
    // title is known.
    QCoro::Task<bool> stepTo(xcb_window_t window, std::int64_t from, std::int64_t to, QString expectedTitle);
    // Whether the browser's record comes to show the tab (1-based) within the time it takes to
    // be rewritten.
    QCoro::Task<bool> recordShows(xcb_window_t window, std::int64_t tab);

    ChromiumDesktop& m_desktop;
    HandedBrowserWindows& m_handed;
    std::shared_ptr<Clock> m_clock;
};
