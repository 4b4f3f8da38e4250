#include "App/WorkspaceAppDelegate.h"
#include "Services/Coordination/DisplayMonitor.h"
#include "Services/Coordination/GlobalHotkeyManager.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Desktop/DisplayMapper.h"
#include "Services/Storage/SettingsManager.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/StatusPostRecorder.h"
#include "Support/WorkspaceSamples.h"
#include "Support/X11DesktopTest.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

namespace {

// Ordella's triggers on the real desktop: the production platform, the real restore queue and
// revert, and the delegate that turns desktop events into restores. The engine is a stand-in that
// moves one window, so what a revert undoes can be seen.
class LinuxTriggersTest : public X11DesktopTest {
protected:
    void SetUp() override {
        X11DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure() || !installProductionPlatform()) {
            return;
        }
        SettingsManager().setShowRestoreNotifications(true);
        store = std::make_unique<WorkspaceStore>(folder.path());
        revertStates = std::make_unique<RevertStateManager>();
        coordinator = std::make_unique<RestoreCoordinator>(
            [this](Workspace w, bool) { return engine(this, std::move(w)); }, revertStates.get());
        hotkeys = std::make_unique<GlobalHotkeyManager>(Platform::current().hotKeys);
        displays = std::make_unique<DisplayMonitor>(Platform::current().screens, Platform::current().clock);
    }

    void TearDown() override {
        delegate.reset();
        displays.reset();
        hotkeys.reset();
        coordinator.reset();
        revertStates.reset();
        X11DesktopTest::TearDown();
    }

    static QCoro::Task<RestoreReport> engine(LinuxTriggersTest* test, Workspace workspace) {
        if (test->moveOnRestore) {
            Platform::current().accessibility->setAttributeValue(
                AXElement{test->moveOnRestore}, AXName::Position, AXValue::point({700, 500}));
        }
        RestoreReport report;
        report.workspaceName = workspace.name;
        report.status = RestoreStatus::restored;
        report.appResults = {{"debian-xterm.desktop", "XTerm", RestoreStatus::restored, "ok", {}}};
        co_return report;
    }

    void startDelegate() {
        delegate = std::make_unique<WorkspaceAppDelegate>(
            WorkspaceAppDelegate::Services{hotkeys.get(), displays.get(), coordinator.get(),
                                           revertStates.get(), Platform::current().userNotifications});
        delegate->setup(store.get());
    }

    Workspace add(const QString& name, const QList<WorkspaceTrigger>& triggers = {}) {
        Workspace w = WorkspaceSamples::plain(name, WorkspaceSamples::date(0));
        w.triggers = triggers;
        EXPECT_TRUE(store->save(w));
        return w;
    }

    int announced(const QString& name) const {
        int count = 0;
        for (const WorkspaceRestoreStatus& post : recorder.posts) {
            count += post.status == QLatin1String("restoring") && post.workspaceName == name ? 1 : 0;
        }
        return count;
    }

    QTemporaryDir folder;
    std::unique_ptr<WorkspaceStore> store;
    std::unique_ptr<RevertStateManager> revertStates;
    std::unique_ptr<RestoreCoordinator> coordinator;
    std::unique_ptr<GlobalHotkeyManager> hotkeys;
    std::unique_ptr<DisplayMonitor> displays;
    std::unique_ptr<WorkspaceAppDelegate> delegate;
    StatusPostRecorder recorder;
    xcb_window_t moveOnRestore = XCB_WINDOW_NONE;
};

TEST_F(LinuxTriggersTest, AConnectedMonitorRestoresItsWorkspaceOnceAfterTheQuietTime) {
    X11Monitor right;
    right.name = QStringLiteral("RIGHT");
    Screen screen;
    screen.displayNumber = 1;
    screen.identity = LinuxScreens::identityOf(right, std::nullopt);
    const QString uuid = DisplayMapper::identityString(screen).value_or(QString());
    add(QStringLiteral("Docked"), {{QUuid::createUuid(), WorkspaceTrigger::DisplayConnected{uuid, "RIGHT"}}});
    add(QStringLiteral("Undocked"),
        {{QUuid::createUuid(), WorkspaceTrigger::DisplayDisconnected{uuid, "RIGHT"}}});
    startDelegate();

    const Clock::TimePoint plugged = clock.now();
    xrandr({"--setmonitor", "RIGHT", "1920/508x1080/286+1920+0", "none"});
    ASSERT_TRUE(waitUntil([&] { return announced("Docked") == 1; }, 10000));
    // Qt's coarse timers may fire up to 5% early.
    EXPECT_GE(clock.now() - plugged, Clock::seconds(DisplayMonitor::debounceInterval * 0.95));
    // Nothing more comes of the one change.
    EXPECT_FALSE(waitUntil([&] { return announced("Docked") > 1 || announced("Undocked") > 0; }, 2500));

    xrandr({"--delmonitor", "RIGHT"});
    ASSERT_TRUE(waitUntil([&] { return announced("Undocked") == 1; }, 10000));
    EXPECT_EQ(announced("Docked"), 1);
}

