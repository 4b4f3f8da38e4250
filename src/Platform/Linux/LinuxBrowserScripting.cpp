#include "Platform/Linux/LinuxBrowserScripting.h"

#include "Platform/Clock.h"
#include "Platform/Diagnostics.h"
#include "Platform/Linux/BrowserCommandLine.h"
#include "Platform/Linux/ChromiumProfile.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Platform/Linux/LinuxRunningApplications.h"
#include "Platform/Linux/X11KeyPresses.h"
#include "Platform/Linux/X11Monitors.h"

#include <algorithm>

namespace {

using Op = ScriptProgram::Statement::Op;

constexpr quint32 kControl = 0xffe3;  // Control_L
constexpr quint32 kPageDown = 0xff56; // Next: the tab after the shown one
constexpr quint32 kPageUp = 0xff55;   // Prior: the tab before the shown one
constexpr quint32 kDigitOne = 0x31;
constexpr quint32 kDigitNine = 0x39; // the last tab, however many there are
// Between two key combinations: with none, the browser drops one now and then.
constexpr Clock::Duration kKeyGap{8};
// How long a key that moves to another tab may take to show in the window's title.
constexpr Clock::Duration kStepBound{1000};
// How long the keys of one selection wait, in all, for the steps before the last to show:
// neighbouring tabs that share a title show no change, and each would wait out kStepBound.
constexpr Clock::Duration kSelectionBound{3000};

void print(const QString& line) {
    Diagnostics::print(QStringLiteral("[LinuxBrowserScripting] ") + line);
}

} // namespace

struct LinuxBrowserScripting::Run {
    const ScriptProgram& program;
    Browser browser;
    std::optional<ScriptDescriptor> returned;

    ScriptError error(int number, const QString& message) const { return {number, program.appName, message}; }
};

LinuxBrowserScripting::LinuxBrowserScripting(std::shared_ptr<X11Windows> windows,
                                             std::shared_ptr<X11Monitors> monitors,
                                             std::shared_ptr<LinuxRunningApplications> applications,
                                             std::shared_ptr<Clock> clock,
                                             std::shared_ptr<X11KeyPresses> keys)
    : m_windows(std::move(windows))
    , m_monitors(std::move(monitors))
    , m_applications(std::move(applications))
    , m_clock(std::move(clock))
    , m_keys(std::move(keys))
    , m_requests(m_windows, m_clock)
    , m_handed(m_clock) {
}

LinuxBrowserScripting::~LinuxBrowserScripting() = default;

LinuxBrowserScripting::Browser LinuxBrowserScripting::find(const QString& scriptName) const {
    const QList<const BrowserIdentities::LinuxBrowser*> packagings =
        BrowserIdentities::byScriptName(scriptName);
    Browser browser;
    for (const RunningApplication& app : m_applications->runningApplications()) {
        for (const BrowserIdentities::LinuxBrowser* packaging : packagings) {
            if (app.bundleIdentifier == packaging->desktopId) {
                return Browser{packaging, app.processIdentifier};
            }
        }
    }
    // Not running: the first packaging that is installed, to start it with.
    for (const BrowserIdentities::LinuxBrowser* packaging : packagings) {
        if (DesktopEntries::find(packaging->desktopId)) {
            browser.packaging = packaging;
            break;
        }
    }
    return browser;
}

QList<X11Client> LinuxBrowserScripting::windowsOf(const Browser& browser) {
    QList<X11Client> own;
    if (!browser.packaging) {
        return own;
    }
    for (const X11Client& w : m_windows->stackedClients()) {
        if (w.type == X11Client::Type::Normal && !w.transient &&
            m_applications->identityOf(w).identifier == browser.packaging->desktopId) {
            own << w;
        }
    }
    return own;
}

