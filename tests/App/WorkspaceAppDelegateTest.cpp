#include "App/WorkspaceAppDelegate.h"
#include "Platform/Simulated/SimulatedHotKeys.h"
#include "Platform/Simulated/SimulatedUserNotifications.h"
#include "Services/Coordination/DisplayMonitor.h"
#include "Services/Coordination/GlobalHotkeyManager.h"
#include "Services/Coordination/NotificationManager.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RestoreStatusNotifier.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Storage/SettingsManager.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/ScriptedDesktop.h"
#include "Support/StatusPostRecorder.h"
#include "Support/WorkspaceSamples.h"

#include <QTemporaryDir>

namespace {

using namespace std::chrono_literals;

const QString kDisplay = QStringLiteral("00000000-0000-0000-0000-00000000000A");
constexpr quint32 kKey = 40;
constexpr quint32 kMods = GlobalKeyShortcut::commandFlag | GlobalKeyShortcut::optionFlag;

Screen externalDisplay() {
    Screen screen;
    screen.displayNumber = 2;
    screen.identity = QUuid::fromString(kDisplay);
    screen.frame = QRectF(1440, 0, 1920, 1080);
    screen.visibleFrame = screen.frame;
    screen.localizedName = QStringLiteral("Studio");
    return screen;
}

WorkspaceTrigger trigger(WorkspaceTrigger::TriggerType type) {
    return {QUuid::createUuid(), std::move(type)};
}

class WorkspaceAppDelegateTest : public SimulatedDesktopFixture {
protected:
    QTemporaryDir folder;
    WorkspaceStore store{folder.path()};
    RevertStateManager revertStates;
    RestoreCoordinator coordinator{[this](Workspace w, bool) { return engine(this, std::move(w)); },
                                   &revertStates};
    GlobalHotkeyManager hotkeys{platform().hotKeys};
    std::unique_ptr<DisplayMonitor> displays;
    std::unique_ptr<WorkspaceAppDelegate> delegate;
    // "restore NAME at SECONDS" for each engine run (two per request), and every status post.
    QStringList events;
    StatusPostRecorder recorder;
    QList<WorkspaceRestoreStatus>& posts = recorder.posts;

    void SetUp() override {
        addScreen();
        displays = std::make_unique<DisplayMonitor>(platform().screens, platform().clock);
        SettingsManager().setShowRestoreNotifications(true);
        desktop().notifications().setStatus(UserNotifications::AuthorizationStatus::authorized);
        recorder.onPost = [this](const WorkspaceRestoreStatus& s) {
            events << "post " + s.status + " " + s.workspaceName.value_or("") + " at " +
                          QString::number(clock().elapsed().count() / 1000.0);
        };
    }

    static QCoro::Task<RestoreReport> engine(WorkspaceAppDelegateTest* t, Workspace w) {
        t->events << "restore " + w.name + " at " + QString::number(t->clock().elapsed().count() / 1000.0);
        co_await t->clock().sleep(1s);
        RestoreReport report;
        report.workspaceName = w.name;
        report.status = RestoreStatus::restored;
        report.appResults = {{"org.example.App", "App", RestoreStatus::restored, "ok", {}}};
        co_return report;
    }

