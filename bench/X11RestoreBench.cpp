// Saving and restoring on the real X11 desktop (the tests' X session: Xvfb with two monitors,
// openbox, or the manager ORDELLA_BENCH_MANAGER names). A scene of N windows shown by P processes
// of the test window program is arranged over
// both monitors, captured, then scrambled by this benchmark (two windows in five moved to the
// other monitor, one in five minimised, one in seven raised) and restored. Each process is an
// application of its own (started as from a desktop entry of its own). Reported per scene:
//   save_ms           the capture of the desktop
//   restore_ms        the restore, wall time (the iteration's time)
//   unchanged_ms      the same restore once more, with nothing left to do
//   paused_ms         the time the restore spent waiting on its clock (its pauses and poll steps:
//                     the least it could take), and ratio = restore_ms / paused_ms
//   save_trips/window, restore_trips/window   waits for the X server, per window (one per round
//                     trip on a quiet machine; answers that come in pieces count again)
//   plan_ms/app, plan_trips/app   planning the restore (reading the scrambled desktop against
//                     the workspace), per application
//   placed            windows back where they were saved (within 50 points), of N
//   open_cpu_ms       Ordella's processor time while the scene's windows open (its event loop
//                     turning meanwhile, as it does for a user who opens windows)
//   restore_cpu_ms    Ordella's processor time for the restore (all its threads)
// Scenes: 20 windows of 20 programs, 60 of 20, and one program with 30, 100 and 300 windows (the
// scaling curve); 20 of 20 and 30 of one again with two virtual desktops, every other window on
// the second one while the first is shown (desktops=2); with ORDELLA_BENCH_SMOKE one small scene, with
// ORDELLA_BENCH_ONE the 30 windows of one program alone (for a profile or a debugger).
// BM_X11ShowAgain: one program's 20 or 100 windows, all minimised where they were saved on the
// desktop shown, restored by a workspace that saved them shown, then by one that saved them
// minimised (show_ms, hide_ms, also per window; show_paused_ms, hide_paused_ms and the ratios as
// above; shown, minimised: the windows that read back as saved); then that restore again with
// nothing left to do (same_ms), and with "close other apps" when there is no other application
// (close_none_ms) and when one other program runs (close_one_ms; closed: 1 once it is gone).
// What the waits left in these restores wait for; all but the stacking's are asked of all the
// windows of an application at once and waited for together, each ends on what it waits for:
//   - the manager moving windows to their desktops, showing minimised ones (100 ms steps, 2 s at
//     most) and taking windows out of full screen (200 ms steps, 3 s);
//   - the frames of the windows shown again standing still over seven reads 20 ms apart (1 s at
//     most): a manager may draw a window back from its icon over a few frames;
//   - the windows saved minimised reading back on their frames (10 ms steps, 0.5 s), then
//     minimised (100 ms steps, 2 s);
//   - the windows moved, 50 ms for the moves to show, and 100 to 800 ms between attempts while
//     some do not stand where they were asked to; 100 to 800 ms between attempts at an
//     application (placed windows that do not read back where saved);
//   - the stacking order: 50 ms after each application activated, then until the last raise
//     shows (20 ms steps, 2 s); an application's windows are raised back to back;
//   - an application with no window in view (all minimised, say): until one shows once it is
//     un-hidden (100 ms steps, 2 s), then activated (1.5 s);
//   - with "close other apps", the applications asked to quit, until they are gone (20 ms steps,
//     0.5 s at most); none when none was asked.
// A wait on windows the restore just asked a change of looks first one step after it asked; a wait
// that reads the same windows again and again asks for them a fifth of its step (at most 20 ms)
// before each look, so that the X server answers while it pauses.
// Not waited for: the notification server's answer to the notification of the restore.
// The benchmark's own waits, outside the times measured: the windows to appear and stand where
// they were arranged, and before each capture and restore, the windows to read minimised (or
// shown) on their places over seven reads 20 ms apart: openbox draws a window going to or coming
// from its icon by moving its frame for about 150 ms after it reads minimised, and a capture or
// restore begun meanwhile reads the frames on their way.
#include "X11BenchScene.h"
#include "X11BenchSession.h"
#include "X11BenchWindows.h"

#include "PauseClock.h"
#include "Platform/Linux/LinuxPlatform.h"
#include "Platform/Linux/X11Connection.h"
#include "Platform/SystemClock.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Restore/RestorePlanner.h"

