#include "Services/Restore/WorkspaceRestorer.h"

#include "RestoreFixture.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Restore/RestoreBounds.h"
#include "Services/Restore/RestorePlanner.h"
#include "Services/Storage/SettingsManager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const QString kEditor = "org.example.Editor";
const QString kChrome = "com.google.Chrome";
const QString kFinder = "com.apple.finder";
const QString kTerminal = "com.apple.Terminal";
const QString kMusic = "org.example.Music";

// A desk of five applications, front to back: an editor with a document, a browser with two
// windows of tabs, the file manager with two folders, a terminal in a folder, and a hidden player.
class WorkspaceRestorerTest : public RestoreFixture {
protected:
    WorkspaceRestorerTest() {
        QDir(files.path()).mkpath("project");
        QDir(files.path()).mkpath("docs");
        QFile(files.filePath("notes.txt")).open(QIODevice::WriteOnly);
        host().addFolder(files.filePath("project"));
        host().addFolder(files.filePath("docs"));
    }
    ~WorkspaceRestorerTest() override { SettingsManager().setExcludedAppBundleIDs({}); }

    QString url(const QString& name) { return QUrl::fromLocalFile(files.filePath(name)).toString(); }

    // Builds the desk (back to front) and saves it as a workspace.
    Workspace buildDesk() {
        const qint32 music = addApp(kMusic, {QRectF(200, 200, 700, 500)}, {"Library"});
        desktop().setHidden(music, true);
        const qint32 terminal = addApp(kTerminal, "Terminal");
        desktop().updateWindow(addWindow(terminal, QRectF(620, 480, 720, 380), "project"),
                               [this](auto& w) { w.document = url("project"); });
        const qint32 finder = addApp(kFinder, "Finder");
        host().setFolder(addWindow(finder, QRectF(300, 400, 760, 420)), files.filePath("project"));
        host().setFolder(addWindow(finder, QRectF(350, 450, 700, 400)), files.filePath("docs"));
        const qint32 chrome = addApp(kChrome, "Google Chrome");
        addBrowserWindow(chrome, {"https://example.org/mail*"}, QRectF(700, 60, 700, 600));
        addBrowserWindow(chrome, {"https://example.org/a", "https://example.org/b*"},
                         QRectF(200, 90, 1000, 700));
        const qint32 editor = addApp(kEditor, "Editor");
        desktop().updateWindow(addWindow(editor, QRectF(80, 60, 900, 700), "notes.txt"),
                               [this](auto& w) { w.document = url("notes.txt"); });
        desktop().setFrontmost(editor);

        SimulatedDesktop::InstalledApp installed;
        installed.bundleIdentifier = kEditor;
        installed.name = "Editor";
        installed.launchDelay = Clock::Duration(700);
        installed.windowDelay = Clock::Duration(400);
        desktop().installApplication(installed);
        return capture();
    }
    Workspace capture() {
        std::optional<Workspace> saved = run(WorkspaceCapturer::capture("Desk"));
        EXPECT_TRUE(saved.has_value());
        return saved.value_or(Workspace{});
    }
    // Moves, minimises and restacks the desk, quits the editor and starts two unrelated apps.
    void scramble() {
        const qint32 chrome = desktop().findApplication(kChrome)->pid;
        desktop().updateWindow(windowOf(chrome, 1), [](auto& w) { w.minimized = true; });
        const qint32 terminal = desktop().findApplication(kTerminal)->pid;
        desktop().updateWindow(windowOf(terminal), [](auto& w) { w.frame = QRectF(10, 40, 500, 300); });
        desktop().raiseWindow(windowOf(terminal));
        const qint32 finder = desktop().findApplication(kFinder)->pid;
        desktop().removeWindow(windowOf(finder, 1));
        desktop().updateWindow(windowOf(finder), [](auto& w) { w.frame.translate(400, 200); });
        desktop().removeApplication(desktop().findApplication(kEditor)->pid);
        unrelated = addApp("org.example.Unrelated", {QRectF(0, 30, 600, 400)});
        excluded = addApp("org.example.Excluded", {QRectF(30, 60, 600, 400)});
        desktop().setFrontmost(unrelated);
        SettingsManager().setExcludedAppBundleIDs({"org.example.Excluded"});
    }
    RestoreReport restore(const Workspace& w, bool closeOtherApps = false,
                          std::shared_ptr<RestoreRequest> request = {}) {
        return run(WorkspaceRestorer::restore(w, closeOtherApps, std::move(request)));
    }
    // Every saved window of the workspace has a live window of its application within 50 points.
    void expectWindowsInPlace(const Workspace& w) {
        for (const AppSnapshot& app : w.appSnapshots) {
            const SimulatedDesktop::Application* live = desktop().findApplication(app.bundleIdentifier);
            ASSERT_NE(live, nullptr) << app.bundleIdentifier.toStdString();
            for (const WindowSnapshot& saved : app.windowSnapshots) {
                const QRectF target(saved.frame.x, saved.frame.y, saved.frame.width, saved.frame.height);
                const QList<quint32> windows = desktop().windowsOf(live->pid);
                EXPECT_TRUE(std::any_of(windows.begin(), windows.end(),
                                        [&](quint32 n) {
                                            const SimulatedDesktop::Window* window = desktop().window(n);
                                            return !window->minimized &&
                                                   std::abs(window->frame.x() - target.x()) <= 50 &&
                                                   std::abs(window->frame.y() - target.y()) <= 50 &&
                                                   std::abs(window->frame.width() - target.width()) <= 50 &&
                                                   std::abs(window->frame.height() - target.height()) <= 50;
                                        }))
                    << app.bundleIdentifier.toStdString() << " "
                    << saved.windowTitle.value_or("").toStdString();
            }
        }
    }
    QStringList appOrder() { return RestorePlanner::captureCurrentZOrder(desktop().runningApplications()); }
    static QStringList reasons(const RestoreReport& report) {
        QStringList lines;
        for (const AppRestoreResult& r : report.appResults) {
            lines << r.appName + ": " + RestoreStatusText::rawValue(r.status) + " — " + r.reason;
        }
        return lines;
    }
    int scriptsContaining(const QString& text) {
        return int(std::count_if(host().executedScripts().begin(), host().executedScripts().end(),
                                 [&](const QString& s) { return s.contains(text); }));
    }