    Workspace add(const QString& name, const QList<WorkspaceTrigger>& triggers = {}) {
        Workspace w = WorkspaceSamples::plain(name, WorkspaceSamples::date(0));
        w.triggers = triggers;
        EXPECT_TRUE(store.save(w));
        return w;
    }
    void start() {
        delegate = std::make_unique<WorkspaceAppDelegate>(WorkspaceAppDelegate::Services{
            &hotkeys, displays.get(), &coordinator, &revertStates, platform().userNotifications});
        delegate->setup(&store);
    }
    // The trigger restores announced, each with the second of virtual time it was asked for.
    QStringList announced() const {
        QStringList names;
        for (const QString& e : events.filter("post restoring ")) {
            names << e.mid(15);
        }
        return names;
    }
};

TEST_F(WorkspaceAppDelegateTest, LoginWorkspacesAreRestoredOnceAfterThreeSeconds) {
    add("Morning", {trigger(WorkspaceTrigger::Login{}), trigger(WorkspaceTrigger::Login{})});
    add("Evening", {trigger(WorkspaceTrigger::TimeOfDay{18, 0, {}})});
    add("Desk", {trigger(WorkspaceTrigger::Login{})});
    start();
    EXPECT_TRUE(desktop().notifications().authorizationRequests().isEmpty()) << "asked only after setup";
    clock().advanceBy(2900ms);
    EXPECT_TRUE(events.isEmpty());
    clock().advanceBy(1min);
    EXPECT_EQ(announced(), (QStringList{"Morning at 3", "Desk at 5"}));
    EXPECT_EQ(events.filter("restore ").size(), 4) << "two engine runs each";
    EXPECT_EQ(posts.first().status, "restoring");
    EXPECT_EQ(posts.first().workspaceName, "Morning");
    EXPECT_EQ(desktop().notifications().authorizationRequests().size(), 1);
}

TEST_F(WorkspaceAppDelegateTest, ADisplayTriggerRestoresEveryMatchingWorkspaceOnceInListOrder) {
    const QString lower = kDisplay.toLower();
    add("Docked", {trigger(WorkspaceTrigger::DisplayConnected{kDisplay, "Studio"}),
                   trigger(WorkspaceTrigger::DisplayConnected{kDisplay, "Studio"})});
    add("Undocked", {trigger(WorkspaceTrigger::DisplayDisconnected{kDisplay, "Studio"})});
    add("Case differs", {trigger(WorkspaceTrigger::DisplayConnected{lower, "Studio"})});
    add("Also docked", {trigger(WorkspaceTrigger::DisplayConnected{kDisplay, "Other name"})});
    start();
    desktop().addScreenLater(externalDisplay(), 1s);
    clock().advanceBy(1min);
    QStringList expected;
    for (const Workspace& w : store.workspaces()) {
        if (w.name == "Docked" || w.name == "Also docked") {
            expected << w.name;
        }
    }
    EXPECT_EQ(announced(), (QStringList{expected[0] + " at 2.5", expected[1] + " at 4.5"}));

    events.clear();
    desktop().removeScreen(2);
    clock().advanceBy(1min);
    EXPECT_EQ(announced(), QStringList{"Undocked at 61.5"});
}

TEST_F(WorkspaceAppDelegateTest, AHotKeyRestoresItsWorkspaceUntilTheWorkspaceIsDeleted) {
    Workspace w = add("Writing");
    w.globalShortcut = GlobalKeyShortcut{kKey, kMods, "⌘⌥K"};
    ASSERT_TRUE(store.save(w));
    start();
    EXPECT_TRUE(desktop().hotKeys().press(kKey, kMods));
    clock().advanceBy(1min);
    EXPECT_EQ(announced(), QStringList{"Writing at 0"});

    events.clear();
    ASSERT_TRUE(store.deleteWorkspace(w));
    EXPECT_TRUE(desktop().hotKeys().press(kKey, kMods)) << "still registered";
    clock().advanceBy(1min);
    EXPECT_TRUE(events.isEmpty());
}

TEST_F(WorkspaceAppDelegateTest, TheNotificationsRevertActionReverts) {
    start();
    addApp("org.example.Alpha", {QRectF(100, 100, 600, 400)});
    desktop().notifications().setApplicationInFront(true);
    ASSERT_TRUE(clock().runUntilDone(coordinator.restore(add("Focus"), false)));
    ASSERT_EQ(desktop().notifications().delivered().size(), 1);
    EXPECT_EQ(desktop().notifications().delivered()[0].foregroundOptions,
              UserNotifications::PresentBanner | UserNotifications::PresentSound);
    const QString request = desktop().notifications().delivered()[0].request.identifier;
    posts.clear();

    // A plain click asks for the window; a dismissal does nothing.
    int windowAsked = 0;
    QObject::connect(delegate.get(), &WorkspaceAppDelegate::showRequested, [&windowAsked] { ++windowAsked; });
    desktop().notifications().respond(request, UserNotifications::defaultActionIdentifier);
    desktop().notifications().respond(request, UserNotifications::dismissActionIdentifier);
    clock().advanceBy(5s);
    EXPECT_TRUE(posts.isEmpty());
    EXPECT_EQ(windowAsked, 1);

    desktop().notifications().respond(request, NotificationManager::revertActionIdentifier);
    clock().advanceBy(10s);
    ASSERT_EQ(posts.size(), 2);
    EXPECT_EQ(posts[0], WorkspaceRestoreStatus::revertingWorkspace());
    ASSERT_TRUE(posts[1].report);
    EXPECT_EQ(posts[1].report->workspaceName, "Revert to 'Focus'");
    EXPECT_EQ(posts[1].status, RestoreStatusText::rawValue(posts[1].report->status));
    EXPECT_FALSE(posts[1].revertStateID);
    EXPECT_TRUE(posts[1].ofRevert);
    // A record serves one revert: the next Revert (as after one from the status line) fails
    // nothing, it says there is nothing left.
    posts.clear();
    desktop().notifications().respond(request, NotificationManager::revertActionIdentifier);
    clock().advanceBy(10s);
    EXPECT_EQ(posts, QList<WorkspaceRestoreStatus>{WorkspaceRestoreStatus::nothingLeftToRevert()});

    // Without a revert-state id the action does nothing.
    posts.clear();
    delegate->didReceiveNotificationResponse(NotificationManager::revertActionIdentifier,
                                             {{"workspaceName", "Focus"}});
    clock().advanceBy(5s);
    EXPECT_TRUE(posts.isEmpty());
}

} // namespace