QList<ChromiumSession::Window>
LinuxBrowserScripting::tabsOf(const Browser& browser, const QList<X11Client>& windows, bool recordedOnly) {
    if (!browser.pid || !browser.packaging) {
        return QList<ChromiumSession::Window>(windows.size());
    }
    QList<ChromiumSession::Window> tabs =
        m_tabs.tabsOf(*browser.pid, browser.packaging->configFolder, windows);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        tabs[i] = recordedOnly ? m_handed.recorded(windows[i].window, tabs[i], windows[i].title)
                               : m_handed.knownOrHanded(windows[i].window, tabs[i], windows[i].title);
    }
    return tabs;
}

QCoro::Task<bool> LinuxBrowserScripting::activate(xcb_window_t window) {
    std::shared_ptr<X11Windows> windows = m_windows;
    windows->activate(window);
    // Named, not a temporary of the awaited expression: such temporaries do not survive the wait
    // with every compiler.
    const std::function<bool()> active = [windows, window] { return windows->activeWindow() == window; };
    co_return co_await m_clock->pollUntil(active, Clock::seconds(1.0), Clock::Duration(20));
}

QCoro::Task<std::optional<ScriptError>> LinuxBrowserScripting::makeWindow(Run& run, QStringList addresses,
                                                                          QStringList profileSwitches) {
    if (!run.browser.packaging) {
        co_return run.error(ScriptProgram::notRunning, QStringLiteral("Application isn't running."));
    }
    QSet<xcb_window_t> before;
    for (const X11Client& w : windowsOf(run.browser)) {
        before.insert(w.window);
    }
    // The profile's switches reach a browser of that profile, or start one. A running browser takes
    // one command line of a bounded size well: the window is made with its first tabs, and the
    // others are handed to it in further command lines.
    const QList<QStringList> parts = BrowserCommandLine::handOvers(
        DesktopEntries::launchWords(run.browser.packaging->desktopId), profileSwitches, true, addresses);
    const QStringList arguments = BrowserCommandLine::arguments(profileSwitches, true, parts.first());
    const DesktopEntries::Launch launch =
        DesktopEntries::launchWithArguments(run.browser.packaging->desktopId, arguments);
    if (!launch.error.isEmpty()) {
        co_return run.error(ScriptProgram::cannotGet, launch.error);
    }
    const Browser browser = run.browser;
    xcb_window_t made = XCB_WINDOW_NONE;
    const std::function<bool()> appeared = [this, browser, before, &made] {
        for (const X11Client& w : windowsOf(browser)) {
            if (!before.contains(w.window)) {
                made = w.window;
                return true;
            }
        }
        return false;
    };
    // A browser that starts takes seconds more on a busy machine than one that runs.
    const Clock::Duration bound = run.browser.pid ? Clock::seconds(8.0) : Clock::seconds(30.0);
    if (!co_await m_clock->pollUntil(appeared, bound, Clock::Duration(50))) {
        co_return run.error(ScriptProgram::cannotGet, QStringLiteral("Can't make a new window."));
    }
    // The browser shows the first of the tabs it is handed with a new window.
    m_handed.made(made, parts.first());
    co_await activate(made);
    run.browser = find(run.program.appName);
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (const std::optional<ScriptError> error = co_await openTabs(run, made, parts[i])) {
            co_return error;
        }
    }
    if (parts.size() > 1) {
        // The browser shows the first tab of each command line once it has opened them, which may
        // be after the launcher has ended: a tab shown before that would lose the window to it.
        // Its record counts every tab once they are all open.
        const Browser shown = run.browser;
        const qsizetype total = addresses.size();
        const std::function<bool()> landed = [this, shown, made, total] {
            const QList<X11Client> windows = windowsOf(shown);
            const QList<ChromiumSession::Window> tabs = tabsOf(shown, windows, true);
            for (qsizetype i = 0; i < windows.size(); ++i) {
                if (windows[i].window == made) {
                    return tabs[i].tabs.size() >= total;
                }
            }
            return false;
        };
        if (!co_await m_clock->pollUntil(landed, HandedBrowserWindows::sessionFileLag,
                                         Clock::Duration(200))) {
            print(QStringLiteral("The session file does not show every tab of the new window yet"));
        }
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<ScriptError>> LinuxBrowserScripting::openTabs(Run& run, xcb_window_t window,
                                                                        QStringList addresses) {
    // The browser opens addresses without a new-window switch in the window that was active last.
    co_await activate(window);
    // A window the session file does not know yet is a new one, with its first tab.
    const qsizetype tabsBefore = sessionWindowOf(run.browser, window)
                                     .value_or(ChromiumSession::Window{0, {}, 0, 0, {{}}, 0})
                                     .tabs.size();
    // Handed to the process that shows the window, through the switches of its profile.
    const std::optional<X11Client> client = m_windows->client(window);
    const std::optional<QString> titleBefore = client ? client->title : std::nullopt;
    const QStringList switches =
        client && client->pid
            ? BrowserCommandLine::profileSwitchesOf(ChromiumProfile::commandLine(*client->pid),
                                                    LinuxProcess::workingFolder(*client->pid))
            : QStringList();
    const QList<QStringList> parts = BrowserCommandLine::handOvers(
        DesktopEntries::launchWords(run.browser.packaging->desktopId), switches, false, addresses);
    if (parts.size() > 1) {
        // One bounded command line after the other, each to this window.
        for (const QStringList& part : parts) {
            if (const std::optional<ScriptError> error = co_await openTabs(run, window, part)) {
                co_return error;
            }
        }
        co_return std::nullopt;
    }
    const DesktopEntries::Launch launch = DesktopEntries::launchWithArguments(
        run.browser.packaging->desktopId, BrowserCommandLine::arguments(switches, false, addresses));
    if (!launch.error.isEmpty()) {
        print(QStringLiteral("Cannot hand tabs to the browser: ") + launch.error);
        co_return run.error(ScriptProgram::cannotGet, launch.error);
    }
    // The launcher ends once the running browser has taken its addresses: the next command line
    // is handed over only then, so that the tabs keep their order.
    const QList<qint32> launchers = launch.pids;
    const std::function<bool()> taken = [launchers] {
        return std::none_of(launchers.begin(), launchers.end(), &LinuxProcess::isAlive);
    };
    co_await m_clock->pollUntil(taken, Clock::seconds(5.0), Clock::Duration(20));
    // Done once the session file counts the new tabs, or sooner, when the window's title moves on
    // to the last of them, which the browser shows (the file follows seconds later).
    const Browser browser = run.browser;
    const qsizetype wanted = tabsBefore + addresses.size();
    const std::shared_ptr<X11Windows> windows = m_windows;
    const std::function<bool()> opened = [this, browser, window, wanted, windows, titleBefore] {
        const std::optional<X11Client> client = windows->client(window);
        if (client && client->title && !client->title->isEmpty() && client->title != titleBefore) {
            return true;
        }
        const std::optional<ChromiumSession::Window> now = sessionWindowOf(browser, window);
        return now && now->tabs.size() >= wanted;
    };
    if (!co_await m_clock->pollUntil(opened, Clock::seconds(6.0), Clock::Duration(200))) {
        print(QStringLiteral("The session file does not show the new tabs yet"));
    }
    // A window made here keeps count of its tabs; the browser shows the last one it opened.
    m_handed.added(window, addresses);
    co_return std::nullopt;
}

std::optional<ChromiumSession::Window>
LinuxBrowserScripting::sessionWindowOf(const Browser& browser, xcb_window_t window, bool recordedOnly) {
    const QList<X11Client> windows = windowsOf(browser);
    const QList<ChromiumSession::Window> tabs = tabsOf(browser, windows, recordedOnly);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        if (windows[i].window == window && !tabs[i].tabs.isEmpty()) {
            return tabs[i];
        }
    }
    return std::nullopt;
}

