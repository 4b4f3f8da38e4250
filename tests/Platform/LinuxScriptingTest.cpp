#include "Platform/Linux/BrowserCommandLine.h"
#include "Platform/Linux/ChromiumDesktop.h"
#include "Platform/Linux/ChromiumHandOver.h"
#include "Platform/Linux/ChromiumTabSelection.h"
#include "Platform/Linux/ChromiumWindowTabs.h"
#include "Platform/Linux/HandedBrowserWindows.h"
#include "Platform/Linux/LinuxBrowserScripting.h"
#include "Platform/Linux/LinuxFolderScripting.h"

#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Simulated/VirtualClock.h"
#include "Platform/SystemClock.h"
#include "Support/OwnProcess.h"
#include "Support/QtPrinters.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

#include <cstdlib>

// Saved tabs come from files a user may have imported: only web pages, local files and the blank
// page reach a browser's command line, and nothing that could read as a switch.
TEST(BrowserCommandLine, HandsOnlyPagesFilesAndTheBlankPageToTheBrowser) {
    const std::pair<const char*, std::optional<QString>> cases[] = {
        {"https://example.org/a?b=c#d", QStringLiteral("https://example.org/a?b=c#d")},
        {"http://127.0.0.1:8080/x", QStringLiteral("http://127.0.0.1:8080/x")},
        {"HTTPS://Example.org/", QStringLiteral("https://example.org/")},
        {"file:///home/me/notes.html", QStringLiteral("file:///home/me/notes.html")},
        {"file:///tmp/a b.html", QStringLiteral("file:///tmp/a%20b.html")},
        {"about:blank", QStringLiteral("about:blank")},
        {"ABOUT:BLANK", QStringLiteral("about:blank")},
        {"javascript:alert(1)", std::nullopt},
        {"data:text/html,<script>alert(1)</script>", std::nullopt},
        {"--user-data-dir=/tmp/evil", std::nullopt},
        {"-incognito", std::nullopt},
        {"chrome://settings", std::nullopt},
        {"ftp://example.org/", std::nullopt},
        {"https://", std::nullopt},
        {"file:relative/path", std::nullopt},
        {"example.org", std::nullopt},
        {"", std::nullopt},
        {"https://exa mple.org/", std::nullopt},
        // Dropped by a browser from what it is given, so dropped before the comparison too.
        {"https://example.org/a\nb\t", QStringLiteral("https://example.org/ab")},
        {"https://example.org/a\x01b", std::nullopt},
        {"https://example.org/a\x7f", std::nullopt},
    };
    for (const auto& [address, expected] : cases) {
        EXPECT_EQ(BrowserCommandLine::safeAddress(QString::fromUtf8(address)), expected) << address;
        // A refused address has a reason the report gives.
        EXPECT_EQ(BrowserCommandLine::refusal(QString::fromUtf8(address)),
                  expected ? std::nullopt
                           : std::optional(QStringLiteral("an address that is not a web page or a file")))
            << address;
    }
    // Longer than one command line may safely carry with its profile.
    const QString huge = QStringLiteral("https://example.org/?q=") + QString(100000, u'a');
    EXPECT_EQ(BrowserCommandLine::safeAddress(huge), std::nullopt);
    EXPECT_EQ(BrowserCommandLine::addressAsOpened(huge), QStringLiteral("about:blank"));
    EXPECT_EQ(BrowserCommandLine::refusal(huge), QStringLiteral("an address longer than 8192 characters"));
}

