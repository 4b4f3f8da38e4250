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

constexpr int kMonitorWidth = 1920;

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

// Asks for what wanted says of each window until all are so (again every two seconds: a loaded
// manager now and then drops a request that comes while it is busy with the window).
bool arrange(const QList<xcb_window_t>& windows, const std::function<bool(int)>& isSo,
             const std::function<void(int)>& ask) {
    QElapsedTimer asked;
    asked.start();
    for (int i = 0; i < windows.size(); ++i) {
        ask(i);
    }
    xcb_flush(g_session->xcb());
    return bench::X11BenchSession::waitFor(
        [&] {
            const bool again = asked.elapsed() > 2000;
            bool all = true;
            for (int i = 0; i < windows.size(); ++i) {
                if (!isSo(i)) {
                    all = false;
                    if (again) {
                        ask(i);
                    }
                }
            }
            if (again) {
                xcb_flush(g_session->xcb());
                asked.restart();
            }
            return all;
        },
        60000);
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
        QList<QProcess*> processes;
        QList<qint64> pids;
        QStringList entries;
        for (int p = 0; p < processCount; ++p) {
            const int count = windowCount / processCount + (p < windowCount % processCount ? 1 : 0);
            const QString entry = applicationsFolder() + QStringLiteral("/ordella-revert-") +
                                  QString::number(p + 1) + QStringLiteral(".desktop");
            QFile file(entry);
            if (!file.open(QIODevice::WriteOnly) ||
                file.write("[Desktop Entry]\nType=Application\nName=Revert Program " +
                           QByteArray::number(p + 1) +
                           "\nExec=" ORDELLA_BINARY_DIR "/programs/ordella-test-window\n") < 0) {
                state.SkipWithError("cannot write the desktop entries");
                return;
            }
            file.close();
            entries << entry;
            qputenv("GIO_LAUNCHED_DESKTOP_FILE", QFile::encodeName(entry));
            QProcess* process = g_session->launch(
                QStringLiteral(ORDELLA_BINARY_DIR "/programs/ordella-test-window"),
                {QStringLiteral("--caption"), QStringLiteral("Program ") + QString::number(p + 1),
                 QStringLiteral("--count"), QString::number(count), QStringLiteral("--size"),
                 QStringLiteral("400x300")});
            process->waitForStarted();
            qunsetenv("GIO_LAUNCHED_DESKTOP_FILE");
            processes << process;
            pids << process->processId();
        }
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
            places << QPoint((i % 2) * kMonitorWidth + 20 + (i * 53) % 1400, 40 + (i * 31) % 700);
            onDesktop << quint32(desktops > 1 ? (i / 2) % 2 : 0);
            savedMinimised << (i % 4 == 3);
        }
        if (!arrange(
                found,
                [&](int i) {
                    return frameTopLeft(found[i]) == places[i] && desktopOf(found[i]) == onDesktop[i];
                },
                [&](int i) {
                    moveFrame(found[i], places[i]);
                    if (onDesktop[i] != 0) {
                        sendRootMessage(found[i], "_NET_WM_DESKTOP", {onDesktop[i], 2, 0, 0, 0});
                    }
                }) ||
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

        for (QProcess* process : processes) {
            process->terminate();
        }
        bench::X11BenchSession::waitFor([&] { return windowsOf(pids).isEmpty(); }, 20000);
        for (const QString& entry : entries) {
            QFile::remove(entry);
        }
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
    if (std::system("xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen >/dev/null 2>&1 && "
                    "xrandr --setmonitor '*RIGHT' 1920/508x1080/286+1920+0 none >/dev/null 2>&1") != 0) {
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