QList<quint32> LinuxBrowserScripting::tabKeys(std::int64_t tab, std::optional<qsizetype> tabCount) {
    if (tab < 1) {
        return {};
    }
    if (tab <= 8) {
        return {kDigitOne + static_cast<quint32>(tab - 1)};
    }
    if (tabCount && tab == *tabCount) {
        return {kDigitNine};
    }
    if (tabCount && tab < *tabCount && *tabCount - tab < tab - 8) {
        QList<quint32> keys{kDigitNine};
        for (std::int64_t i = *tabCount; i > tab; --i) {
            keys << kPageUp;
        }
        return keys;
    }
    QList<quint32> keys{kDigitOne + 7};
    for (std::int64_t i = 8; i < tab; ++i) {
        keys << kPageDown;
    }
    return keys;
}

QCoro::Task<std::optional<ScriptError>> LinuxBrowserScripting::selectTab(Browser browser, xcb_window_t window,
                                                                         std::int64_t tab) {
    // The tab must be there before its key can show it (and past the eighth, the keys depend on
    // how many there are). A window made here is known at once; another waits for the file.
    const std::function<bool()> present = [this, browser, window, tab] {
        const std::optional<ChromiumSession::Window> now = sessionWindowOf(browser, window);
        return now && now->tabs.size() >= tab;
    };
    if (!present()) {
        co_await m_clock->pollUntil(present, Clock::seconds(3.0), Clock::Duration(100));
    }
    const std::optional<ChromiumSession::Window> known = sessionWindowOf(browser, window);
    const std::optional<qsizetype> count =
        known ? std::optional<qsizetype>(known->tabs.size()) : std::nullopt;
    // The window's title shows the shown tab's within a tenth of a second, the file seconds later.
    // The tab's title as the browser's record has it, where it has one: what was handed takes the
    // title the window shows now for the tab it last showed, which need not be that tab.
    const std::optional<ChromiumSession::Window> record = sessionWindowOf(browser, window, true);
    const QString recordedTitle =
        record && tab <= record->tabs.size() ? record->tabs[tab - 1].title : QString();
    const QString expectedTitle = !recordedTitle.isEmpty()             ? recordedTitle
                                  : known && tab <= known->tabs.size() ? known->tabs[tab - 1].title
                                                                       : QString();
    const std::shared_ptr<X11Windows> windows = m_windows;
    const auto titleNow = [windows, window] {
        const std::optional<X11Client> client = windows->client(window);
        return client ? client->title.value_or(QString()) : QString();
    };
    const auto names = [expectedTitle](const QString& title) {
        return !expectedTitle.isEmpty() && title.startsWith(expectedTitle + QStringLiteral(" - "));
    };
    if (known && known->selectedTab == tab - 1 && names(titleNow())) {
        co_return std::nullopt; // shown already
    }
    // Keys go to the window with the focus: they are typed only once the browser's window has it,
    // as another application would take them for its own. A second try only when the first did
    // not take.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!co_await activate(window)) {
            print(QStringLiteral("The window to select a tab in did not take the focus"));
            continue;
        }
        // Shown already, by what was handed: the keys change nothing, and nothing is waited for.
        const bool alreadyShown = known && known->selectedTab == tab - 1 && expectedTitle.isEmpty();
        // Sent back to back, the browser now and then drops a combination: a short gap after each.
        // The keys after the first move one tab at a time from where it went: each goes only once
        // the one before showed (the title changed), or they would count from another tab. A
        // digit that showed nothing is typed again, as it shows the same tab however often.
        const QList<quint32> keys = tabKeys(tab, count);
        QString before = titleNow();
        const Clock::TimePoint deadline = m_clock->now() + kSelectionBound;
        for (qsizetype k = 0; k < keys.size(); ++k) {
            before = titleNow();
            m_keys->press({kControl}, keys[k]);
            co_await m_clock->sleep(kKeyGap);
            if (k + 1 == keys.size()) {
                break; // the last is checked below
            }
            const QString from = before;
            const std::function<bool()> moved = [titleNow, from] {
                const QString now = titleNow();
                return !now.isEmpty() && now != from;
            };
            // Past the selection's bound the keys go on with only the gap between them.
            const Clock::Duration step =
                std::clamp(std::chrono::duration_cast<Clock::Duration>(deadline - m_clock->now()),
                           Clock::Duration(0), kStepBound);
            if (!co_await m_clock->pollUntil(moved, step, Clock::Duration(20)) && k == 0) {
                m_keys->press({kControl}, keys[k]);
                co_await m_clock->sleep(kKeyGap);
                co_await m_clock->pollUntil(moved, step, Clock::Duration(20));
            }
        }
        // Took: the title names the tab, or, where the tab's title is not known yet, the last key
        // changed it.
        const std::function<bool()> took = [titleNow, names, before, expectedTitle, this, browser, window,
                                            tab] {
            const QString now = titleNow();
            if (names(now)) {
                return true;
            }
            if (expectedTitle.isEmpty() && !now.isEmpty() && now != before) {
                return true;
            }
            const std::optional<ChromiumSession::Window> file = sessionWindowOf(browser, window);
            return file && file->selectedTab == tab - 1 && !m_handed.contains(window);
        };
        const Clock::Duration bound = alreadyShown ? Clock::Duration(300) : Clock::seconds(2.5);
        if (co_await m_clock->pollUntil(took, bound, Clock::Duration(20)) || alreadyShown) {
            m_handed.shown(window, tab);
            co_return std::nullopt;
        }
    }
    print(QStringLiteral("Tab ") + QString::number(tab) + QStringLiteral(" could not be shown"));
    co_return std::nullopt;
}

