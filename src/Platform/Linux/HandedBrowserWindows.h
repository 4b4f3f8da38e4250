#pragma once

#include "Platform/Clock.h"
#include "Platform/Linux/ChromiumSession.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <xcb/xproto.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// What the browser host handed each browser window it made: the addresses, in tab order, and the
// tab shown. The browser's session file follows seconds later, so until it has caught up this is
// what tells a new window's record from another window's (or the last run's), and which tab the
// window shows.
class HandedBrowserWindows {
public:
    // How long the session file may take to show what a window was handed: it is rewritten every
    // 2.5 to 3.4 s, and a browser that just started writes its first file after about 2.3 s.
    static constexpr Clock::Duration sessionFileLag{8000};

    explicit HandedBrowserWindows(std::shared_ptr<Clock> clock);

    // A window made with these addresses, the first shown.
    void made(xcb_window_t window, const QStringList& addresses);
    // More tabs opened in a window made here; the browser shows the last one.
    void added(xcb_window_t window, const QStringList& addresses);
    // The window made here now shows this tab (1-based).
    void shown(xcb_window_t window, std::int64_t tab);
    bool contains(xcb_window_t window) const { return m_handed.contains(window); }
    // Forgets the windows that are gone.
    void keepOnly(const std::function<bool(xcb_window_t)>& stillThere);

    // A window's tabs as the browser's record shows them: for a window made here, nothing until
    // the session file knows it (or has had time to), the shown tab as its title last showed.
    ChromiumSession::Window recorded(xcb_window_t window, const ChromiumSession::Window& session,
                                     const std::optional<QString>& title) const;
    // A window's session record, or what was handed to it where the file may be behind.
    ChromiumSession::Window knownOrHanded(xcb_window_t window, const ChromiumSession::Window& session,
                                          const std::optional<QString>& title) const;
    // What the listing shows of a window made here and handed these addresses (the shown one at
    // shown, 0-based), from the session's record of it: never a tab the record does not hold;
    // nothing while the file does not know the window yet, unless it has had time to (settled).
    static ChromiumSession::Window listedTabs(const ChromiumSession::Window& session,
                                              const QStringList& handed, int shown, bool settled,
                                              const std::optional<QString>& title);

private:
    struct Handed {
        QStringList addresses;
        int shown = 0;
        // When it was last handed a tab or shown one.
        Clock::TimePoint at;
    };

    // The addresses as they reach the browser's command line.
    static QStringList asHanded(const QStringList& addresses);

    std::shared_ptr<Clock> m_clock;
    QHash<xcb_window_t, Handed> m_handed;
};