// A running browser takes one command line of a bounded size: longer lists go in several, in
// order, each within the bound as a whole — the desktop entry's own words, the profile's switches
// and, on the first, the new-window switch, counted on every line.
TEST(BrowserCommandLine, HandsARunningBrowserCommandLinesOfABoundedSize) {
    const auto addresses = [](int count, int length) {
        QStringList list;
        for (int i = 0; i < count; ++i) {
            const QString start = QStringLiteral("https://example.org/%1?q=").arg(i);
            list << start + QString(length - start.size(), u'a');
        }
        return list;
    };
    const QStringList profile{QStringLiteral("--user-data-dir=/home/me/.config/other")};
    const QStringList longProfile{QStringLiteral("--user-data-dir=/home/me/") + QString(5000, u'p')};
    const QStringList entry{QStringLiteral("/usr/bin/chromium"),
                            QStringLiteral("--enable-features=") + QString(200, u'f')};
    const struct {
        const char* name;
        QStringList entry;
        QStringList profile;
        QStringList addresses;
        qsizetype groups;
    } cases[] = {
        {"a few", {}, profile, addresses(3, 900), 1},
        {"45 long ones", {}, profile, addresses(45, 900), 3},
        {"refused ones count as the blank page", {}, profile, QStringList(40, QString(9000, u'a')), 1},
        {"the entry's own words", entry, profile, addresses(18, 900), 2},
        {"a long profile on every line", {}, longProfile, addresses(30, 1000), 3},
        {"nothing to open", entry, profile, {}, 1},
    };
    for (const auto& c : cases) {
        const QList<QStringList> groups =
            BrowserCommandLine::handOvers(c.entry, c.profile, true, c.addresses);
        EXPECT_EQ(groups.size(), c.groups) << c.name;
        QStringList all;
        for (qsizetype i = 0; i < groups.size(); ++i) {
            EXPECT_LE(
                BrowserCommandLine::size(c.entry) +
                    BrowserCommandLine::size(BrowserCommandLine::arguments(c.profile, i == 0, groups[i])),
                BrowserCommandLine::handOverBound)
                << c.name << " line " << i;
            all << groups[i];
        }
        EXPECT_EQ(all, c.addresses) << c.name;
    }
}

// Debian's wrapper of the browser drops the "--" before the addresses: only the address filter
// keeps a saved address from being read as a switch. Whatever the saved data holds, every word
// handed to the browser other than its own switches is no switch.
TEST(BrowserCommandLine, HandsTheBrowserNoWordThatReadsAsASwitchButItsOwn) {
    const QStringList hostile{QStringLiteral("--user-data-dir=/tmp/evil"),
                              QStringLiteral("-incognito"),
                              QStringLiteral(" --headless"),
                              QStringLiteral("\t-x"),
                              QStringLiteral("chrome://settings"),
                              QStringLiteral("https://example.org/-x"),
                              QStringLiteral("file:///tmp/--a"),
                              QStringLiteral("about:blank")};
    const QStringList profileSwitches{QStringLiteral("--user-data-dir=/home/me/--x"),
                                      QStringLiteral("--profile-directory=-Profile 1")};
    const struct {
        const char* name;
        QStringList switches;
        bool newWindow;
        QStringList addresses;
    } cases[] = {
        {"a new window", {}, true, {hostile.first()}},
        {"tabs", {}, false, hostile},
        {"in a profile", profileSwitches, true, hostile},
        {"nothing to open", profileSwitches, true, {}},
    };
    const QStringList own{QStringLiteral("--new-window"), QStringLiteral("--")};
    for (const auto& c : cases) {
        const QStringList arguments = BrowserCommandLine::arguments(c.switches, c.newWindow, c.addresses);
        EXPECT_EQ(arguments.mid(0, c.switches.size()), c.switches) << c.name;
        EXPECT_EQ(arguments.contains(QStringLiteral("--new-window")), c.newWindow) << c.name;
        for (const QString& word : arguments.mid(c.switches.size())) {
            EXPECT_TRUE(own.contains(word) || !word.trimmed().startsWith(QLatin1Char('-')))
                << c.name << ": " << word.toStdString();
        }
        // One word per address, after "--", in order.
        const qsizetype dashes = arguments.indexOf(QStringLiteral("--"));
        EXPECT_EQ(dashes < 0 ? 0 : arguments.size() - dashes - 1, c.addresses.size()) << c.name;
    }
    EXPECT_EQ(BrowserCommandLine::addressAsOpened(QStringLiteral("chrome://newtab/")),
              QStringLiteral("about:blank"));
    EXPECT_EQ(BrowserCommandLine::addressAsOpened(QStringLiteral("https://example.org/")),
              QStringLiteral("https://example.org/"));
    EXPECT_EQ(BrowserCommandLine::addressAsOpened(QStringLiteral("https://example.org/a\nb")),
              QStringLiteral("https://example.org/ab"));
}

