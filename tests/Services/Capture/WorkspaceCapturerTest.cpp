#include "Services/Capture/WorkspaceCapturer.h"

#include "Platform/Simulated/SimulatedScene.h"
#include "Services/Desktop/WindowMatcher.h"
#include "Services/Scripting/BrowserScriptService.h"
#include "Services/Scripting/FinderScriptService.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Services/Storage/CapturedPrograms.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/ScriptedDesktop.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Runs captures on a simulated desktop with one screen, with an analysis-log session open so
// the capture's lines can be read back.
class WorkspaceCapturerTest : public ::testing::Test {
protected:
    WorkspaceCapturerTest() {
        Screen screen;
        screen.displayNumber = 1;
        screen.identity = QUuid("{37D8832A-2D66-02CA-B9F7-8F30A301B230}");
        screen.frame = QRectF(0, 0, 1440, 900);
        screen.visibleFrame = QRectF(0, 0, 1440, 875);
        screen.localizedName = "Built-in Display";
        d.desktop().setScreens({screen});
        AnalysisLogger::shared().beginSession(Workspace{});
    }
    ~WorkspaceCapturerTest() override { AnalysisLogger::shared().endSession(std::nullopt); }

    std::optional<Workspace> capture(const QString& name = "Test") {
        auto result = d.clock().runUntilDone(WorkspaceCapturer::capture(name));
        EXPECT_TRUE(result.has_value()) << d.clock().lastFailure().toStdString();
        return result.value_or(std::nullopt);
    }

    qint32 addApp(const QString& bundleID, ActivationPolicy policy = ActivationPolicy::Regular,
                  bool hidden = false) {
        SimulatedDesktop::Application app;
        app.bundleIdentifier = bundleID;
        app.name = bundleID.section('.', -1);
        app.activationPolicy = policy;
        app.hidden = hidden;
        return d.desktop().addApplication(app);
    }

    QStringList logLines() const {
        QStringList lines;
        for (const auto& entry : AnalysisLogger::shared().entries()) {
            if (entry.tag == QLatin1String("WorkspaceCapturer")) {
                lines << entry.message;
            }
        }
        return lines;
    }

    static QStringList order(const Workspace& w) {
        QStringList ids;
        for (const AppSnapshot& app : w.appSnapshots) {
            ids << app.bundleIdentifier;
        }
        return ids;
    }

    ScriptedDesktop d;
};

} // namespace

TEST_F(WorkspaceCapturerTest, KeepsRegularApplicationsFrontToBack) {
    const qint32 dock = addApp("com.apple.dock");
    const qint32 self = addApp("com.tremmick.ordella");
    const qint32 agent = addApp("org.example.Agent", ActivationPolicy::Accessory);
    const qint32 a = addApp("org.example.A");
    const qint32 b = addApp("org.example.B");
    const qint32 c = addApp("org.example.C");
    const qint32 hiddenApp = addApp("org.example.Hidden", ActivationPolicy::Regular, true);
    // Added windows go to the front, so add back to front.
    d.addWindow(c, QRectF(0, 25, 900, 700), "C main");
    d.addWindow(a, QRectF(0, 25, 900, 700), "A main");
    d.addWindow(b, QRectF(0, 25, 900, 700), "B main");
    d.addWindow(c, QRectF(0, 25, 150, 600), "C palette"); // too narrow to rank C
    d.addWindow(dock, QRectF(0, 850, 1440, 50), "Dock");
    d.addWindow(self, QRectF(0, 25, 400, 400), "Ordella");
    d.addWindow(agent, QRectF(0, 25, 400, 400), "Agent");
    const quint32 hiddenWindow = d.addWindow(hiddenApp, QRectF(0, 25, 600, 600), "Hidden window");
    d.desktop().updateWindow(hiddenWindow, [](auto& w) { w.onScreen = false; });

    const auto captured = capture("Morning");
    ASSERT_TRUE(captured);
    EXPECT_EQ(captured->name, "Morning");
    EXPECT_EQ(order(*captured),
              (QStringList{"org.example.B", "org.example.A", "org.example.C", "org.example.Hidden"}));
    EXPECT_TRUE(captured->appSnapshots[3].isHidden);
    EXPECT_EQ(captured->appSnapshots[3].windowSnapshots.size(), 1);
    EXPECT_EQ(captured->appSnapshots[2].windowSnapshots.size(), 2);
    ASSERT_EQ(captured->displaySnapshots.size(), 1);
    EXPECT_EQ(captured->displaySnapshots[0].uuid,
              std::optional<QString>("37D8832A-2D66-02CA-B9F7-8F30A301B230"));
    EXPECT_EQ(captured->createdAt, d.clock().wallNow());
    EXPECT_FALSE(captured->closeOtherApps);
    EXPECT_TRUE(captured->triggers.isEmpty());

    const QStringList lines = logLines();
    EXPECT_EQ(lines.first(), "Starting capture for workspace: Morning");
    EXPECT_TRUE(lines.contains("Accessibility granted"));
    EXPECT_TRUE(lines.contains(
        R"(Found 4 running apps: ["org.example.A", "org.example.B", "org.example.C", "org.example.Hidden"])"));
    EXPECT_TRUE(lines.contains("z-order: skipping small window for org.example.C: C palette (150x600)"));
    EXPECT_TRUE(lines.contains("Capturing app: Hidden (org.example.Hidden) alreadyRunning=true hidden=true"));
    EXPECT_TRUE(lines.contains("  Windows captured: 2"));
    EXPECT_TRUE(lines.contains("C isHidden=false windows=2"));
    EXPECT_TRUE(lines.contains("Displays captured: 1"));
    EXPECT_EQ(lines.last(), "Capture complete: 4 apps, 5 windows total");
}

