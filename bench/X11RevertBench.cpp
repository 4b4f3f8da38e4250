// Reverting on the real X11 desktop (the tests' X session: Xvfb with two monitors; openbox, or the
// manager named by ORDELLA_BENCH_MANAGER). N windows of P processes of the test window program are
// arranged over both monitors (with desktops=2 every other one on the second desktop, the first
// shown) and one in four is minimised; the desktop is recorded as a restore records it before it
// starts, then scrambled as a restore would leave it (every window moved to the other monitor, one
// in five shown windows minimised, the minimised ones of the desktop shown shown again) and the
// record reverted.
// Reported per scene:
//   revert_ms, revert_ms/window   the revert, wall time (the iteration's time), also per window
//   paused_ms     the time the revert spent waiting on its clock (its pauses and poll steps: the
//                 least it could take), and ratio = revert_ms / paused_ms
//   placed        windows saved shown that read back shown where they were (within 50 points)
//   minimised     windows saved minimised that read back minimised
// What the waits left in a revert wait for; all are asked of every window of an application at
// once and waited for together, and each ends on what it waits for:
//   - the manager moving windows to their desktops and showing minimised ones (100 ms steps, 2 s
//     at most), then the frames of the windows shown again standing still over seven reads 20 ms
//     apart (1 s at most);
//   - the windows saved minimised reading back on their frames (20 ms steps, 0.5 s), then
//     minimised (20 ms steps, 2 s);
//   - the moves of the others showing where they were asked (20 ms steps, 1 s).
#include "X11BenchScene.h"
#include "X11BenchSession.h"
#include "X11BenchWindows.h"

#include "PauseClock.h"
#include "Platform/Linux/LinuxPlatform.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RevertStateManager.h"

#include <QGuiApplication>
#include <QPoint>

#include <array>

#include <benchmark/benchmark.h>

#include <qcoro/qcorotask.h>

