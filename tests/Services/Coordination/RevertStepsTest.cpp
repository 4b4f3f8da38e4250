#include "Services/Coordination/RevertSteps.h"
#include "Extensions/RectConversion.h"
#include "Platform/ScriptRunner.h"
#include "Services/Scripting/BrowserScriptService.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Support/ScriptTestHelpers.h"
#include "Support/ScriptedDesktop.h"

namespace {

using namespace std::chrono_literals;

const QString kChrome = QStringLiteral("com.google.Chrome");

TabSnapshot tab(const QString& url) {
    return TabSnapshot{QUuid::createUuid(), url, std::nullopt, false};
}

RevertSteps::TabList tabs(const QList<QStringList>& windows) {
    RevertSteps::TabList list;
    for (const QStringList& urls : windows) {
        QList<TabSnapshot> w;
        for (const QString& url : urls) {
            w << tab(url);
        }
        list << w;
    }
    return list;
}

// A browser snapshot: one saved window per entry, each with its frame and tabs.
AppSnapshot browser(const QList<QPair<QRectF, QStringList>>& windows) {
    AppSnapshot app;
    app.bundleIdentifier = kChrome;
    app.appName = QStringLiteral("Google Chrome");
    for (qsizetype i = 0; i < windows.size(); ++i) {
        WindowSnapshot w;
        w.frame = RectConversion::toSnapshotRect(windows[i].first);
        w.windowIndex = i;
        w.tabSnapshots = tabs({windows[i].second}).first();
        app.windowSnapshots << w;
    }
    return app;
}

// The workspace service of a desktop on which the application quits just after it is first
// listed: the list that shows it is its last.
class QuitsOnceListed : public RunningApplications {
public:
    QuitsOnceListed(std::shared_ptr<RunningApplications> inner, SimulatedDesktop& desktop, QString id)
        : m_inner(std::move(inner))
        , m_desktop(desktop)
        , m_id(std::move(id)) {}

    QList<RunningApplication> runningApplications() const override {
        const QList<RunningApplication> apps = m_inner->runningApplications();
        for (const RunningApplication& app : apps) {
            if (app.bundleIdentifier == m_id && !m_seen) {
                m_seen = app.processIdentifier;
                m_desktop.removeApplication(app.processIdentifier);
            }
        }
        return apps;
    }
    std::optional<RunningApplication> frontmostApplication() const override {
        return m_inner->frontmostApplication();
    }
    std::optional<RunningApplication> application(qint32 pid) const override {
        return m_inner->application(pid);
    }
    bool hide(qint32 pid) override { return m_inner->hide(pid); }
    bool unhide(qint32 pid) override { return m_inner->unhide(pid); }
    bool activate(qint32 pid, quint32 options) override { return m_inner->activate(pid, options); }
    bool terminate(qint32 pid) override { return m_inner->terminate(pid); }
    bool forceTerminate(qint32 pid) override { return m_inner->forceTerminate(pid); }
    std::optional<QUrl> urlForApplication(const QString& id) const override {
        return m_inner->urlForApplication(id);
    }
    QCoro::Task<OpenResult> openApplication(QUrl url, bool activates) override {
        return m_inner->openApplication(url, activates);
    }
    QCoro::Task<OpenResult> openDocuments(QList<QUrl> documents, QUrl url, bool activates) override {
        return m_inner->openDocuments(documents, url, activates);
    }
    QImage icon(const QString& id) const override { return m_inner->icon(id); }

    mutable std::optional<qint32> m_seen;

private:
    std::shared_ptr<RunningApplications> m_inner;
    SimulatedDesktop& m_desktop;
    QString m_id;
};

class RevertStepsTest : public SimulatedDesktopFixture {
protected:
    void SetUp() override {
        addScreen();
        AnalysisLogger::shared().beginSession(Workspace{});
    }
    void TearDown() override { AnalysisLogger::shared().endSession(std::nullopt); }

