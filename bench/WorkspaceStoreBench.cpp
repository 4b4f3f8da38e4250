// Start-up cost of the store: loading every workspace file of a well-used installation.
#include "BenchWorkspaces.h"
#include "Services/Storage/WorkspaceStore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void loadWorkspaceFiles(benchmark::State& state) {
    const int count = std::getenv("ORDELLA_BENCH_SMOKE") ? 20 : 1000;
    QTemporaryDir folder;
    const qint64 bytes = bench::writeTypicalWorkspaces(folder.path(), count);
    if (bytes < 0) {
        state.SkipWithError("cannot write the workspace files");
        return;
    }
    for (auto _ : state) {
        WorkspaceStore store(folder.path());
        if (store.workspaces().size() != count) {
            state.SkipWithError("not every workspace was loaded");
            return;
        }
        benchmark::DoNotOptimize(store.workspaces().constData());
    }
    state.counters["files"] = count;
    state.counters["bytes/file"] = double(bytes) / count;
    state.SetItemsProcessed(state.iterations() * count);
}

} // namespace

// Real time: the files are read on several threads.
BENCHMARK(loadWorkspaceFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
