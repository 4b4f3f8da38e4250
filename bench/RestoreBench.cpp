// Restoring a 30-application, 150-window workspace on the simulated desktop: once on a desktop
// that already shows it, once on a fully scrambled one (every window moved, one minimised per
// application, one application hidden, one quit, a browser window and a folder window closed, the
// stacking order reversed, an unrelated application running). Reported: the real CPU time of the
// engine, and the virtual time the restore took against the pauses the restore must make on
// that road.
#include "RestoreBenchScene.h"
#include "Services/Restore/WorkspaceRestorer.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

using bench::RestoreScene;

int appCount() {
    return bench::smoke() ? 6 : 30;
}

void reportTimes(benchmark::State& state, double virtualMs, double mandatedMs) {
    state.counters["virtual_ms"] = virtualMs;
    state.counters["mandated_ms"] = mandatedMs;
    state.counters["ratio"] = mandatedMs > 0 ? virtualMs / mandatedMs : (virtualMs == 0 ? 1.0 : 0.0);
    state.counters["windows"] = appCount() * RestoreScene::windowsPerApp;
}

// The first poll (every step ms, from start) at or after ready.
int firstPoll(int start, int ready, int step) {
    return start + std::max(0, (ready - start + step - 1) / step) * step;
}

// What the scrambled road must wait, in ms. The applications run side by side, so the longest of
// them counts; the stacking order follows them.
double mandatedScrambledMs(int apps) {
    const int move = 50 * RestoreScene::windowsPerApp; // one settle pause per moved window
    // Launched again with its documents: seen at the first 0.2 s poll after it starts, its windows at
    // the first poll after they show, then every window moved.
    const int launched = firstPoll(firstPoll(0, RestoreScene::launchDelayMs, 200),
                                   RestoreScene::launchDelayMs + RestoreScene::windowDelayMs, 200) +
                         move;
    // The browser: 0.2 s after closing empty windows, 0.5 s after closing extra ones, 0.5 s after
    // the tabs matched.
    const int browser = 200 + 500 + 500;
    // Every visible application is activated (50 ms) and its windows raised (20 ms each).
    const int stacking = apps * (50 + 20 * RestoreScene::windowsPerApp);
    return std::max({move, launched, browser}) + stacking;
}

void scramble(RestoreScene& scene) {
    SimulatedDesktop& desktop = *scene.desktop;
    for (int a = 2; a < scene.pids.size(); ++a) {
        const QList<quint32> windows = desktop.windowsOf(scene.pids[a]);
        for (int w = 0; w < windows.size(); ++w) {
            desktop.updateWindow(windows[w], [w](SimulatedDesktop::Window& window) {
                window.frame.translate(150, 90);
                window.minimized = w == 1;
            });
        }
    }
    desktop.removeWindow(desktop.windowsOf(scene.pids[0]).first());
    desktop.removeWindow(desktop.windowsOf(scene.pids[1]).first());
    desktop.setHidden(scene.pids[3], true);
    desktop.removeApplication(scene.pids[2]);
    QList<quint32> stack = desktop.stackingOrder();
    std::reverse(stack.begin(), stack.end());
    desktop.setStackingOrder(stack);
    SimulatedDesktop::Application unrelated;
    unrelated.bundleIdentifier = QStringLiteral("org.example.Unrelated");
    SimulatedDesktop::Window window;
    window.frame = QRectF(0, 30, 600, 400);
    desktop.addWindow(desktop.addApplication(unrelated), window);
}

bool allRestored(const std::optional<RestoreReport>& report) {
    return report && report->status == RestoreStatus::restored;
}

void restoreArranged(benchmark::State& state) {
    RestoreScene scene(appCount());
    double virtualMs = 0;
    for (auto _ : state) {
        const auto before = scene.clock->elapsed();
        const std::optional<RestoreReport> report =
            scene.clock->runUntilDone(WorkspaceRestorer::restore(scene.workspace, false));
        virtualMs = double((scene.clock->elapsed() - before).count());
        if (!allRestored(report)) {
            state.SkipWithError("the arranged desktop was not restored");
            return;
        }
    }
    reportTimes(state, virtualMs, 0);
}

void restoreScrambled(benchmark::State& state) {
    double virtualMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = std::make_unique<RestoreScene>(appCount());
        scramble(*scene);
        const auto before = scene->clock->elapsed();
        state.ResumeTiming();
        const std::optional<RestoreReport> report =
            scene->clock->runUntilDone(WorkspaceRestorer::restore(scene->workspace, false));
        state.PauseTiming();
        virtualMs = double((scene->clock->elapsed() - before).count());
        if (!allRestored(report)) {
            state.SkipWithError(report ? qPrintable(report->summary()) : "the restore did not end");
            return;
        }
        scene.reset();
        state.ResumeTiming();
    }
    reportTimes(state, virtualMs, mandatedScrambledMs(appCount()));
}

} // namespace

BENCHMARK(restoreArranged)->Unit(benchmark::kMillisecond);
BENCHMARK(restoreScrambled)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return bench::runBenchmarks(argc, argv);
}