// A running browser's profile is named on to it in the words its own command line uses.
TEST(BrowserCommandLine, NamesARunningBrowsersProfileAsItsCommandLineDoes) {
    const struct {
        QStringList commandLine;
        QStringList switches;
    } cases[] = {
        {{QStringLiteral("/usr/lib/chromium/chromium")}, {}},
        {{QStringLiteral("chromium"), QStringLiteral("--user-data-dir=/p/work"),
          QStringLiteral("--no-sandbox")},
         {QStringLiteral("--user-data-dir=/p/work")}},
        {{QStringLiteral("chromium"), QStringLiteral("--profile-directory=Profile 2"),
          QStringLiteral("--user-data-dir=/p")},
         {QStringLiteral("--user-data-dir=/p"), QStringLiteral("--profile-directory=Profile 2")}},
        // A desktop entry's own data folder, then another: the browser takes the last.
        {{QStringLiteral("chromium"), QStringLiteral("--user-data-dir=/p"),
          QStringLiteral("--user-data-dir=/q")},
         {QStringLiteral("--user-data-dir=/q")}},
        // After "--" come addresses, never switches.
        {{QStringLiteral("chromium"), QStringLiteral("--"), QStringLiteral("--user-data-dir=/x")}, {}},
        // A relative data folder is the browser's, from its own working folder: as it stands it
        // would be another process's (and ":…" one of Qt's resources).
        {{QStringLiteral("chromium"), QStringLiteral("--user-data-dir=:work")},
         {QStringLiteral("--user-data-dir=/home/me/:work")}},
        {{QStringLiteral("chromium"), QStringLiteral("--user-data-dir=:/qt-project.org/x/../y")},
         {QStringLiteral("--user-data-dir=/home/me/:/qt-project.org/y")}},
        {{QStringLiteral("chromium"), QStringLiteral("--user-data-dir=p/../q")},
         {QStringLiteral("--user-data-dir=/home/me/q")}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BrowserCommandLine::profileSwitchesOf(c.commandLine, QStringLiteral("/home/me")),
                  c.switches)
            << c.commandLine.join(' ').toStdString();
    }
}

// Tabs past the eighth are reached from the eighth or from the last, whichever is nearer; the
// last one with the browser's own key.
TEST(LinuxBrowserScripting, ChoosesTheKeysThatShowATab) {
    constexpr quint32 digit1 = 0x31;
    constexpr quint32 digit8 = 0x38;
    constexpr quint32 digit9 = 0x39;
    constexpr quint32 next = 0xff56;
    constexpr quint32 prior = 0xff55;
    const struct {
        std::int64_t tab;
        std::optional<qsizetype> count;
        QList<quint32> keys;
    } cases[] = {
        {1, 3, {digit1}},
        {8, std::nullopt, {digit8}},
        {8, 8, {digit8}},
        {9, 9, {digit9}},
        {10, 10, {digit9}},
        {9, 12, {digit8, next}},
        {10, std::nullopt, {digit8, next, next}},
        {10, 12, {digit8, next, next}},
        {11, 12, {digit9, prior}},
        {148, 150, {digit9, prior, prior}},
        {0, 3, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChromiumTabSelection::tabKeys(c.tab, c.count), c.keys) << c.tab;
    }
}

