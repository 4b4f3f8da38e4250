// Reading a browser's session file: 50 windows with 500 tabs whose long histories make the file
// about 5 MB, as a profile that ran for weeks has it.
#include "Platform/Linux/ChromiumSession.h"

#include "../tests/Support/ChromiumSessionFile.h"

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

} // namespace

BENCHMARK(readSessionFile)->Unit(benchmark::kMillisecond);
BENCHMARK(readPrunedHistory)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
