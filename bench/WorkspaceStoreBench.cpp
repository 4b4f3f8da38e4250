// Start-up cost of the store: loading every workspace file of a well-used installation.
#include "Models/WorkspaceJson.h"
#include "Services/Storage/WorkspaceStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

// A workspace of typical size: 8 applications with 3 windows each, two of them browser windows
// holding 10 tabs each, on two displays.
Workspace typicalWorkspace(int number) {
    const QDateTime date = QDateTime(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC).addSecs(number * 61);
    Workspace w;
    w.id = QUuid::createUuid();
    w.name = QStringLiteral("Workspace %1").arg(number);
    w.createdAt = date;
    w.updatedAt = date;
    for (int a = 0; a < 8; ++a) {
        AppSnapshot app{QUuid::createUuid(),
                        QStringLiteral("org.example.app%1").arg(a),
                        QStringLiteral("Application %1").arg(a),
                        {},
                        a == 7};
        for (int i = 0; i < 3; ++i) {
            WindowSnapshot window;
            window.id = QUuid::createUuid();
            window.frame = {100.0 * i, 50.0 + 25 * a, 1280, 800};
            window.displayUUID = QStringLiteral("37D8832A-2D66-02CA-B9F7-8F30A301B230");
            window.windowTitle = QStringLiteral("Document %1 of application %2").arg(i).arg(a);
            window.windowIndex = i;
            if (a == 0 && i < 2) {
                for (int t = 0; t < 10; ++t) {
                    window.tabSnapshots.append(
                        {QUuid::createUuid(),
                         QStringLiteral("https://www.example.org/articles/%1?page=%2").arg(t).arg(i),
                         QStringLiteral("Article %1 - Example").arg(t), t == 0});
                }
            } else {
                window.documentURL =
                    QStringLiteral("file:///home/user/Documents/file-%1-%2.txt").arg(a).arg(i);
            }
            app.windowSnapshots.append(window);
        }
        w.appSnapshots.append(app);
    }
    w.displaySnapshots = {
        {QUuid::createUuid(),
         1,
         QStringLiteral("37D8832A-2D66-02CA-B9F7-8F30A301B230"),
         {0, 0, 2560, 1440},
         QStringLiteral("Built-in Display")},
        {QUuid::createUuid(), 2, std::nullopt, {2560, 0, 1920, 1080}, QStringLiteral("Monitor")}};
    w.triggers = {{QUuid::createUuid(), WorkspaceTrigger::Login{}}};
    w.globalShortcut = GlobalKeyShortcut{18, GlobalKeyShortcut::commandFlag, QStringLiteral("⌘1")};
    return w;
}

void loadWorkspaceFiles(benchmark::State& state) {
    const int count = std::getenv("ORDELLA_BENCH_SMOKE") ? 20 : 1000;
    QTemporaryDir folder;
    qint64 bytes = 0;
    for (int i = 0; i < count; ++i) {
        const Workspace w = typicalWorkspace(i);
        QFile file(QDir(folder.path()).filePath(WorkspaceJson::uuidString(w.id) + QStringLiteral(".json")));
        if (!file.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot write the workspace files");
            return;
        }
        bytes += file.write(WorkspaceJson::encodeFile(w).value());
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
