#include "Services/Coordination/RevertStateManager.h"
#include "Extensions/RectConversion.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Support/ScriptTestHelpers.h"
#include "Support/ScriptedDesktop.h"

#include <QRegularExpression>

namespace {

using namespace std::chrono_literals;

AppSnapshot app(const QString& bundleIdentifier, const QList<QRectF>& frames = {}) {
    AppSnapshot snapshot;
    snapshot.id = QUuid::createUuid();
    snapshot.bundleIdentifier = bundleIdentifier;
    snapshot.appName = bundleIdentifier.section('.', -1);
    for (qsizetype i = 0; i < frames.size(); ++i) {
        WindowSnapshot window;
        window.id = QUuid::createUuid();
        window.frame = RectConversion::toSnapshotRect(frames[i]);
        window.windowIndex = i;
        snapshot.windowSnapshots.append(window);
    }
    return snapshot;
}

Workspace workspace(const QList<AppSnapshot>& apps, const QString& name = QStringLiteral("Focus")) {
    Workspace w;
    w.id = QUuid::createUuid();
    w.name = name;
    w.appSnapshots = apps;
    return w;
}

QStringList bundles(const QList<AppSnapshot>& apps) {
    QStringList ids;
    for (const AppSnapshot& a : apps) {
        ids << a.bundleIdentifier;
    }
    return ids;
}

QStringList outcomes(const RestoreReport& report) {
    QStringList lines;
    for (const AppRestoreResult& r : report.appResults) {
        lines << r.bundleIdentifier + ": " + RestoreStatusText::rawValue(r.status) + " " + r.reason;
    }
    return lines;
}

class RevertStateManagerTest : public SimulatedDesktopFixture {
protected:
    RevertStateManager manager;

    void SetUp() override {
        addScreen();
        AnalysisLogger::shared().beginSession(workspace({}));
    }
    void TearDown() override { AnalysisLogger::shared().endSession(std::nullopt); }

