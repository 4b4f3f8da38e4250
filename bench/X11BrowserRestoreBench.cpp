// Restoring the browser of scripts/bootstrap on the real X11 desktop (the tests' X session) after
// it was quit: two windows of three and two tabs (local pages) are arranged, saved, the browser is
// quit, and the workspace is restored. Reported:
//   restore_ms   the restore, wall time (the iteration's time)
//   paused_ms    the time the restore spent waiting on its clock: its pauses and poll steps, the
//                browser driver's waits included (the whole platform runs on the benchmark's clock)
//   start_ms     the browser's own start, measured alone: from its command to its first window
//   goal_ms      1.3 × paused_ms + start_ms, and ratio = restore_ms / goal_ms (at most 1 is met)
//   windows, tabs   what the browser shows afterwards (2 and 5 when all came back)
//   starts       browser processes that showed a window during the restore (1: started once)
//   closed       browser windows seen during the restore that are gone at its end
// BM_X11BrowserLongWindow restores windows of 45 addresses of about 900 characters (40 KB each)
// into the browser while it runs with the user's window (/0/1: one window), or cold, starting the
// browser (/1/1: one window, /1/2: two). Reported:
//   restore_ms   the restore, wall time
//   tabs         the tabs of the longest window in the browser's session file (45: all back)
//   long         the windows of the session file with all 45 tabs (as many as restored)
//   processes    the browser processes that showed its windows during the restore (1: one browser)
//   survived     1 when the browser's main process from before the restore still runs (/0)
//   kept         1 when the user's window is still there afterwards (/0)
//   restored     1 when the report says restored
// With ORDELLA_BENCH_SMOKE the same scenes (they are small); without Chromium the benchmark is
// skipped.
#include "X11BenchSession.h"

#include "PauseClock.h"
#include "Platform/Linux/ChromiumProfile.h"
#include "Platform/Linux/ChromiumSession.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/LinuxPlatform.h"
#include "Platform/SystemClock.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RestoreCoordinator.h"

#include <QGuiApplication>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <qcoro/qcorotask.h>

#include <csignal>

namespace {

bench::X11BenchSession* g_session = nullptr;

using bench::PauseClock;

std::shared_ptr<PauseClock> g_clock;
QString g_profile;
QStringList g_pages;

const QString kEntry = QStringLiteral("chromium.desktop");

QList<qint64> browserProcesses() {
    QList<qint64> pids;
    const QString marker = QStringLiteral("--user-data-dir=") + g_profile;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint32 pid = entry.toInt(&number);
        if (number && ChromiumProfile::commandLine(pid).contains(marker)) {
            pids << pid;
        }
    }
    return pids;
}

// The browser's viewable windows.
QList<xcb_window_t> browserWindows() {
    QList<xcb_window_t> found;
    for (const qint64 pid : browserProcesses()) {
        for (const xcb_window_t window : g_session->clientList()) {
            const QList<quint32> owner = g_session->items(window, g_session->atom("_NET_WM_PID"));
            if (!owner.isEmpty() && owner.first() == pid && !found.contains(window)) {
                found << window;
            }
        }
    }
    return found;
}

// Tabs per window, as the live session file says.
QList<qsizetype> sessionTabs() {
    const QString file = ChromiumProfile::newestSessionFile(g_profile + QStringLiteral("/Default"));
    const std::optional<ChromiumSession> session = ChromiumSession::readFile(file, nullptr);
    QList<qsizetype> tabs;
    for (const ChromiumSession::Window& w : session ? session->windows : QList<ChromiumSession::Window>()) {
        tabs << w.tabs.size();
    }
    std::sort(tabs.begin(), tabs.end());
    return tabs;
}

bool launch(const QStringList& arguments) {
    return DesktopEntries::launchWithArguments(kEntry, arguments).error.isEmpty();
}