    RunningApplication running(const QString& bundleIdentifier) {
        return *platform().runningApplications->application(desktop().findApplication(bundleIdentifier)->pid);
    }
    AppRestoreResult putBack(const AppSnapshot& snapshot) {
        auto result = clock().runUntilDone(
            RevertSteps::restoreBrowserState(running(snapshot.bundleIdentifier), snapshot, {}));
        EXPECT_TRUE(result) << clock().lastFailure().toStdString();
        return result.value_or(AppRestoreResult{});
    }
};

TEST(RevertTabMatchTest, SameWindowsSameTabsInOrder) {
    struct Case {
        QList<QStringList> desired;
        QList<QStringList> current;
        bool match;
    };
    const QList<Case> cases{
        {{}, {}, true},
        {{{"https://a.org/"}}, {{"HTTPS://A.ORG"}}, true},
        {{{"https://www.a.org/x"}}, {{"https://a.org/x/"}}, true},
        {{{"https://a.org//"}}, {{"https://a.org"}}, false},
        {{{"https://a.org", "https://b.org"}}, {{"https://b.org", "https://a.org"}}, false},
        {{{"https://a.org"}}, {{"https://a.org"}, {"https://b.org"}}, false},
        {{{"https://a.org"}}, {{"https://a.org", "https://b.org"}}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RevertSteps::browserTabsMatch(tabs(c.desired), tabs(c.current)), c.match)
            << c.desired.value(0).join(",").toStdString() << " / "
            << c.current.value(0).join(",").toStdString();
    }
}

TEST_F(RevertStepsTest, ARunningBrowserThatShowsItsTabsOnlyGetsItsFramesBack) {
    const qint32 pid = addApp(kChrome, "Google Chrome");
    addBrowserWindow(pid, {"https://www.news.org/*", "https://mail.org"}, QRectF(600, 300, 500, 400));
    const AppRestoreResult result =
        putBack(browser({{QRectF(40, 60, 800, 600), {"https://news.org/", "https://MAIL.org"}}}));
    EXPECT_EQ(result.reason, "Browser state restored (1 windows)");
    EXPECT_EQ(result.status, RestoreStatus::restored);
    ASSERT_EQ(result.windowResults.size(), 1);
    EXPECT_EQ(result.windowResults[0].reason, "Window positioned");
    EXPECT_EQ(browserWindows(pid), (QList<QStringList>{{"https://www.news.org/*", "https://mail.org"}}));
    EXPECT_EQ(desktop().window(windowsFrontToBack(pid)[0])->frame, QRectF(40, 60, 800, 600));
    EXPECT_TRUE(loggedMessages().contains("Browser tabs already match, skipping tab restore"));
}

TEST_F(RevertStepsTest, ARunningBrowserWithOtherTabsIsReopenedWithTheSavedOnes) {
    const qint32 pid = addApp(kChrome, "Google Chrome");
    addBrowserWindow(pid, {"https://elsewhere.org/*"});
    const auto start = clock().elapsed();
    const AppRestoreResult result =
        putBack(browser({{QRectF(40, 60, 800, 600), {"https://a.org/", "https://b.org/"}}}));
    EXPECT_LT(clock().elapsed() - start, 500ms) << "the window closed is gone at once";
    EXPECT_EQ(result.status, RestoreStatus::restored);
    EXPECT_EQ(tabUrls(*clock().runUntilDone(BrowserScriptService::captureTabs(kChrome))),
              (QList<QStringList>{{"https://a.org/", "https://b.org/*"}}));
    const QStringList lines = loggedMessages();
    EXPECT_TRUE(lines.contains("Restoring 1 browser windows with tabs"));
    EXPECT_TRUE(lines.contains("All browser tabs ready: 1 windows"));
    // The saved window is opened before the other one is closed, so the browser never runs out
    // of windows (and quits) on the way.
    const QStringList& scripts = host().executedScripts();
    const auto made = std::find_if(scripts.begin(), scripts.end(),
                                   [](const QString& s) { return s.contains("make new window"); });
    const auto closed = std::find_if(scripts.begin(), scripts.end(),
                                     [](const QString& s) { return s.contains("close window id"); });
    EXPECT_LT(made, closed);
    EXPECT_NE(closed, scripts.end());
}

// A window that still shows the tabs it showed before the restore is the user's, with its history:
// it stays. Only the saved windows no window shows are opened, and only what the restore opened
// (a window not there before it) and blank windows close; a window of the user's that shows other
// tabs now stays too, and the browser is reported as not quite put back.
TEST_F(RevertStepsTest, TheUsersOwnWindowsStayAndOnlyWhatTheRestoreOpenedCloses) {
    const qint32 pid = addApp(kChrome, "Google Chrome");
    const quint32 users = addBrowserWindow(pid, {"https://a.org/*", "https://b.org/"});
    const quint32 changed = addBrowserWindow(pid, {"https://moved-on.org/*"});
    const quint32 blank = addBrowserWindow(pid, {"chrome://newtab/*"});
    const quint32 opened = addBrowserWindow(pid, {"https://x.org/*"});
    AppSnapshot saved = browser({{QRectF(40, 60, 800, 600), {"https://a.org/", "https://b.org/"}},
                                 {QRectF(60, 80, 800, 600), {"https://c.org/"}},
                                 {QRectF(80, 100, 800, 600), {"https://d.org/"}}});
    saved.windowSnapshots[0].windowIdentity = WindowIdentity{users, pid, 1};
    saved.windowSnapshots[1].windowIdentity = WindowIdentity{changed, pid, 1};
    saved.windowSnapshots[2].windowIdentity = WindowIdentity{blank, pid, 1};
    const AppRestoreResult result = putBack(saved);
    const QList<quint32> now = windowsFrontToBack(pid);
    EXPECT_TRUE(now.contains(users));
    EXPECT_TRUE(now.contains(changed));
    EXPECT_FALSE(now.contains(blank));
    EXPECT_FALSE(now.contains(opened));
    QList<QStringList> shown = tabUrls(*clock().runUntilDone(BrowserScriptService::captureTabs(kChrome)));
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (QList<QStringList>{{"https://a.org/*", "https://b.org/"},
                                         {"https://c.org/*"},
                                         {"https://d.org/*"},
                                         {"https://moved-on.org/*"}}));
    EXPECT_EQ(result.status, RestoreStatus::partiallyRestored);
    desktop().removeApplication(pid);

