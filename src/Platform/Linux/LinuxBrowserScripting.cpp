#include "Platform/Linux/LinuxBrowserScripting.h"

#include "Platform/Clock.h"
#include "Platform/Diagnostics.h"
#include "Platform/Linux/BrowserCommandLine.h"
#include "Platform/Linux/ChromiumDesktop.h"
#include "Platform/Linux/ChromiumHandOver.h"
#include "Platform/Linux/ChromiumProfile.h"
#include "Platform/Linux/ChromiumTabSelection.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Platform/Linux/LinuxRunningApplications.h"
#include "Platform/Linux/X11KeyPresses.h"
#include "Platform/Linux/X11Monitors.h"

#include <QDateTime>

#include <algorithm>

namespace {

using Op = ScriptProgram::Statement::Op;

void print(const QString& line) {
    Diagnostics::print(QStringLiteral("[LinuxBrowserScripting] ") + line);
}

} // namespace

// The browser one script works on, on this host's desktop.
class LinuxBrowserScripting::Desktop final : public ChromiumDesktop {
public:
    Desktop(LinuxBrowserScripting& host, Browser& browser, QString appName)
        : m_host(host)
        , m_browser(browser)
        , m_appName(std::move(appName)) {}

    QList<X11Client> windows() override { return m_host.windowsOf(m_browser); }
    std::optional<X11Client> window(xcb_window_t window) override { return m_host.m_windows->client(window); }
    std::optional<ChromiumSession::Window> tabsOf(xcb_window_t window, bool recordedOnly) override {
        return m_host.sessionWindowOf(m_browser, window, recordedOnly);
    }
    QList<ChromiumSession::Window> tabsOfEach(const QList<X11Client>& windows, bool recordedOnly) override {
        return m_host.tabsOf(m_browser, windows, recordedOnly);
    }
    bool running() override { return m_browser.pid.has_value(); }
    void refresh() override { m_browser = m_host.find(m_appName); }
    QStringList entryWords() override {
        return m_browser.packaging ? DesktopEntries::launchWords(m_browser.packaging->desktopId)
                                   : QStringList();
    }
    DesktopEntries::Launch launch(const QStringList& arguments) override {
        if (!m_browser.packaging) {
            return {{}, QStringLiteral("Application isn't running.")};
        }
        return DesktopEntries::launchWithArguments(m_browser.packaging->desktopId, arguments);
    }
    bool isAlive(qint32 pid) override { return LinuxProcess::isAlive(pid); }
    QStringList profileSwitchesOf(qint32 pid) override {
        return BrowserCommandLine::profileSwitchesOf(ChromiumProfile::commandLine(pid),
                                                     LinuxProcess::workingFolder(pid));
    }
    QCoro::Task<bool> activate(xcb_window_t window) override {
        const std::shared_ptr<X11Windows> windows = m_host.m_windows;
        windows->activate(window);
        // Named, not a temporary of the awaited expression: such temporaries do not survive the
        // wait with every compiler.
        const std::function<bool()> active = [windows, window] { return windows->activeWindow() == window; };
        return m_host.m_clock->pollUntil(active, Clock::seconds(1.0), Clock::Duration(20));
    }
    void press(const QList<quint32>& modifiers, quint32 key) override {
        m_host.m_keys->press(modifiers, key);
    }

private:
    LinuxBrowserScripting& m_host;
    Browser& m_browser;
    QString m_appName;
};

struct LinuxBrowserScripting::Run {
    Run(LinuxBrowserScripting& host, const ScriptProgram& script)
        : program(script)
        , browser(host.find(script.appName))
        , desktop(host, browser, script.appName)
        , handOver(desktop, host.m_handed, host.m_clock, script.appName)
        , selection(desktop, host.m_handed, host.m_clock) {}

    const ScriptProgram& program;
    Browser browser;
    Desktop desktop;
    ChromiumHandOver handOver;
    ChromiumTabSelection selection;
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

bool LinuxBrowserScripting::recordStopped(const QString& desktopId) {
    const BrowserIdentities::LinuxBrowser* packaging = BrowserIdentities::byDesktopId(desktopId);
    if (!packaging) {
        return false;
    }
    Browser browser{packaging, std::nullopt};
    QList<qint32> processes;
    for (const X11Client& w : windowsOf(browser)) {
        if (w.pid && !processes.contains(*w.pid)) {
            processes << *w.pid;
        }
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const qint64 wait = std::chrono::duration_cast<std::chrono::milliseconds>(firstRecordWait).count();
    return !processes.isEmpty() && std::all_of(processes.begin(), processes.end(), [&](qint32 pid) {
        const std::optional<QDateTime> started = ChromiumProfile::processStartedAt(pid);
        const QString profile = ChromiumProfile::profileFolderOf(pid, packaging->configFolder);
        return started && !profile.isEmpty() && started->msecsTo(now) > wait &&
               ChromiumProfile::newestSessionFile(profile, started).isEmpty();
    });
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
        run.returned = listTabs(run.desktop);
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
        if (!run.browser.packaging) {
            return done(run.error(ScriptProgram::notRunning, QStringLiteral("Application isn't running.")));
        }
        return run.handOver.makeWindow(addresses, switches);
    }
    case Op::SetActiveTabUrl: {
        // Only ever sent after "make new window", which took it along; on its own, the address
        // goes to that window as a new tab.
        const std::optional<xcb_window_t> w = windowAt(run.browser, a.numbers[0]);
        if (!w) {
            return done(invalidIndex);
        }
        return run.handOver.openTabs(*w, QStringList(a.strings[0]));
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
        return run.handOver.openTabs(*w, addresses);
    }
    case Op::SetActiveTabIndex: {
        const std::optional<xcb_window_t> w = windowAt(run.browser, a.numbers[0]);
        if (!w || a.numbers[1] < 1) {
            return done(invalidIndex);
        }
        return run.selection.select(*w, a.numbers[1]);
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

ScriptDescriptor LinuxBrowserScripting::listTabs(ChromiumDesktop& desktop) {
    ScriptDescriptor all = ScriptDescriptor::list();
    // What the browser's own record shows, never what it was handed: a tab it did not open is
    // not listed.
    for (const ChromiumSession::Window& window : desktop.tabsOfEach(desktop.windows(), true)) {
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
    Run run(*this, program);
    const bool makesWindow =
        std::any_of(program.statements.cbegin(), program.statements.cend(),
                    [](const ScriptProgram::Statement& s) { return s.op == Op::MakeWindow; });
    if (!run.browser.pid && !makesWindow) {
        co_return ScriptResult::failure(
            run.error(ScriptProgram::notRunning, QStringLiteral("Application isn't running.")));
    }
    // The browser's records are read on workers, as a large one takes long: the window and the
    // socket answer meanwhile, and the steps that follow take them as read.
    if (run.browser.pid && run.browser.packaging) {
        co_await m_tabs.readSessions(*run.browser.pid, run.browser.packaging->configFolder,
                                     windowsOf(run.browser));
    }
    const ScriptProgram::Walk::Step step = [this, &run](qsizetype& pc) { return perform(run, pc); };
    co_return co_await ScriptProgram::Walk::perform(program, step, run.returned);
}