// A window the host made lists only the tabs the browser's own record holds, never the addresses
// it was handed: a browser that opened 35 of 45 shows 35. A record that may be another window's
// (its first tab is not the first address handed) counts for nothing until the file has had time
// to catch up; the tab shown is the one last shown while the window's title agrees.
TEST(LinuxBrowserScripting, ListsAWindowItMadeAsTheBrowsersRecordShowsIt) {
    QStringList handed;
    for (int i = 1; i <= 45; ++i) {
        handed << QStringLiteral("https://example.org/%1").arg(i);
    }
    const auto record = [](const QStringList& urls, int selected) {
        ChromiumSession::Window window;
        for (qsizetype i = 0; i < urls.size(); ++i) {
            window.tabs.append({urls[i], QStringLiteral("Page %1").arg(i + 1)});
        }
        window.selectedTab = selected;
        return window;
    };
    const struct {
        const char* name;
        ChromiumSession::Window session;
        bool settled;
        QString title;
        qsizetype tabs;
        int selected;
    } cases[] = {
        {"35 of 45 opened", record(handed.first(35), 0), false, "Page 4 - Chromium", 35, 3},
        {"all of them, written with a slash", record({"HTTPS://example.org/1/"}, 0), false, "", 1, 0},
        {"another window's record", record({"https://other.org/"}, 0), false, "", 0, -1},
        {"another window's record, once the file had time", record({"https://other.org/"}, 0), true, "", 1,
         0},
        {"the title shows another tab than the one last shown", record(handed, 7), false, "Page 8 - Chromium",
         45, 7},
        {"settled: the record's own selection", record(handed, 7), true, "Page 4 - Chromium", 45, 7},
    };
    for (const auto& c : cases) {
        const ChromiumSession::Window listed =
            HandedBrowserWindows::listedTabs(c.session, handed, 3, c.settled, c.title);
        EXPECT_EQ(listed.tabs.size(), c.tabs) << c.name;
        EXPECT_EQ(listed.selectedTab, c.selected) << c.name;
    }
}

namespace {

// A running browser in virtual time: a new window shows 300 ms after its command line, a launcher
// that hands tabs over ends 100 ms after it starts and the window then shows the last tab handed;
// the browser's record lists a window's tabs only 2.5 s after it was last handed some. The title
// stays put when sameTitles (neighbouring tabs that share a title). A new window loads its first
// page loadMs after it shows: until then its title names no page, and it drops every key.
class ScriptedChromium : public ChromiumDesktop {
public:
    ScriptedChromium(std::shared_ptr<VirtualClock> clock, HandedBrowserWindows& handed)
        : m_clock(std::move(clock))
        , m_handed(handed) {}

    struct Launched {
        qint64 atMs;
        bool newWindow;
        qsizetype addresses;
    };
    QList<Launched> launched;
    bool sameTitles = false;
    qint64 loadMs = 0;
    // Keys typed before then are lost, and so is the dropPress-th key (1-based); digits typed
    // before digitsFromMs, or after the first digitsTaken, are lost too (the page has them first).
    qint64 keysFromMs = 0;
    int dropPress = 0;
    qint64 digitsFromMs = 0;
    int digitsTaken = -1;

    qint64 nowMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(m_clock->elapsed()).count();
    }
    // When the record first lists every tab the window was handed.
    qint64 recordedAtMs(xcb_window_t window) const { return m_windows.value(window).handedAtMs + 2500; }