    QTemporaryDir files;
    qint32 unrelated = 0;
    qint32 excluded = 0;
};

TEST_F(WorkspaceRestorerTest, WithoutPermissionTouchesNothingAndSaysWhy) {
    const qint32 pid = addApp(kEditor, {QRectF(400, 300, 600, 400)});
    desktop().setTrusted(false);
    const RestoreReport report =
        restore(workspace({savedApp(kEditor, {savedWindow(QRectF(100, 100, 800, 600))})}));
    EXPECT_EQ(report.status, RestoreStatus::skipped);
    EXPECT_EQ(report.appResults,
              QList<AppRestoreResult>{(AppRestoreResult{
                  "", "", RestoreStatus::skipped, "Accessibility permission not granted", {}})});
    EXPECT_EQ(report.summary(), "Accessibility permission not granted");
    EXPECT_EQ(prompts().shownAlerts().size(), 1);
    EXPECT_EQ(frameOf(windowOf(pid)), QRectF(400, 300, 600, 400));
    EXPECT_TRUE(restorerLines().isEmpty());
}

TEST_F(WorkspaceRestorerTest, PutsAScrambledDeskBack) {
    const Workspace saved = buildDesk();
    ASSERT_EQ(saved.appSnapshots.size(), 5);
    scramble();
    const RestoreReport report = restore(saved);
    expectWindowsInPlace(saved);
    EXPECT_EQ(appOrder().mid(0, 4), QStringList({kEditor, kChrome, kFinder, kTerminal}));
    EXPECT_TRUE(desktop().findApplication(kMusic)->hidden);
    EXPECT_TRUE(desktop().application(unrelated)->hidden);
    EXPECT_TRUE(desktop().application(excluded)->hidden);
    EXPECT_EQ(reasons(report), QStringList({"Editor: restored — All 1 windows restored",
                                            "Google Chrome: restored — All 2 windows restored",
                                            "Finder: restored — All 2 windows restored",
                                            "Terminal: restored — All 1 windows restored",
                                            "Music: restored — Already in correct state (optimized skip)"}));
    EXPECT_EQ(report.status, RestoreStatus::restored);
    EXPECT_EQ(report.summary(), "Workspace restored");
    EXPECT_GT(report.duration, 0.7);
    EXPECT_TRUE(restorerLines().contains("hideAppsNotInWorkspace: hiding 2 app(s): Unrelated, Excluded"));
}

