#include "Services/Coordination/RestoreCoordinator.h"
#include "Platform/Simulated/SimulatedUserNotifications.h"
#include "Services/Coordination/RestoreStatusNotifier.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Services/Storage/SettingsManager.h"
#include "Support/ScriptTestHelpers.h"
#include "Support/ScriptedDesktop.h"
#include "Support/StatusPostRecorder.h"

#include <stdexcept>

namespace {

using namespace std::chrono_literals;

Workspace named(const QString& name) {
    Workspace w;
    w.id = QUuid::createUuid();
    w.name = name;
    return w;
}

class RestoreCoordinatorTest : public SimulatedDesktopFixture {
protected:
    // What happened, in order: "start A", "end A", "post A restored", "got A".
    QStringList events;
    QMap<QString, int> runs;
    StatusPostRecorder recorder;
    QList<WorkspaceRestoreStatus>& posts = recorder.posts;
    RevertStateManager revertStates;
    std::unique_ptr<RestoreCoordinator> coordinator;
    // Workspaces whose engine run ends with an exception, and the status each run reports.
    QSet<QString> throwing;
    RestoreStatus engineStatus = RestoreStatus::restored;

    void SetUp() override {
        addScreen();
        SettingsManager::shared().setEnableAnalysisLogging(true);
        SettingsManager().setShowRestoreNotifications(true);
        desktop().notifications().setStatus(UserNotifications::AuthorizationStatus::authorized);
        recorder.onPost = [this](const WorkspaceRestoreStatus& s) {
            events << "post " + s.report.value_or(RestoreReport{}).workspaceName;
        };
        coordinator = std::make_unique<RestoreCoordinator>(
            [this](Workspace w, bool close) { return engine(this, std::move(w), close); }, &revertStates);
    }

