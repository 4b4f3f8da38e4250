// A restore and its revert on the simulated desktop, through the real restore engine.
#include "Extensions/RectConversion.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Support/ScriptTestHelpers.h"
#include "Support/ScriptedDesktop.h"
#include "Support/StatusPostRecorder.h"

namespace {

using namespace std::chrono_literals;

class RevertEndToEndTest : public SimulatedDesktopFixture {
protected:
    void install(const QString& bundleIdentifier, const QRectF& frame) {
        SimulatedDesktop::InstalledApp app;
        app.bundleIdentifier = bundleIdentifier;
        app.name = bundleIdentifier.section('.', -1);
        app.launchDelay = 400ms;
        app.windowDelay = 300ms;
        SimulatedDesktop::Window window;
        window.frame = frame;
        window.title = app.name;
        app.windowsOnLaunch = {window};
        desktop().installApplication(app);
    }
    Workspace capture() {
        auto captured = clock().runUntilDone(WorkspaceCapturer::capture("now"));
        EXPECT_TRUE(captured && *captured);
        return captured && *captured ? **captured : Workspace{};
    }
    static QStringList bundles(const Workspace& w) {
        QStringList ids;
        for (const AppSnapshot& app : w.appSnapshots) {
            ids << app.bundleIdentifier;
        }
        ids.sort();
        return ids;
    }
    static QList<QRectF> frames(const Workspace& w, const QString& bundleIdentifier) {
        QList<QRectF> list;
        for (const AppSnapshot& app : w.appSnapshots) {
            for (const WindowSnapshot& window :
                 app.bundleIdentifier == bundleIdentifier ? app.windowSnapshots : QList<WindowSnapshot>()) {
                list << RectConversion::toRectF(window.frame);
            }
        }
        return list;
    }
};

TEST_F(RevertEndToEndTest, RevertPutsTheDesktopBackAsItWasBeforeTheRestore) {
    addScreen(1920, 1080);
    for (const char* id :
         {"org.example.Alpha", "org.example.Beta", "org.example.Gamma", "org.example.Delta"}) {
        install(id, QRectF(300, 300, 640, 480));
    }
    addApp("org.example.Alpha", {QRectF(40, 60, 800, 600)}, {"Alpha"});
    addApp("org.example.Beta", {QRectF(900, 200, 700, 500)}, {"Beta"});
    // The file manager shows one folder; the workspace also holds another, which the restore opens.
    host().addFolder("/home/me/Project");
    host().addFolder("/home/me/Holiday");
    host().setFolder(addWindow(addApp("com.apple.finder", "Finder"), QRectF(300, 400, 760, 420)),
                     "/home/me/Project");
    const Workspace before = capture();

    // The workspace moves Alpha, launches Gamma and, closing other applications, quits Beta.
    Workspace target = before;
    target.name = "Presenting";
    target.closeOtherApps = true;
    target.appSnapshots.removeIf(
        [](const AppSnapshot& a) { return a.bundleIdentifier == "org.example.Beta"; });
    for (AppSnapshot& app : target.appSnapshots) {
        if (app.bundleIdentifier == "com.apple.finder") {
            WindowSnapshot holiday = app.windowSnapshots.value(0);
            holiday.documentURL = "file:///home/me/Holiday/";
            holiday.windowIdentity.reset();
            app.windowSnapshots << holiday;
        }
    }
    std::stable_partition(target.appSnapshots.begin(), target.appSnapshots.end(),
                          [](const AppSnapshot& a) { return a.bundleIdentifier == "org.example.Alpha"; });
    target.appSnapshots[0].windowSnapshots[0].frame = {1000, 400, 700, 500};
    AppSnapshot gamma = target.appSnapshots[0];
    gamma.id = QUuid::createUuid();
    gamma.bundleIdentifier = "org.example.Gamma";
    gamma.appName = "Gamma";
    gamma.windowSnapshots[0].frame = {100, 100, 900, 700};
    gamma.windowSnapshots[0].windowTitle = "Gamma";
    target.appSnapshots << gamma;

    RevertStateManager revertStates;
    RestoreCoordinator coordinator(RestoreCoordinator::desktopEngine(), &revertStates);
    StatusPostRecorder recorder;
    // Delta, started just before, shows its window only once the desktop is recorded; the
    // restore quits it too.
    const ClockTimer late = clock().startTimer(Clock::Duration(1), false, [this] {
        addApp("org.example.Delta", {QRectF(200, 700, 600, 300)}, {"Delta"});
    });
    const auto restored = clock().runUntilDone(coordinator.restore(target, true));
    ASSERT_TRUE(restored) << clock().lastFailure().toStdString();
    const Workspace during = capture();
    ASSERT_EQ(bundles(during), (QStringList{"com.apple.finder", "org.example.Alpha", "org.example.Gamma"}))
        << restored->summary().toStdString();
    EXPECT_TRUE(within50(RectConversion::toSnapshotRect(frames(during, "org.example.Alpha").value(0)),
                         {1000, 400, 700, 500}));
    EXPECT_EQ(frames(during, "com.apple.finder").size(), 2);
    ASSERT_EQ(recorder.posts.size(), 1);
    ASSERT_TRUE(recorder.posts[0].revertStateID);

    const auto reverted = clock().runUntilDone(revertStates.revertToState(*recorder.posts[0].revertStateID));
    ASSERT_TRUE(reverted) << clock().lastFailure().toStdString();
    const Workspace after = capture();
    EXPECT_EQ(bundles(after), bundles(before) + QStringList{"org.example.Delta"})
        << reverted->summary().toStdString();
    for (const QString& id : bundles(before)) {
        const QList<QRectF> was = frames(before, id);
        const QList<QRectF> now = frames(after, id);
        ASSERT_EQ(now.size(), was.size()) << id.toStdString() << " " << reverted->summary().toStdString();
        for (qsizetype i = 0; i < was.size(); ++i) {
            EXPECT_TRUE(
                within50(RectConversion::toSnapshotRect(now[i]), RectConversion::toSnapshotRect(was[i])))
                << id.toStdString() << " window " << i;
        }
    }
}

} // namespace