TEST_F(WorkspaceCapturerTest, WithoutAWindowListApplicationsKeepRunningOrder) {
    const qint32 a = addApp("org.example.A");
    const qint32 b = addApp("org.example.B");
    d.addWindow(a, QRectF(0, 25, 900, 700), "A");
    d.addWindow(b, QRectF(0, 25, 900, 700), "B");
    d.desktop().setWindowListFails(true);
    const auto captured = capture();
    ASSERT_TRUE(captured);
    EXPECT_EQ(order(*captured), (QStringList{"org.example.A", "org.example.B"}));
    EXPECT_TRUE(logLines().contains("App z-order (front-to-back): [:]"));
}

TEST_F(WorkspaceCapturerTest, WithoutPermissionShowsTheAlertAndCapturesNothing) {
    addApp("org.example.A");
    d.desktop().setTrusted(false);
    EXPECT_FALSE(capture("Nope"));
    EXPECT_EQ(d.prompts().shownAlerts().size(), 1);
    EXPECT_EQ(logLines(), (QStringList{"Starting capture for workspace: Nope",
                                       "Accessibility NOT granted, aborting capture"}));
}

TEST_F(WorkspaceCapturerTest, NoRegularApplicationsGivesOnlyDisplays) {
    addApp("com.apple.SystemUIServer");
    addApp("com.apple.controlcenter");
    addApp("com.apple.notificationcenterui");
    const auto captured = capture();
    ASSERT_TRUE(captured);
    EXPECT_TRUE(captured->appSnapshots.isEmpty());
    EXPECT_EQ(captured->displaySnapshots.size(), 1);
    EXPECT_TRUE(logLines().contains("Found 0 running apps: []"));
}

TEST_F(WorkspaceCapturerTest, BrowserTabsFollowTheirWindows) {
    const qint32 chrome = addApp("com.google.Chrome");
    d.desktop().application(chrome)->name = "Google Chrome";
    d.addBrowserWindow(chrome, {"https://docs.example/", "https://mail.example/*"}, QRectF(0, 25, 800, 600));
    d.addBrowserWindow(chrome, {"https://news.example/*"}, QRectF(100, 100, 900, 700));
    const auto captured = capture();
    ASSERT_TRUE(captured);
    const AppSnapshot& browser = captured->appSnapshots[0];
    ASSERT_EQ(browser.windowSnapshots.size(), 2);
    for (const WindowSnapshot& window : browser.windowSnapshots) {
        // Whatever the order of the two lists, each window holds the tabs shown in it.
        ASSERT_FALSE(window.tabSnapshots.isEmpty());
        const QString active = window.frame.width == 800 ? "https://mail.example/" : "https://news.example/";
        bool found = false;
        for (const TabSnapshot& tab : window.tabSnapshots) {
            found = found || (tab.isActive && tab.url == active);
        }
        EXPECT_TRUE(found) << window.windowTitle.value_or("?").toStdString();
    }
    EXPECT_TRUE(logLines().contains("  Tab windows returned: 2"));
}

TEST_F(WorkspaceCapturerTest, BrowserThatDoesNotAnswerKeepsWindowsWithoutTabs) {
    const qint32 chrome = addApp("com.google.Chrome");
    d.desktop().application(chrome)->name = "Google Chrome";
    d.addBrowserWindow(chrome, {"https://a.example/*"}, QRectF(0, 25, 800, 600));
    d.addBrowserWindow(chrome, {"https://b.example/*"}, QRectF(0, 25, 800, 600));
    d.host().setBehaviour("Google Chrome", SimulatedScriptHost::failure(-1728, "Can't get window."));
    const auto captured = capture();
    ASSERT_TRUE(captured);
    ASSERT_EQ(captured->appSnapshots[0].windowSnapshots.size(), 2);
    EXPECT_TRUE(captured->appSnapshots[0].windowSnapshots[0].tabSnapshots.isEmpty());
    EXPECT_TRUE(logLines().contains(
        "  WARNING: Tab window count (0) != AX window count (2), using index correlation"));
}