    QList<X11Client> windows() override {
        QList<X11Client> shown;
        for (auto it = m_windows.cbegin(); it != m_windows.cend(); ++it) {
            if (it->shownAtMs <= nowMs()) {
                shown.prepend(*window(it.key()));
            }
        }
        return shown;
    }
    std::optional<X11Client> window(xcb_window_t id) override {
        if (!m_windows.contains(id)) {
            return std::nullopt;
        }
        const Window& w = m_windows[id];
        X11Client client;
        client.window = id;
        client.pid = 42;
        client.title = QStringLiteral("Tab ") + QString::number(sameTitles ? 1 : w.shown) +
                       QStringLiteral(" - Chromium");
        if (nowMs() < w.shownAtMs + loadMs) {
            client.title = QStringLiteral("Untitled - Chromium");
        }
        return client;
    }
    std::optional<ChromiumSession::Window> tabsOf(xcb_window_t id, bool recordedOnly) override {
        ChromiumSession::Window record;
        if (!m_windows.contains(id)) {
            return std::nullopt;
        }
        if (nowMs() >= recordedAtMs(id)) {
            for (qsizetype i = 0; i < m_windows[id].tabs.size(); ++i) {
                record.tabs.append({m_windows[id].tabs[i], sameTitles ? QStringLiteral("Tab 1") : QString()});
            }
            record.selectedTab = m_windows[id].shown - 1;
        }
        const ChromiumSession::Window known = recordedOnly
                                                  ? m_handed.recorded(id, record, window(id)->title)
                                                  : m_handed.knownOrHanded(id, record, window(id)->title);
        return known.tabs.isEmpty() ? std::nullopt : std::optional(known);
    }
    bool running() override { return true; }
    void refresh() override {}
    QStringList entryWords() override { return {QStringLiteral("chromium")}; }
    DesktopEntries::Launch launch(const QStringList& arguments) override {
        const bool newWindow = arguments.contains(QStringLiteral("--new-window"));
        const QStringList addresses = arguments.mid(arguments.indexOf(QStringLiteral("--")) + 1);
        launched.append({nowMs(), newWindow, addresses.size()});
        if (newWindow) {
            m_active = m_next++;
            m_windows.insert(m_active, Window{nowMs() + 300, nowMs(), addresses, 1});
        } else if (m_windows.contains(m_active)) {
            Window& w = m_windows[m_active];
            w.tabs += addresses;
            w.shown = static_cast<int>(w.tabs.size());
            w.handedAtMs = nowMs() + 100;
        }
        m_launcherEndsMs = nowMs() + 100;
        return {{7}, QString()};
    }
    bool isAlive(qint32) override { return nowMs() < m_launcherEndsMs; }
    QStringList profileSwitchesOf(qint32) override { return {}; }
    QCoro::Task<bool> activate(xcb_window_t id) override {
        m_active = id;
        co_return true;
    }
    // The browser's tab keys, in the window with the focus.
    void press(const QList<quint32>&, quint32 key) override {
        if (++m_presses == dropPress || nowMs() < keysFromMs || !m_windows.contains(m_active) ||
            nowMs() < m_windows[m_active].shownAtMs + loadMs) {
            return;
        }
        Window& w = m_windows[m_active];
        const int count = static_cast<int>(w.tabs.size());
        const int digit = static_cast<int>(key) - 0x30;
        if (digit >= 1 && digit <= 9 &&
            (nowMs() < digitsFromMs || (digitsTaken >= 0 && m_digits++ >= digitsTaken))) {
            return;
        }
        w.shown = digit >= 1 && digit <= 8 ? std::min(digit, count)
                  : digit == 9             ? count
                  : key == 0xff56          ? w.shown % count + 1
                  : key == 0xff55          ? (w.shown + count - 2) % count + 1
                                           : w.shown;
    }
    int shown(xcb_window_t window) const { return m_windows.value(window).shown; }
    void show(xcb_window_t window, int tab) { m_windows[window].shown = tab; }

private:
    struct Window {
        qint64 shownAtMs = 0;
        qint64 handedAtMs = 0;
        QStringList tabs;
        int shown = 1;
    };
    std::shared_ptr<VirtualClock> m_clock;
    HandedBrowserWindows& m_handed;
    QMap<xcb_window_t, Window> m_windows;
    xcb_window_t m_next = 0x600001;
    xcb_window_t m_active = XCB_WINDOW_NONE;
    qint64 m_launcherEndsMs = 0;
    int m_presses = 0;
    int m_digits = 0;
};

} // namespace

// A window of more tabs than one command line takes goes over in parts, each once the browser
// shows the one before; the next window is handed as soon as the last part shows, long before the
// browser's record lists the first window's tabs (it is checked once, at the end of the restore).
// The listing, which that check waits on, counts the record's tabs, never the addresses handed.
TEST(ChromiumHandOver, HandsTheNextWindowOnceTheBrowserShowsTheLastPart) {
    auto clock = std::make_shared<VirtualClock>();
    HandedBrowserWindows handed(clock);
    ScriptedChromium browser(clock, handed);
    ChromiumHandOver handOver(browser, handed, clock, QStringLiteral("Chromium"));
    QStringList longAddresses;
    for (int i = 0; i < 45; ++i) {
        longAddresses << QStringLiteral("https://example.org/") + QString::number(i) + QStringLiteral("?q=") +
                             QString(900, u'a');
    }
    ASSERT_TRUE(clock->runUntilDone(handOver.makeWindow(longAddresses, {})));
    ASSERT_TRUE(clock->runUntilDone(handOver.makeWindow({QStringLiteral("https://example.org/next")}, {})));

    ASSERT_EQ(browser.windows().size(), 2);
    const xcb_window_t first = browser.windows().last().window;
    EXPECT_EQ(browser.launched.size(), 4) << "the long window in three parts, then the next one";
    EXPECT_TRUE(browser.launched.last().newWindow);
    EXPECT_LT(browser.launched.last().atMs, browser.recordedAtMs(first));
    EXPECT_EQ(handed.knownOrHanded(first, {}, std::nullopt).tabs.size(), 45);
    const auto listedOfFirst = [&browser] {
        const ScriptDescriptor listing = LinuxBrowserScripting::listTabs(browser);
        return listing.descriptorAtIndex(listing.numberOfItems())->numberOfItems();
    };
    EXPECT_EQ(listedOfFirst(), 0);
    clock->advanceBy(std::chrono::milliseconds(browser.recordedAtMs(first) - browser.nowMs()));
    EXPECT_EQ(listedOfFirst(), 45);
}