TEST_F(WorkspaceRestorerTest, QuitsOtherAppsButOnlyHidesExcludedOnes) {
    const Workspace saved = buildDesk();
    scramble();
    restore(saved, true);
    EXPECT_EQ(desktop().application(unrelated), nullptr);
    EXPECT_TRUE(desktop().application(excluded)->hidden);
    EXPECT_TRUE(restorerLines().contains("closeAppsNotInWorkspace: terminating 1 app(s): Unrelated"));
}

TEST_F(WorkspaceRestorerTest, TakesTheShortPathOnAnArrangedDesk) {
    Workspace saved = buildDesk();
    // The editor's window is on a virtual desktop not shown, where it was saved: out of sight, but
    // shown there, it needs no bringing forward.
    const quint32 editorWindow = windowOf(desktop().findApplication(kEditor)->pid);
    desktop().updateWindow(editorWindow, [](auto& w) {
        w.onScreen = false;
        w.faults.readOverrides.insert("AXSpaceIndex", AXResult::success(AXValue::number(1)));
    });
    saved.appSnapshots.first().windowSnapshots.first().spaceIndex = 1;
    const int scriptsBefore = int(host().executedScripts().size());
    const RestoreReport report = restore(saved);
    for (const AppRestoreResult& app : report.appResults) {
        EXPECT_EQ(app.reason, "Already in correct state (optimized skip)") << app.appName.toStdString();
    }
    EXPECT_EQ(report.status, RestoreStatus::restored);
    EXPECT_EQ(elapsedMs(), 0);
    const QStringList lines = restorerLines();
    EXPECT_FALSE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.startsWith("applyGeometry") || l.startsWith("launchApp");
    }));
    // Only the plan's reads: the browser's tabs and the file manager's folders.
    EXPECT_EQ(host().executedScripts().size() - scriptsBefore, 2);
}

TEST_F(WorkspaceRestorerTest, ReportsAnAppThatCannotBeLaunched) {
    const Workspace saved =
        workspace({savedApp("org.example.Missing", {savedWindow(QRectF(0, 30, 400, 300))})});
    const RestoreReport report = restore(saved);
    EXPECT_EQ(reasons(report), QStringList{"Missing: failed — App could not be launched or found"});
    EXPECT_EQ(report.status, RestoreStatus::failed);
    EXPECT_EQ(report.summary(), "App could not be launched or found");
}

