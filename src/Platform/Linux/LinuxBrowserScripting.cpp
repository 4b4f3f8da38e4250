#include "Platform/Linux/LinuxBrowserScripting.h"

#include "Platform/Clock.h"
#include "Platform/Diagnostics.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Platform/Linux/LinuxRunningApplications.h"
#include "Platform/Linux/X11KeyPresses.h"
#include "Platform/Linux/X11Monitors.h"

#include <QUrl>

#include <algorithm>
#include <tuple>

namespace {

using Op = ScriptProgram::Statement::Op;

constexpr quint32 kControl = 0xffe3;  // Control_L
constexpr quint32 kPageDown = 0xff56; // Next: the tab after the shown one
constexpr quint32 kDigitOne = 0x31;
const QString kBlankPage = QStringLiteral("about:blank");

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
    , m_requests(m_windows, m_clock) {
}

LinuxBrowserScripting::~LinuxBrowserScripting() = default;

std::optional<QString> LinuxBrowserScripting::safeAddress(const QString& address) {
    const QString trimmed = address.trimmed();
    if (trimmed.compare(kBlankPage, Qt::CaseInsensitive) == 0) {
        return kBlankPage;
    }
    if (trimmed.startsWith(QLatin1Char('-'))) {
        return std::nullopt;
    }
    const QUrl url(trimmed, QUrl::TolerantMode);
    if (!url.isValid() || url.isRelative()) {
        return std::nullopt;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("file")) {
        if (!url.path().startsWith(QLatin1Char('/'))) {
            return std::nullopt;
        }
    } else if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        if (url.host().isEmpty()) {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    const QString encoded = QString::fromLatin1(url.toEncoded());
    if (encoded.startsWith(QLatin1Char('-'))) {
        return std::nullopt;
    }
    return encoded;
}

QList<int> LinuxBrowserScripting::pairWindows(const QList<X11Client>& windows,
                                              const QList<ChromiumSession::Window>& sessionWindows) {
    // Windows are made in the order the file first names them, and the server numbers windows in
    // the order they are made: the two ranks break ties between windows with the same frame.
    QList<xcb_window_t> made;
    for (const X11Client& w : windows) {
        made << w.window;
    }
    std::sort(made.begin(), made.end());
    // Every possible pair, best first: frames alike, then the shown tab's title in the window's,
    // then the ranks.
    std::vector<std::tuple<int, qsizetype, qsizetype, qsizetype>> candidates;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const X11Client& w = windows[i];
        const qsizetype rank = made.indexOf(w.window);
        for (qsizetype j = 0; j < sessionWindows.size(); ++j) {
            const ChromiumSession::Window& s = sessionWindows[j];
            int score = std::min(X11WindowRequests::distance(w.frameRect(), s.bounds),
                                 X11WindowRequests::distance(w.clientRect, s.bounds));
            const bool titled = s.selectedTab >= 0 && !s.tabs[s.selectedTab].title.isEmpty() &&
                                w.title.value_or(QString()).startsWith(s.tabs[s.selectedTab].title);
            score += titled ? 0 : 40;
            candidates.emplace_back(score, std::abs(rank - j), i, j);
        }
    }
    std::sort(candidates.begin(), candidates.end());
    QList<int> pairs(windows.size(), -1);
    QList<bool> taken(sessionWindows.size(), false);
    for (const auto& [score, rankDistance, i, j] : candidates) {
        if (pairs[i] < 0 && !taken[j]) {
            pairs[i] = static_cast<int>(j);
            taken[j] = true;
        }
    }
    return pairs;
}

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

QList<ChromiumSession::Window> LinuxBrowserScripting::tabsOf(const Browser& browser,
                                                             const QList<X11Client>& windows) {
    QList<ChromiumSession::Window> paired(windows.size());
    if (!browser.pid || !browser.packaging) {
        return paired;
    }
    const ChromiumSessionReader::Result read = m_sessions.read(*browser.pid, browser.packaging->configFolder);
    if (read.file.isEmpty()) {
        print(QStringLiteral("No session file found for ") + browser.packaging->desktopId);
        return paired;
    }
    const std::optional<ChromiumSession>& session = read.session;
    if (!session) {
        print(QStringLiteral("Session file ") + read.file + QStringLiteral(" cannot be read: ") +
              read.problem);
        return paired;
    }
    const QList<int> pairs = pairWindows(windows, session->windows);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        if (pairs[i] < 0) {
            continue;
        }
        ChromiumSession::Window& window = paired[i];
        window = session->windows[pairs[i]];
        // The file records a page's title only now and then; the window's title always shows the
        // shown tab's ("<title> - <browser>").
        const QString title = windows[i].title.value_or(QString());
        const qsizetype suffix = title.lastIndexOf(QStringLiteral(" - "));
        if (window.selectedTab >= 0 && window.tabs[window.selectedTab].title.isEmpty() && suffix > 0) {
            window.tabs[window.selectedTab].title = title.left(suffix);
        }
    }
    return paired;
}