    // Two seconds per run; the report is named after the workspace and the run's number.
    static QCoro::Task<RestoreReport> engine(RestoreCoordinatorTest* t, Workspace w, bool) {
        const int n = ++t->runs[w.name];
        t->events << "start " + w.name;
        co_await t->clock().sleep(2s);
        if (t->throwing.contains(w.name)) {
            throw std::runtime_error("lost its window");
        }
        t->events << "end " + w.name;
        RestoreReport report;
        report.workspaceName = w.name;
        report.status = t->engineStatus;
        report.duration = n;
        if (w.name == "Bounded") {
            // One window placed, one saved window past the bound; then found in its saved state.
            const QString note = "; 1 more saved windows not reopened";
            AppRestoreResult app{"xterm",
                                 "XTerm",
                                 RestoreStatus::partiallyRestored,
                                 n == 1 ? "All 1 windows restored" + note
                                        : "Already in correct state (optimized skip)" + note,
                                 {}};
            app.windowsLeftOut = 1;
            app.foundInSavedState = n > 1;
            if (n == 1) {
                app.windowResults = {
                    {"one", RestoreStatus::restored, "Geometry verified", std::nullopt, std::nullopt}};
            }
            report.appResults = {app};
            report.status = RestoreStatus::partiallyRestored;
        }
        co_return report;
    }
    static QCoro::Task<void> request(RestoreCoordinatorTest* t, QString name) {
        const RestoreReport report = co_await t->coordinator->restore(named(name), false);
        t->events << "got " + name + " " + QString::number(report.duration) + " " +
                         RestoreStatusText::rawValue(report.status);
    }
};

TEST_F(RestoreCoordinatorTest, RequestsRunOneAfterTheOtherInArrivalOrder) {
    auto a = request(this, "A");
    auto b = request(this, "B");
    clock().advanceBy(3s);
    auto c = request(this, "C"); // arrives while B runs
    EXPECT_TRUE(coordinator->isRestoring());
    clock().advanceBy(30s);
    // Each report lasts both attempts: four seconds.
    EXPECT_EQ(events, (QStringList{"start A", "end A", "start A", "end A", "post A", "got A 4 restored", //
                                   "start B", "end B", "start B", "end B", "post B", "got B 4 restored", //
                                   "start C", "end C", "start C", "end C", "post C", "got C 4 restored"}));
    EXPECT_FALSE(coordinator->isRestoring());
    EXPECT_EQ(coordinator->pendingCount(), 0);
}

TEST_F(RestoreCoordinatorTest, EachRunLogsRecordsARevertStateNotifiesAndPosts) {
    addApp("org.example.Alpha", {QRectF(100, 100, 600, 400)});
    const auto report = clock().runUntilDone(coordinator->restore(named("Focus"), true));
    ASSERT_TRUE(report);
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(posts[0].status, "restored");
    EXPECT_EQ(posts[0].report, report);
    ASSERT_TRUE(posts[0].revertStateID);
    EXPECT_EQ(revertStates.storedStateIDs(), QStringList{*posts[0].revertStateID});
    EXPECT_EQ(revertStates.state(*posts[0].revertStateID)->closeOtherApps, true);
    const QStringList lines = loggedMessages();
    EXPECT_TRUE(lines.contains("Captured pre-restore state for revert functionality"));
    EXPECT_TRUE(lines.contains("Restore attempt 1 complete, performing attempt 2 of 2..."));
    EXPECT_FALSE(AnalysisLogger::shared().isSessionActive());
    ASSERT_EQ(desktop().notifications().delivered().size(), 1);
    EXPECT_EQ(desktop().notifications().delivered()[0].request.userInfo.value("revertStateID"),
              *posts[0].revertStateID);

    // What the first run did stays told when the second finds the application in its saved state,
    // whatever its reason adds.
    ASSERT_TRUE(clock().runUntilDone(coordinator->restore(named("Bounded"), false)));
    ASSERT_EQ(posts.size(), 2);
    ASSERT_EQ(posts[1].report->appResults.size(), 1);
    EXPECT_EQ(posts[1].report->appResults[0].windowResults.size(), 1);
    const QStringList logged = loggedMessages();
    EXPECT_TRUE(std::any_of(logged.begin(), logged.end(), [](const QString& line) {
        return line.startsWith("    [restored] \"one\"");
    })) << logged.join('\n').toStdString();

    // A notification server slow to answer holds up neither the restore nor its report.
    desktop().notifications().setAddDelay(std::chrono::seconds(30));
    const Clock::TimePoint slowStart = clock().now();
    ASSERT_TRUE(clock().runUntilDone(coordinator->restore(named("Slow"), false)));
    EXPECT_LT(clock().now() - slowStart, std::chrono::seconds(30));
    EXPECT_EQ(posts.size(), 3);
    EXPECT_TRUE(clock().runUntil([&] { return desktop().notifications().delivered().size() == 3; }));
}

TEST_F(RestoreCoordinatorTest, WithoutTheCaptureNoRevertIsOfferedWhateverTheStatus) {
    struct Case {
        bool trusted;
        RestoreStatus status;
        bool revertID;
    };
    for (const Case& c :
         {Case{false, RestoreStatus::restored, false}, Case{true, RestoreStatus::failed, true}}) {
        posts.clear();
        desktop().setTrusted(c.trusted);
        engineStatus = c.status;
        ASSERT_TRUE(clock().runUntilDone(coordinator->restore(named("W"), false)));
        ASSERT_EQ(posts.size(), 1);
        EXPECT_EQ(posts[0].status, RestoreStatusText::rawValue(c.status));
        EXPECT_EQ(posts[0].revertStateID.has_value(), c.revertID);
    }
}

TEST_F(RestoreCoordinatorTest, WithLoggingOffNoSessionIsOpened) {
    SettingsManager::shared().setEnableAnalysisLogging(false);
    AnalysisLogger::shared().endSession(std::nullopt);
    auto a = request(this, "A");
    clock().advanceBy(1s);
    EXPECT_FALSE(AnalysisLogger::shared().isSessionActive());
    clock().advanceBy(10s);
    SettingsManager::shared().setEnableAnalysisLogging(true);
    EXPECT_TRUE(events.contains("got A 4 restored"));
}

// A run that ends in an exception, and a coordinator that goes away, still answer every caller.
TEST_F(RestoreCoordinatorTest, EveryCallerGetsAReportWhateverHappens) {
    throwing = {"A"};
    auto a = request(this, "A");
    auto b = request(this, "B");
    clock().advanceBy(20s);
    EXPECT_TRUE(events.contains("got A 0 failed"));
    EXPECT_TRUE(events.contains("got B 4 restored"));
    EXPECT_EQ(posts.first().status, "failed");
    EXPECT_FALSE(coordinator->isRestoring());

    events.clear();
    auto c = request(this, "C");
    auto d = request(this, "D");
    coordinator.reset();
    EXPECT_EQ(events, (QStringList{"start C", "got D 0 failed"}));
    clock().advanceBy(20s);
    EXPECT_TRUE(events.contains("got C 4 restored")) << "a run that started goes to its end";
}

} // namespace