    // Two saved windows with the same tabs and one window showing them: it stands for one of them
    // only, and the other is opened.
    const qint32 twice = addApp(kChrome, "Google Chrome");
    addBrowserWindow(twice, {"https://a.org/*"});
    putBack(browser(
        {{QRectF(40, 60, 800, 600), {"https://a.org/"}}, {QRectF(60, 80, 800, 600), {"https://a.org/"}}}));
    EXPECT_EQ(tabUrls(*clock().runUntilDone(BrowserScriptService::captureTabs(kChrome))),
              (QList<QStringList>{{"https://a.org/*"}, {"https://a.org/*"}}));
    desktop().removeApplication(twice);

    // The windows opened cannot be told from the others (their ids cannot be read): the tabs do
    // not count as put back, whatever the browser shows.
    const qint32 untold = addApp(kChrome, "Google Chrome");
    addBrowserWindow(untold, {"https://elsewhere.org/*"});
    host().setBehaviour("Google Chrome",
                        SimulatedScriptHost::failure(-1728, "Can't get id.").at("return id of every window"));
    const AppRestoreResult blind = putBack(browser({{QRectF(40, 60, 800, 600), {"https://a.org/"}}}));
    EXPECT_EQ(blind.reason, "Browser state restored (1 windows), but not every saved tab came back");
    host().setBehaviour("Google Chrome", std::nullopt);
}