// A workspace that lists more than any desktop holds starts no more than one restore may, all its
// passes together: the windows of an application past its bound are left out, and what the restore
// would start past its bound of programs and windows is not started; the report says so of each.
TEST_F(WorkspaceRestorerTest, StartsNoMoreThanOneRestoreMayAndSaysSo) {
    // A terminal that runs one process per window, saved with 10,000 windows.
    SimulatedDesktop::InstalledApp term;
    term.bundleIdentifier = "org.example.Term";
    term.name = "Term";
    term.launchDelay = Clock::Duration(300);
    term.windowDelay = Clock::Duration(400);
    SimulatedDesktop::Window first;
    first.frame = QRectF(40, 60, 500, 300);
    first.title = "term";
    term.windowsOnLaunch = {first};
    term.newWindow = first;
    desktop().installApplication(term);
    QList<WindowSnapshot> terminals;
    for (int i = 0; i < 10000; ++i) {
        terminals.append(
            savedWindow(QRectF(40 + i % 50, 60 + i % 40, 500, 300), "t" + QString::number(i), i));
    }
    const qsizetype bound = RestoreBounds::windowsPerApplication;
    const int starts = RestoreBounds::startsPerRestore;
    struct Case {
        const char* what;
        // Programs beside the terminal, each saved with one window.
        int tools;
        // New windows the terminal is asked for, and tools started.
        int requests;
        int started;
        // The first saved windows of the terminal, open before the restore (away from their
        // frames): they are placed, and count against no bound.
        int open = 0;
        // A browser that does not run stands in for the terminal, saved with as many windows (one
        // tab each); its requests are the windows it is asked to make.
        bool browser = false;
    };
    QList<WindowSnapshot> pages = terminals;
    for (WindowSnapshot& window : pages) {
        window.tabSnapshots = {TabSnapshot{
            QUuid::createUuid(), "https://example.org/" + window.windowTitle.value_or(""), "p", true}};
    }
    SimulatedDesktop::InstalledApp chrome;
    chrome.bundleIdentifier = "com.google.Chrome";
    chrome.name = "Google Chrome";
    desktop().installApplication(chrome);
    for (const Case& c :
         {Case{"the terminal alone", 0, int(bound) - 1, 0}, Case{"beside 200 programs", 200, 0, starts - 1},
          Case{"with 300 of its windows open", 0, int(bound), 0, 300},
          Case{"a browser beside 200 programs", 200, int(bound), starts - int(bound), 0, true}}) {
        SCOPED_TRACE(c.what);
        if (c.open > 0) {
            SimulatedDesktop::Application running;
            running.bundleIdentifier = "org.example.Term";
            running.name = "Term";
            const qint32 pid = desktop().addApplication(running);
            for (int i = 0; i < c.open; ++i) {
                SimulatedDesktop::Window window;
                window.frame = QRectF(600 + i % 30, 300 + i % 20, 500, 300);
                window.title = "t" + QString::number(i);
                desktop().addWindow(pid, window);
            }
        }
        const qsizetype planned = c.open + bound;
        QList<AppSnapshot> apps{c.browser ? savedApp("com.google.Chrome", pages)
                                          : savedApp("org.example.Term", terminals)};
        for (int i = 0; i < c.tools; ++i) {
            const QString id = "org.example.Tool" + QString::number(i);
            install(id, {QRectF(100, 100, 400, 300)});
            apps.append(savedApp(id, {savedWindow(QRectF(100, 100, 400, 300), "Tool", 0)}));
        }
        const auto requests = [this, &c] {
            return c.browser ? int(host().executedScripts().filter("make new window").size())
                             : desktop().newWindowRequests("org.example.Term");
        };
        const int before = requests();
        RevertStateManager revertStates;
        RestoreCoordinator coordinator(WorkspaceRestorer::restore, &revertStates);
        const RestoreRun restoreRun = run(coordinator.restoreRun(workspace(apps), false));
        ASSERT_EQ(restoreRun.passes.size(), RestoreCoordinator::restoreAttempts);
        const RestoreReport& report = restoreRun.report;
        EXPECT_EQ(requests() - before, c.requests);
        int started = 0;
        for (const RunningApplication& app : desktop().runningApplications()) {
            started += app.bundleIdentifier.value_or("").startsWith("org.example.Tool") ? 1 : 0;
        }
        EXPECT_EQ(started, c.started);

        ASSERT_EQ(report.appResults.size(), apps.size());
        const AppRestoreResult& terminal = report.appResults.first();
        EXPECT_EQ(terminal.status, RestoreStatus::partiallyRestored);
        EXPECT_TRUE(terminal.reason.endsWith(RestoreBounds::windowsLeftOut(10000 - planned)))
            << terminal.reason.toStdString();
        EXPECT_EQ(terminal.windowsLeftOut, 10000 - planned);
        ASSERT_EQ(terminal.windowResults.size(), planned);
        // The launch window (or those open), and one per request; the others were not asked for.
        const int shown = (c.browser ? 0 : std::max(1, c.open)) + c.requests;
        for (qsizetype i = 0; i < planned; ++i) {
            EXPECT_EQ(terminal.windowResults[i].status,
                      i < shown ? RestoreStatus::restored : RestoreStatus::failed)
                << i;
            if (i >= shown) {
                EXPECT_EQ(terminal.windowResults[i].reason, RestoreBounds::startsRefusal()) << i;
            }
        }
        for (int i = 0; i < c.tools; ++i) {
            const AppRestoreResult& tool = report.appResults[i + 1];
            EXPECT_EQ(tool.status, i < c.started ? RestoreStatus::restored : RestoreStatus::failed) << i;
            if (i >= c.started) {
                EXPECT_EQ(tool.reason, RestoreBounds::startsRefusal()) << i;
            }
        }
        for (const RunningApplication& app : desktop().runningApplications()) {
            desktop().removeApplication(app.processIdentifier);
        }
    }
    // A run of the engine that is no pass of a request is a restore of its own, with a whole
    // allowance: 100 programs start each time.
    QList<AppSnapshot> tools;
    for (int i = 0; i < 100; ++i) {
        tools.append(savedApp("org.example.Tool" + QString::number(i),
                              {savedWindow(QRectF(100, 100, 400, 300), "Tool", 0)}));
    }
    for (int again = 0; again < 2; ++again) {
        SCOPED_TRACE(again);
        EXPECT_EQ(restore(workspace(tools)).status, RestoreStatus::restored);
        for (const RunningApplication& app : desktop().runningApplications()) {
            desktop().removeApplication(app.processIdentifier);
        }
    }
}