#include <QGuiApplication>
#include <QRect>

#include <ctime>

#include <benchmark/benchmark.h>

#include <qcoro/qcorotask.h>

namespace {

using namespace bench;

using bench::PauseClock;

std::shared_ptr<PauseClock> g_clock;

struct SceneWindow {
    xcb_window_t window = XCB_WINDOW_NONE;
    QPoint place; // where its frame was arranged, in root coordinates
    quint32 desktop = 0;
};

// The processor time the calling thread has used so far, in milliseconds.
double threadCpuMs() {
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return double(time.tv_sec) * 1e3 + double(time.tv_nsec) / 1e6;
}

// The processor time the whole process has used so far, in milliseconds.
double processCpuMs() {
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return double(time.tv_sec) * 1e3 + double(time.tv_nsec) / 1e6;
}

// Turns the event loop until check holds (at most timeoutMs), then for settleMs more; adds the
// processor time the event loop took to *cpuMs. The check's own work is not counted.
bool turnUntil(const std::function<bool()>& check, int timeoutMs, int settleMs, double* cpuMs) {
    const auto turn = [cpuMs] {
        const double before = threadCpuMs();
        QCoreApplication::processEvents();
        *cpuMs += threadCpuMs() - before;
    };
    const bool held = bench::X11BenchSession::waitFor(
        [&] {
            turn();
            return check();
        },
        timeoutMs);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < settleMs) {
        turn();
        QThread::usleep(2000);
    }
    return held;
}

// The managed windows of the processes once there are count of them, the event loop turned
// meanwhile (its processor time added to *cpuMs) and for 300 ms more so that Ordella has taken
// them in; nothing when they did not all come within a minute.
std::optional<QList<xcb_window_t>> awaitWindows(const QList<qint64>& pids, int count, double* cpuMs) {
    QList<xcb_window_t> found;
    const bool all = turnUntil(
        [&] {
            found = windowsOf(pids);
            return found.size() == count;
        },
        60000, 300, cpuMs);
    return all ? std::optional<QList<xcb_window_t>>(found) : std::nullopt;
}

// Waits until every window reads minimised (or shown) with its frame at its place over seven
// reads 20 ms apart: the manager is done with it. Openbox draws a window going to or coming from
// its icon by moving its frame for a while after it reads minimised; a capture or a restore that
// began meanwhile would read the frames on their way.
bool settled(const QList<xcb_window_t>& windows, const QList<QPoint>& places, bool minimised) {
    int still = 0;
    return bench::X11BenchSession::waitFor(
        [&] {
            bool all = true;
            for (qsizetype i = 0; i < windows.size() && all; ++i) {
                all = isMinimized(windows[i]) == minimised && frameTopLeft(windows[i]) == places[i];
            }
            still = all ? still + 1 : 0;
            if (still < 7) {
                QThread::msleep(19);
            }
            return still >= 7;
        },
        10000);
}