// More windows than the browser's script lists (a picture-in-picture window is no browser window):
// the tab windows go to the windows at their own positions, whatever the titles say.
TEST_F(WorkspaceCapturerTest, FewerTabWindowsThanWindowsPairByPosition) {
    const qint32 chrome = addApp("com.google.Chrome");
    d.desktop().application(chrome)->name = "Google Chrome";
    d.addBrowserWindow(chrome, {"https://b.example/*"}, QRectF(200, 200, 800, 600));
    const quint32 floating = d.addWindow(chrome, QRectF(900, 500, 320, 180), "Picture in Picture");
    d.desktop().updateWindow(floating, [](auto& w) { w.subrole = "AXFloatingWindow"; });
    d.addBrowserWindow(chrome, {"https://a.example/*"}, QRectF(0, 25, 800, 600));
    const auto captured = capture();
    ASSERT_TRUE(captured);
    QList<QStringList> tabs;
    for (const WindowSnapshot& window : captured->appSnapshots[0].windowSnapshots) {
        tabs << QStringList();
        for (const TabSnapshot& tab : window.tabSnapshots) {
            tabs.last() << tab.url;
        }
    }
    EXPECT_EQ(tabs, (QList<QStringList>{{"https://a.example/"}, {"https://b.example/"}, {}}));
    EXPECT_TRUE(logLines().contains(
        "  WARNING: Tab window count (2) != AX window count (3), using index correlation"));
}

TEST_F(WorkspaceCapturerTest, FinderWindowsTakeTheirFoldersOrLeave) {
    const qint32 finder = addApp("com.apple.finder");
    const quint32 projects = d.addWindow(finder, QRectF(300, 400, 760, 420), "Projects");
    d.host().setFolder(projects, "/home/demo/Projects/");
    const quint32 search = d.addWindow(finder, QRectF(200, 300, 700, 400), "Searching “This Mac”");
    d.host().setFolder(search, std::nullopt);
    const auto captured = capture();
    ASSERT_TRUE(captured);
    const AppSnapshot& app = captured->appSnapshots[0];
    ASSERT_EQ(app.windowSnapshots.size(), 1);
    EXPECT_EQ(app.windowSnapshots[0].documentURL, std::optional<QString>("/home/demo/Projects/"));
    const QStringList lines = logLines();
    EXPECT_TRUE(lines.contains("Finder windows captured: 1"));
    EXPECT_TRUE(lines.contains("Filtering out window without valid path: Searching “This Mac”"));
    EXPECT_TRUE(lines.contains("Filtered out 1 Finder windows without valid paths"));
}

TEST_F(WorkspaceCapturerTest, DemoSceneSurvivesTheStore) {
    const auto loaded = SimulatedScene::loadFile(SimulatedScene::demoScenePath(), d.desktop());
    ASSERT_TRUE(loaded.ok) << loaded.error.toStdString();
    d.host().installInto(d.platform()); // the scene's tabs and folders become the host's
    const auto captured = capture("Demo");
    ASSERT_TRUE(captured);
    EXPECT_FALSE(captured->appSnapshots.isEmpty());

    QTemporaryDir folder;
    WorkspaceStore store(folder.path());
    ASSERT_TRUE(store.save(*captured));
    const Workspace saved = store.workspaces().first();
    WorkspaceStore reloaded(folder.path());
    ASSERT_EQ(reloaded.workspaces().size(), 1);
    Workspace back = reloaded.workspaces().first();
    EXPECT_LE(qAbs(back.updatedAt.msecsTo(saved.updatedAt)), 999);
    back.createdAt = saved.createdAt;
    back.updatedAt = saved.updatedAt;
    EXPECT_EQ(back, saved);
}

