#pragma once

#include "Platform/BrowserIdentities.h"
#include "Platform/Clock.h"
#include "Platform/Linux/ChromiumSession.h"
#include "Platform/Linux/ChromiumWindowTabs.h"
#include "Platform/Linux/HandedBrowserWindows.h"
#include "Platform/Linux/X11WindowRequests.h"
#include "Platform/Linux/X11Windows.h"
#include "Platform/ScriptProgram.h"
#include "Platform/ScriptRunner.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <memory>
#include <optional>

class ChromiumDesktop;
class Clock;
class LinuxRunningApplications;
class X11KeyPresses;
class X11Monitors;

// Answers the browser scripts for the Chromium-family browsers of a Linux desktop. Windows are
// the browser's X11 windows, front to back, as the scripts number them; their tabs come from the
// profile's newest session file, paired with the windows by frame (and by the shown tab's title
// where frames are alike). New windows and tabs are handed to the running browser on its own
// command line (ChromiumHandOver), tabs are shown with the browser's tab keys
// (ChromiumTabSelection), and windows are moved and closed through the window manager. Addresses
// reach a command line only as BrowserCommandLine leaves them: anything but a web page, a file or
// the blank page is replaced by the blank page, so the other tabs keep their places. The session
// file is parsed again only when it changed, however often a script asks while it waits.
class LinuxBrowserScripting {
public:
    LinuxBrowserScripting(std::shared_ptr<X11Windows> windows, std::shared_ptr<X11Monitors> monitors,
                          std::shared_ptr<LinuxRunningApplications> applications,
                          std::shared_ptr<Clock> clock, std::shared_ptr<X11KeyPresses> keys);
    ~LinuxBrowserScripting();

    QCoro::Task<ScriptResult> execute(ScriptProgram program);
    // The browser's windows with their tabs, as the listing script answers: only what the
    // browser's own record shows, never what a window was handed. A window handed its tabs in
    // parts is listed whole only once the browser has opened them all.
    static ScriptDescriptor listTabs(ChromiumDesktop& desktop);
    // Whether the record of the browser (by its desktop id) has stopped: each of its processes that
    // shows a window started more than firstRecordWait ago and has written no session file since.
    bool recordStopped(const QString& desktopId);
    // A browser writes its first session file about 3 s after it starts; one started after it was
    // killed writes none for half a minute or more.
    static constexpr Clock::Duration firstRecordWait{5000};

private:
    struct Browser {
        const BrowserIdentities::LinuxBrowser* packaging = nullptr;
        std::optional<qint32> pid; // nothing when it is not running
    };
    class Desktop;
    struct Run;

    Browser find(const QString& scriptName) const;
    QList<X11Client> windowsOf(const Browser& browser);
    // The session's windows paired with the browser's windows; an entry without tabs where the
    // session says nothing of that window.
    // With recordedOnly, only what the browser's own record shows (see HandedBrowserWindows::recorded); else
    // what this host handed a window it made stands in where the file is behind.
    QList<ChromiumSession::Window> tabsOf(const Browser& browser, const QList<X11Client>& windows,
                                          bool recordedOnly = false);
    std::optional<xcb_window_t> windowAt(const Browser& browser, std::int64_t index);
    QList<xcb_window_t> emptyWindows(const Browser& browser, const QStringList& prefixes);

    QCoro::Task<std::optional<ScriptError>> perform(Run& run, qsizetype& pc);
    // What is known of one window's tabs: the session file's record, or where the file is behind
    // (it is rewritten every few seconds) what this host handed a window it made; nothing when
    // neither knows the window. With recordedOnly, only the browser's own record (see tabsOf).
    std::optional<ChromiumSession::Window> sessionWindowOf(const Browser& browser, xcb_window_t window,
                                                           bool recordedOnly = false);
    QCoro::Task<std::optional<ScriptError>> setFrame(xcb_window_t window, QRect frame);
    QCoro::Task<std::optional<ScriptError>> closeWindows(Browser browser, QList<xcb_window_t> windows,
                                                         bool untilQuit);

    std::shared_ptr<X11Windows> m_windows;
    std::shared_ptr<X11Monitors> m_monitors;
    std::shared_ptr<LinuxRunningApplications> m_applications;
    std::shared_ptr<Clock> m_clock;
    std::shared_ptr<X11KeyPresses> m_keys;
    X11WindowRequests m_requests;
    ChromiumWindowTabs m_tabs;
    // What was handed to each window this host made, while its session file may be behind.
    HandedBrowserWindows m_handed;
};