// One selection waits at most its bound in all for its keys to show, and shows the tab: tab 20 of
// 30, whose neighbours share its title, is reached in about three seconds, not one second per key;
// in a window still loading its first page, which takes no key meanwhile, the title the page then
// shows is not taken for the tab's. A tab is called shown only once that reads back: not while the
// browser loses every key (tab 12 of a window the record lists has no single key back), and also
// when the key back to the tab shown before was lost; where the browser lets every digit pass, the
// keys to the next tab reach it, but not from a place the title's change left unknown.
TEST(ChromiumTabSelection, WaitsABoundedTimeInAllForItsKeys) {
    const struct {
        bool sameTitles;
        qint64 loadMs;
        int tabs;
        int tab;
        qsizetype keys;
        qint64 startMs;    // after the window was asked for
        bool handedHere;   // else a window the browser's record lists
        int shownBefore;   // 0: the tab it opened with
        qint64 keysFromMs; // keys typed before are lost
        int dropPress;     // this key (1-based) is lost
        qint64 withinMs;
        qint64 digitsFromMs = 0;
        int digitsTaken = -1;
        bool calledShown = true;
    } cases[] = {
        {true, 0, 30, 20, 11, 10000, true, 0, 0, 0, 3500},
        {false, 1500, 3, 2, 1, 0, true, 0, 0, 0, 3500},
        {false, 4000, 20, 3, 1, 3000, false, 12, 8000, 0, 12000},
        {false, 0, 3, 2, 1, 0, true, 0, 0, 2, 3500},
        {false, 0, 4, 3, 1, 0, true, 0, 0, 0, 3500, 8000},
        {false, 0, 3, 2, 1, 0, true, 0, 0, 0, 7000, 0, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        auto clock = std::make_shared<VirtualClock>();
        HandedBrowserWindows handed(clock);
        ScriptedChromium browser(clock, handed);
        browser.sameTitles = c.sameTitles;
        browser.loadMs = c.loadMs;
        browser.keysFromMs = c.keysFromMs;
        browser.dropPress = c.dropPress;
        browser.digitsFromMs = c.digitsFromMs;
        browser.digitsTaken = c.digitsTaken;
        QStringList addresses;
        for (int i = 0; i < c.tabs; ++i) {
            addresses << QStringLiteral("https://example.org/") + QString::number(i);
        }
        ChromiumHandOver handOver(browser, handed, clock, QStringLiteral("Chromium"));
        if (c.handedHere) {
            ASSERT_TRUE(clock->runUntilDone(handOver.makeWindow(addresses, {})));
        } else {
            browser.launch(QStringList{QStringLiteral("--new-window"), QStringLiteral("--")} + addresses);
        }
        clock->advanceBy(std::chrono::milliseconds(std::max<qint64>(0, c.startMs - browser.nowMs())));
        const xcb_window_t window = browser.windows().first().window;
        if (c.shownBefore > 0) {
            browser.show(window, c.shownBefore);
        }
        ASSERT_EQ(ChromiumTabSelection::tabKeys(c.tab, c.tabs).size(), c.keys);

        ChromiumTabSelection selection(browser, handed, clock);
        const qint64 start = browser.nowMs();
        EXPECT_EQ(clock->runUntilDone(selection.show(window, c.tab)), std::optional(c.calledShown));
        EXPECT_LE(browser.nowMs() - start, c.withinMs);
        // Only the first key is typed again when nothing showed: the others would each move on a tab.
        EXPECT_EQ(browser.shown(window), c.tab);
    }
}

TEST(ChromiumWindowTabs, PairsSessionWindowsWithWindowsByFrameThenTitleThenOrder) {
    const auto client = [](xcb_window_t id, QRect rect, const char* title) {
        X11Client c;
        c.window = id;
        c.clientRect = rect;
        c.title = QString::fromUtf8(title);
        return c;
    };
    const auto session = [](QRect bounds, const char* shownTitle) {
        ChromiumSession::Window w;
        w.bounds = bounds;
        w.tabs = {ChromiumSession::Tab{QStringLiteral("https://x.example/"), QString::fromUtf8(shownTitle)}};
        w.selectedTab = 0;
        return w;
    };
    const QRect same(20, 20, 1200, 800);
    // Front to back: the window made last is in front.
    const QList<X11Client> windows{
        client(0x600010, QRect(2000, 100, 800, 600), "Mail - Chromium"),
        client(0x600009, same, "Docs - Chromium"),
        client(0x600002, same, "Untitled - Chromium"),
        client(0x600020, same, "New - Chromium"),
    };
    const QList<ChromiumSession::Window> sessionWindows{
        session(same, ""),                          // made first: no title recorded
        session(same, "Docs"),                      // same frame, its title shown
        session(QRect(1990, 95, 810, 600), "Mail"), // moved a little since it was written
    };
    // The fourth window is too new for the file: it gets nothing.
    EXPECT_EQ(ChromiumWindowTabs::pairWindows(windows, sessionWindows), QList<int>({2, 1, 0, -1}));
}

TEST(LinuxFolderScripting, HandsOnlyExistingFoldersAsFileUris) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("with space/and%percent")));
    QFile file(dir.filePath(QStringLiteral("file.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QString folder = dir.filePath(QStringLiteral("with space/and%percent"));
    const QString expected =
        QStringLiteral("file://") + dir.path() + QStringLiteral("/with%20space/and%25percent");
    EXPECT_EQ(LinuxFolderScripting::folderUri(folder), expected);
    EXPECT_EQ(LinuxFolderScripting::folderUri(folder + QStringLiteral("/")), expected);
    EXPECT_EQ(LinuxFolderScripting::folderUri(QStringLiteral("/")), QStringLiteral("file:///"));
    for (const QString& refused :
         {dir.filePath(QStringLiteral("file.txt")), dir.filePath(QStringLiteral("missing")),
          QStringLiteral("relative/folder"), QStringLiteral("--new-window"), QString()}) {
        EXPECT_FALSE(LinuxFolderScripting::folderUri(refused)) << refused.toStdString();
    }
}

// A file-manager window lists every tab it has; the one its title names is the one it shows.
TEST(LinuxFolderScripting, KeepsTheTabAWindowShows) {
    const struct {
        const char* name;
        QStringList tabs;
        QString title;
        QString folder;
    } cases[] = {
        {"the second tab shown", {"file:///srv/alpha", "file:///srv/beta/"}, "beta", "/srv/beta"},
        {"the first tab shown", {"file:///srv/alpha", "file:///srv/beta"}, "alpha", "/srv/alpha"},
        {"a title naming no tab", {"file:///srv/alpha", "file:///srv/beta"}, "Search", "/srv/alpha"},
        {"a remote tab first", {"sftp://host/x", "file:///srv/x"}, "x", "/srv/x"},
        {"the root folder", {"file:///srv/alpha", "file:///"}, "/", "/"},
        {"no local tab", {"sftp://host/x"}, "x", ""},
        {"no tabs", {}, "x", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LinuxFolderScripting::shownFolder(c.tabs, c.title), c.folder) << c.name;
    }
}

// Editors and disk tools register for folders as well; only an application whose entry counts it
// among the file managers is spoken to as the file manager. Taken for one, an editor would lose all
// its windows from every save (none shows a folder) and have them closed by a restore.
TEST(LinuxFolderScripting, TakesOnlyAFileManagerForTheFileManager) {
    if (!OwnProcess::runsHere()) {
        return;
    }
    // The folders are read once per process, at the first look: they are set up before it.
    QTemporaryDir systemData;
    ::setenv("XDG_DATA_DIRS", systemData.path().toUtf8().constData(), 1);
    const auto write = [](const QString& path, const QByteArray& contents) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
    };
    const auto entry = [](const QByteArray& name, const QByteArray& categories) {
        return "[Desktop Entry]\nType=Application\nName=" + name +
               "\nExec=true %U\nMimeType=inode/directory;\nCategories=" + categories + "\n";
    };
    const QString applications = systemData.filePath(QStringLiteral("applications"));
    ASSERT_TRUE(write(applications + QStringLiteral("/org.example.Editor.desktop"),
                      entry("Editor", "Utility;TextEditor;Development;IDE;")));
    ASSERT_TRUE(write(applications + QStringLiteral("/org.example.Files.desktop"),
                      entry("Files", "GTK;Utility;Core;FileManager;")));
    ASSERT_TRUE(write(applications + QStringLiteral("/org.example.Plain.desktop"), entry("Plain", "")));
    const QString defaults = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                             QStringLiteral("/mimeapps.list");
    ASSERT_TRUE(write(defaults, "[Default Applications]\ninode/directory=org.example.Editor.desktop\n"));

    EXPECT_EQ(DesktopEntries::defaultFor(QStringLiteral("inode/directory")),
              QStringLiteral("org.example.Editor.desktop"));
    EXPECT_EQ(LinuxFolderScripting::desktopFileManager(), QString());

    const std::pair<const char*, bool> cases[] = {
        {"org.example.Files.desktop", true},
        {"org.example.Editor.desktop", false},
        {"org.example.Plain.desktop", false},
        {"org.example.Missing.desktop", false},
    };
    for (const auto& [id, fileManager] : cases) {
        EXPECT_EQ(LinuxFolderScripting::isFileManager(DesktopEntries::find(QString::fromLatin1(id))),
                  fileManager)
            << id;
    }
}

// Addresses reach the browser as words of their own after the entry's own words and "--": never
// through a shell, never in place of a field code.
TEST(DesktopEntries, LaunchesTheEntrysCommandWithArgumentsAsWordsOfTheirOwn) {
    if (!OwnProcess::runsHere()) {
        return;
    }
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("argv"));
    const QString program = dir.filePath(QStringLiteral("record-argv"));
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    // The folder it starts in first, then its words.
    script.write("#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"" +
                 QFile::encodeName(record) + ".part\"\nmv \"" + QFile::encodeName(record) + ".part\" \"" +
                 QFile::encodeName(record) + "\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    const QString applications = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                 QStringLiteral("/applications");
    QDir().mkpath(applications);
    QFile entry(applications + QStringLiteral("/ordella-argv-test.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Argv\nExec=" + QFile::encodeName(program) +
                " --profile=\"a b\" %U\n");
    entry.close();

    const QStringList arguments{QStringLiteral("--new-window"), QStringLiteral("--"),
                                QStringLiteral("https://example.org/?q=$(touch /tmp/x)"),
                                QStringLiteral("a;b c")};
    const DesktopEntries::Launch launch =
        DesktopEntries::launchWithArguments(QStringLiteral("ordella-argv-test.desktop"), arguments);
    ASSERT_TRUE(launch.error.isEmpty()) << launch.error.toStdString();
    SystemClock clock;
    ASSERT_TRUE(QCoro::waitFor(
        clock.pollUntil([&] { return QFile::exists(record); }, Clock::seconds(10.0), Clock::Duration(20))));
    QFile written(record);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()).split(u'\n', Qt::SkipEmptyParts),
              (QStringList{QFileInfo(QDir::homePath()).canonicalFilePath(), QStringLiteral("--profile=a b")} +
               arguments));
    EXPECT_FALSE(
        DesktopEntries::launchWithArguments(QStringLiteral("ordella-missing.desktop"), {}).error.isEmpty());
}