QCoro::Task<std::optional<ScriptError>>
LinuxBrowserScripting::closeWindows(Browser browser, QList<xcb_window_t> windows, bool untilQuit) {
    const std::shared_ptr<Clock> clock = m_clock;
    // Every process whose windows close (one per profile with a data folder of its own).
    QList<qint32> processes;
    if (browser.pid) {
        processes << *browser.pid;
    }
    for (const xcb_window_t window : windows) {
        const std::optional<X11Client> client = m_windows->client(window);
        if (client && client->pid && !processes.contains(*client->pid)) {
            processes << *client->pid;
        }
    }
    co_await m_requests.close(windows, Clock::seconds(3.0));
    // A browser quits with its last window here: let it finish, so that the next window asked for
    // starts a browser of its own instead of reaching one that is going away.
    if (untilQuit && !processes.isEmpty()) {
        const std::function<bool()> ended = [processes] {
            return std::none_of(processes.begin(), processes.end(), &LinuxProcess::isAlive);
        };
        co_await clock->pollUntil(ended, Clock::seconds(5.0), Clock::Duration(50));
    }
    co_return std::nullopt;
}

namespace {

QCoro::Task<std::optional<ScriptError>> done(std::optional<ScriptError> error = std::nullopt) {
    co_return error;
}

} // namespace

