// Reading the windows of the real X11 desktop (the tests' X session: Xvfb, openbox): one program
// shows N windows, and Ordella's window reader reads them all afresh, as it does at the start of
// each step of a capture or a restore. Reported per size:
//   us/window     the time of one read of every window, per window (the median of the reads);
//                 it should not grow with N
//   trips/read    waits for the X server in one read (one per round trip on a quiet machine)
// Sizes: 30, 100, 300 and 1,000 windows; with ORDELLA_BENCH_SMOKE 10 and 30.
#include "X11BenchSession.h"

#include "Platform/Linux/X11Connection.h"
#include "Platform/Linux/X11Windows.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

bench::X11BenchSession* g_session = nullptr;
std::shared_ptr<X11Windows> g_windows;

// How many managed windows process pid shows.
qsizetype windowCountOf(qint64 pid) {
    const xcb_atom_t pidAtom = g_session->atom("_NET_WM_PID");
    qsizetype count = 0;
    for (const xcb_window_t window : g_session->clientList()) {
        const QList<quint32> owner = g_session->items(window, pidAtom);
        count += !owner.isEmpty() && owner.first() == pid ? 1 : 0;
    }
    return count;
}

void BM_X11Read(benchmark::State& state) {
    const qsizetype windowCount = qsizetype(state.range(0));
    const qsizetype before = g_session->clientList().size();
    QProcess* process = g_session->launch(QStringLiteral(ORDELLA_BINARY_DIR "/programs/ordella-test-window"),
                                          {QStringLiteral("--caption"), QStringLiteral("Read"),
                                           QStringLiteral("--count"), QString::number(windowCount),
                                           QStringLiteral("--size"), QStringLiteral("160x120")});
    process->waitForStarted();
    // The list is cheap to poll; the owners are checked once it is long enough (windows of an
    // earlier size may still be leaving it).
    qsizetype seen = 0;
    const bool shown = bench::X11BenchSession::waitFor(
        [&] {
            if (g_session->clientList().size() < windowCount) {
                return false;
            }
            seen = windowCountOf(process->processId());
            return seen == windowCount;
        },
        600000);
    if (!shown) {
        QTextStream(stderr) << "X11ReadBench: " << seen << " of " << windowCount << " windows listed\n";
        QTextStream(stderr) << "X11ReadBench: " << seen << " of " << windowCount << " windows appeared\n";
        state.SkipWithError("the windows did not all appear");
        return;
    }
    QCoreApplication::processEvents();

    QList<double> perWindowUs;
    double trips = 0;
    qsizetype read = 0;
    for (auto _ : state) {
        for (int i = 0; i < 5; ++i) {
            g_windows->invalidate();
            const quint64 tripsBefore = X11Connection::roundTrips();
            QElapsedTimer timer;
            timer.start();
            read = g_windows->clients().size();
            const double us = double(timer.nsecsElapsed()) / 1e3;
            trips = double(X11Connection::roundTrips() - tripsBefore);
            perWindowUs.append(us / double(std::max<qsizetype>(1, read)));
        }
        state.SetIterationTime(bench::median(perWindowUs) * double(read) / 1e6);
    }
    state.counters["windows"] = double(windowCount);
    state.counters["read"] = double(read);
    state.counters["us/window"] = bench::median(perWindowUs);
    state.counters["trips/read"] = trips;

    process->terminate();
    process->waitForFinished(10000);
    bench::X11BenchSession::waitFor([&] { return g_session->clientList().size() <= before; }, 30000);
}

} // namespace

int main(int argc, char** argv) {
    bench::X11BenchSession session;
    QString error;
    if (!session.start(&error)) {
        QTextStream(stderr) << "X11ReadBench: " << error << '\n';
        return 1;
    }
    qunsetenv("QT_QPA_PLATFORM");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    g_session = &session;
    const std::shared_ptr<X11Connection> connection = X11Connection::open();
    if (!connection) {
        QTextStream(stderr) << "X11ReadBench: no X11 connection\n";
        return 1;
    }
    g_windows = std::make_shared<X11Windows>(connection);

    auto* bm = benchmark::RegisterBenchmark("BM_X11Read", BM_X11Read);
    bm->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->ArgNames({"windows"});
    if (std::getenv("ORDELLA_BENCH_SMOKE")) {
        bm->Arg(10)->Arg(30);
    } else {
        bm->Arg(30)->Arg(100)->Arg(300)->Arg(1000);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_windows.reset();
    g_session = nullptr;
    return 0;
}