QCoro::Task<bool> LinuxBrowserScripting::activate(xcb_window_t window) {
    std::shared_ptr<X11Windows> windows = m_windows;
    windows->activate(window);
    // Named, not a temporary of the awaited expression: such temporaries do not survive the wait
    // with every compiler.
    const std::function<bool()> active = [windows, window] { return windows->activeWindow() == window; };
    co_return co_await m_clock->pollUntil(active, Clock::seconds(1.0), Clock::Duration(20));
}

QCoro::Task<std::optional<ScriptError>> LinuxBrowserScripting::makeWindow(Run& run,
                                                                          std::optional<QString> address) {
    if (!run.browser.packaging) {
        co_return run.error(ScriptProgram::notRunning, QStringLiteral("Application isn't running."));
    }
    QSet<xcb_window_t> before;
    for (const X11Client& w : windowsOf(run.browser)) {
        before.insert(w.window);
    }
    QStringList arguments{QStringLiteral("--new-window")};
    if (address) {
        arguments << QStringLiteral("--") << *address;
    }
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
    if (!co_await m_clock->pollUntil(appeared, Clock::seconds(8.0), Clock::Duration(50))) {
        co_return run.error(ScriptProgram::cannotGet, QStringLiteral("Can't make a new window."));
    }
    co_await activate(made);
    run.browser = find(run.program.appName);
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
    const DesktopEntries::Launch launch = DesktopEntries::launchWithArguments(
        run.browser.packaging->desktopId, QStringList{QStringLiteral("--")} + addresses);
    if (!launch.error.isEmpty()) {
        print(QStringLiteral("Cannot hand tabs to the browser: ") + launch.error);
        co_return run.error(ScriptProgram::cannotGet, launch.error);
    }
    // Done once the session file counts the new tabs.
    const Browser browser = run.browser;
    const qsizetype wanted = tabsBefore + addresses.size();
    const std::function<bool()> opened = [this, browser, window, wanted] {
        const std::optional<ChromiumSession::Window> now = sessionWindowOf(browser, window);
        return now && now->tabs.size() >= wanted;
    };
    if (!co_await m_clock->pollUntil(opened, Clock::seconds(6.0), Clock::Duration(200))) {
        print(QStringLiteral("The session file does not show the new tabs yet"));
    }
    co_return std::nullopt;
}

std::optional<ChromiumSession::Window> LinuxBrowserScripting::sessionWindowOf(const Browser& browser,
                                                                              xcb_window_t window) {
    const QList<X11Client> windows = windowsOf(browser);
    const QList<ChromiumSession::Window> tabs = tabsOf(browser, windows);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        if (windows[i].window == window && !tabs[i].tabs.isEmpty()) {
            return tabs[i];
        }
    }
    return std::nullopt;
}