// Tabs that do not come back within the wait are reported, whatever became of the windows.
TEST_F(RevertStepsTest, ARunningBrowserWhoseTabsDoNotComeBackIsPartlyRestored) {
    const qint32 pid = addApp(kChrome, "Google Chrome");
    addBrowserWindow(pid, {"https://elsewhere.org/*"});
    host().setBehaviour("Google Chrome",
                        SimulatedScriptHost::failure(-1728, "Can't make tab.").at("make new tab"));
    const AppRestoreResult result =
        putBack(browser({{QRectF(40, 60, 800, 600), {"https://a.org/", "https://b.org/"}}}));
    EXPECT_EQ(result.status, RestoreStatus::partiallyRestored);
    EXPECT_EQ(result.reason, "Browser state restored (1 windows), but not every saved tab came back");
    ASSERT_EQ(result.windowResults.size(), 1);
    EXPECT_EQ(result.windowResults[0].status, RestoreStatus::restored);
    EXPECT_TRUE(loggedMessages().contains("Timeout waiting for browser tabs"));
}

// A browser that shows a tab more than was read before the restore is not put back as it was.
TEST_F(RevertStepsTest, ARunningBrowserShowingAnExtraTabIsPartlyRestored) {
    // Runs every script on the simulated host; a window made is handed one tab more.
    class ExtraTab : public ScriptRunner {
    public:
        ExtraTab(std::shared_ptr<ScriptRunner> inner, RevertStepsTest& test, qint32 pid)
            : m_inner(std::move(inner))
            , m_test(test)
            , m_pid(pid) {}
        QCoro::Task<ScriptResult> run(QString source) override {
            const bool makes = source.contains(QStringLiteral("make new window"));
            ScriptResult result = co_await m_inner->run(std::move(source));
            if (makes) {
                const quint32 window = m_test.windowsFrontToBack(m_pid).first();
                QList<SimulatedScriptHost::Tab> tabs = m_test.host().tabs(window);
                tabs.append(SimulatedScriptHost::Tab{QStringLiteral("https://extra.org/"), std::nullopt});
                m_test.host().setTabs(window, tabs, 1);
            }
            co_return result;
        }

    private:
        std::shared_ptr<ScriptRunner> m_inner;
        RevertStepsTest& m_test;
        qint32 m_pid;
    };
    const qint32 pid = addApp(kChrome, "Google Chrome");
    addBrowserWindow(pid, {"https://elsewhere.org/*"});
    const std::shared_ptr<ScriptRunner> host = platform().scriptRunner;
    platform().scriptRunner = std::make_shared<ExtraTab>(host, *this, pid);
    const AppRestoreResult result =
        putBack(browser({{QRectF(40, 60, 800, 600), {"https://a.org/", "https://b.org/"}}}));
    platform().scriptRunner = host;
    EXPECT_EQ(result.status, RestoreStatus::partiallyRestored);
    EXPECT_EQ(result.reason,
              "Browser state restored (1 windows), but the browser shows other tabs than it did before");
}

// The wait counts saved windows without tabs too, so it runs to its end; the windows are still placed.
TEST_F(RevertStepsTest, AWaitForMoreWindowsThanComeUpEndsAtItsTimeOut) {
    const qint32 pid = addApp(kChrome, "Google Chrome");
    addBrowserWindow(pid, {"https://elsewhere.org/*"});
    const auto start = clock().elapsed();
    const AppRestoreResult result =
        putBack(browser({{QRectF(40, 60, 800, 600), {"https://a.org/"}}, {QRectF(0, 0, 400, 400), {}}}));
    EXPECT_GE(clock().elapsed() - start, 10s);
    EXPECT_TRUE(loggedMessages().contains("Timeout waiting for browser tabs"));
    EXPECT_EQ(result.windowResults.size(), 2);
    EXPECT_EQ(result.status, RestoreStatus::partiallyRestored) << "only one window came back";
}

