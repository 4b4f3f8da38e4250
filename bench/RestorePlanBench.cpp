// Planning a restore of a 30-application, 150-window workspace on a desktop that already shows it:
// every application is read (windows, documents, the browser's tabs, the file manager's folders)
// and found in place.
#include "RestoreBenchScene.h"
#include "Services/Restore/RestorePlanner.h"

#include <benchmark/benchmark.h>

namespace {

void planArrangedWorkspace(benchmark::State& state) {
    const int apps = bench::smoke() ? 6 : 30;
    bench::RestoreScene scene(apps);
    if (scene.workspace.appSnapshots.size() != apps) {
        state.SkipWithError("the workspace was not captured whole");
        return;
    }
    for (auto _ : state) {
        const std::optional<RestorePlan> plan =
            scene.clock->runUntilDone(RestorePlanner::analyzeCurrentState(scene.workspace));
        if (!plan || std::any_of(plan->appPlans.begin(), plan->appPlans.end(),
                                 [](const AppPlan& app) { return !app.isAlreadyInPlace(); })) {
            state.SkipWithError("the arranged desktop was not found in place");
            return;
        }
    }
    state.counters["apps"] = apps;
    state.counters["windows"] = apps * bench::RestoreScene::windowsPerApp;
}

} // namespace

BENCHMARK(planArrangedWorkspace)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return bench::runBenchmarks(argc, argv);
}
