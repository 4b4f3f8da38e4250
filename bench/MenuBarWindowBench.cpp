// Opening the menu-bar window over a store of 200 workspaces (20 with ORDELLA_BENCH_SMOKE, or
// ORDELLA_BENCH_WORKSPACES): from the tray click to the window's first frame. The window and its
// views are made first, as the application makes them soon after it started ("prepare_ms");
// "first_ms" is the very first opening (it also sets up the window's rendering), the iterations
// the later ones. Runs on the
// display when there is one, else offscreen.
#include "App/MenuBarWindow.h"
#include "Platform/Platform.h"
#include "Platform/Simulated/SimulatedDesktop.h"
#include "Platform/SystemClock.h"
#include "Services/Storage/WorkspaceStore.h"
#include "ViewModels/AppRootModel.h"
#include "ViewModels/PopoverModel.h"
#include "Views/UiSetup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

int workspaceCount() {
    if (const char* n = std::getenv("ORDELLA_BENCH_WORKSPACES")) {
        return std::atoi(n);
    }
    return std::getenv("ORDELLA_BENCH_SMOKE") ? 20 : 200;
}

Workspace sample(int i) {
    Workspace w;
    w.id = QUuid::createUuid();
    w.name = QStringLiteral("Workspace ") + QString::number(i + 1);
    w.createdAt = QDateTime(QDate(2024, 1, 1), QTime(9, 0), Qt::UTC).addSecs(i * 60);
    w.updatedAt = w.createdAt;
    for (int a = 0; a < 4; ++a) {
        AppSnapshot app;
        app.id = QUuid::createUuid();
        app.bundleIdentifier = QStringLiteral("org.example.App") + QString::number(a);
        app.appName = QStringLiteral("App ") + QString::number(a);
        for (int n = 0; n < 3; ++n) {
            WindowSnapshot window;
            window.id = QUuid::createUuid();
            window.frame = {double(40 * n), double(30 * n), 800, 600};
            window.windowTitle = QStringLiteral("Window ") + QString::number(n);
            app.windowSnapshots << window;
        }
        w.appSnapshots << app;
    }
    return w;
}

// Opens the window and waits for its first frame; the milliseconds that took.
double openToFirstFrame(MenuBarWindow& window) {
    bool swapped = false;
    const QMetaObject::Connection connection =
        QObject::connect(window.window(), &QQuickWindow::frameSwapped, [&swapped] { swapped = true; });
    QElapsedTimer timer;
    timer.start();
    window.open();
    // A platform that never shows the window must not hang the run.
    while (!swapped && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    QObject::disconnect(connection);
    return ms;
}

void BM_OpenMenuBarWindow(benchmark::State& state) {
    QTemporaryDir folder;
    auto platform = std::make_shared<Platform>();
    platform->clock = std::make_shared<SystemClock>();
    SimulatedDesktop desktop(platform->clock);
    desktop.installInto(*platform);
    const auto previous = Platform::install(platform);
    {
        WorkspaceStore store(folder.path());
        for (int i = 0; i < workspaceCount(); ++i) {
            store.save(sample(i));
        }
        AppRootModel root;
        root.setOnboardingComplete(true);
        PopoverModel popover(&store);
        MenuBarWindow window(root, popover, platform->clock);
        QElapsedTimer preparing;
        preparing.start();
        window.prepare();
        state.counters["prepare_ms"] = double(preparing.nsecsElapsed()) / 1e6;
        state.counters["first_ms"] = openToFirstFrame(window);
        state.counters["workspaces"] = workspaceCount();
        for (auto _ : state) {
            window.close();
            QCoreApplication::processEvents();
            state.SetIterationTime(openToFirstFrame(window) / 1000.0);
        }
        window.close();
    }
    Platform::install(previous);
}
BENCHMARK(BM_OpenMenuBarWindow)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ordella"));
    UiSetup::prepare();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