void BM_X11Restore(benchmark::State& state) {
    const int windowCount = int(state.range(0));
    const int processCount = int(state.range(1));
    const int desktops = int(state.range(2));
    if (!useDesktops(desktops)) {
        state.SkipWithError("the window manager keeps another number of desktops");
        return;
    }
    for (auto _ : state) {
        X11BenchScene programs;
        if (!programs.start(QStringLiteral("Bench"), windowCount, processCount)) {
            state.SkipWithError("cannot write the desktop entries");
            return;
        }
        const QList<qint64>& pids = programs.pids();
        double openCpuMs = 0;
        const std::optional<QList<xcb_window_t>> opened = awaitWindows(pids, windowCount, &openCpuMs);
        if (!opened) {
            state.SkipWithError("the scene's windows did not all appear");
            return;
        }
        const QList<xcb_window_t> found = *opened;
        QList<SceneWindow> scene;
        for (int i = 0; i < found.size(); ++i) {
            scene.append({found[i], X11BenchScene::place(i), X11BenchScene::desktop(i, desktops)});
        }
        if (!X11BenchScene::arrangeWindows(found, desktops)) {
            state.SkipWithError("the scene could not be arranged");
            return;
        }

        // As a request to Ordella would, the capture starts from the event loop.
        QCoreApplication::processEvents();
        const quint64 tripsBeforeSave = X11Connection::roundTrips();
        QElapsedTimer timer;
        timer.start();
        const std::optional<Workspace> workspace =
            QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Bench")));
        const double saveMs = double(timer.nsecsElapsed()) / 1e6;
        const double saveTrips = double(X11Connection::roundTrips() - tripsBeforeSave);
        if (!workspace) {
            state.SkipWithError("the capture failed");
            return;
        }

        // Scrambled: moved to the other monitor, minimised, raised.
        for (int i = 0; i < scene.size(); ++i) {
            if (i % 5 == 0 || i % 5 == 2) {
                moveFrame(scene[i].window,
                          scene[i].place + QPoint(i % 2 == 0 ? kMonitorWidth : -kMonitorWidth, 60));
            } else if (i % 5 == 1) {
                sendRootMessage(scene[i].window, "WM_CHANGE_STATE", {3, 0, 0, 0, 0});
                // A window of a desktop not shown is minimised through its hidden state.
                if (scene[i].desktop != 0) {
                    sendRootMessage(scene[i].window, "_NET_WM_STATE",
                                    {1, g_session->atom("_NET_WM_STATE_HIDDEN"), 0, 2, 0});
                }
            }
            // With two desktops, one window in five is taken to the other one as well.
            if (desktops > 1 && i % 5 == 2) {
                sendRootMessage(scene[i].window, "_NET_WM_DESKTOP", {1 - scene[i].desktop, 2, 0, 0, 0});
            }
            if (i % 7 == 3) {
                const quint32 above = XCB_STACK_MODE_ABOVE;
                xcb_configure_window(g_session->xcb(), scene[i].window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
            }
        }
        xcb_flush(g_session->xcb());
        bench::X11BenchSession::waitFor(
            [&] {
                for (int i = 0; i < scene.size(); ++i) {
                    if ((i % 5 == 1) != isMinimized(scene[i].window)) {
                        return false;
                    }
                }
                return true;
            },
            30000);

        // Planning alone, as the restore starts with it: reading the desktop against the workspace.
        QCoreApplication::processEvents();
        timer.restart();
        const quint64 tripsBeforePlan = X11Connection::roundTrips();
        const RestorePlan plan = QCoro::waitFor(RestorePlanner::analyzeCurrentState(*workspace));
        const double planMs = double(timer.nsecsElapsed()) / 1e6;
        const double planTrips = double(X11Connection::roundTrips() - tripsBeforePlan);

        QCoreApplication::processEvents();
        g_clock->reset();
        const quint64 tripsBeforeRestore = X11Connection::roundTrips();
        RestoreCoordinator coordinator;
        const double cpuBeforeRestore = processCpuMs();
        timer.restart();
        const RestoreReport report = QCoro::waitFor(coordinator.restore(*workspace, false));
        const double restoreMs = double(timer.nsecsElapsed()) / 1e6;
        const double restoreCpuMs = processCpuMs() - cpuBeforeRestore;
        const double restoreTrips = double(X11Connection::roundTrips() - tripsBeforeRestore);
        state.SetIterationTime(restoreMs / 1000);
        const double pausedMs = g_clock->pausedMs();
        // The same request again, with nothing left to do.
        QCoreApplication::processEvents();
        timer.restart();
        QCoro::waitFor(coordinator.restore(*workspace, false));
        const double unchangedMs = double(timer.nsecsElapsed()) / 1e6;

        int placed = 0;
        for (const SceneWindow& w : scene) {
            const std::optional<QPoint> at = frameTopLeft(w.window);
            if (at && !isMinimized(w.window) && desktopOf(w.window) == w.desktop &&
                (*at - w.place).manhattanLength() <= 50) {
                ++placed;
            }
        }
        qsizetype captured = 0;
        for (const AppSnapshot& app : workspace->appSnapshots) {
            captured += app.windowSnapshots.size();
        }
        state.counters["captured"] = double(captured);
        state.counters["plan_ms/app"] = planMs / std::max<qsizetype>(1, plan.appPlans.size());
        state.counters["plan_trips/app"] = planTrips / std::max<qsizetype>(1, plan.appPlans.size());
        state.counters["windows"] = windowCount;
        state.counters["programs"] = processCount;
        state.counters["desktops"] = desktops;
        state.counters["save_ms"] = saveMs;
        state.counters["save_trips/window"] = saveTrips / windowCount;
        state.counters["restore_ms"] = restoreMs;
        state.counters["unchanged_ms"] = unchangedMs;
        state.counters["paused_ms"] = pausedMs;
        state.counters["ratio"] = pausedMs > 0 ? restoreMs / pausedMs : 0;
        state.counters["restore_trips/window"] = restoreTrips / windowCount;
        state.counters["placed"] = placed;
        state.counters["open_cpu_ms"] = openCpuMs;
        state.counters["restore_cpu_ms"] = restoreCpuMs;
        state.counters["restored"] = report.status == RestoreStatus::restored ? 1 : 0;
    }
}

// One program's windows, all minimised on the desktop shown, restored shown (a workspace saved
// with them shown), then restored minimised again (one saved with them minimised).
void BM_X11ShowAgain(benchmark::State& state) {
    const int windowCount = int(state.range(0));
    if (!useDesktops(1)) {
        state.SkipWithError("the window manager keeps another number of desktops");
        return;
    }
    for (auto _ : state) {
        QProcess* process = g_session->launch(
            QStringLiteral(ORDELLA_BINARY_DIR "/programs/ordella-test-window"),
            {QStringLiteral("--caption"), QStringLiteral("Shown"), QStringLiteral("--count"),
             QString::number(windowCount), QStringLiteral("--size"), QStringLiteral("300x200")});
        process->waitForStarted();
        const QList<qint64> pids{process->processId()};
        double openCpuMs = 0;
        const std::optional<QList<xcb_window_t>> opened = awaitWindows(pids, windowCount, &openCpuMs);
        if (!opened) {
            state.SkipWithError("the windows did not all appear");
            return;
        }
        const QList<xcb_window_t> found = *opened;
        QList<QPoint> places;
        for (int i = 0; i < found.size(); ++i) {
            places.append(X11BenchScene::place(i));
            moveFrame(found[i], places.last());
        }
        xcb_flush(g_session->xcb());
        const auto all = [&](const std::function<bool(int)>& check) {
            for (int i = 0; i < found.size(); ++i) {
                if (!check(i)) {
                    return false;
                }
            }
            return true;
        };
        if (!bench::X11BenchSession::waitFor(
                [&] { return all([&](int i) { return frameTopLeft(found[i]) == places[i]; }); }, 60000)) {
            state.SkipWithError("the windows could not be arranged");
            return;
        }
        QCoreApplication::processEvents();
        const std::optional<Workspace> shown =
            QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Shown")));
        for (const xcb_window_t window : found) {
            sendRootMessage(window, "WM_CHANGE_STATE", {3, 0, 0, 0, 0});
        }
        xcb_flush(g_session->xcb());
        if (!settled(found, places, true)) {
            state.SkipWithError("the windows were not minimised");
            return;
        }
        QCoreApplication::processEvents();
        const std::optional<Workspace> minimised =
            QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Minimised")));
        if (!shown || !minimised) {
            state.SkipWithError("the capture failed");
            return;
        }

        RestoreCoordinator coordinator;
        QElapsedTimer timer;
        const auto restore = [&](const Workspace& workspace, double* ms, double* pausedMs,
                                 bool closeOthers = false) {
            QCoreApplication::processEvents();
            g_clock->reset();
            timer.restart();
            QCoro::waitFor(coordinator.restore(workspace, closeOthers));
            *ms = double(timer.nsecsElapsed()) / 1e6;
            *pausedMs = g_clock->pausedMs();
        };
        double showMs = 0;
        double showPausedMs = 0;
        restore(*shown, &showMs, &showPausedMs);
        state.SetIterationTime(showMs / 1000);
        int back = 0;
        for (int i = 0; i < found.size(); ++i) {
            const std::optional<QPoint> at = frameTopLeft(found[i]);
            back += at && !isMinimized(found[i]) && (*at - places[i]).manhattanLength() <= 50 ? 1 : 0;
        }
        // Each restore starts from a desktop the manager is done with (see settled).
        settled(found, places, false);
        double hideMs = 0;
        double hidePausedMs = 0;
        restore(*minimised, &hideMs, &hidePausedMs);
        int down = 0;
        for (const xcb_window_t window : found) {
            down += isMinimized(window) ? 1 : 0;
        }
        settled(found, places, true);
        // The same restore with nothing left to do, without and with "close other apps": with no
        // other application, and with one that quits when asked (a program of its own entry).
        double sameMs = 0;
        double closeNoneMs = 0;
        double closeOneMs = 0;
        double paused = 0;
        restore(*minimised, &sameMs, &paused);
        restore(*minimised, &closeNoneMs, &paused, true);
        const QString entry = applicationsFolder() + QStringLiteral("/ordella-bench-other.desktop");
        QFile file(entry);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write("[Desktop Entry]\nType=Application\nName=Bench Other\nExec=" ORDELLA_BINARY_DIR
                       "/programs/ordella-test-window\n") < 0) {
            state.SkipWithError("cannot write the desktop entry");
            return;
        }
        file.close();
        qputenv("GIO_LAUNCHED_DESKTOP_FILE", QFile::encodeName(entry));
        QProcess* other =
            g_session->launch(QStringLiteral(ORDELLA_BINARY_DIR "/programs/ordella-test-window"),
                              {QStringLiteral("--caption"), QStringLiteral("Other")});
        other->waitForStarted();
        qunsetenv("GIO_LAUNCHED_DESKTOP_FILE");
        const QList<qint64> otherPids{other->processId()};
        double ignored = 0;
        awaitWindows(otherPids, 1, &ignored);
        restore(*minimised, &closeOneMs, &paused, true);
        // Gone before the next capture: the entry's program line would name that one's program too.
        QFile::remove(entry);
        state.counters["same_ms"] = sameMs;
        state.counters["close_none_ms"] = closeNoneMs;
        state.counters["close_one_ms"] = closeOneMs;
        state.counters["closed"] = windowsOf(otherPids).isEmpty() ? 1 : 0;
        state.counters["windows"] = windowCount;
        state.counters["show_ms"] = showMs;
        state.counters["show_ms/window"] = showMs / windowCount;
        state.counters["show_paused_ms"] = showPausedMs;
        state.counters["show_ratio"] = showPausedMs > 0 ? showMs / showPausedMs : 0;
        state.counters["shown"] = back;
        state.counters["hide_ms"] = hideMs;
        state.counters["hide_ms/window"] = hideMs / windowCount;
        state.counters["hide_paused_ms"] = hidePausedMs;
        state.counters["hide_ratio"] = hidePausedMs > 0 ? hideMs / hidePausedMs : 0;
        state.counters["minimised"] = down;

        process->terminate();
        bench::X11BenchSession::waitFor([&] { return windowsOf(pids).isEmpty(); }, 20000);
    }
}

} // namespace