    std::optional<QString> capture(const Workspace& restored, bool closeOtherApps = false) {
        auto id = clock().runUntilDone(manager.captureCurrentState(restored.name, closeOtherApps, restored));
        EXPECT_TRUE(id.has_value()) << clock().lastFailure().toStdString();
        return id.value_or(std::nullopt);
    }
    RestoreReport revert(const QString& id) {
        auto report = clock().runUntilDone(manager.revertToState(id));
        EXPECT_TRUE(report.has_value()) << clock().lastFailure().toStdString();
        return report.value_or(RestoreReport{});
    }
    void install(const QString& bundleIdentifier, const QRectF& frame, Clock::Duration launchDelay = 300ms) {
        SimulatedDesktop::InstalledApp installed;
        installed.bundleIdentifier = bundleIdentifier;
        installed.name = bundleIdentifier.section('.', -1);
        installed.launchDelay = launchDelay;
        // Its window comes up after the process: the revert waits for it before placing it.
        installed.windowDelay = 500ms;
        SimulatedDesktop::Window window;
        window.frame = frame;
        installed.windowsOnLaunch = {window};
        desktop().installApplication(installed);
    }
    QRectF frameOf(const QString& bundleIdentifier, int index = 0) {
        const SimulatedDesktop::Application* a = desktop().findApplication(bundleIdentifier);
        return a ? desktop().window(desktop().windowsOf(a->pid).value(index))->frame : QRectF();
    }
};

TEST(RevertStateTest, AppsToCloseAndReopen) {
    struct Case {
        const char* name;
        QStringList before;   // captured
        QStringList running;  // running, captured or not
        QStringList restored; // the workspace
        bool closeOtherApps;
        QStringList toClose;
        QStringList toReopen;
    };
    const QList<Case> cases{
        {"opened and quit", {"a", "b"}, {"a", "b"}, {"a", "c"}, true, {"c"}, {"b"}},
        {"without closing others nothing is reopened", {"a", "b"}, {"a", "b"}, {"c"}, false, {"c"}, {}},
        {"all running before", {"a", "b"}, {"a", "b"}, {"b", "a"}, false, {}, {}},
        {"duplicates stay", {}, {}, {"c", "c"}, false, {"c", "c"}, {}},
        {"never quits what no capture records",
         {"a"},
         {"a", "org.example.BackgroundAgent"},
         {"org.example.BackgroundAgent", "com.tremmick.ordella", "com.apple.dock", ""},
         false,
         {},
         {}},
        {"case matters", {"a"}, {"a"}, {"A"}, true, {"A"}, {"a"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RevertState state;
        state.closeOtherApps = c.closeOtherApps;
        for (const QString& id : c.before) {
            state.preRestoreApps << app(id);
        }
        state.preRestoreRunningBundleIDs = QSet<QString>(c.running.begin(), c.running.end());
        for (const QString& id : c.restored) {
            state.restoredWorkspace.appSnapshots << app(id);
        }
        EXPECT_EQ(bundles(state.appsToCloseOnRevert()), c.toClose);
        EXPECT_EQ(bundles(state.appsToReopenOnRevert()), c.toReopen);
    }
}

TEST_F(RevertStateManagerTest, CapturesKeepTheFiveNewestAndEvictTheOldest) {
    addApp("org.example.Alpha", {QRectF(100, 100, 600, 400)});
    QStringList ids;
    for (int i = 0; i < 6; ++i) {
        ids << capture(workspace({app("org.example.Alpha")})).value_or(QString());
    }
    EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), 6);
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$").match(ids[0]).hasMatch());
    EXPECT_EQ(manager.storedStateIDs(), ids.mid(1));
    EXPECT_TRUE(loggedMessages().contains("Evicted old revert state: " + ids[0]));
    EXPECT_EQ(manager.state(ids[5])->preRestoreApps.size(), 1);

    const RestoreReport missing = revert(ids[0]);
    RestoreReport expected;
    expected.workspaceName = "Revert";
    expected.status = RestoreStatus::failed;
    expected.displayMappingNotes = {"No revert state found"};
    EXPECT_EQ(missing, expected);
    EXPECT_TRUE(loggedMessages().contains("No revert state found for ID: " + ids[0]));
    EXPECT_EQ(manager.storedStateIDs().size(), 5);
}

TEST_F(RevertStateManagerTest, NoRecordWithoutTheAccessibilityPermission) {
    desktop().setTrusted(false);
    EXPECT_EQ(capture(workspace({})), std::nullopt);
    EXPECT_TRUE(manager.storedStateIDs().isEmpty());
    EXPECT_TRUE(loggedMessages().contains("Cannot capture state: accessibility not granted"));
}

// A restore done by hand: it launched Charlie, quit Beta and moved Alpha's window.
TEST_F(RevertStateManagerTest, RevertQuitsWhatTheRestoreOpenedAndBringsBackWhatItQuit) {
    addApp("org.example.Alpha", {QRectF(100, 100, 600, 400)});
    addApp("org.example.Beta", {QRectF(300, 200, 700, 500)});
    install("org.example.Beta", QRectF(20, 40, 400, 300));
    const Workspace restored = workspace({app("org.example.Alpha"), app("org.example.Charlie")});
    const QString id = capture(restored, true).value_or(QString());

    addApp("org.example.Charlie", {QRectF(0, 0, 500, 500)});
    desktop().removeApplication(desktop().findApplication("org.example.Beta")->pid);
    desktop().updateWindow(desktop().windowsOf(desktop().findApplication("org.example.Alpha")->pid)[0],
                           [](SimulatedDesktop::Window& w) { w.frame = QRectF(700, 300, 600, 400); });

    const RestoreReport report = revert(id);
    EXPECT_EQ(report.workspaceName, "Revert to 'Focus'");
    EXPECT_EQ(outcomes(report), (QStringList{"org.example.Charlie: restored App closed successfully",
                                             "org.example.Beta: restored App launched successfully",
                                             "org.example.Alpha: restored Window positions restored",
                                             "org.example.Beta: restored Window positions restored"}));
    EXPECT_EQ(report.status, RestoreStatus::restored);
    EXPECT_EQ(desktop().findApplication("org.example.Charlie"), nullptr);
    EXPECT_EQ(frameOf("org.example.Alpha"), QRectF(100, 100, 600, 400));
    EXPECT_EQ(frameOf("org.example.Beta"), QRectF(300, 200, 700, 500));
    EXPECT_EQ(report.appResults[2].windowResults[0].requestedFrame, QRectF(100, 100, 600, 400));
    EXPECT_GT(report.duration, 0.5);
    EXPECT_TRUE(loggedMessages().contains(
        "Revert complete: restored, duration: " + QString::number(report.duration, 'f', 1) + "s"));
    EXPECT_TRUE(manager.storedStateIDs().isEmpty());
}

// The windows of the applications are put back together: windows that each take a moment to move
// cost that moment once, not once per application.
TEST_F(RevertStateManagerTest, TheWindowsOfSeveralApplicationsGoBackTogether) {
    QList<AppSnapshot> apps;
    for (int i = 0; i < 6; ++i) {
        const QString id = QStringLiteral("org.example.App") + QString::number(i);
        addApp(id, {QRectF(40 * i, 30 * i, 500, 400)});
        apps << app(id);
    }
    const QString id = capture(workspace(apps)).value_or("");
    for (const AppSnapshot& a : apps) {
        desktop().updateWindow(desktop().windowsOf(desktop().findApplication(a.bundleIdentifier)->pid)[0],
                               [](SimulatedDesktop::Window& w) {
                                   w.frame = QRectF(700, 300, 500, 400);
                                   w.faults.moveDelay = 300ms;
                               });
    }
    const auto start = clock().elapsed();
    const RestoreReport report = revert(id);
    EXPECT_LT(clock().elapsed() - start, 600ms);
    EXPECT_EQ(report.status, RestoreStatus::restored) << report.summary().toStdString();
    for (int i = 0; i < apps.size(); ++i) {
        EXPECT_EQ(frameOf(apps[i].bundleIdentifier), QRectF(40 * i, 30 * i, 500, 400));
    }

    // A window not placed back makes its own application partly restored, and only its own. (The
    // moves asked again while the first moves were late land first.)
    clock().advanceBy(1s);
    const QString again = capture(workspace(apps)).value_or("");
    for (const AppSnapshot& a : apps) {
        desktop().updateWindow(
            desktop().windowsOf(desktop().findApplication(a.bundleIdentifier)->pid)[0],
            [stuck = a.bundleIdentifier == apps.last().bundleIdentifier](SimulatedDesktop::Window& w) {
                w.frame = QRectF(700, 300, 500, 400);
                w.faults.ignoresMoves = stuck;
            });
    }
    const RestoreReport partly = revert(again);
    EXPECT_EQ(partly.status, RestoreStatus::partiallyRestored);
    ASSERT_EQ(partly.appResults.size(), apps.size());
    for (const AppRestoreResult& result : partly.appResults) {
        EXPECT_EQ(result.status, result.bundleIdentifier == apps.last().bundleIdentifier
                                     ? RestoreStatus::partiallyRestored
                                     : RestoreStatus::restored)
            << result.bundleIdentifier.toStdString();
    }
}

TEST_F(RevertStateManagerTest, AnAppThatWillNotQuitIsReportedAndLeftRunning) {
    const QString id = capture(workspace({app("org.example.Editor"), app("org.example.Gone")})).value_or("");
    const qint32 editor = addApp("org.example.Editor", "Editor");
    desktop().application(editor)->faults.refusesQuit = true;

    const RestoreReport report = revert(id);
    EXPECT_EQ(outcomes(report), (QStringList{"org.example.Editor: failed Failed to close app",
                                             "org.example.Gone: skipped App not running"}));
    EXPECT_EQ(report.status, RestoreStatus::failed);
    EXPECT_NE(desktop().application(editor), nullptr) << "never force-quit: its unsaved work stays";
    EXPECT_TRUE(loggedMessages().contains("App didn't quit, leaving it running: Editor"));
}

TEST_F(RevertStateManagerTest, ReopenOutcomes) {
    addApp("org.example.Keep");
    addApp("org.example.Missing");
    addApp("org.example.Broken");
    addApp("org.example.Slow");
    install("org.example.Broken", QRectF(0, 0, 300, 300));
    install("org.example.Slow", QRectF(0, 0, 300, 300), 6s);
    SimulatedDesktop::InstalledApp broken = *desktop().installedApplication("org.example.Broken");
    broken.openError = "The file is damaged.";
    desktop().installApplication(broken);
    const QString id = capture(workspace({app("org.example.Keep")}), true).value_or("");
    for (const char* quit : {"org.example.Missing", "org.example.Broken", "org.example.Slow"}) {
        desktop().removeApplication(desktop().findApplication(quit)->pid);
    }
    const RestoreReport report = revert(id);
    EXPECT_EQ(outcomes(report),
              (QStringList{"org.example.Missing: failed App not found",
                           "org.example.Broken: failed Failed to launch: The file is damaged.",
                           "org.example.Slow: failed App launch timeout",
                           "org.example.Keep: restored Window positions restored"}));
    EXPECT_EQ(report.status, RestoreStatus::partiallyRestored);
}

// The window button and the notification's Revert action can ask at the same moment.
TEST_F(RevertStateManagerTest, TwoRevertsOfOneRecordRunOnce) {
    addApp("org.example.Alpha", {QRectF(100, 100, 600, 400)});
    const QString id = capture(workspace({app("org.example.Alpha")})).value_or("");
    QList<RestoreReport> reports;
    auto run = [](RevertStateManager* m, QString id, QList<RestoreReport>* out) -> QCoro::Task<void> {
        out->append(co_await m->revertToState(id));
    };
    auto first = run(&manager, id, &reports);
    auto second = run(&manager, id, &reports);
    clock().advanceBy(5s);
    ASSERT_EQ(reports.size(), 2);
    // Whichever ends first, the second one finds the record gone.
    const QStringList names{reports[0].workspaceName, reports[1].workspaceName};
    EXPECT_EQ(names.count("Revert"), 1);
    EXPECT_EQ(names.count("Revert to 'Focus'"), 1);
}

} // namespace