TEST_F(RevertStepsTest, ReopenedBrowsersComeBackWithTheirTabs) {
    struct Case {
        const char* name;
        Clock::Duration launchDelay;
        QStringList tabs;
        bool tabsRefused;
        RestoreStatus status;
        QString reason;
        QList<QStringList> shown;
        // How long it takes at most: the browser is scripted as soon as it has finished launching.
        std::optional<Clock::Duration> within{};
    };
    const QList<Case> cases{
        {"with tabs",
         1s,
         {"https://a.org/", "https://b.org/"},
         false,
         RestoreStatus::restored,
         "Browser reopened with 1 windows and tabs",
         {{"https://a.org/", "https://b.org/*"}},
         1200ms},
        {"tabs refused",
         1s,
         {"https://a.org/", "https://b.org/"},
         true,
         RestoreStatus::partiallyRestored,
         "Browser reopened, but not every saved tab came back",
         {{"https://a.org/*"}}},
        {"without tabs", 1s, {}, false, RestoreStatus::restored, "Browser reopened (no tabs to restore)", {}},
        {"too slow", 6s, {"https://a.org/"}, false, RestoreStatus::failed, "Browser launch timeout", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDesktop d;
        SimulatedDesktop::InstalledApp installed;
        installed.bundleIdentifier = kChrome;
        installed.name = "Google Chrome";
        installed.launchDelay = c.launchDelay;
        d.desktop().installApplication(installed);
        if (c.tabsRefused) {
            d.host().setBehaviour("Google Chrome",
                                  SimulatedScriptHost::failure(-1728, "Can't make tab.").at("make new tab"));
        }
        const auto result =
            d.clock().runUntilDone(RevertSteps::reopenBrowser(browser({{QRectF(40, 60, 800, 600), c.tabs}})));
        ASSERT_TRUE(result);
        if (c.within) {
            EXPECT_LE(d.clock().elapsed(), *c.within);
        }
        EXPECT_EQ(result->status, c.status);
        EXPECT_EQ(result->reason, c.reason);
        const SimulatedDesktop::Application* app = d.desktop().findApplication(kChrome);
        EXPECT_EQ(app ? d.browserWindows(app->pid) : QList<QStringList>(), c.shown);
    }
}

// A window is reported put back only where it reads back, whatever the move request answered; it
// is found as itself, not by its place in the list, and minimised or shown as it was.
TEST_F(RevertStepsTest, WindowsCountAsPositionedOnlyWhereTheyReadBack) {
    struct Case {
        const char* name;
        std::function<void(SimulatedDesktop::Window&)> fault;
        qint64 index;
        RestoreStatus status;
        QString reason;
        std::optional<QRectF> actual;
        // Minimised when it was read; minimised now.
        bool savedMinimized = false;
        bool minimizedNow = false;
        // A window of the same title stands first in the list, where the saved one stood.
        bool twinInFront = false;
        // What the report says was done, where the row tells it: only what reads back changed.
        std::optional<QStringList> actions{};
        // Kept minimised: never shown (on the desktop shown and not minimised) on the way.
        bool neverShown = false;
    };
    const QRectF saved(40, 60, 800, 600);
    const QRectF live(500, 300, 600, 400);
    const QRectF twin(900, 100, 600, 400);
    const QList<Case> cases{
        {"moves at once",
         {},
         0,
         RestoreStatus::restored,
         "Window positioned",
         saved,
         false,
         false,
         false,
         QStringList{"moved"}},
        {"already where it was", [saved](SimulatedDesktop::Window& w) { w.frame = saved; }, 0,
         RestoreStatus::restored, "Window positioned", saved, false, false, false, QStringList{}},
        {"minimised where it was, shown there", [saved](SimulatedDesktop::Window& w) { w.frame = saved; }, 0,
         RestoreStatus::restored, "Window positioned", saved, false, true, false, QStringList{"shown"}},
        {"moved and minimised",
         {},
         0,
         RestoreStatus::restored,
         "Window minimized",
         saved,
         true,
         false,
         false,
         QStringList{"moved", "minimised"}},
        {"moves a moment later", [](SimulatedDesktop::Window& w) { w.faults.moveDelay = 400ms; }, 0,
         RestoreStatus::restored, "Window positioned", saved},
        {"ignores the move", [](SimulatedDesktop::Window& w) { w.faults.ignoresMoves = true; }, 0,
         RestoreStatus::failed, "Failed to position window", live},
        {"keeps its own size", [](SimulatedDesktop::Window& w) { w.faults.minimumSize = QSizeF(1000, 800); },
         0, RestoreStatus::failed, "Failed to position window", QRectF(40, 60, 1000, 800)},
        {"gone, another window at no clue of it",
         [](SimulatedDesktop::Window& w) {
             w.title = "Other";
             w.faults.readOverrides.insert(AXName::WindowIdentity,
                                           AXResult::success(AXValue::string("9 101 5000")));
         },
         3, RestoreStatus::failed, "Failed to position window", std::nullopt},
        {"the list reordered since",
         {},
         0,
         RestoreStatus::restored,
         "Window positioned",
         saved,
         false,
         false,
         true},
        {"minimised before, shown now", {}, 0, RestoreStatus::restored, "Window minimized", saved, true},
        {"minimised before and now",
         {},
         0,
         RestoreStatus::restored,
         "Window minimized",
         saved,
         true,
         true,
         false,
         QStringList{"moved"}},
        {"shown before, minimised now",
         {},
         0,
         RestoreStatus::restored,
         "Window positioned",
         saved,
         false,
         true},
        {"minimised now and refuses to show",
         [](SimulatedDesktop::Window& w) {
             w.faults.writeErrors.insert("AXMinimized", AXError::CannotComplete);
         },
         0, RestoreStatus::failed, "Failed to position window", std::nullopt, false, true},
        {"on a desktop not shown, saved on the one shown",
         [](SimulatedDesktop::Window& w) { w.onScreen = false; }, 0, RestoreStatus::restored,
         "Window positioned", saved},
        {"shown on a desktop not shown, saved minimised on the one shown",
         [](SimulatedDesktop::Window& w) { w.onScreen = false; }, 0, RestoreStatus::restored,
         "Window minimized", saved, true, false, false, QStringList{"moved", "minimised"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qint32 pid = c.twinInFront ? addApp("org.example.Editor", {twin, live}, {"Doc", "Doc"})
                                         : addApp("org.example.Editor", {live}, {"Doc"});
        const quint32 doc = desktop().windowsOf(pid).last();
        desktop().updateWindow(doc, [&c](SimulatedDesktop::Window& w) {
            w.minimized = c.minimizedNow;
            w.faults.readOverrides.insert(AXName::WindowIdentity,
                                          AXResult::success(AXValue::string("7 100 5000")));
            if (c.fault) {
                c.fault(w);
            }
        });
        WindowSnapshot window;
        window.frame = RectConversion::toSnapshotRect(saved);
        window.windowTitle = QStringLiteral("Doc");
        window.windowIndex = c.index;
        window.isMinimized = c.savedMinimized;
        window.windowIdentity = WindowIdentity{7, 100, 5000};
        bool shown = false;
        const QMetaObject::Connection watch =
            QObject::connect(&desktop(), &SimulatedDesktop::windowChanged, [&](quint32 number) {
                const SimulatedDesktop::Window* w = desktop().window(number);
                shown = shown || (number == doc && w && w->onScreen && !w->minimized);
            });
        const auto results = clock().runUntilDone(
            RevertSteps::restoreWindowPositions(running("org.example.Editor"), {window}, {}));
        QObject::disconnect(watch);
        if (c.neverShown) {
            EXPECT_FALSE(shown);
        }
        ASSERT_TRUE(results);
        ASSERT_EQ(results->size(), 1);
        EXPECT_EQ(results->first().status, c.status);
        EXPECT_EQ(results->first().reason, c.reason);
        EXPECT_EQ(results->first().requestedFrame, saved);
        EXPECT_EQ(results->first().actualFrame, c.actual);
        if (c.actions) {
            EXPECT_EQ(results->first().actions, *c.actions);
        }
        if (c.status == RestoreStatus::restored) {
            EXPECT_EQ(desktop().window(doc)->frame, saved);
            EXPECT_EQ(desktop().window(doc)->minimized, c.savedMinimized);
            EXPECT_TRUE(desktop().window(doc)->onScreen);
        }
        if (c.twinInFront) {
            EXPECT_EQ(desktop().window(desktop().windowsOf(pid).first())->frame, twin);
        }
        desktop().removeApplication(pid);
    }
}

// Every move and every minimise is asked at once and read back together: windows that each take
// a moment cost that moment once, not once per window.
TEST_F(RevertStepsTest, ManyWindowsAreReadBackTogether) {
    QList<QRectF> live;
    QStringList titles;
    QList<WindowSnapshot> saved;
    for (int i = 0; i < 12; ++i) {
        live << QRectF(700, 400, 300, 200);
        titles << QStringLiteral("Doc ") + QString::number(i);
        WindowSnapshot window;
        window.frame = RectConversion::toSnapshotRect(QRectF(20 * i, 30 * i, 400, 300));
        window.windowTitle = titles.last();
        window.windowIndex = i;
        window.isMinimized = i % 3 == 0;
        saved << window;
    }
    const qint32 pid = addApp("org.example.Editor", live, titles);
    for (const quint32 number : desktop().windowsOf(pid)) {
        desktop().updateWindow(number, [](SimulatedDesktop::Window& w) {
            w.faults.moveDelay = 300ms;
            w.faults.stateChangeDelay = 300ms;
        });
    }
    // One more, minimised, refuses to show: it cannot read back anywhere, and holds up nothing.
    WindowSnapshot stuck = saved.first();
    stuck.windowTitle = QStringLiteral("Stuck");
    stuck.windowIndex = saved.size();
    stuck.isMinimized = false;
    const quint32 refuses = addWindow(pid, QRectF(700, 400, 300, 200), "Stuck");
    desktop().updateWindow(refuses, [](SimulatedDesktop::Window& w) {
        w.minimized = true;
        w.faults.writeErrors.insert("AXMinimized", AXError::CannotComplete);
    });
    const auto start = clock().elapsed();
    const auto results = clock().runUntilDone(
        RevertSteps::restoreWindowPositions(running("org.example.Editor"), saved + QList{stuck}, {}));
    ASSERT_TRUE(results);
    // The windows that take 300 ms each take it together; the one that will not show costs the
    // bound of its show (2 s), and no read-back after it.
    EXPECT_LT(clock().elapsed() - start, 3s);
    ASSERT_EQ(results->size(), saved.size() + 1);
    EXPECT_EQ(results->last().reason, "Failed to position window");
    for (qsizetype i = 0; i < saved.size(); ++i) {
        EXPECT_EQ(results->at(i).reason, saved[i].isMinimized ? "Window minimized" : "Window positioned")
            << i;
        EXPECT_EQ(desktop().window(desktop().windowsOf(pid)[i])->frame,
                  RectConversion::toRectF(saved[i].frame));
    }
}

// The launch hands on the application its wait saw running, also when it has quit since.
TEST_F(RevertStepsTest, ABrowserThatQuitsRightAfterItsLaunchIsStillHandedOn) {
    SimulatedDesktop::InstalledApp installed;
    installed.bundleIdentifier = kChrome;
    installed.name = "Google Chrome";
    installed.launchDelay = 1s;
    desktop().installApplication(installed);
    const auto port = std::make_shared<QuitsOnceListed>(platform().runningApplications, desktop(), kChrome);
    platform().runningApplications = port;
    const auto launch = clock().runUntilDone(RevertSteps::launchWithoutActivating(kChrome));
    ASSERT_TRUE(launch);
    ASSERT_TRUE(port->m_seen);
    EXPECT_EQ(launch->outcome, RevertSteps::Launch::Outcome::running);
    ASSERT_TRUE(launch->app);
    EXPECT_EQ(launch->app->processIdentifier, *port->m_seen);

    // The reopen goes on with that application, whose windows can no longer be moved.
    port->m_seen.reset();
    const auto reopened = clock().runUntilDone(
        RevertSteps::reopenBrowser(browser({{QRectF(40, 60, 800, 600), {"https://a.org/"}}})));
    ASSERT_TRUE(reopened);
    EXPECT_TRUE(port->m_seen);
}

// A window of a profile of its own goes back into that profile, whichever way the revert reopens
// the browser's windows; a window of the default profile is asked for plainly.
TEST_F(RevertStepsTest, SavedWindowsGoBackIntoTheirOwnProfiles) {
    const QString inProfile = QStringLiteral(
        "make new window with properties {user data dir:\"/home/me/work\", profile directory:\"Profile 1\"}");
    AppSnapshot saved = browser({{QRectF(40, 60, 800, 600), {"https://work.org/"}},
                                 {QRectF(300, 200, 800, 600), {"https://home.org/"}}});
    saved.windowSnapshots[0].browserProfile =
        BrowserProfile{QStringLiteral("/home/me/work"), QStringLiteral("Profile 1")};
    const auto count = [](const QStringList& scripts, const QString& text) {
        return std::count_if(scripts.begin(), scripts.end(),
                             [&](const QString& s) { return s.contains(text); });
    };
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running ? "running" : "reopened");
        ScriptedDesktop d;
        d.addScreen();
        SimulatedDesktop::InstalledApp installed;
        installed.bundleIdentifier = kChrome;
        installed.name = "Google Chrome";
        d.desktop().installApplication(installed);
        std::optional<AppRestoreResult> result;
        if (running) {
            const qint32 pid = d.addApp(kChrome, "Google Chrome");
            d.addBrowserWindow(pid, {"https://elsewhere.org/*"});
            const RunningApplication app = *d.platform().runningApplications->application(pid);
            result = d.clock().runUntilDone(RevertSteps::restoreBrowserState(app, saved, {}));
        } else {
            result = d.clock().runUntilDone(RevertSteps::reopenBrowser(saved));
        }
        ASSERT_TRUE(result) << d.clock().lastFailure().toStdString();
        const QStringList& scripts = d.host().executedScripts();
        EXPECT_EQ(count(scripts, "make new window"), 2);
        EXPECT_EQ(count(scripts, inProfile), 1) << scripts.join("\n---\n").toStdString();
    }
}

// The folder windows the restore opened close, as far as the folders shown before it are known.
TEST_F(RevertStepsTest, FolderWindowsTheRestoreOpenedCloseWhereTheFoldersBeforeAreKnown) {
    const auto finder = [](const QStringList& folders) {
        AppSnapshot app;
        app.bundleIdentifier = "com.apple.finder";
        app.appName = "Finder";
        for (const QString& folder : folders) {
            WindowSnapshot window;
            window.frame = {300, 400, 760, 420};
            window.documentURL = folder.isEmpty() ? std::nullopt : std::optional("file://" + folder + "/");
            app.windowSnapshots << window;
        }
        return app;
    };
    const struct {
        const char* name;
        // The folders the windows before the restore showed; an empty one: not known.
        QStringList before;
        bool closes;
        // Nothing when the revert leaves the folder windows alone.
        std::optional<RestoreStatus> status;
    } rows[] = {
        {"the folder window the restore opened closes", {"/home/me/Project"}, true, RestoreStatus::restored},
        {"no folder window before: those the restore opened close", {}, true, RestoreStatus::restored},
        {"no folder known: the folder windows stay", {""}, true, std::nullopt},
        {"a folder window that will not close",
         {"/home/me/Project"},
         false,
         RestoreStatus::partiallyRestored},
    };
    host().addFolder("/home/me/Project");
    host().addFolder("/home/me/Holiday");
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const qint32 pid = addApp("com.apple.finder", "Finder");
        host().setFolder(addWindow(pid, QRectF(300, 400, 760, 420)), "/home/me/Project");
        const quint32 opened = addWindow(pid, QRectF(340, 440, 760, 420));
        host().setFolder(opened, "/home/me/Holiday");
        if (!r.closes) {
            host().setBehaviour(
                "Finder",
                SimulatedScriptHost::failure(-10000, "Can't close.").at("close (every window whose target"));
        }
        const auto result = clock().runUntilDone(RevertSteps::restoreFolderWindows(
            finder(r.before), finder({"/home/me/Project", "/home/me/Holiday"})));
        ASSERT_TRUE(result) << clock().lastFailure().toStdString();
        EXPECT_EQ(*result ? std::optional((*result)->status) : std::nullopt, r.status);
        EXPECT_EQ(desktop().window(opened) != nullptr, r.status != RestoreStatus::restored);
        host().setBehaviour("Finder", std::nullopt);
        desktop().removeApplication(pid);
    }
}

} // namespace