// Closes every window and waits until the browser has ended.
bool quitBrowser() {
    for (const xcb_window_t window : browserWindows()) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = g_session->atom("_NET_CLOSE_WINDOW");
        event.data.data32[1] = 2;
        xcb_send_event(g_session->xcb(), 0, g_session->root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(g_session->xcb());
    if (bench::X11BenchSession::waitFor([] { return browserProcesses().isEmpty(); }, 20000)) {
        return true;
    }
    for (const qint64 pid : browserProcesses()) {
        ::kill(pid_t(pid), SIGKILL);
    }
    return false;
}

void BM_X11BrowserRestore(benchmark::State& state) {
    for (auto _ : state) {
        // The browser's own start, alone.
        QElapsedTimer timer;
        timer.start();
        if (!launch({QStringLiteral("--new-window"), QStringLiteral("--"), g_pages[0]}) ||
            !bench::X11BenchSession::waitFor([] { return !browserWindows().isEmpty(); }, 30000)) {
            state.SkipWithError("the browser did not start");
            return;
        }
        const double startMs = double(timer.nsecsElapsed()) / 1e6;
        quitBrowser();

        // Two windows of three and two tabs.
        for (const QStringList& tabs : {g_pages.mid(0, 3), g_pages.mid(3, 2)}) {
            const qsizetype before = browserWindows().size();
            if (!launch(QStringList{QStringLiteral("--new-window"), QStringLiteral("--")} + tabs) ||
                !bench::X11BenchSession::waitFor([&] { return browserWindows().size() == before + 1; },
                                                 30000)) {
                state.SkipWithError("the scene could not be arranged");
                return;
            }
        }
        if (!bench::X11BenchSession::waitFor([] { return sessionTabs() == QList<qsizetype>{2, 3}; }, 30000)) {
            state.SkipWithError("the session file never showed the scene");
            return;
        }
        QCoreApplication::processEvents();
        const std::optional<Workspace> workspace =
            QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Bench")));
        if (!workspace) {
            state.SkipWithError("the capture failed");
            return;
        }
        quitBrowser();

        QCoreApplication::processEvents();
        g_clock->reset();
        RestoreCoordinator coordinator;
        // The processes that show browser windows, and the windows (by number and owner: the
        // server hands an ended client's numbers to the next one), as the restore goes.
        QSet<quint32> owners;
        QSet<std::pair<xcb_window_t, quint32>> seen;
        const auto shown = [] {
            QSet<std::pair<xcb_window_t, quint32>> windows;
            for (const xcb_window_t window : browserWindows()) {
                const QList<quint32> owner = g_session->items(window, g_session->atom("_NET_WM_PID"));
                windows.insert({window, owner.value(0)});
            }
            return windows;
        };
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&owners, &seen, &shown] {
            for (const auto& window : shown()) {
                seen.insert(window);
                owners.insert(window.second);
            }
        });
        sampler.start(50);
        timer.restart();
        const RestoreReport report = QCoro::waitFor(coordinator.restore(*workspace, false));
        const double restoreMs = double(timer.nsecsElapsed()) / 1e6;
        sampler.stop();
        const qsizetype closed = (seen - shown()).size();
        state.SetIterationTime(restoreMs / 1000);
        bench::X11BenchSession::waitFor([] { return sessionTabs() == QList<qsizetype>{2, 3}; }, 15000);
        const QList<qsizetype> tabs = sessionTabs();
        const double goalMs = 1.3 * g_clock->pausedMs() + startMs;
        state.counters["restore_ms"] = restoreMs;
        state.counters["paused_ms"] = g_clock->pausedMs();
        state.counters["start_ms"] = startMs;
        state.counters["goal_ms"] = goalMs;
        state.counters["ratio"] = restoreMs / goalMs;
        state.counters["windows"] = double(browserWindows().size());
        state.counters["tabs"] = double(std::accumulate(tabs.begin(), tabs.end(), qsizetype(0)));
        state.counters["restored"] = report.status == RestoreStatus::restored ? 1 : 0;
        state.counters["starts"] = double(owners.size());
        state.counters["closed"] = double(closed);
        quitBrowser();
    }
}

// The browser's main processes (not the helpers it starts per page).
QSet<qint64> mainProcesses() {
    QSet<qint64> main;
    for (const qint64 pid : browserProcesses()) {
        const QStringList line = ChromiumProfile::commandLine(qint32(pid));
        if (std::none_of(line.begin(), line.end(),
                         [](const QString& w) { return w.startsWith("--type="); })) {
            main.insert(pid);
        }
    }
    return main;
}

// The most tabs any window of the session file shows.
qsizetype longestWindow() {
    const QList<qsizetype> tabs = sessionTabs();
    return tabs.isEmpty() ? 0 : tabs.last();
}

// The windows of the session file with at least 45 tabs.
qsizetype longWindows() {
    const QList<qsizetype> tabs = sessionTabs();
    return std::count_if(tabs.begin(), tabs.end(), [](qsizetype n) { return n >= 45; });
}

