#include "Services/Desktop/WindowMatcher.h"
#include "Models/Workspace.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Support/ScriptedDesktop.h"

#include <QRegularExpression>

namespace {

WindowSnapshot snap(const std::optional<QString>& title, const QRectF& frame, qint64 windowIndex = 99,
                    const std::optional<QString>& document = std::nullopt, bool minimized = false) {
    WindowSnapshot s;
    s.id = QUuid::createUuid();
    s.windowTitle = title;
    s.frame = SnapshotRect{frame.x(), frame.y(), frame.width(), frame.height()};
    s.windowIndex = windowIndex;
    s.documentURL = document;
    s.isMinimized = minimized;
    return s;
}

// A snapshot of the window with that identity.
WindowSnapshot of(WindowSnapshot s, const WindowIdentity& identity) {
    s.windowIdentity = identity;
    return s;
}

struct LiveWindow {
    LiveWindow(const QRectF& f, const std::optional<QString>& t = {}, const std::optional<QString>& d = {},
               bool m = false, const char* i = nullptr)
        : frame(f)
        , title(t)
        , document(d)
        , minimized(m)
        , identity(i) {}
    QRectF frame;
    std::optional<QString> title;
    std::optional<QString> document;
    bool minimized = false;
    // What the desktop tells of the window's identity; nothing: it tells nothing.
    const char* identity = nullptr;
};

class WindowMatcherTest : public SimulatedDesktopFixture {
protected:
    WindowMatcherTest() { AnalysisLogger::shared().beginSession(Workspace()); }