namespace {

using namespace bench;
std::shared_ptr<bench::PauseClock> g_clock;

void minimise(xcb_window_t window) {
    sendRootMessage(window, "WM_CHANGE_STATE", {3, 0, 0, 0, 0});
    sendRootMessage(window, "_NET_WM_STATE", {1, g_session->atom("_NET_WM_STATE_HIDDEN"), 0, 2, 0});
}

// Shown again as a pager shows a window of the desktop shown: mapped and activated (some managers
// let a map alone pass).
void showAgain(xcb_window_t window) {
    xcb_map_window(g_session->xcb(), window);
    sendRootMessage(window, "_NET_ACTIVE_WINDOW", {2, XCB_CURRENT_TIME, 0, 0, 0});
}

// Turns the event loop until check holds, for at most timeoutMs.
bool turnUntil(const std::function<bool()>& check, int timeoutMs) {
    return bench::X11BenchSession::waitFor(
        [&] {
            QCoreApplication::processEvents();
            return check();
        },
        timeoutMs);
}

void BM_X11Revert(benchmark::State& state) {
    const int windowCount = int(state.range(0));
    const int processCount = int(state.range(1));
    const int desktops = int(state.range(2));
    if (!useDesktops(desktops)) {
        state.SkipWithError("the window manager keeps another number of desktops");
        return;
    }
    for (auto _ : state) {
        X11BenchScene scene;
        if (!scene.start(QStringLiteral("Revert"), windowCount, processCount)) {
            state.SkipWithError("cannot write the desktop entries");
            return;
        }
        const QList<qint64>& pids = scene.pids();
        QList<xcb_window_t> found;
        if (!turnUntil(
                [&] {
                    found = windowsOf(pids);
                    return found.size() == windowCount;
                },
                60000)) {
            state.SkipWithError("the scene's windows did not all appear");
            return;
        }
        QList<QPoint> places;
        QList<quint32> onDesktop;
        QList<bool> savedMinimised;
        for (int i = 0; i < found.size(); ++i) {
            places << X11BenchScene::place(i);
            onDesktop << X11BenchScene::desktop(i, desktops);
            savedMinimised << (i % 4 == 3);
        }
        if (!X11BenchScene::arrangeWindows(found, desktops) ||
            !arrange(
                found, [&](int i) { return isMinimized(found[i]) == savedMinimised[i]; },
                [&](int i) {
                    if (savedMinimised[i]) {
                        minimise(found[i]);
                    }
                })) {
            state.SkipWithError("the scene could not be arranged");
            return;
        }
        QCoreApplication::processEvents();
        const std::optional<Workspace> workspace =
            QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Revert bench")));
        if (!workspace) {
            state.SkipWithError("the capture failed");
            return;
        }
        RevertStateManager reverts;
        const std::optional<QString> id =
            QCoro::waitFor(reverts.captureCurrentState(QStringLiteral("Before"), false, *workspace));
        if (!id) {
            state.SkipWithError("the revert state was not recorded");
            return;
        }
        // As a restore leaves it: moved to the other monitor, some minimised, the minimised ones of
        // the desktop shown shown (showing one of another desktop would switch to it).
        const auto showsAgain = [&](int i) { return savedMinimised[i] && onDesktop[i] == 0; };
        const auto scrambled = [&](int i) {
            if (i % 5 == 1 && !savedMinimised[i]) {
                return isMinimized(found[i]);
            }
            return showsAgain(i) ? !isMinimized(found[i]) : isMinimized(found[i]) == savedMinimised[i];
        };
        arrange(
            found, [&](int i) { return frameTopLeft(found[i]) != places[i]; },
            [&](int i) {
                moveFrame(found[i], places[i] + QPoint(i % 2 == 0 ? kMonitorWidth : -kMonitorWidth, 60));
            });
        if (!arrange(found, scrambled, [&](int i) {
                if (i % 5 == 1 && !savedMinimised[i]) {
                    minimise(found[i]);
                } else if (showsAgain(i)) {
                    showAgain(found[i]);
                }
            })) {
            state.SkipWithError("the scene could not be scrambled");
            return;
        }

        QCoreApplication::processEvents();
        g_clock->reset();
        QElapsedTimer timer;
        timer.start();
        const RestoreReport report = QCoro::waitFor(reverts.revertToState(*id));
        const double revertMs = double(timer.nsecsElapsed()) / 1e6;
        const double pausedMs = g_clock->pausedMs();
        state.SetIterationTime(revertMs / 1000);

        int placed = 0;
        int minimised = 0;
        for (int i = 0; i < found.size(); ++i) {
            if (savedMinimised[i]) {
                minimised += isMinimized(found[i]) ? 1 : 0;
                continue;
            }
            const std::optional<QPoint> at = frameTopLeft(found[i]);
            if (at && !isMinimized(found[i]) && desktopOf(found[i]) == onDesktop[i] &&
                (*at - places[i]).manhattanLength() <= 50) {
                ++placed;
            }
        }
        state.counters["windows"] = windowCount;
        state.counters["programs"] = processCount;
        state.counters["desktops"] = desktops;
        state.counters["revert_ms"] = revertMs;
        state.counters["revert_ms/window"] = revertMs / windowCount;
        state.counters["paused_ms"] = pausedMs;
        state.counters["ratio"] = pausedMs > 0 ? revertMs / pausedMs : 0;
        state.counters["placed"] = placed;
        state.counters["minimised"] = minimised;
        state.counters["restored"] = report.status == RestoreStatus::restored ? 1 : 0;
    }
}

} // namespace

int main(int argc, char** argv) {
    bench::X11BenchSession session;
    QString error;
    if (!session.start(&error, qEnvironmentVariable("ORDELLA_BENCH_MANAGER"))) {
        QTextStream(stderr) << "X11RevertBench: " << error << '\n';
        return 1;
    }
    if (!bench::X11BenchSession::useTwoMonitors()) {
        QTextStream(stderr) << "X11RevertBench: the monitors could not be set up\n";
        return 1;
    }
    g_clock = std::make_shared<bench::PauseClock>();
    if (!session.startOrdella(argc, argv, g_clock, &error)) {
        QTextStream(stderr) << "X11RevertBench: " << error << '\n';
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    g_session = &session;

    auto* bm = benchmark::RegisterBenchmark("BM_X11Revert", BM_X11Revert);
    bm->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->ArgNames({"windows", "programs", "desktops"});
    if (std::getenv("ORDELLA_BENCH_SMOKE")) {
        bm->Args({6, 2, 1});
    } else {
        bm->Args({20, 1, 1})->Args({100, 1, 1})->Args({20, 20, 1})->Args({20, 1, 2});
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_session = nullptr;
    return 0;
}
