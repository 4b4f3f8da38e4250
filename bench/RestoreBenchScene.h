// The desktop the restore benchmarks work on: 30 applications with 5 windows each (150 windows) on
// one screen: a browser with tabs, the file manager with folders, and document applications whose
// documents exist on disk. Every application is installed, so a quit one can be launched again.
#pragma once

#include "Platform/Diagnostics.h"
#include "Platform/Platform.h"
#include "Platform/Simulated/SimulatedDesktop.h"
#include "Platform/Simulated/SimulatedScriptHost.h"
#include "Platform/Simulated/VirtualClock.h"
#include "Services/Capture/WorkspaceCapturer.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QUrl>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace bench {

inline bool smoke() {
    return std::getenv("ORDELLA_BENCH_SMOKE") != nullptr;
}

struct RestoreScene {
    static constexpr int windowsPerApp = 5;
    static constexpr int launchDelayMs = 500;
    static constexpr int windowDelayMs = 300;

    std::shared_ptr<Platform> platform = std::make_shared<Platform>();
    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    std::unique_ptr<SimulatedDesktop> desktop;
    std::unique_ptr<SimulatedScriptHost> host;
    QTemporaryDir files;
    QList<qint32> pids; // in the order the applications were added
    Workspace workspace;

    static QString browserID() { return QStringLiteral("com.google.Chrome"); }
    static QString finderID() { return QStringLiteral("com.apple.finder"); }
    static QString appID(int i) { return QStringLiteral("org.example.App%1").arg(i); }

    explicit RestoreScene(int appCount) {
        // The file manager's scripts print a line each; a benchmark loop would flood the terminal.
        Diagnostics::setSink([](const QString&) {});
        platform->clock = clock;
        desktop = std::make_unique<SimulatedDesktop>(clock);
        host = std::make_unique<SimulatedScriptHost>(*desktop);
        desktop->installInto(*platform);
        host->installInto(*platform);
        Platform::install(platform);

        Screen screen;
        screen.displayNumber = 1;
        screen.identity = QUuid::fromString(QStringLiteral("37D8832A-2D66-02CA-B9F7-8F30A301B230"));
        screen.frame = QRectF(0, 0, 1920, 1080);
        screen.visibleFrame = QRectF(0, 0, 1920, 1055);
        screen.localizedName = QStringLiteral("Built-in Display");
        desktop->setScreens({screen});

        for (int a = 0; a < appCount; ++a) {
            const QString id = a == 0 ? browserID() : a == 1 ? finderID() : appID(a);
            SimulatedDesktop::InstalledApp installed;
            installed.bundleIdentifier = id;
            installed.name = id.section(QLatin1Char('.'), -1);
            installed.launchDelay = Clock::Duration(launchDelayMs);
            installed.windowDelay = Clock::Duration(windowDelayMs);
            desktop->installApplication(installed);
            SimulatedDesktop::Application app;
            app.bundleIdentifier = id;
            app.name = installed.name;
            const qint32 pid = desktop->addApplication(app);
            pids.append(pid);
            for (int w = 0; w < windowsPerApp; ++w) {
                SimulatedDesktop::Window window;
                window.frame = QRectF(40 + 31 * a + 13 * w, 60 + 17 * a + 11 * w, 700 + 10 * w, 500 + 7 * a);
                window.title = QStringLiteral("%1 %2").arg(installed.name, QString::number(w));
                if (a >= 2) {
                    const QString path = files.filePath(
                        QStringLiteral("doc-%1-%2.txt").arg(QString::number(a), QString::number(w)));
                    QFile file(path);
                    file.open(QIODevice::WriteOnly);
                    window.document = QUrl::fromLocalFile(path).toString();
                    window.title = QUrl::fromLocalFile(path).fileName();
                }
                const quint32 number = desktop->addWindow(pid, window, true);
                if (a == 0) {
                    QList<SimulatedScriptHost::Tab> tabs;
                    for (int t = 0; t < 4; ++t) {
                        const QString url = QStringLiteral("https://example.org/%1/%2")
                                                .arg(QString::number(w), QString::number(t));
                        tabs.append({url, url});
                    }
                    host->setTabs(number, tabs, 1);
                } else if (a == 1) {
                    host->setFolder(number, files.filePath(QStringLiteral("folder-%1").arg(w)));
                    QDir(files.path()).mkpath(QStringLiteral("folder-%1").arg(w));
                }
            }
        }
        desktop->setFrontmost(pids.first());
        auto captured = clock->runUntilDone(WorkspaceCapturer::capture(QStringLiteral("Bench")));
        if (captured && *captured) {
            workspace = **captured;
        }
    }
};

// The main of a restore benchmark: the coroutines need an application object and its event loop.
inline int runBenchmarks(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