void BM_X11BrowserLongWindow(benchmark::State& state) {
    const bool cold = state.range(0) == 1;
    for (auto _ : state) {
        if (!cold && (!launch({QStringLiteral("--new-window"), QStringLiteral("--"), g_pages[0]}) ||
                      !bench::X11BenchSession::waitFor([] { return !browserWindows().isEmpty(); }, 30000))) {
            state.SkipWithError("the browser did not start");
            return;
        }
        const xcb_window_t users = cold ? xcb_window_t(XCB_WINDOW_NONE) : browserWindows().first();
        const qsizetype count = state.range(1);
        QList<WindowSnapshot> windows;
        for (qsizetype w = 0; w < count; ++w) {
            WindowSnapshot window;
            window.id = QUuid::createUuid();
            window.frame = SnapshotRect{100 + 60 * double(w), 80, 1000, 700};
            window.windowIndex = w;
            for (int i = 0; i < 45; ++i) {
                const QString start =
                    g_pages[i % g_pages.size()] +
                    QStringLiteral("?w=%1&n=%2&q=").arg(QString::number(w), QString::number(i));
                window.tabSnapshots.append(TabSnapshot{
                    QUuid::createUuid(), start + QString(900 - start.size(), u'a'), std::nullopt, i == 0});
            }
            windows.append(window);
        }
        Workspace workspace;
        workspace.id = QUuid::createUuid();
        workspace.name = QStringLiteral("Long");
        workspace.appSnapshots = {
            AppSnapshot{QUuid::createUuid(), kEntry, QStringLiteral("Chromium"), windows, false}};

        QCoreApplication::processEvents();
        g_clock->reset();
        RestoreCoordinator coordinator;
        const QSet<qint64> before = mainProcesses();
        // The processes that show browser windows as the restore goes.
        QSet<quint32> owners;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&owners] {
            for (const xcb_window_t window : browserWindows()) {
                owners.insert(g_session->items(window, g_session->atom("_NET_WM_PID")).value(0));
            }
        });
        sampler.start(50);
        QElapsedTimer timer;
        timer.start();
        const RestoreReport report = QCoro::waitFor(coordinator.restore(workspace, false));
        const double restoreMs = double(timer.nsecsElapsed()) / 1e6;
        sampler.stop();
        state.SetIterationTime(restoreMs / 1000);
        bench::X11BenchSession::waitFor([count] { return longWindows() >= count; }, 15000);
        state.counters["restore_ms"] = restoreMs;
        state.counters["tabs"] = double(longestWindow());
        state.counters["long"] = double(longWindows());
        state.counters["processes"] = double(owners.size());
        if (!cold) {
            state.counters["survived"] =
                before.size() == 1 && mainProcesses().contains(*before.begin()) ? 1 : 0;
            state.counters["kept"] = browserWindows().contains(users) ? 1 : 0;
        }
        state.counters["restored"] = report.status == RestoreStatus::restored ? 1 : 0;
        quitBrowser();
    }
}

} // namespace

int main(int argc, char** argv) {
    if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty()) {
        QTextStream(stdout)
            << "X11BrowserRestoreBench: no chromium (scripts/bootstrap installs it), skipped\n";
        return 0;
    }
    bench::X11BenchSession session;
    QString error;
    if (!session.start(&error)) {
        QTextStream(stderr) << "X11BrowserRestoreBench: " << error << '\n';
        return 1;
    }
    const QDir home(session.home());
    g_profile = home.filePath(QStringLiteral("profile"));
    // The browser as the tests start it: as root it runs only without its sandbox.
    const QString applications = home.filePath(QStringLiteral("data/applications"));
    QDir().mkpath(applications);
    QFile entry(applications + QLatin1Char('/') + kEntry);
    if (!entry.open(QIODevice::WriteOnly)) {
        return 1;
    }
    entry.write("[Desktop Entry]\nType=Application\nName=Chromium\nStartupWMClass=chromium\n"
                "Exec=chromium --no-sandbox --user-data-dir=" +
                QFile::encodeName(g_profile) +
                " --no-first-run --no-default-browser-check --password-store=basic --disable-gpu"
                " --disable-background-networking --disable-component-update --disable-sync"
                " --disable-dev-shm-usage %U\n");
    entry.close();
    for (int i = 1; i <= 5; ++i) {
        QFile page(home.filePath(QStringLiteral("page%1.html").arg(i)));
        if (!page.open(QIODevice::WriteOnly)) {
            return 1;
        }
        page.write(QStringLiteral("<html><head><title>Page %1</title></head><body>%1</body></html>")
                       .arg(i)
                       .toUtf8());
        g_pages << QUrl::fromLocalFile(page.fileName()).toString();
    }

    // The whole platform waits on the pause clock, the browser driver and the window pictures too;
    // GLib reads the entry written above at its first look.
    g_clock = std::make_shared<PauseClock>();
    if (!session.startOrdella(argc, argv, g_clock, &error)) {
        QTextStream(stderr) << "X11BrowserRestoreBench: " << error << '\n';
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    g_session = &session;

    benchmark::RegisterBenchmark("BM_X11BrowserRestore", BM_X11BrowserRestore)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("BM_X11BrowserLongWindow", BM_X11BrowserLongWindow)
        ->Args({0, 1})
        ->Args({1, 1})
        ->Args({1, 2})
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    quitBrowser();
    g_session = nullptr;
    return 0;
}