TEST_F(WorkspaceRestorerTest, PlacesWindowsOfAMissingDisplayOnTheRemainingScreen) {
    Screen second;
    second.displayNumber = 2;
    second.identity = QUuid::fromString(QStringLiteral("22222222-2222-3333-4444-555555555555"));
    second.frame = QRectF(1440, 0, 1920, 1080);
    second.visibleFrame = second.frame;
    second.localizedName = "Studio";
    desktop().addScreen(second);
    const qint32 pid = addApp("org.example.Editor", {QRectF(1600, 100, 800, 600)}, {"Doc"});
    Workspace saved = capture();
    desktop().removeScreen(2);
    desktop().updateWindow(windowOf(pid), [](auto& w) { w.frame = QRectF(100, 100, 800, 600); });
    DisplaySnapshot gone = saved.displaySnapshots.last();
    gone.uuid = "33333333-2222-3333-4444-555555555555";
    gone.localizedName.reset();
    saved.displaySnapshots.append(gone);
    // A display saved without an identity cannot be told missing: it only counts.
    DisplaySnapshot unknown = gone;
    unknown.uuid.reset();
    unknown.localizedName = "Projector";
    saved.displaySnapshots.append(unknown);

    const RestoreReport report = restore(saved);
    EXPECT_EQ(report.missingDisplays, QStringList({"Studio", "Unknown Display"}));
    EXPECT_EQ(report.displayMappingNotes, QStringList({"Missing displays: Studio, Unknown Display",
                                                       "Display count changed: saved=4, current=1"}));
    EXPECT_EQ(report.status, RestoreStatus::partiallyRestored);
    EXPECT_EQ(frameOf(windowOf(pid)), QRectF(640, 100, 800, 600)); // kept on the remaining screen
}

TEST_F(WorkspaceRestorerTest, ListsAppsInWorkspaceOrderWhateverOrderTheyFinish) {
    for (const auto& [id, delay] :
         QList<std::pair<QString, int>>{{"org.example.A", 2000}, {"org.example.B", 4000}}) {
        install(id, {QRectF(100, 100, 600, 400)}, Clock::Duration(delay));
    }
    addApp("org.example.C", {QRectF(500, 100, 600, 400)});
    const RestoreReport report =
        restore(workspace({savedApp("org.example.A", {savedWindow(QRectF(100, 100, 600, 400))}),
                           savedApp("org.example.B", {savedWindow(QRectF(300, 100, 600, 400))}),
                           savedApp("org.example.C", {savedWindow(QRectF(500, 100, 600, 400))})}));
    QStringList order;
    for (const AppRestoreResult& r : report.appResults) {
        order << r.appName;
    }
    EXPECT_EQ(order, QStringList({"A", "B", "C"}));

    // One application listed twice: the entry with a window to move ends last, and is listed first.
    const qint32 editor =
        addApp(kEditor, {QRectF(400, 300, 600, 400), QRectF(300, 200, 600, 400)}, {"Mail", "Notes"});
    const RestoreReport twice =
        restore(workspace({savedApp(kEditor, {savedWindow(QRectF(100, 100, 600, 400), "Mail", 0)}),
                           savedApp(kEditor, {savedWindow(QRectF(300, 200, 600, 400), "Notes", 1)})}));
    ASSERT_EQ(twice.appResults.size(), 2);
    EXPECT_EQ(twice.appResults[0].windowResults.value(0).windowTitle, "Mail");
    EXPECT_TRUE(twice.appResults[1].foundInSavedState);
    EXPECT_EQ(frameOf(windowOf(editor, 0)), QRectF(100, 100, 600, 400));
}