QCoro::Task<std::optional<ScriptError>> LinuxBrowserScripting::selectTab(Browser browser, xcb_window_t window,
                                                                         std::int64_t tab) {
    // The tab must be there before its key can show it.
    const std::function<bool()> present = [this, browser, window, tab] {
        const std::optional<ChromiumSession::Window> now = sessionWindowOf(browser, window);
        return now && now->tabs.size() >= tab;
    };
    co_await m_clock->pollUntil(present, Clock::seconds(3.0), Clock::Duration(200));
    const std::function<bool()> shown = [this, browser, window, tab] {
        const std::optional<ChromiumSession::Window> now = sessionWindowOf(browser, window);
        return now && now->selectedTab == tab - 1;
    };
    // Keys go to the window with the focus: they are typed only once the browser's window has it,
    // as another application would take them for its own. A second try when the first went astray.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!co_await activate(window)) {
            print(QStringLiteral("The window to select a tab in did not take the focus"));
            continue;
        }
        // Control with 1 to 8 shows that tab; tabs after the eighth are reached from the eighth.
        m_keys->press({kControl}, kDigitOne + static_cast<quint32>(std::min<std::int64_t>(tab, 8) - 1));
        for (std::int64_t i = 8; i < tab; ++i) {
            m_keys->press({kControl}, kPageDown);
        }
        if (co_await m_clock->pollUntil(shown, Clock::seconds(2.5), Clock::Duration(200))) {
            co_return std::nullopt;
        }
    }
    print(QStringLiteral("The session file does not show tab ") + QString::number(tab) +
          QStringLiteral(" selected"));
    co_return std::nullopt;
}

QCoro::Task<std::optional<ScriptError>>
LinuxBrowserScripting::closeWindows(Browser browser, QList<xcb_window_t> windows, bool untilQuit) {
    const std::shared_ptr<Clock> clock = m_clock;
    co_await m_requests.close(windows, Clock::seconds(3.0));
    // A browser quits with its last window here: let it finish, so that the next window asked for
    // starts a browser of its own instead of reaching one that is going away.
    if (untilQuit && browser.pid) {
        const qint32 pid = *browser.pid;
        const std::function<bool()> ended = [pid] { return !LinuxProcess::isAlive(pid); };
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
        // "make new window" and "set URL of active tab of window 1" are one request here: a new
        // window with that address.
        std::optional<QString> address;
        if (pc + 1 < statements.size() && statements[pc + 1].op == Op::SetActiveTabUrl &&
            statements[pc + 1].args.numbers[0] == 1) {
            address = checkedAddress(statements[pc + 1].args.strings[0]);
            ++pc;
        }
        return makeWindow(run, address);
    }
    case Op::SetActiveTabUrl: {
        // Only ever sent after "make new window", which took it along; on its own, the address
        // goes to that window as a new tab.
        const std::optional<xcb_window_t> w = windowAt(run.browser, a.numbers[0]);
        if (!w) {
            return done(invalidIndex);
        }
        return openTabs(run, *w, QStringList(checkedAddress(a.strings[0])));
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
            addresses << checkedAddress(statements[pc + 1].args.strings[0]);
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

QString LinuxBrowserScripting::checkedAddress(const QString& url) {
    const std::optional<QString> address = safeAddress(url);
    if (!address) {
        print(QStringLiteral("Skipped an address that is not a web page or a file: ") + url);
    }
    return address.value_or(kBlankPage);
}

ScriptDescriptor LinuxBrowserScripting::listTabs(const Browser& browser) {
    ScriptDescriptor all = ScriptDescriptor::list();
    for (const ChromiumSession::Window& window : tabsOf(browser, windowsOf(browser))) {
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
    m_sessions.forgetLocations();
    Run run{program, find(program.appName), std::nullopt};
    const bool makesWindow =
        std::any_of(program.statements.cbegin(), program.statements.cend(),
                    [](const ScriptProgram::Statement& s) { return s.op == Op::MakeWindow; });
    if (!run.browser.pid && !makesWindow) {
        co_return ScriptResult::failure(
            run.error(ScriptProgram::notRunning, QStringLiteral("Application isn't running.")));
    }
    ScriptProgram::Walk walk{program};
    while (walk.next()) {
        if (const std::optional<ScriptError> error = co_await perform(run, walk.pc)) {
            if (!walk.recover()) {
                co_return ScriptResult::failure(*error);
            }
            continue;
        }
        if (run.returned) {
            break;
        }
    }
    co_return ScriptResult::answer(run.returned.value_or(ScriptDescriptor::missing()));
}
