#include "Platform/Linux/ChromiumHandOver.h"

#include "Platform/Clock.h"
#include "Platform/Diagnostics.h"
#include "Platform/Linux/BrowserCommandLine.h"
#include "Platform/Linux/ChromiumDesktop.h"
#include "Platform/Linux/HandedBrowserWindows.h"
#include "Platform/ScriptProgram.h"

#include <QSet>

#include <algorithm>

namespace {

void print(const QString& line) {
    Diagnostics::print(QStringLiteral("[LinuxBrowserScripting] ") + line);
}

} // namespace

ChromiumHandOver::ChromiumHandOver(ChromiumDesktop& desktop, HandedBrowserWindows& handed,
                                   std::shared_ptr<Clock> clock, QString appName)
    : m_desktop(desktop)
    , m_handed(handed)
    , m_clock(std::move(clock))
    , m_appName(std::move(appName)) {
}

QCoro::Task<std::optional<ScriptError>> ChromiumHandOver::makeWindow(QStringList addresses,
                                                                     QStringList profileSwitches) {
    QSet<xcb_window_t> before;
    for (const X11Client& w : m_desktop.windows()) {
        before.insert(w.window);
    }
    // The profile's switches reach a browser of that profile, or start one.
    const QList<QStringList> parts =
        BrowserCommandLine::handOvers(m_desktop.entryWords(), profileSwitches, true, addresses);
    const DesktopEntries::Launch launch =
        m_desktop.launch(BrowserCommandLine::arguments(profileSwitches, true, parts.first()));
    if (!launch.error.isEmpty()) {
        co_return error(ScriptProgram::cannotGet, launch.error);
    }
    ChromiumDesktop& desktop = m_desktop;
    xcb_window_t made = XCB_WINDOW_NONE;
    const std::function<bool()> appeared = [&desktop, before, &made] {
        for (const X11Client& w : desktop.windows()) {
            if (!before.contains(w.window)) {
                made = w.window;
                return true;
            }
        }
        return false;
    };
    // A browser that starts takes seconds more on a busy machine than one that runs.
    const Clock::Duration bound = m_desktop.running() ? Clock::seconds(8.0) : Clock::seconds(30.0);
    if (!co_await m_clock->pollUntil(appeared, bound, Clock::Duration(50))) {
        co_return error(ScriptProgram::cannotGet, QStringLiteral("Can't make a new window."));
    }
    // The browser shows the first of the tabs it is handed with a new window.
    m_handed.made(made, parts.first());
    co_await m_desktop.activate(made);
    m_desktop.refresh();
    // The other tabs each go once the window shows the ones before. The browser may show the
    // first tab of a command line a moment after its launcher has ended, so a tab selected now may
    // lose the window to it: the selection is checked once the browser's record lists every tab.
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (const std::optional<ScriptError> failed = co_await openTabs(made, parts[i])) {
            co_return failed;
        }
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<ScriptError>> ChromiumHandOver::openTabs(xcb_window_t window,
                                                                   QStringList addresses) {
    // The browser opens addresses without a new-window switch in the window that was active last.
    co_await m_desktop.activate(window);
    // A window the record does not know yet is a new one, with its first tab.
    const qsizetype tabsBefore =
        m_desktop.tabsOf(window).value_or(ChromiumSession::Window{0, {}, 0, 0, {{}}, 0}).tabs.size();
    // Handed to the process that shows the window, through the switches of its profile.
    const std::optional<X11Client> client = m_desktop.window(window);
    const std::optional<QString> titleBefore = client ? client->title : std::nullopt;
    const QStringList switches =
        client && client->pid ? m_desktop.profileSwitchesOf(*client->pid) : QStringList();
    const QList<QStringList> parts =
        BrowserCommandLine::handOvers(m_desktop.entryWords(), switches, false, addresses);
    if (parts.size() > 1) {
        // One bounded command line after the other, each to this window.
        for (const QStringList& part : parts) {
            if (const std::optional<ScriptError> failed = co_await openTabs(window, part)) {
                co_return failed;
            }
        }
        co_return std::nullopt;
    }
    const DesktopEntries::Launch launch =
        m_desktop.launch(BrowserCommandLine::arguments(switches, false, addresses));
    if (!launch.error.isEmpty()) {
        print(QStringLiteral("Cannot hand tabs to the browser: ") + launch.error);
        co_return error(ScriptProgram::cannotGet, launch.error);
    }
    // The launcher ends once the running browser has taken its addresses: the next command line
    // is handed over only then, so that the tabs keep their order.
    ChromiumDesktop& desktop = m_desktop;
    const QList<qint32> launchers = launch.pids;
    const std::function<bool()> taken = [&desktop, launchers] {
        return std::none_of(launchers.begin(), launchers.end(),
                            [&desktop](qint32 pid) { return desktop.isAlive(pid); });
    };
    co_await m_clock->pollUntil(taken, Clock::seconds(5.0), Clock::Duration(20));
    // Done once the record counts the new tabs, or sooner, when the window's title moves on to
    // the last of them, which the browser shows (the record follows seconds later).
    const qsizetype wanted = tabsBefore + addresses.size();
    const std::function<bool()> opened = [&desktop, window, wanted, titleBefore] {
        const std::optional<X11Client> now = desktop.window(window);
        if (now && now->title && !now->title->isEmpty() && now->title != titleBefore) {
            return true;
        }
        const std::optional<ChromiumSession::Window> record = desktop.tabsOf(window);
        return record && record->tabs.size() >= wanted;
    };
    if (!co_await m_clock->pollUntil(opened, Clock::seconds(6.0), Clock::Duration(200))) {
        print(QStringLiteral("The session file does not show the new tabs yet"));
    }
    // A window made here keeps count of its tabs; the browser shows the last one it opened.
    m_handed.added(window, addresses);
    co_return std::nullopt;
}
