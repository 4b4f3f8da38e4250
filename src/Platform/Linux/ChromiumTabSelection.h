#pragma once

#include "Platform/Clock.h"
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
// not. One selection waits a bounded time in all, however far the tab is.
class ChromiumTabSelection {
public:
    // How long the keys of one selection wait, in all, for the steps before the last to show:
    // neighbouring tabs that share a title show no change, and each would wait out a step's bound.
    static constexpr Clock::Duration selectionBound{3000};

    ChromiumTabSelection(ChromiumDesktop& desktop, HandedBrowserWindows& handed,
                         std::shared_ptr<Clock> clock);

    // Shows the tab (1-based) in the window.
    QCoro::Task<std::optional<ScriptError>> select(xcb_window_t window, std::int64_t tab);

    // The keys (each pressed with Control) that show tab (1-based) of a window with tabCount tabs
    // (nothing when not known): its digit up to 8, 9 for the last tab, else the shorter way of the
    // eighth tab and then one tab to the right at a time, or the last tab and then one to the left.
    static QList<quint32> tabKeys(std::int64_t tab, std::optional<qsizetype> tabCount);

private:
    ChromiumDesktop& m_desktop;
    HandedBrowserWindows& m_handed;
    std::shared_ptr<Clock> m_clock;
};