std::optional<xcb_window_t> LinuxBrowserScripting::windowAt(const Browser& browser, std::int64_t index) {
    const QList<X11Client> windows = windowsOf(browser);
    if (index < 1 || index > windows.size()) {
        return std::nullopt;
    }
    return windows[index - 1].window;
}

// Not a coroutine itself: each statement has one of its own, so that no suspension point sits
// inside a switch.
QCoro::Task<std::optional<ScriptError>> LinuxBrowserScripting::perform(Run& run, qsizetype& pc) {
    const QList<ScriptProgram::Statement>& statements = run.program.statements;
    const ScriptProgram::Statement& s = statements[pc];
    const ScriptSourceReader::Captures& a = s.args;
    const ScriptError invalidIndex = run.error(ScriptProgram::invalidIndex, QStringLiteral("Invalid index."));
    switch (s.op) {
    case Op::BrowserListing:
        run.returned = listTabs(run.browser);
        return done();
    case Op::MakeWindow: {
        // "make new window", "set URL of active tab of window 1" and the new tabs of window 1 that
        // follow are one request here: a new window with those addresses, on one command line.
        QStringList addresses;
        if (pc + 1 < statements.size() && statements[pc + 1].op == Op::SetActiveTabUrl &&
            statements[pc + 1].args.numbers[0] == 1) {
            addresses << statements[pc + 1].args.strings[0];
            ++pc;
            while (pc + 3 < statements.size() && statements[pc + 1].op == Op::TellWindow &&
                   statements[pc + 1].args.numbers[0] == 1 && statements[pc + 2].op == Op::MakeTab &&
                   statements[pc + 3].op == Op::EndTell) {
                addresses << statements[pc + 2].args.strings[0];
                pc += 3;
            }
        }
        QStringList switches;
        if (a.strings.size() == 2 && run.browser.packaging) {
            QString problem;
            const std::optional<QStringList> named = ChromiumProfile::profileSwitches(
                a.strings[0], a.strings[1], run.browser.packaging->configFolder, &problem);
            if (!named) {
                print(QStringLiteral("Opening the window in the default profile. ") + problem);
            }
            switches = named.value_or(QStringList());
        }
        return makeWindow(run, addresses, switches);
    }
    case Op::SetActiveTabUrl: {
        // Only ever sent after "make new window", which took it along; on its own, the address
        // goes to that window as a new tab.
        const std::optional<xcb_window_t> w = windowAt(run.browser, a.numbers[0]);
        if (!w) {
            return done(invalidIndex);
        }
        return openTabs(run, *w, QStringList(a.strings[0]));
    }
    case Op::ReturnNumber:
        run.returned = ScriptDescriptor::integer(static_cast<std::int32_t>(a.numbers[0]));
        return done();
    case Op::ReturnCount:
        run.returned = ScriptDescriptor::integer(static_cast<std::int32_t>(windowsOf(run.browser).size()));
        return done();
    case Op::SetWindowBounds: {
        const std::optional<xcb_window_t> w = windowAt(run.browser, a.numbers[0]);
        if (!w || std::any_of(a.numbers.cbegin() + 1, a.numbers.cend(),
                              [](std::int64_t n) { return n < -1000000 || n > 1000000; })) {
            return done(invalidIndex);
        }
        // Scripts place frames relative to the primary monitor's corner.
        const QRect frame = QRect(QPoint(static_cast<int>(a.numbers[1]), static_cast<int>(a.numbers[2])),
                                  QSize(static_cast<int>(a.numbers[3] - a.numbers[1]),
                                        static_cast<int>(a.numbers[4] - a.numbers[2])))
                                .translated(m_monitors->primaryOrigin());
        return setFrame(*w, frame);
    }
    case Op::TellWindow: {
        const std::int64_t number = a.numbers[0];
        const std::optional<xcb_window_t> w = windowAt(run.browser, number);
        if (!w) {
            return done(invalidIndex);
        }
        // The new tabs of one window, all in one request: "tell window N / make new tab / end tell".
        QStringList addresses;
        while (pc + 2 < statements.size() && statements[pc].op == Op::TellWindow &&
               statements[pc].args.numbers[0] == number && statements[pc + 1].op == Op::MakeTab &&
               statements[pc + 2].op == Op::EndTell) {
            addresses << statements[pc + 1].args.strings[0];
            pc += 3;
        }
        if (addresses.isEmpty()) {
            return done(run.error(ScriptProgram::syntaxError, QStringLiteral("Expected \"make new tab\".")));
        }
        --pc; // the caller's step goes on after the last "end tell"
        return openTabs(run, *w, addresses);
    }
    case Op::SetActiveTabIndex: {
        const std::optional<xcb_window_t> w = windowAt(run.browser, a.numbers[0]);
        if (!w || a.numbers[1] < 1) {
            return done(invalidIndex);
        }
        return selectTab(run.browser, *w, a.numbers[1]);
    }
    case Op::CloseBeyond: {
        const QList<X11Client> windows = windowsOf(run.browser);
        QList<xcb_window_t> beyond;
        for (qsizetype i = windows.size(); i > a.numbers[0] && i >= 1; --i) {
            beyond << windows[i - 1].window;
        }
        return closeWindows(run.browser, beyond, false);
    }
    case Op::CloseEmpty:
        return closeWindows(run.browser, emptyWindows(run.browser, a.strings), false);
    case Op::CloseEvery: {
        QList<xcb_window_t> all;
        for (const X11Client& w : windowsOf(run.browser)) {
            all << w.window;
        }
        return closeWindows(run.browser, all, true);
    }
    case Op::ReturnWindowIds: {
        ScriptDescriptor ids = ScriptDescriptor::list();
        for (const X11Client& w : windowsOf(run.browser)) {
            ids.append(ScriptDescriptor::integer(static_cast<std::int32_t>(w.window)));
        }
        run.returned = ids;
        return done();
    }
    case Op::CloseWindowId: {
        for (const X11Client& w : windowsOf(run.browser)) {
            if (static_cast<std::int64_t>(w.window) == a.numbers[0]) {
                return closeWindows(run.browser, QList<xcb_window_t>(1, w.window), false);
            }
        }
        return done(run.error(ScriptProgram::invalidIndex, QStringLiteral("Can't get window id ") +
                                                               QString::number(a.numbers[0]) +
                                                               QLatin1Char('.')));
    }
    default:
        return done(
            run.error(ScriptProgram::syntaxError, QStringLiteral("Not understood here: ") + s.source));
    }
}