TEST_F(LinuxTriggersTest, AShortcutPressedOnTheKeyboardRestoresItsWorkspace) {
    constexpr quint32 controlOption = GlobalKeyShortcut::controlFlag | GlobalKeyShortcut::optionFlag;
    Workspace focus = add(QStringLiteral("Focus"));
    focus.globalShortcut = GlobalKeyShortcut{40, controlOption, QStringLiteral("⌥⌃K")};
    ASSERT_TRUE(store->save(focus));
    startDelegate();
    const auto press = [](const char* keys) {
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)});
    };

    press("ctrl+alt+k");
    EXPECT_TRUE(waitUntil([&] { return announced("Focus") == 1; }));

    // Keys another program holds are refused, and the workspace keeps the shortcut it had.
    ASSERT_TRUE(grabInAnotherClient(0x6a, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1));
    EXPECT_FALSE(
        hotkeys->registerShortcut(GlobalKeyShortcut{38, controlOption, QStringLiteral("⌥⌃J")}, focus.id));
    EXPECT_EQ(hotkeys->registeredShortcut(focus.id).value_or(GlobalKeyShortcut()).keyCode, 40u);
    press("ctrl+alt+j");
    press("ctrl+alt+k");
    EXPECT_TRUE(waitUntil([&] { return announced("Focus") == 2; }));
    EXPECT_FALSE(waitUntil([&] { return announced("Focus") > 2; }, 300));
}

TEST_F(LinuxTriggersTest, TheRevertActionOfARestoreNotificationRevertsIt) {
    const qint32 xterm =
        start(QStringLiteral("xterm"), {QStringLiteral("-geometry"), QStringLiteral("80x24+100+100")});
    const X11Client window = waitForWindows(xterm).value(0);
    const std::optional<QRectF> before = axFrame(window.window);
    ASSERT_TRUE(before);
    moveOnRestore = window.window;
    startDelegate();
    // Notifications never expire in the session: one an earlier test left (its program gone) would
    // be the first "Revert" in the context menu.
    QProcess::execute(QStringLiteral("dunstctl"), {QStringLiteral("close-all")});

    const Workspace desk = add(QStringLiteral("Desk"));
    const RestoreReport report = QCoro::waitFor(coordinator->restore(desk, false));
    EXPECT_EQ(report.status, RestoreStatus::restored);
    ASSERT_TRUE(
        waitUntil([&] { return axFrame(window.window).value_or(QRectF()).topLeft() == QPointF(700, 500); }));

    // The session's dunst invokes the menu entry named in dunst-pick: "Revert".
    const QString pick = QFileInfo(qEnvironmentVariable("ORDELLA_X11_SESSION")).dir().filePath("dunst-pick");
    ASSERT_TRUE(QFileInfo::exists(pick));
    ASSERT_TRUE(waitUntil([] {
        QProcess count;
        count.start(QStringLiteral("dunstctl"), {QStringLiteral("count"), QStringLiteral("displayed")});
        count.waitForFinished();
        return count.readAllStandardOutput().trimmed() != "0";
    }));
    const auto reverting = [&] {
        return std::any_of(recorder.posts.cbegin(), recorder.posts.cend(),
                           [](const WorkspaceRestoreStatus& s) { return s.status == "reverting"; });
    };
    // Once the action has arrived the notification is gone from the menu.
    EXPECT_TRUE(pickFromNotificationMenu(reverting));

    EXPECT_TRUE(waitUntil(
        [&] {
            const std::optional<QRectF> now = axFrame(window.window);
            return now && std::abs(now->x() - before->x()) <= 50 && std::abs(now->y() - before->y()) <= 50;
        },
        15000));
}

} // namespace
