// Reading a browser's session file: 50 windows with 500 tabs whose long histories make the file
// about 5 MB, as a profile that ran for weeks has it; and the tabs of a browser window from a file
// of 1,000 to 100,000 tabs, from the file on disk to the tabs paired with the window.
#include "Platform/Linux/ChromiumSession.h"
#include "Platform/Linux/ChromiumWindowTabs.h"

#include "../tests/Support/ChromiumSessionFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

QByteArray makeSessionFile(int windows, int tabsPerWindow, int navigationsPerTab) {
    ChromiumSessionFile file;
    const QString path = QStringLiteral("/articles/") + QString(420, QLatin1Char('x'));
    for (int w = 1; w <= windows; ++w) {
        for (int t = 0; t < tabsPerWindow; ++t) {
            const std::int32_t tab = w * 1000 + t;
            file.tabInWindow(w, tab).tabIndex(tab, t);
            for (int n = 0; n < navigationsPerTab; ++n) {
                file.navigation(tab, n,
                                QStringLiteral("https://site%1.example").arg(tab) + path + QString::number(n),
                                QStringLiteral("An article of some length, number %1").arg(n), 40);
            }
            file.selectedNavigation(tab, navigationsPerTab - 1);
        }
        file.bounds(w, QRect(w * 10, w * 10, 1200, 800)).selectedTab(w, tabsPerWindow - 1);
    }
    return file.data();
}

void readSessionFile(benchmark::State& state) {
    const bool smoke = std::getenv("ORDELLA_BENCH_SMOKE") != nullptr;
    const QByteArray data = smoke ? makeSessionFile(5, 10, 2) : makeSessionFile(50, 10, 18);
    for (auto _ : state) {
        const auto session = ChromiumSession::read(data, nullptr);
        benchmark::DoNotOptimize(session->windows.size());
    }
    state.counters["bytes"] = static_cast<double>(data.size());
}

// One tab whose file names thousands of navigations, each then pruned from the front of the
// history: a file of this shape once took most of a minute.
QByteArray makePrunedHistoryFile(int navigations) {
    ChromiumSessionFile file;
    file.tabInWindow(1, 10).tabIndex(10, 0);
    for (int n = 0; n < navigations; ++n) {
        file.navigation(10, n, QStringLiteral("https://site.example/page%1").arg(n), QString());
    }
    for (int n = 0; n < navigations; ++n) {
        file.pruned(10, 0, 0);
    }
    return file.selectedNavigation(10, navigations - 1).data();
}

void readPrunedHistory(benchmark::State& state) {
    const bool smoke = std::getenv("ORDELLA_BENCH_SMOKE") != nullptr;
    const QByteArray data = makePrunedHistoryFile(smoke ? 500 : 16000);
    for (auto _ : state) {
        const auto session = ChromiumSession::read(data, nullptr);
        benchmark::DoNotOptimize(session->windows.size());
    }
    state.counters["bytes"] = static_cast<double>(data.size());
}

// One window of that many tabs, none titled yet (tabs opened while the browser runs): each
// address is looked for in the profile's history.
QByteArray makeManyTabsFile(int tabs, const QRect& frame) {
    ChromiumSessionFile file;
    for (int t = 0; t < tabs; ++t) {
        const std::int32_t tab = 10 + t;
        file.tabInWindow(1, tab).tabIndex(tab, t);
        file.navigation(tab, 0, QStringLiteral("https://site.example/page") + QString::number(t), QString());
        file.selectedNavigation(tab, 0);
    }
    return file.bounds(1, frame).selectedTab(1, 0).data();
}

void readManyTabs(benchmark::State& state) {
    const QRect frame(10, 10, 1200, 800);
    QTemporaryDir profile;
    QDir(profile.path()).mkpath(QStringLiteral("Sessions"));
    const QString path = profile.filePath(QStringLiteral("Sessions/Session_1"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(makeManyTabsFile(int(state.range(0)), frame)) < 0) {
        state.SkipWithError("the session file cannot be written");
        return;
    }
    file.close();
    X11Client window;
    window.window = 0x400001;
    window.pid = 42;
    window.clientRect = frame;
    window.title = QStringLiteral("Page 0 - Chromium");
    const auto locate = [&profile](qint32, const QString&) {
        return ChromiumSessionReader::Location{profile.path(), std::nullopt};
    };
    for (auto _ : state) {
        // A reader of its own each time: the file is read and parsed every time.
        ChromiumWindowTabs tabs{ChromiumSessionReader(locate, {}, {}, &ChromiumSessionReader::atOnce)};
        const QList<ChromiumSession::Window> paired = tabs.tabsOf(42, QStringLiteral("chromium"), {window});
        if (paired.value(0).tabs.size() != state.range(0)) {
            state.SkipWithError("the window's tabs were not all read");
            return;
        }
    }
    state.counters["bytes"] = static_cast<double>(QFile(path).size());
}

// 1,000, 10,000 and 100,000 tabs; only the smallest in a smoke run.
void tabCounts(benchmark::internal::Benchmark* b) {
    b->Arg(1000);
    if (std::getenv("ORDELLA_BENCH_SMOKE") == nullptr) {
        b->Arg(10000)->Arg(100000);
    }
}

} // namespace

BENCHMARK(readSessionFile)->Unit(benchmark::kMillisecond);
BENCHMARK(readPrunedHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(readManyTabs)->Apply(tabCounts)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