ScriptDescriptor LinuxBrowserScripting::listTabs(const Browser& browser) {
    ScriptDescriptor all = ScriptDescriptor::list();
    // What the browser's own record shows, never what it was handed: a tab it did not open is
    // not listed.
    for (const ChromiumSession::Window& window : tabsOf(browser, windowsOf(browser), true)) {
        ScriptDescriptor list = ScriptDescriptor::list();
        for (qsizetype i = 0; i < window.tabs.size(); ++i) {
            const ChromiumSession::Tab& tab = window.tabs[i];
            list.append(ScriptDescriptor::list({
                tab.url.isEmpty() ? ScriptDescriptor::missing() : ScriptDescriptor::text(tab.url),
                tab.title.isEmpty() ? ScriptDescriptor::missing() : ScriptDescriptor::text(tab.title),
                ScriptDescriptor::boolean(i == window.selectedTab),
            }));
        }
        all.append(list);
    }
    return all;
}

QList<xcb_window_t> LinuxBrowserScripting::emptyWindows(const Browser& browser, const QStringList& prefixes) {
    const QList<X11Client> windows = windowsOf(browser);
    const QList<ChromiumSession::Window> tabs = tabsOf(browser, windows);
    QList<xcb_window_t> empty;
    for (qsizetype i = windows.size() - 1; i >= 0; --i) {
        // The session knows nothing of a window that is too new: its tabs cannot be read, and the
        // script's "try" leaves it open.
        if (tabs[i].tabs.size() != 1 || tabs[i].selectedTab != 0) {
            continue;
        }
        const QString url = tabs[i].tabs.first().url;
        bool blank = url.isEmpty();
        for (const QString& prefix : prefixes) {
            blank = blank || url.startsWith(prefix, Qt::CaseInsensitive);
        }
        if (blank) {
            empty << windows[i].window;
        }
    }
    return empty;
}