    // A fresh application with these windows, in list order, and a fresh log session.
    RunningApplication liveApp(const QList<LiveWindow>& windows) {
        AnalysisLogger::shared().beginSession(Workspace());
        SimulatedDesktop::Application app;
        app.bundleIdentifier = "org.example.App";
        const qint32 pid = desktop().addApplication(app);
        for (const LiveWindow& w : windows) {
            SimulatedDesktop::Window window;
            window.frame = w.frame;
            window.title = w.title;
            window.document = w.document;
            window.minimized = w.minimized;
            if (w.identity) {
                window.faults.readOverrides.insert(AXName::WindowIdentity,
                                                   AXResult::success(AXValue::string(w.identity)));
            }
            desktop().addWindow(pid, window, true);
        }
        return *platform().runningApplications->application(pid);
    }
    // The logged lines that match filter.
    static QStringList lines(const QString& filter = ".") {
        QStringList result;
        for (const auto& entry : AnalysisLogger::shared().entries()) {
            EXPECT_EQ(entry.tag, "WindowMatcher");
            if (entry.message.contains(QRegularExpression(filter))) {
                result.append(entry.message);
            }
        }
        return result;
    }
};

// Each case compares the log lines that match its pattern; the accepted-pair lines ("→") are also
// checked against the answer itself.
TEST_F(WindowMatcherTest, EveryClueInItsOrder) {
    const struct {
        const char* name;
        QList<LiveWindow> live;
        QList<WindowSnapshot> saved;
        const char* filter;
        QStringList lines;
        // By list position: the windows there before the restore (nothing: not known), and those
        // known to be others' (a browser's windows that show other tabs).
        std::optional<QList<int>> before = std::nullopt;
        QList<int> others = {};
        // Live window -> the saved window the restore opened it for.
        QMap<int, int> openedFor = {};
    } cases[] = {
        {"a nearby frame wins over a changed title",
         {{QRectF(103, 102, 800, 600), "Renamed"}},
         {snap("Original", QRectF(100, 100, 800, 600))},
         "→",
         {"snapshot[0] → AX[0] quality=geometry distance=10.0"}},
        {"exactly at the geometry limit, another title",
         {{QRectF(107.5, 100, 800, 600), "Renamed"}},
         {snap("Original", QRectF(100, 100, 800, 600))},
         "→",
         {"snapshot[0] → AX[0] quality=geometry distance=15.0"}},
        {"equal titles, none near, both pairings as far: in saved order",
         {{QRectF(0, 0, 500, 400), "Inbox"}, {QRectF(40, 40, 500, 400), "Inbox"}},
         {snap("Inbox", QRectF(900, 500, 500, 400)), snap("Inbox", QRectF(700, 500, 500, 400))},
         "→",
         {"snapshot[0] → AX[0] quality=exactTitle distance=n/a",
          "snapshot[1] → AX[1] quality=exactTitle distance=n/a"}},
        // The nearest pair (20) would leave the other two 260 apart; crossed they are 240 in all.
        {"equal titles: the least distance in all, not the nearest pair first",
         {{QRectF(50, 0, 500, 400), "Inbox"}, {QRectF(130, 0, 500, 400), "Inbox"}},
         {snap("Inbox", QRectF(60, 0, 500, 400)), snap("Inbox", QRectF(0, 0, 500, 400))},
         "→",
         {"snapshot[0] → AX[1] quality=exactTitle distance=n/a",
          "snapshot[1] → AX[0] quality=exactTitle distance=n/a"}},
        {"equal titles at equal distances pair in saved order",
         {{QRectF(0, 0, 500, 400), "Inbox"}, {QRectF(0, 0, 500, 400), "Inbox"}},
         {snap("Inbox", QRectF(900, 500, 500, 400)), snap("Inbox", QRectF(900, 500, 500, 400))},
         "→",
         {"snapshot[0] → AX[0] quality=exactTitle distance=n/a",
          "snapshot[1] → AX[1] quality=exactTitle distance=n/a"}},
        // Two terminals with one title, the right one closed and the left one minimised: the
        // survivor stays the left one, whatever the saved order.
        {"equal titles: the survivor keeps its own place, not its closed twin's",
         {{QRectF(340, 130, 500, 400), "x-same", std::nullopt, true}, {QRectF(0, 0, 500, 400), "xterm"}},
         {snap("x-same", QRectF(2200, 100, 500, 400), 1),
          snap("x-same", QRectF(300, 100, 500, 400), 0, std::nullopt, true)},
         "→",
         {"snapshot[1] → AX[0] quality=exactTitle distance=n/a",
          "snapshot[0] → AX[1] quality=indexFallback distance=n/a"}},
        // The user showed the minimised survivor again: it is still the nearer one.
        {"equal titles: the nearer frames, whatever is minimised now",
         {{QRectF(2300, 100, 500, 400), "x-same", std::nullopt, true},
          {QRectF(1000, 100, 500, 400), "x-same"}},
         {snap("x-same", QRectF(2200, 100, 500, 400), 5),
          snap("x-same", QRectF(300, 100, 500, 400), 5, std::nullopt, true)},
         "→",
         {"snapshot[0] → AX[0] quality=exactTitle distance=n/a",
          "snapshot[1] → AX[1] quality=exactTitle distance=n/a"}},
        {"the window saved itself, before a twin on its frame",
         {{QRectF(0, 0, 500, 400), "x-same", std::nullopt, false, "7 100 5000"},
          {QRectF(2200, 100, 500, 400), "x-same", std::nullopt, false, "9 101 5000"}},
         {of(snap("x-same", QRectF(2200, 100, 500, 400)), WindowIdentity{7, 100, 5000})},
         "→",
         {"snapshot[0] → AX[0] quality=sameWindow distance=n/a"}},
        // The number and the pid came back for a process started later: another window.
        {"a window of a later process with the same number and pid is not the one saved",
         {{QRectF(0, 0, 500, 400), "x-same", std::nullopt, false, "7 100 6000"},
          {QRectF(2200, 100, 500, 400), "x-same"}},
         {of(snap("x-same", QRectF(2200, 100, 500, 400)), WindowIdentity{7, 100, 5000})},
         "→",
         {"snapshot[0] → AX[1] quality=geometry distance=0.0"}},
        {"equal titles and states: the nearer frame",
         {{QRectF(2000, 100, 500, 400), "x-same"}, {QRectF(100, 100, 500, 400), "x-same"}},
         {snap("x-same", QRectF(300, 100, 500, 400), 5), snap("x-same", QRectF(2200, 100, 500, 400), 5)},
         "→",
         {"snapshot[0] → AX[1] quality=exactTitle distance=n/a",
          "snapshot[1] → AX[0] quality=exactTitle distance=n/a"}},
        {"geometry beats the title of another saved window",
         {{QRectF(0, 0, 500, 400), "Mail"}, {QRectF(900, 0, 300, 300)}},
         {snap("Mail", QRectF(600, 600, 500, 400)), snap("Other", QRectF(2, 2, 500, 400))},
         "→|NO MATCH",
         {"snapshot[1] → AX[0] quality=geometry distance=8.0",
          "snapshot[0] title=\"Mail\" frame=(600,600 500×400) — NO MATCH"}},
        {"a terminal path beats geometry; the near pair is not asked for its path",
         {{QRectF(0, 0, 500, 400), "bash - ~/a"}},
         {snap("zsh - ~/a", QRectF(900, 600, 500, 400)), snap("zsh - ~/a", QRectF(1, 1, 500, 400))},
         "terminalPath match|→|NO MATCH",
         {"terminalPath match: \"~/a\"", "snapshot[0] → AX[0] quality=terminalPath distance=n/a",
          "snapshot[1] title=\"zsh - ~/a\" frame=(1,1 500×400) — NO MATCH"}},
        {"another document, the same title",
         {{QRectF(0, 0, 500, 400), "Budget", "file:///home/u/Budget-2.ods"}},
         {snap("Budget", QRectF(700, 500, 500, 400), 0, "file:///home/u/Budget.ods")},
         "^document|→|does not take",
         {"documentURL mismatch: snapshot=\"/home/u/Budget.ods\" vs ax=\"/home/u/Budget-2.ods\"",
          "snapshot[0] does not take AX[0]: it shows another document"}},
        // Two saved windows of an editor at one frame, only the second one's document open.
        {"a close frame never beats another document",
         {{QRectF(103, 100, 800, 600), "b.txt - Editor", "file:///home/u/b.txt"}},
         {snap("a.txt - Editor", QRectF(100, 100, 800, 600), 0, "file:///home/u/a.txt"),
          snap("b.txt - Editor", QRectF(120, 100, 800, 600), 1, "file:///home/u/b.txt")},
         "→|does not take",
         {"snapshot[0] does not take AX[0]: it shows another document",
          "snapshot[1] → AX[0] quality=documentURL distance=n/a"}},
        // A terminal started in the saved folder of the second window; the first one's script was
        // not handed over.
        {"a window the restore opened for another saved window",
         {{QRectF(0, 0, 500, 400), "xterm"}},
         {snap("evil.sh", QRectF(0, 0, 500, 400), 0, "file:///home/u/evil.sh"),
          snap("xterm", QRectF(0, 0, 500, 400), 0, "file:///home/u")},
         "→|does not take",
         {"snapshot[0] does not take AX[0]: the restore opened it for another saved window",
          "snapshot[1] → AX[0] quality=geometry distance=0.0"},
         QList<int>{},
         {},
         {{0, 1}}},
        // A file manager started by the restore shows the folder it was started in.
        {"a folder window beside the saved frame showing another folder",
         {{QRectF(105, 100, 800, 500), "ordella", "file:///home/u/src/ordella/"}},
         {snap("Downloads", QRectF(100, 100, 800, 500), 0, "file:///home/u/Downloads/")},
         "→|does not take",
         {"snapshot[0] does not take AX[0]: it shows another document"},
         QList<int>{}},
        {"a document whose name differs in case only is another file, not taken by its position",
         {{QRectF(100, 200, 800, 600), "Report", "file:///Users/u/Report.txt"}},
         {snap("Notes", QRectF(900, 700, 800, 600), 0, "file:///Users/u/report.txt")},
         "^document|→|does not take",
         {"documentURL mismatch: snapshot=\"/Users/u/report.txt\" vs ax=\"/Users/u/Report.txt\"",
          "snapshot[0] does not take AX[0]: it shows another document"}},
        {"another document in a window the restore opened does not stand in by its position either",
         {{QRectF(100, 200, 800, 600), "Report", "file:///Users/u/Report.txt"}},
         {snap("Notes", QRectF(900, 700, 800, 600), 0, "file:///Users/u/report.txt")},
         "→|does not take",
         {"snapshot[0] does not take AX[0]: it shows another document"},
         QList<int>{}},
        {"a document in a window there before, where the saved one showed none",
         {{QRectF(100, 200, 800, 600), "Report", "file:///Users/u/Report.txt"}, {QRectF(0, 0, 300, 300)}},
         {snap("Notes", QRectF(900, 700, 800, 600), 0)},
         "→|does not take",
         {"snapshot[0] does not take AX[0]: it was there before and shows a document"},
         QList<int>{0, 1}},
        // A browser window saved before the browser listed its tabs, the user's own window at its
        // position, the window opened for the other saved window elsewhere.
        {"a window that shows other tabs is not taken as the one left",
         {{QRectF(0, 0, 800, 600), "Page 1 - Chromium"}, {QRectF(300, 300, 700, 500), "Other - Chromium"}},
         {snap("Page 1 - Chromium", QRectF(2, 2, 800, 600), 0),
          snap("Page 3 - Chromium", QRectF(900, 80, 800, 600), 0)},
         "→|does not take|NO MATCH",
         {"snapshot[0] → AX[0] quality=geometry distance=8.0",
          "snapshot[1] does not take AX[1]: it shows other tabs",
          "snapshot[1] title=\"Page 3 - Chromium\" frame=(900,80 800×600) — NO MATCH"},
         QList<int>{1},
         {1}},
        // The user's window showed the saved tab and was navigated since; the restore opened a
        // window with the saved tab on its frame.
        {"the very window saved, now showing other tabs, is the user's",
         {{QRectF(0, 0, 800, 600), "Page 6 - Chromium", std::nullopt, false, "7 100 5000"},
          {QRectF(0, 0, 800, 600), "Page 2 - Chromium"}},
         {of(snap("Page 2 - Chromium", QRectF(0, 0, 800, 600), 0), WindowIdentity{7, 100, 5000})},
         "→|does not take",
         {"snapshot[0] does not take AX[0]: it shows other tabs",
          "snapshot[0] → AX[1] quality=geometry distance=0.0"},
         QList<int>{0},
         {0}},
        {"the same document, the scheme in capitals and a trailing slash",
         {{QRectF(100, 200, 800, 600), "Report", "file:///Users/u/Report.txt"}},
         {snap("Report", QRectF(300.7, 400.2, 800, 600), 0, "FILE:///Users/u/Report.txt/"),
          snap(std::nullopt, QRectF(0, 0, 10.9, 10), 3, std::nullopt, true)},
         ".",
         {"AX window[0]: title=\"Report\" docURL=\"file:///Users/u/Report.txt\" frame=(100,200 800×600)",
          "Snapshot[0]: title=\"Report\" docURL=\"FILE:///Users/u/Report.txt/\" frame=(300,400 800×600) "
          "minimized=false",
          "Snapshot[1]: title=\"nil\" docURL=\"nil\" frame=(0,0 10×10) minimized=true",
          "documentURL match: \"FILE:///Users/u/Report.txt/\"",
          "snapshot[0] → AX[0] quality=documentURL distance=n/a",
          "snapshot[1] title=\"nil\" frame=(0,0 10×10) — NO MATCH"}},
        {"a live document that is empty is missing; an empty saved one is no clue",
         {{QRectF(0, 0, 300, 300), std::nullopt, ""}},
         {snap("A", QRectF(900, 900, 300, 300), 5, "/a"), snap("B", QRectF(900, 900, 300, 300), 5, "")},
         "^document|→",
         {"documentURL missing in AX: snapshot=\"/a\" ax=\"\""}},
        {"title contained and sizes alike (ratio 0.975)",
         {{QRectF(0, 0, 780, 600), "Notes — Edited"}},
         {snap("Notes", QRectF(900, 300, 800, 600))},
         "^fuzzy|→",
         {"fuzzyTitleAndSize match: \"Notes\" sizeRatio=0.97",
          "snapshot[0] → AX[0] quality=fuzzyTitleAndSize distance=n/a"}},
        {"title contained but half the width",
         {{QRectF(0, 0, 400, 600), "Notes — Edited"}},
         {snap("Notes", QRectF(900, 300, 800, 600))},
         "→",
         {}},
        {"a ratio just above 0.7",
         {{QRectF(0, 0, 560.0001, 600), "Notes — Edited"}},
         {snap("Notes", QRectF(900, 300, 800, 600))},
         "→",
         {"snapshot[0] → AX[0] quality=fuzzyTitleAndSize distance=n/a"}},
        {"a ratio of exactly 0.7",
         {{QRectF(0, 0, 560, 600), "Notes — Edited"}},
         {snap("Notes", QRectF(900, 300, 800, 600))},
         "→",
         {}},
        {"no clue but a free list position",
         {{QRectF(0, 0, 300, 300)}, {QRectF(10, 10, 300, 300)}, {QRectF(20, 20, 300, 300)}},
         {snap(std::nullopt, QRectF(2000, 2000, 100, 100), 2)},
         "→",
         {"snapshot[0] → AX[2] quality=indexFallback distance=n/a"}},
        // A terminal started anew for one whose process ended, moved away since: its saved list
        // position is held by the window saved as the other one.
        {"no clue, the list position held by another: the window nothing claims",
         {{QRectF(100, 100, 500, 300), "Build shell", std::nullopt, false, "7 100 5000"},
          {QRectF(2000, 2000, 300, 300)},
          {QRectF(500, 400, 500, 300), "xterm"}},
         {of(snap("Logs", QRectF(700, 450, 500, 300), 0), WindowIdentity{8, 101, 5000}),
          of(snap("Build shell", QRectF(300, 100, 500, 300), 1), WindowIdentity{7, 100, 5000})},
         "→",
         {"snapshot[1] → AX[0] quality=sameWindow distance=n/a",
          "snapshot[0] → AX[2] quality=indexFallback distance=n/a"}},
        // Two saved windows whose positions others hold, one window unclaimed: taken once.
        {"displaced positions never take the same unclaimed window",
         {{QRectF(100, 100, 500, 300), "A"}, {QRectF(500, 400, 500, 300)}},
         {snap("A", QRectF(100, 100, 500, 300), 0), snap(std::nullopt, QRectF(520, 400, 500, 300), 0),
          snap(std::nullopt, QRectF(500, 420, 500, 300), 0)},
         "→|NO MATCH",
         {"snapshot[0] → AX[0] quality=geometry distance=0.0",
          "snapshot[1] → AX[1] quality=indexFallback distance=n/a",
          "snapshot[2] title=\"nil\" frame=(500,420 500×300) — NO MATCH"}},
        {"displaced positions: among equally near windows, the earlier in the list",
         {{QRectF(100, 100, 500, 300), "A"}, {QRectF(600, 400, 500, 300)}, {QRectF(400, 400, 500, 300)}},
         {snap("A", QRectF(100, 100, 500, 300), 0), snap(std::nullopt, QRectF(500, 400, 500, 300), 0)},
         "→",
         {"snapshot[0] → AX[0] quality=geometry distance=0.0",
          "snapshot[1] → AX[1] quality=indexFallback distance=n/a"}},
        // The only window left was opened for the later of two saved windows whose positions
        // another holds: the earlier one takes nothing, the later one still takes it.
        {"displaced positions: one without a window does not stop the next",
         {{QRectF(100, 100, 500, 300), "A"}, {QRectF(900, 500, 500, 300)}},
         {snap("A", QRectF(100, 100, 500, 300), 0), snap(std::nullopt, QRectF(0, 600, 400, 300), 0),
          snap(std::nullopt, QRectF(1500, 0, 400, 300), 0)},
         "→|does not take",
         {"snapshot[0] → AX[0] quality=geometry distance=0.0",
          "snapshot[1] does not take AX[1]: the restore opened it for another saved window",
          "snapshot[2] → AX[1] quality=indexFallback distance=n/a"},
         QList<int>{},
         {},
         {{1, 2}}},
        {"no clue and a list position out of range",
         {{QRectF(0, 0, 300, 300)}, {QRectF(10, 10, 300, 300)}},
         {snap(std::nullopt, QRectF(2000, 2000, 100, 100), 2)},
         "^snapshot",
         {"snapshot[0] title=\"nil\" frame=(2000,2000 100×100) — NO MATCH"}},
        {"no windows: nothing, silently", {}, {snap("A", QRectF())}, ".", {}},
    };
    for (const auto& c : cases) {
        const RunningApplication app = liveApp(c.live);
        const QList<quint32> numbers = desktop().windowsOf(app.processIdentifier);
        WindowMatcher::Bystanders bystanders;
        if (c.before) {
            bystanders.windowsBefore.emplace();
            for (const int i : *c.before) {
                bystanders.windowsBefore->insert(AXElement{numbers[i]});
            }
        }
        for (const int i : c.others) {
            bystanders.otherWindows.insert(AXElement{numbers[i]});
        }
        for (auto it = c.openedFor.begin(); it != c.openedFor.end(); ++it) {
            bystanders.openedFor.insert(AXElement{numbers[it.key()]}, {c.saved[it.value()].id});
        }

        const WindowMatcher::Matches matches = WindowMatcher::matchWindows(c.saved, app, bystanders);
        EXPECT_EQ(lines(QString::fromUtf8(c.filter)), c.lines) << c.name;
        QStringList accepted;
        for (auto it = matches.begin(); it != matches.end(); ++it) {
            accepted << QStringLiteral("snapshot[%1] → AX[%2] quality=%3")
                            .arg(QString::number(it.key()), QString::number(it->axIndex),
                                 WindowMatcher::qualityName(it->quality));
        }
        QStringList logged = lines("→").replaceInStrings(QRegularExpression(" distance=.*"), "");
        logged.sort();
        EXPECT_EQ(logged, accepted) << c.name;
        desktop().removeApplication(app.processIdentifier);
    }
}

TEST_F(WindowMatcherTest, GeometryAloneUpToFifty) {
    // Live windows moved right by 25.0, 25.25 and 7.5 points: distances 50.0, 50.5 and 15.0.
    RunningApplication app =
        liveApp({{QRectF(25, 0, 300, 300)}, {QRectF(1025.25, 0, 300, 300)}, {QRectF(2007.5, 0, 300, 300)}});
    auto matches = WindowMatcher::matchWindowsByGeometry({snap(std::nullopt, QRectF(0, 0, 300, 300)),
                                                          snap(std::nullopt, QRectF(1000, 0, 300, 300)),
                                                          snap(std::nullopt, QRectF(2000, 0, 300, 300))},
                                                         app);
    ASSERT_EQ(matches.keys(), (QList<int>{0, 2}));
    EXPECT_EQ(matches[0].quality, WindowMatchQuality::fuzzyTitleAndSize);
    EXPECT_EQ(matches[0].geometryDistance, 50.0);
    EXPECT_EQ(matches[2].quality, WindowMatchQuality::geometry);
    EXPECT_EQ(matches[2].axElement, AXElement{desktop().windowsOf(app.processIdentifier)[2]});
    EXPECT_EQ(lines(), (QStringList{"matchWindowsByGeometry: snapshot[2] → AX[2] distance=15.0",
                                    "matchWindowsByGeometry: snapshot[0] → AX[0] distance=50.0"}));

    // The closest pair first; a live frame that is not a number takes no part.
    app = liveApp({{QRectF(0, 0, 300, 300)}, {QRectF(20, 0, 300, 300)}});
    desktop()
        .window(desktop().windowsOf(app.processIdentifier)[0])
        ->faults.readOverrides.insert("AXPosition", AXResult::success(AXValue::point(QPointF(qQNaN(), 0))));
    matches = WindowMatcher::matchWindowsByGeometry(
        {snap(std::nullopt, QRectF(18, 0, 300, 300)), snap(std::nullopt, QRectF(0, 0, 300, 300))}, app);
    ASSERT_EQ(matches.keys(), QList<int>{0});
    EXPECT_EQ(matches[0].axIndex, 1);

    // An unreadable window list: an empty answer and one line from each operation.
    AnalysisLogger::shared().beginSession(Workspace());
    const qint32 pid = app.processIdentifier;
    desktop().application(pid)->faults.windowListError = AXError::CannotComplete;
    EXPECT_TRUE(WindowMatcher::matchWindows({snap("A", QRectF())}, app).isEmpty());
    EXPECT_TRUE(WindowMatcher::matchWindowsByGeometry({snap("A", QRectF())}, app).isEmpty());
    EXPECT_EQ(
        lines(),
        (QStringList{QStringLiteral("Cannot get AX windows for pid=%1").arg(pid),
                     QStringLiteral("matchWindowsByGeometry: Cannot get AX windows for pid=%1").arg(pid)}));
}

TEST(WindowMatcherRules, TerminalPaths) {
    const struct {
        const char* title;
        std::optional<QString> path;
    } cases[] = {
        {"zsh - ~/work", "~/work"},
        {"zsh — /usr/local \t", "/usr/local"},
        {"zsh – ~", "~"},
        {"zsh - bin - /tmp", std::nullopt},
        {"zsh - work — /tmp", "/tmp"},
        {"zsh -/tmp", std::nullopt},
        {"zsh - work", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowMatcher::extractTerminalPath(QString::fromUtf8(c.title)), c.path) << c.title;
    }
}

TEST(WindowMatcherRules, FuzzyTitlesSizesAndDocuments) {
    const struct {
        const char* a;
        const char* b;
        bool match;
    } titles[] = {
        {"Budget - Q3 - Editor", "Budget - Q3 - Viewer", true},
        {"Notes", "Notes — Edited", true},
        {"Alpha", "Beta", false},
        {"Budget - Q3", "Budget - Q4 - X", false},
        {"notes", "Notes", false},
    };
    for (const auto& t : titles) {
        EXPECT_EQ(WindowMatcher::fuzzyTitleMatch(QString::fromUtf8(t.a), QString::fromUtf8(t.b)), t.match)
            << t.a;
    }
    EXPECT_DOUBLE_EQ(WindowMatcher::sizeSimilarity(QSizeF(800, 600), QSizeF(400, 300)), 0.25);
    EXPECT_EQ(WindowMatcher::sizeSimilarity(QSizeF(0, 600), QSizeF(400, 300)), 0);
    EXPECT_EQ(WindowMatcher::sizeSimilarity(QSizeF(qQNaN(), 600), QSizeF(400, 300)), 0);

    EXPECT_EQ(WindowMatcher::normalizeDocumentURL("file:///A/B%20C/"), "/A/B C");
    EXPECT_EQ(WindowMatcher::normalizeDocumentURL("file:///"), "/");
    EXPECT_EQ(WindowMatcher::normalizeDocumentURL(" Not a URL \n"), "Not a URL");
    // Two files, told apart by case; a scheme and a host in any case are the same.
    EXPECT_NE(WindowMatcher::normalizeDocumentURL("file:///home/me/Report.txt"),
              WindowMatcher::normalizeDocumentURL("/home/me/report.txt"));
    EXPECT_EQ(WindowMatcher::normalizeDocumentURL("FILE:///home/me/Report.txt"), "/home/me/Report.txt");
    EXPECT_EQ(WindowMatcher::normalizeDocumentURL("SFTP://Files.Example.org/Share/A.txt"),
              "sftp://files.example.org/Share/A.txt");

    EXPECT_EQ(WindowMatcher::qualityFromRawValue(6), WindowMatchQuality::terminalPath);
    EXPECT_EQ(WindowMatcher::qualityFromRawValue(7), WindowMatchQuality::sameWindow);
    EXPECT_EQ(WindowMatcher::qualityFromRawValue(8), std::nullopt);
    EXPECT_EQ(WindowMatcher::qualityFromRawValue(-1), std::nullopt);
}

} // namespace
