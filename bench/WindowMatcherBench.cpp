// Pairing the saved windows of one large application with its live windows: 300 against 300,
// with every kind of clue (nearby frames, titles, documents, edited titles) in the mix.
#include "Platform/Platform.h"
#include "Platform/Simulated/SimulatedDesktop.h"
#include "Platform/Simulated/VirtualClock.h"
#include "Services/Desktop/WindowMatcher.h"

#include <QUuid>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

struct Scene {
    std::shared_ptr<Platform> platform = std::make_shared<Platform>();
    std::shared_ptr<SimulatedDesktop> desktop;
    RunningApplication app;
    QList<WindowSnapshot> saved;
};

QRectF liveFrame(int j) {
    return QRectF((j * 37) % 1500, (j * 23) % 800, 600 + j % 50, 400 + j % 30);
}

std::unique_ptr<Scene> makeScene(int count) {
    auto scene = std::make_unique<Scene>();
    scene->platform->clock = std::make_shared<VirtualClock>();
    scene->desktop = std::make_shared<SimulatedDesktop>(scene->platform->clock);
    scene->desktop->installInto(*scene->platform);
    Platform::install(scene->platform);

    SimulatedDesktop::Application application;
    application.bundleIdentifier = QStringLiteral("org.example.Editor");
    application.name = QStringLiteral("Editor");
    const qint32 pid = scene->desktop->addApplication(application);
    for (int j = 0; j < count; ++j) {
        SimulatedDesktop::Window w;
        w.frame = liveFrame(j);
        w.title = QStringLiteral("Report %1 - Editor").arg(j);
        if (j % 3 == 0) {
            w.document = QStringLiteral("file:///home/user/Documents/report-%1.txt").arg(j);
        }
        scene->desktop->addWindow(pid, w, true);
    }
    scene->app = *scene->desktop->runningApplication(pid);

    // Saved window i belongs to live window (i * 7) % count: a third still sit where they were,
    // a third moved far but kept title and document, a third moved and had their title edited.
    for (int i = 0; i < count; ++i) {
        const int j = (i * 7) % count;
        const QRectF f = liveFrame(j);
        WindowSnapshot s;
        s.id = QUuid::createUuid();
        s.windowIndex = i;
        s.windowTitle = QStringLiteral("Report %1 - Editor").arg(j);
        if (j % 3 == 0) {
            s.documentURL = QStringLiteral("file:///home/user/Documents/report-%1.txt").arg(j);
        }
        switch (i % 3) {
        case 0:
            s.frame = {f.x() + 3, f.y() + 2, f.width(), f.height()};
            break;
        case 1:
            s.frame = {f.x() + 400, f.y() + 300, f.width(), f.height()};
            break;
        default:
            s.frame = {f.x() + 250, f.y() + 150, f.width() - 20, f.height()};
            s.windowTitle = QStringLiteral("Report %1 - Editor — Edited").arg(j);
            break;
        }
        scene->saved.append(s);
    }
    return scene;
}

int windowCount() {
    return std::getenv("ORDELLA_BENCH_SMOKE") ? 30 : 300;
}

void matchWindows(benchmark::State& state) {
    const auto scene = makeScene(windowCount());
    for (auto _ : state) {
        const WindowMatcher::Matches matches = WindowMatcher::matchWindows(scene->saved, scene->app);
        if (matches.size() != scene->saved.size()) {
            state.SkipWithError("not every saved window was matched");
            return;
        }
        benchmark::DoNotOptimize(matches.size());
    }
    state.counters["windows"] = windowCount();
}

void matchWindowsByGeometry(benchmark::State& state) {
    const auto scene = makeScene(windowCount());
    for (auto _ : state) {
        const WindowMatcher::Matches matches =
            WindowMatcher::matchWindowsByGeometry(scene->saved, scene->app);
        benchmark::DoNotOptimize(matches.size());
    }
    state.counters["windows"] = windowCount();
}

} // namespace

BENCHMARK(matchWindows)->Unit(benchmark::kMillisecond);
BENCHMARK(matchWindowsByGeometry)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