QCoro::Task<std::optional<ScriptError>> LinuxBrowserScripting::setFrame(xcb_window_t window, QRect frame) {
    // Managers round a size to the window's size steps: a few pixels off is where it went.
    co_await m_requests.setFrame(window, frame, 4);
    co_return std::nullopt;
}

QCoro::Task<ScriptResult> LinuxBrowserScripting::execute(ScriptProgram program) {
    // Where the browsers keep their session files is looked for once per script, not per read.
    m_tabs.forgetLocations();
    const std::function<bool(xcb_window_t)> stillThere = [this](xcb_window_t window) {
        return m_windows->client(window).has_value();
    };
    m_handed.keepOnly(stillThere);
    Run run{program, find(program.appName), std::nullopt};
    const bool makesWindow =
        std::any_of(program.statements.cbegin(), program.statements.cend(),
                    [](const ScriptProgram::Statement& s) { return s.op == Op::MakeWindow; });
    if (!run.browser.pid && !makesWindow) {
        co_return ScriptResult::failure(
            run.error(ScriptProgram::notRunning, QStringLiteral("Application isn't running.")));
    }
    const ScriptProgram::Walk::Step step = [this, &run](qsizetype& pc) { return perform(run, pc); };
    co_return co_await ScriptProgram::Walk::perform(program, step, run.returned);
}
