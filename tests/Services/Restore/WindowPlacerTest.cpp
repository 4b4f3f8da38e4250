#include "Services/Restore/WindowPlacer.h"

#include "RestoreFixture.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Desktop/DisplayMapper.h"
#include "Services/Restore/FinderWindowRestorer.h"

namespace {

const QRectF kSaved(100, 100, 800, 600);

class WindowPlacerTest : public RestoreFixture {
protected:
    // minimisedBefore: windows minimised before the restore began.
    QList<WindowRestoreResult> place(qint32 pid, const QList<WindowSnapshot>& windows,
                                     const QSet<AXElement>& minimisedBefore = {},
                                     const WindowMatcher::Bystanders& bystanders = {}) {
        return run(WindowPlacer::restoreWindowPositions(
            running(pid), windows, DisplayMapper::captureDisplays(), bystanders, minimisedBefore));
    }
    // An application with one live window titled "Doc" at frame, changed by fault.
    qint32 appWith(const QRectF& frame, const std::function<void(SimulatedDesktop::Window&)>& fault = {}) {
        const qint32 pid = addApp("org.example.Editor", {frame}, {"Doc"});
        if (fault) {
            desktop().updateWindow(windowOf(pid), fault);
        }
        return pid;
    }
    quint32 addSplash(qint32 pid) {
        SimulatedDesktop::Window splash;
        splash.frame = QRectF(500, 300, 400, 240);
        splash.subrole = "AXDialog";
        splash.faults.ignoresMoves = true;
        return desktop().addWindow(pid, splash);
    }
};

struct OutcomeCase {
    const char* name;
    QRectF live;
    std::function<void(SimulatedDesktop::Window&)> fault;
    RestoreStatus status;
    QString reason;
    std::optional<QRectF> actual;
    qint64 elapsedMs;
    QStringList log;
    // What the outcome says was done to the window.
    QStringList actions{};
    // The window was minimised before the restore, and an earlier step showed it.
    bool minimisedBefore = false;
};

TEST_F(WindowPlacerTest, ReportsEachOutcomeWithItsLogLines) {
    const QString start = R"(applyGeometry: "Doc" target=(100,100 800×600) match=exactTitle)";
    const QList<OutcomeCase> cases = {
        {"within 50 points",
         QRectF(150, 50, 850, 650),
         {},
         RestoreStatus::restored,
         "Already at correct position",
         QRectF(150, 50, 850, 650),
         0,
         {}},
        // Read on its target at the first look, 10 ms after the move.
        {"moved at once",
         QRectF(400, 300, 600, 400),
         {},
         RestoreStatus::restored,
         "Geometry verified (match=exactTitle, attempts=1)",
         kSaved,
         10,
         {start, R"(applyGeometry: "Doc" ✓ actual=(100,100 800×600) attempts=1)"},
         {"moved"}},
        // A window shown again is first looked at one step (100 ms) after it was asked, then read
        // until it stood still over seven reads 20 ms apart, to find it at rest before it is moved.
        {"shown again and moved",
         QRectF(400, 300, 600, 400),
         [](SimulatedDesktop::Window& w) { w.minimized = true; },
         RestoreStatus::restored,
         "Geometry verified (match=exactTitle, attempts=1)",
         kSaved,
         100 + 7 * 20 + 10,
         {start, R"(applyGeometry: "Doc" ✓ actual=(100,100 800×600) attempts=1)"},
         {"shown", "moved"}},
        // The move takes effect 300 ms late: it shows at the third read. The settles (50 ms) and the
        // first pause (100 ms) run their length; the second pause ends when the window lands.
        {"moved on the third attempt",
         QRectF(400, 300, 600, 400),
         [](SimulatedDesktop::Window& w) { w.faults.moveDelay = Clock::Duration(300); },
         RestoreStatus::restored,
         "Geometry verified (match=exactTitle, attempts=3)",
         kSaved,
         50 + 100 + 50 + 100 + 10,
         {start, R"(applyGeometry: "Doc" attempt 1/4 actual=(400,300 600×400) — retrying)",
          R"(applyGeometry: "Doc" attempt 2/4 actual=(400,300 600×400) — retrying)",
          R"(applyGeometry: "Doc" ✓ actual=(100,100 800×600) attempts=3)"},
         {"moved"}},
        {"keeps its own size",
         QRectF(400, 300, 600, 400),
         [](SimulatedDesktop::Window& w) { w.faults.minimumSize = QSizeF(860, 700); },
         RestoreStatus::partiallyRestored,
         "App adjusted geometry (delta: 160pt, match=exactTitle)",
         QRectF(100, 100, 860, 700),
         4 * 50 + 100 + 200 + 400,
         {start, R"(applyGeometry: "Doc" attempt 1/4 actual=(100,100 860×700) — retrying)",
          R"(applyGeometry: "Doc" attempt 2/4 actual=(100,100 860×700) — retrying)",
          R"(applyGeometry: "Doc" attempt 3/4 actual=(100,100 860×700) — retrying)",
          R"(applyGeometry: "Doc" ✗ actual=(100,100 860×700) delta=160pt after 4 attempts)"},
         {"moved"}},
        {"frame unreadable",
         QRectF(400, 300, 600, 400),
         [](SimulatedDesktop::Window& w) {
             w.faults.readOverrides.insert("AXSize", AXResult::failure(AXError::CannotComplete));
         },
         RestoreStatus::failed,
         "Geometry application failed after 4 attempts",
         std::nullopt,
         4 * 50 + 100 + 200 + 400 + 800,
         {start},
         // Nothing read back moved.
         {}},
        // Shown where it stood, which is where it was saved.
        {"only shown again",
         QRectF(120, 110, 800, 600),
         [](SimulatedDesktop::Window& w) { w.minimized = true; },
         RestoreStatus::restored,
         "Already at correct position",
         QRectF(120, 110, 800, 600),
         100 + 7 * 20,
         {},
         {"shown"}},
        // Read at rest first, as a window shown here is.
        {"shown by an earlier step, where it was saved",
         QRectF(120, 110, 800, 600),
         {},
         RestoreStatus::restored,
         "Already at correct position",
         QRectF(120, 110, 800, 600),
         7 * 20,
         {},
         {"shown"},
         true},
        // Asked, but it stands where it stood.
        {"set to the frame it has",
         QRectF(400, 300, 600, 400),
         [](SimulatedDesktop::Window& w) { w.faults.ignoresMoves = true; },
         RestoreStatus::partiallyRestored,
         "App adjusted geometry (delta: 900pt, match=exactTitle)",
         QRectF(400, 300, 600, 400),
         4 * 50 + 100 + 200 + 400,
         {start, R"(applyGeometry: "Doc" attempt 1/4 actual=(400,300 600×400) — retrying)",
          R"(applyGeometry: "Doc" attempt 2/4 actual=(400,300 600×400) — retrying)",
          R"(applyGeometry: "Doc" attempt 3/4 actual=(400,300 600×400) — retrying)",
          R"(applyGeometry: "Doc" ✗ actual=(400,300 600×400) delta=900pt after 4 attempts)"},
         {}},
        // What the first pass did (showing it) stays done when the splash wait that follows fails.
        {"a splash that was minimised",
         QRectF(400, 300, 600, 400),
         [](SimulatedDesktop::Window& w) {
             w.minimized = true;
             w.subrole = "AXDialog";
             w.faults.ignoresMoves = true;
         },
         RestoreStatus::failed,
         "App only shows splash screen after 40s",
         std::nullopt,
         100 + 7 * 20 + 4 * 50 + 100 + 200 + 400 + 40000,
         {start, R"(applyGeometry: "Doc" attempt 1/4 actual=(400,300 600×400) — retrying)",
          R"(applyGeometry: "Doc" attempt 2/4 actual=(400,300 600×400) — retrying)",
          R"(applyGeometry: "Doc" attempt 3/4 actual=(400,300 600×400) — retrying)",
          R"(applyGeometry: "Doc" ✗ actual=(400,300 600×400) delta=900pt after 4 attempts)"},
         {"shown"}},
    };
    for (const OutcomeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const qint32 pid = appWith(c.live, c.fault);
        const bool shownAgain = c.minimisedBefore || desktop().window(windowOf(pid))->minimized;
        const qint64 before = elapsedMs();
        AnalysisLogger::shared().beginSession(Workspace{});
        const QSet<AXElement> minimisedBefore =
            c.minimisedBefore ? QSet<AXElement>{AXElement{windowOf(pid)}} : QSet<AXElement>();
        const QList<WindowRestoreResult> results = place(pid, {savedWindow(kSaved, "Doc")}, minimisedBefore);
        ASSERT_EQ(results.size(), 1);
        EXPECT_EQ(results[0].status, c.status);
        EXPECT_EQ(results[0].reason, c.reason);
        EXPECT_EQ(results[0].requestedFrame, kSaved);
        EXPECT_EQ(results[0].actualFrame, c.actual);
        EXPECT_EQ(elapsedMs() - before, c.elapsedMs);
        EXPECT_EQ(restorerLines(), c.log);
        EXPECT_EQ(results[0].actions, c.actions);
        // Raised with the first move only, however many attempts follow; never when the restore
        // showed it again (showing raised it).
        EXPECT_LE(desktop().raiseCount(windowOf(pid)), shownAgain ? 0 : 1);
        desktop().removeApplication(pid);
    }
}

TEST_F(WindowPlacerTest, MinimisesAgainFailsWithoutPartnerOrScreen) {
    const qint32 pid = appWith(QRectF(400, 300, 600, 400));
    WindowSnapshot minimised = savedWindow(kSaved, "Doc");
    minimised.isMinimized = true;
    WindowSnapshot orphan = savedWindow(QRectF(0, 30, 300, 300), "Gone", 5);
    const QList<WindowRestoreResult> results = place(pid, {minimised, orphan});
    EXPECT_EQ(results[0], (WindowRestoreResult{"Doc",
                                               RestoreStatus::restored,
                                               "Window minimized",
                                               kSaved,
                                               kSaved,
                                               {"moved", "minimised"},
                                               WindowFinding::minimised}));
    EXPECT_TRUE(desktop().window(windowOf(pid))->minimized);
    EXPECT_EQ(frameOf(windowOf(pid)), kSaved);
    EXPECT_EQ(results[1], (WindowRestoreResult{"Gone", RestoreStatus::failed, "No matching AX window found",
                                               QRectF(0, 30, 300, 300), std::nullopt}));

    desktop().setScreens({});
    const QList<WindowRestoreResult> noScreen = place(pid, {savedWindow(kSaved, "Doc")});
    EXPECT_EQ(noScreen[0].reason, "No screen available");
}

// A saved minimised window counts as minimised again only when it reads back so.
TEST_F(WindowPlacerTest, MinimisingAgainIsReadBack) {
    struct Case {
        const char* name;
        std::function<void(SimulatedDesktop::Window&)> fault;
        bool minimized;
        RestoreStatus status;
        QString reason;
        // What the result says was done: only what reads back.
        QStringList actions;
        QRectF live = QRectF(400, 300, 600, 400);
    };
    const QList<Case> cases{
        {"at once", {}, true, RestoreStatus::restored, "Window minimized", {"moved", "minimised"}},
        {"a moment later",
         [](SimulatedDesktop::Window& w) { w.faults.stateChangeDelay = Clock::Duration(250); },
         true,
         RestoreStatus::restored,
         "Window minimized",
         {"moved", "minimised"}},
        {"refused",
         [](SimulatedDesktop::Window& w) {
             w.faults.writeErrors.insert("AXMinimized", AXError::CannotComplete);
         },
         false,
         RestoreStatus::failed,
         "Failed to minimize window",
         {"moved"}},
        {"never in time",
         [](SimulatedDesktop::Window& w) { w.faults.stateChangeDelay = Clock::Duration(60000); },
         false,
         RestoreStatus::failed,
         "Failed to minimize window",
         {"moved"}},
        {"minimised where it was saved already",
         [](SimulatedDesktop::Window& w) { w.minimized = true; },
         true,
         RestoreStatus::restored,
         "Window minimized",
         {},
         kSaved},
        {"minimised already, elsewhere",
         [](SimulatedDesktop::Window& w) { w.minimized = true; },
         true,
         RestoreStatus::restored,
         "Window minimized",
         {"moved"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qint32 pid = appWith(c.live, c.fault);
        WindowSnapshot minimised = savedWindow(kSaved, "Doc");
        minimised.isMinimized = true;
        const QList<WindowRestoreResult> results = place(pid, {minimised});
        ASSERT_EQ(results.size(), 1);
        EXPECT_EQ(results[0].status, c.status);
        EXPECT_EQ(results[0].reason, c.reason);
        EXPECT_EQ(results[0].requestedFrame, kSaved);
        EXPECT_EQ(results[0].actualFrame, kSaved);
        EXPECT_EQ(desktop().window(windowOf(pid))->minimized, c.minimized);
        EXPECT_EQ(results[0].actions, c.actions);
        desktop().removeApplication(pid);
    }
}

TEST_F(WindowPlacerTest, IndexFallbackNeverTakesAWindowTheMatcherPaired) {
    const QRectF third(700, 300, 500, 400);
    const qint32 pid = addApp("org.example.Editor",
                              {QRectF(0, 30, 300, 300), QRectF(350, 30, 300, 300), third}, {"X", "Y", "Z"});
    const QList<WindowRestoreResult> results =
        place(pid, {savedWindow(third, "Z", 0), savedWindow(QRectF(100, 500, 400, 300), "Q", 2)});
    EXPECT_EQ(results[0].reason, "Already at correct position");
    EXPECT_EQ(frameOf(windowOf(pid, 2)), third);
    // Its position is held: it takes the window nothing claimed nearest its saved frame.
    EXPECT_EQ(results[1].reason, "Geometry verified (match=indexFallback, attempts=1)");
    EXPECT_EQ(frameOf(windowOf(pid, 0)), QRectF(100, 500, 400, 300));
}

TEST_F(WindowPlacerTest, PreparesMinimisedAndFullScreenWindowsBeforeMoving) {
    const qint32 pid = appWith(QRectF(400, 300, 600, 400), [](SimulatedDesktop::Window& w) {
        w.minimized = true;
        w.fullScreen = true;
        w.faults.stateChangeDelay = Clock::Duration(250);
    });
    const QList<WindowRestoreResult> results = place(pid, {savedWindow(kSaved, "Doc")});
    const SimulatedDesktop::Window* w = desktop().window(windowOf(pid));
    EXPECT_FALSE(w->minimized);
    EXPECT_FALSE(w->fullScreen);
    EXPECT_EQ(results[0].status, RestoreStatus::restored);
    EXPECT_EQ(w->frame, kSaved);

    // A window that stays minimised is never called back, even where its frame already is; that
    // is said once the wait for it is over, with no attempts at a frame that cannot be seen.
    const qint32 stuck = appWith(kSaved, [](SimulatedDesktop::Window& w) {
        w.minimized = true;
        w.faults.stateChangeDelay = Clock::Duration(60000);
    });
    const qint64 start = elapsedMs();
    const QList<WindowRestoreResult> notBack = place(stuck, {savedWindow(kSaved, "Doc")});
    EXPECT_EQ(notBack[0].status, RestoreStatus::failed);
    EXPECT_EQ(notBack[0].reason, "Window stays minimized: the window manager did not show it");
    EXPECT_LE(elapsedMs() - start, 2000);
}

// Windows are shown and read at rest together, and minimised again together: one wait for each
// step, not one per window.
TEST_F(WindowPlacerTest, WindowsShownOrMinimisedTogetherWaitTogether) {
    const QRectF other(200, 150, 500, 400);
    const qint32 pid = addApp("org.example.Editor",
                              {QRectF(400, 300, 600, 400), QRectF(600, 200, 500, 400),
                               QRectF(10, 10, 300, 200), QRectF(20, 20, 300, 200)},
                              {"Doc", "Other", "Down", "Under"});
    for (const quint32 window : desktop().windowsOf(pid)) {
        desktop().updateWindow(window, [](SimulatedDesktop::Window& w) {
            w.minimized = w.title == "Doc" || w.title == "Other";
            w.faults.stateChangeDelay = Clock::Duration(w.minimized ? 0 : 250);
        });
    }
    QList<WindowSnapshot> saved{savedWindow(kSaved, "Doc"), savedWindow(other, "Other", 1),
                                savedWindow(QRectF(700, 500, 300, 200), "Down", 2),
                                savedWindow(QRectF(800, 500, 300, 200), "Under", 3)};
    saved[2].isMinimized = saved[3].isMinimized = true;
    const QList<WindowRestoreResult> results = place(pid, saved);
    ASSERT_EQ(results.size(), 4);
    for (qsizetype i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i].status, RestoreStatus::restored);
        EXPECT_EQ(results[i].actions,
                  QStringList({i < 2 ? "shown" : "moved", i < 2 ? "moved" : "minimised"}));
    }
    // The two kept minimised are minimised where they stand, read so at the first look 20 ms
    // apart after their 250 ms, and read back on their frames at the first look 10 ms after the
    // moves. Meanwhile the others are shown at the first look, 100 ms after they were asked, at
    // rest after seven reads 20 ms apart, and their two moves read back together 10 ms after.
    EXPECT_EQ(elapsedMs(), 260 + 10);

    // A later attempt of the same restore does not read again what an earlier one read at rest.
    const qint32 shown = appWith(QRectF(120, 110, 800, 600));
    const auto readAtRest = std::make_shared<QSet<AXElement>>();
    for (const qint64 waitedMs : {7 * 20, 0}) {
        const qint64 start = elapsedMs();
        const QList<WindowRestoreResult> again = run(WindowPlacer::restoreWindowPositions(
            running(shown), {savedWindow(kSaved, "Doc")}, DisplayMapper::captureDisplays(), {},
            {AXElement{windowOf(shown)}}, readAtRest));
        EXPECT_EQ(again.value(0).actions, QStringList{"shown"});
        EXPECT_EQ(elapsedMs() - start, waitedMs);
    }

    // A window drawn on its way to its icon (its frame moving for a while once it reads minimised)
    // is waited for until its frame is back where it was placed.
    const qint32 drawn =
        appWith(kSaved, [](SimulatedDesktop::Window& w) { w.faults.stateChangeDelay = Clock::Duration(50); });
    const quint32 icon = windowOf(drawn);
    const qint64 from = elapsedMs();
    ClockTimer drawing = clock().startTimer(Clock::Duration(20), true, [&] {
        desktop().updateWindow(icon, [](SimulatedDesktop::Window& w) { w.frame.translate(10, 100); });
    });
    const ClockTimer landed = clock().startTimer(Clock::Duration(250), false, [&] {
        drawing.cancel();
        desktop().updateWindow(icon, [](SimulatedDesktop::Window& w) { w.frame = kSaved; });
    });
    WindowSnapshot down = savedWindow(kSaved, "Doc");
    down.isMinimized = true;
    const QList<WindowRestoreResult> iconified = place(drawn, {down});
    EXPECT_EQ(iconified.value(0).status, RestoreStatus::restored);
    // Minimised at the third look 20 ms apart, on its way until it lands, back at the first look
    // after.
    EXPECT_EQ(elapsedMs() - from, 260);

    // A window minimised already and still drawn on its way to its icon when the restore reads it
    // is read until it stands still: back where it stood, it is not moved.
    const qint32 flying = appWith(kSaved, [](SimulatedDesktop::Window& w) { w.minimized = true; });
    const quint32 flier = windowOf(flying);
    ClockTimer flight = clock().startTimer(Clock::Duration(20), true, [&] {
        desktop().updateWindow(flier, [](SimulatedDesktop::Window& w) { w.frame.translate(10, 100); });
    });
    const ClockTimer home = clock().startTimer(Clock::Duration(90), false, [&] {
        flight.cancel();
        desktop().updateWindow(flier, [](SimulatedDesktop::Window& w) { w.frame = kSaved; });
    });
    desktop().updateWindow(flier, [](SimulatedDesktop::Window& w) { w.frame.translate(10, 100); });
    const QList<WindowRestoreResult> stayed = place(flying, {down});
    EXPECT_EQ(stayed.value(0).status, RestoreStatus::restored);
    EXPECT_EQ(stayed.value(0).actions, QStringList());
    // Minimised on its target already, nothing is asked of it and the look comes at once.
    const qint64 still = elapsedMs();
    EXPECT_EQ(place(flying, {down}).value(0).status, RestoreStatus::restored);
    EXPECT_EQ(elapsedMs() - still, 0);
}

TEST_F(WindowPlacerTest, WaitsOutASplashScreenOnceOnTheMonotonicClock) {
    // Splash for 45 s: every saved window fails after 40 s of waiting, however the wall clock jumps.
    const qint32 slow = addApp("org.example.Slow", "Slow");
    addSplash(slow);
    const ClockTimer jump = clock().startTimer(
        Clock::Duration(10000), false, [this] { clock().setWallNow(clock().wallNow().addSecs(-3600)); });
    const QList<WindowRestoreResult> failed =
        place(slow, {savedWindow(kSaved, "Doc"), savedWindow(QRectF(200, 200, 500, 400), "Other", 1)});
    ASSERT_EQ(failed.size(), 2);
    for (const WindowRestoreResult& r : failed) {
        EXPECT_EQ(r.reason, "App only shows splash screen after 40s");
        EXPECT_FALSE(r.actualFrame.has_value());
    }
    EXPECT_EQ(failed[1].requestedFrame, QRectF(200, 200, 500, 400));
    EXPECT_LT(elapsedMs(), 42000);

    // Splash for 5 s: the rerun comes 0.5 s after the first check that sees a real window.
    const qint32 quick = addApp("org.example.Quick", "Quick");
    const quint32 splash = addSplash(quick);
    desktop().removeWindowLater(splash, Clock::Duration(5000));
    SimulatedDesktop::Window real;
    real.frame = QRectF(400, 300, 600, 400);
    real.title = "Doc";
    desktop().addWindowLater(quick, real, Clock::Duration(5000));
    const qint64 start = elapsedMs();
    // The second pass knows the windows there before, as the first: the real window was started.
    WindowMatcher::Bystanders before;
    before.windowsBefore = QSet<AXElement>{AXElement{splash}};
    const QList<WindowRestoreResult> placed = place(quick, {savedWindow(kSaved, "Doc")}, {}, before);
    EXPECT_EQ(placed[0].status, RestoreStatus::restored);
    EXPECT_EQ(placed[0].actions, (QStringList{"started", "moved"}));
    EXPECT_EQ(elapsedMs() - start,
              900 + 5000 + 500 + 10); // attempts on the splash, 5 polls, settle, one move read back

    // A real window that turns into a splash again is placed once more, not waited for again.
    const qint32 fickle = addApp("org.example.Fickle", "Fickle");
    desktop().removeWindowLater(addSplash(fickle), Clock::Duration(5000));
    SimulatedDesktop::Window stuck = real;
    stuck.faults.ignoresMoves = true;
    desktop().addWindowLater(fickle, stuck, Clock::Duration(5000));
    const ClockTimer swap = clock().startTimer(Clock::Duration(6000), false, [this, fickle] {
        desktop().removeWindow(windowOf(fickle));
        addSplash(fickle);
    });
    const qint64 again = elapsedMs();
    const QList<WindowRestoreResult> once = place(fickle, {savedWindow(kSaved, "Doc")});
    EXPECT_EQ(once[0].status, RestoreStatus::partiallyRestored);
    EXPECT_LT(elapsedMs() - again, 9000);
}

TEST_F(WindowPlacerTest, VerifiesEveryWindowWithin50PointsOfItsTarget) {
    const qint32 pid = addApp("org.example.Editor", {QRectF(100, 100, 850, 600)});
    const auto verify = [&](const QRectF& saved) {
        return WindowPlacer::verifyWindowPositionsWithMatcher(running(pid), {savedWindow(saved)},
                                                              DisplayMapper::captureDisplays());
    };
    EXPECT_TRUE(verify(kSaved));
    EXPECT_FALSE(verify(QRectF(100, 100, 799.99, 600)));
    EXPECT_FALSE(verify(QRectF(700, 100, 800, 600)));
    EXPECT_TRUE(WindowPlacer::verifyWindowPositionsWithMatcher(running(pid), {}, {}));
    // A window saved minimised is judged by its read-back, not by a frame to pair.
    WindowSnapshot minimised = savedWindow(QRectF(700, 100, 800, 600));
    minimised.isMinimized = true;
    EXPECT_TRUE(WindowPlacer::verifyWindowPositionsWithMatcher(running(pid), {savedWindow(kSaved), minimised},
                                                               DisplayMapper::captureDisplays()));
    desktop().setScreens({});
    EXPECT_TRUE(verify(QRectF(110, 100, 820, 600)));
}

// A window is brought out of the Dock for at most 2 seconds (looked at every 0.1 s) and out of full
// screen for at most 3 seconds (every 0.2 s); a slower one is moved as it is.
TEST_F(WindowPlacerTest, PreparationWaitsTwoSecondsForTheDockAndThreeForFullScreen) {
    struct Case {
        const char* name;
        bool minimized;
        bool fullScreen;
        int delayMs;
        qint64 waitedMs;
        // Minimised on a desktop not shown, under a manager that shows it there only by switching
        // to that desktop (one the platform does not know how to ask otherwise): it is left
        // minimised where it is, neither brought over nor shown by a switch.
        bool awayOnly = false;
    };
    const QList<Case> cases{
        {"back from the Dock", true, false, 250, 300},
        {"slow to come back from the Dock", true, false, 5000, 2000},
        {"out of full screen", false, true, 250, 400},
        {"slow to leave full screen", false, true, 5000, 3000},
        {"away, under a manager that shows it only by switching", true, false, 0, 2000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qint32 pid = appWith(QRectF(400, 300, 600, 400), [&c](SimulatedDesktop::Window& w) {
            w.minimized = c.minimized;
            w.fullScreen = c.fullScreen;
            w.faults.stateChangeDelay = Clock::Duration(c.delayMs);
            if (c.awayOnly) {
                w.onScreen = false;
                w.faults.readOverrides.insert(AXName::SpaceIndex, AXResult::success(AXValue::number(1)));
                w.faults.showsOnlyOnShownDesktop = true;
            }
        });
        const QList<AXElement> windows =
            AXWindowService::axWindowList(running(pid)).value_or(QList<AXElement>());
        ASSERT_EQ(windows.size(), 1);
        const qint64 before = elapsedMs();
        run(WindowPlacer::prepareWindowForGeometry(windows.first()));
        EXPECT_EQ(elapsedMs() - before, c.waitedMs);
        EXPECT_EQ(desktop().window(windowOf(pid))->minimized,
                  c.minimized && (c.delayMs > 2000 || c.awayOnly));
        EXPECT_EQ(desktop().window(windowOf(pid))->onScreen, !c.awayOnly);
        desktop().removeApplication(pid);
    }
}

// The file manager's frame comparison allows 50 points in each of x, y, width and height.
TEST(FinderWindowRestorerTest, FramesWithin50PointsMatch) {
    const SnapshotRect saved{100, 100, 800, 600};
    struct Case {
        SnapshotRect current;
        bool match;
    };
    const QList<Case> cases{
        {{150, 100, 800, 600}, true},   {{50, 50, 850, 650}, true},   {{150.5, 100, 800, 600}, false},
        {{100, 49.5, 800, 600}, false}, {{100, 100, 750, 600}, true}, {{100, 100, 800, 650.5}, false},
        {{100, 100, 849.5, 600}, true}, {{150, 150, 850, 650}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FinderWindowRestorer::framesMatch(c.current, saved), c.match)
            << c.current.x << "," << c.current.y << " " << c.current.width << "x" << c.current.height;
    }
}

// A saved folder is a path when it is one of this machine's, and folders compare without their
// closing slash.
TEST(FinderWindowRestorerTest, SavedFoldersAsHandedAndAsCompared) {
    const struct {
        const char* saved;
        const char* path;
        const char* key;
    } rows[] = {
        {"/home/me/a/", "/home/me/a/", "/home/me/a"},
        {"file:///home/me/a/", "/home/me/a", "/home/me/a"},
        {"file://localhost/home/me/%61", "/home/me/a", "/home/me/a"},
        {"file://server/home/me/a", "file://server/home/me/a", "file://server/home/me/a"},
        {"file:///home/me/a?x=1", "file:///home/me/a?x=1", "file:///home/me/a?x=1"},
        {"file:///", "/", "/"},
        {"//", "//", "/"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FinderWindowRestorer::folderPath(row.saved), row.path) << row.saved;
        EXPECT_EQ(FinderWindowRestorer::folderKey(row.saved), row.key) << row.saved;
    }
}

} // namespace