// An application saved twice: the stacking order raises its windows by the later entry's list, so
// the first window of that list ends in front.
TEST_F(WorkspaceRestorerTest, ARepeatedApplicationIsRaisedByItsLaterWindowList) {
    const qint32 editor =
        addApp(kEditor, {QRectF(100, 100, 600, 400), QRectF(300, 200, 600, 400)}, {"Mail", "Notes"});
    const qint32 other = addApp("org.example.Other", {QRectF(500, 300, 800, 600)}, {"Front"});
    desktop().raiseWindow(windowOf(other));
    desktop().setFrontmost(other);
    const WindowSnapshot mail = savedWindow(QRectF(100, 100, 600, 400), "Mail", 0);
    const WindowSnapshot notes = savedWindow(QRectF(300, 200, 600, 400), "Notes", 1);
    for (const auto& [later, front] : {std::pair(QList{notes, mail}, 1), std::pair(QList{mail, notes}, 0)}) {
        desktop().raiseWindow(windowOf(other));
        desktop().setFrontmost(other);
        restore(
            workspace({savedApp(kEditor, {mail, notes}), savedApp(kEditor, later),
                       savedApp("org.example.Other", {savedWindow(QRectF(500, 300, 800, 600), "Front")})}));
        EXPECT_EQ(windowsFrontToBack(editor).value(0), windowOf(editor, front));
    }
}

TEST_F(WorkspaceRestorerTest, StopsAtEachCancellationPoint) {
    // Before the applications: nothing is restored and nothing else is touched.
    const qint32 other = addApp("org.example.Other", {QRectF(0, 30, 400, 300)});
    const qint32 moved = addApp("org.example.Moved", {QRectF(400, 300, 600, 400)});
    install("org.example.Slow", {QRectF(100, 100, 600, 400)}, Clock::Duration(3000));
    const Workspace saved =
        workspace({savedApp("org.example.Moved", {savedWindow(QRectF(100, 100, 600, 400))}),
                   savedApp("org.example.Slow", {savedWindow(QRectF(300, 200, 600, 400))})});
    const auto stopped = std::make_shared<RestoreRequest>();
    stopped->requestStop();
    const RestoreReport before = restore(saved, false, stopped);
    EXPECT_EQ(before.status, RestoreStatus::cancelled);
    EXPECT_TRUE(before.appResults.isEmpty());
    EXPECT_EQ(frameOf(windowOf(moved)), QRectF(400, 300, 600, 400));
    EXPECT_FALSE(desktop().application(other)->hidden);

    // While the applications are restored: the one done is reported, the slow one is dropped once it
    // has wound down, and neither the stacking order nor the other applications are touched.
    const auto stopping = std::make_shared<RestoreRequest>();
    const qint64 start = elapsedMs();
    const ClockTimer cancel =
        clock().startTimer(Clock::Duration(1000), false, [stopping] { stopping->requestStop(); });
    const RestoreReport during = restore(saved, false, stopping);
    EXPECT_EQ(during.status, RestoreStatus::cancelled);
    EXPECT_EQ(reasons(during), QStringList{"Moved: restored — All 1 windows restored"});
    EXPECT_FALSE(desktop().application(other)->hidden);
    EXPECT_LT(elapsedMs() - start, 1500);
    EXPECT_EQ(during.summary(), "Restore cancelled");
}

} // namespace