int main(int argc, char** argv) {
    bench::X11BenchSession session;
    QString error;
    if (!session.start(&error, qEnvironmentVariable("ORDELLA_BENCH_MANAGER"))) {
        QTextStream(stderr) << "X11RestoreBench: " << error << '\n';
        return 1;
    }
    if (!bench::X11BenchSession::useTwoMonitors()) {
        QTextStream(stderr) << "X11RestoreBench: the monitors could not be set up\n";
        return 1;
    }
    // The whole platform waits on the pause clock, the window pictures and the scripting hosts too.
    g_clock = std::make_shared<PauseClock>();
    if (!session.startOrdella(argc, argv, g_clock, &error)) {
        QTextStream(stderr) << "X11RestoreBench: " << error << '\n';
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    g_session = &session;

    auto* bm = benchmark::RegisterBenchmark("BM_X11Restore", BM_X11Restore);
    bm->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->ArgNames({"windows", "programs", "desktops"});
    if (std::getenv("ORDELLA_BENCH_SMOKE")) {
        bm->Args({6, 2, 1})->Args({6, 2, 2});
    } else if (std::getenv("ORDELLA_BENCH_ONE")) {
        bm->Args({30, 1, 1});
    } else {
        bm->Args({20, 20, 1})->Args({60, 20, 1})->Args({30, 1, 1})->Args({100, 1, 1})->Args({300, 1, 1});
        bm->Args({20, 20, 2})->Args({30, 1, 2});
    }
    auto* shown = benchmark::RegisterBenchmark("BM_X11ShowAgain", BM_X11ShowAgain);
    shown->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->ArgNames({"windows"});
    if (std::getenv("ORDELLA_BENCH_SMOKE")) {
        shown->Arg(6);
    } else {
        shown->Arg(20)->Arg(100);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_session = nullptr;
    return 0;
}