// Outside text (names, titles, identifiers, URLs, paths, script answers) is never taken for a
// placeholder: every family of log lines carries "%1 %2 %3 %L1 %%" through unchanged.
TEST_F(WorkspaceCapturerTest, OutsideTextIsNeverReadAsAPlaceholder) {
    const QString p = "%1 %2 %3 %L1 %%";
    const qint32 app = addApp("org.example." + p);
    d.desktop().application(app)->name = "Pct " + p;
    const quint32 main = d.addWindow(app, QRectF(0, 25, 900, 700), "Main " + p);
    d.addWindow(app, QRectF(0, 25, 100, 100), "Small " + p);
    const qint32 chrome = d.addApp("com.google.Chrome", "Google Chrome");
    d.addBrowserWindow(chrome, {"https://x.example/" + p + "*"}, QRectF(0, 25, 150, 150));
    const qint32 finder = d.addApp("com.apple.finder", "Finder");
    d.host().setFolder(d.addWindow(finder, QRectF(0, 25, 150, 150), "dir " + p), "/tmp/dir " + p);
    const auto captured = capture(p);
    ASSERT_TRUE(captured);
    ASSERT_EQ(captured->appSnapshots.size(), 3);

    // The window matcher, the browsers' and the file manager's script answers, the tab restore and
    // the analysis log's header, with the same text.
    DiagnosticsCapture diagnostics;
    d.desktop().updateWindow(main, [](auto& w) { w.frame = QRectF(600, 300, 500, 400); });
    RunningApplication running;
    running.processIdentifier = app;
    WindowMatcher::matchWindows(captured->appSnapshots[0].windowSnapshots, running);
    d.host().queueBehaviour("Google Chrome", SimulatedScriptHost::failure(-1708, p));
    d.host().queueBehaviour("Finder", SimulatedScriptHost::failure(-1708, p));
    EXPECT_TRUE(d.clock().runUntilDone(BrowserScriptService::captureTabs("com.google.Chrome")));
    EXPECT_TRUE(d.clock().runUntilDone(FinderScriptService::captureWindows()));
    EXPECT_TRUE(d.clock().runUntilDone(BrowserScriptService::restoreTabs(
        "com.google.Chrome", {captured->appSnapshots[1].windowSnapshots[0].tabSnapshots}, std::nullopt)));
    QStringList lines;
    for (const auto& entry : AnalysisLogger::shared().entries()) {
        lines << entry.message;
    }
    AnalysisLogger::shared().beginSession(*captured);
    lines << AnalysisLogger::shared().buildLogContent().split('\n') << diagnostics.lines();

    for (const QString& line : {
             "Starting capture for workspace: " + p,
             R"(Found 3 running apps: ["org.example.)" + p + R"(", "com.google.Chrome", "com.apple.finder"])",
             "z-order: skipping small window for org.example." + p + ": Small " + p + " (100x100)",
             R"(App z-order (front-to-back): ["org.example.)" + p + R"(": 0])",
             "Capturing app: Pct " + p + " (org.example." + p + ") alreadyRunning=true hidden=false",
             "Pct " + p + " isHidden=false windows=2",
             "Matched AX window[0] to Finder window[0] at: /tmp/dir " + p + "/",
             "AX window[1]: title=\"Small " + p + "\" docURL=\"nil\" frame=(0,25 100×100)",
             "Snapshot[0]: title=\"Main " + p + "\" docURL=\"nil\" frame=(0,25 900×700) minimized=false",
             "exactTitle match: \"Main " + p + "\"",
             "AppleScript error (-1708): " + p,
             "restoreTabs:     tab[0]: url=https://x.example/" + p + ", active=true",
             "Name           : " + p,
             "  • Pct " + p + " [org.example." + p + "] — 2 window(s)",
             "    – Small " + p + "  frame=(0, 25, 100×100)",
             "[FinderScriptService] AppleScript error (-1708): " + p,
         }) {
        EXPECT_TRUE(lines.contains(line)) << line.toStdString();
    }
}

// A capture notes the programs it saw that are started by their path (and whether one showed a
// file from its command line), so that a restore may start them again; installed applications
// and excluded ones are not noted.
TEST_F(WorkspaceCapturerTest, NotesTheProgramsByPathItSaw) {
    JsonSettingsFormat::userSettings()->remove("capturedPrograms");
    const qint32 editor = addApp("/usr/bin/xedit");
    const qint32 calculator = addApp("/usr/bin/xcalc");
    const qint32 installed = addApp("org.example.Editor");
    const qint32 agent = addApp("/usr/bin/agent", ActivationPolicy::Accessory);
    for (const qint32 pid : {editor, installed}) {
        SimulatedDesktop::Window window;
        window.frame = QRectF(0, 25, 900, 700);
        window.title = "notes.txt";
        window.document = "file:///home/me/notes.txt";
        d.desktop().addWindow(pid, window);
    }
    d.addWindow(calculator, QRectF(0, 25, 300, 300), "Calculator");
    d.addWindow(agent, QRectF(0, 25, 300, 300), "Agent");
    ASSERT_TRUE(capture());
    EXPECT_EQ(CapturedPrograms::all(),
              (QList<CapturedPrograms::Program>{{"/usr/bin/xcalc", false}, {"/usr/bin/xedit", true}}));
    EXPECT_TRUE(logLines().contains("Noted program started by path: /usr/bin/xedit (with documents=true)"));
    JsonSettingsFormat::userSettings()->remove("capturedPrograms");
}
