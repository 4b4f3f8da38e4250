// Starting the real `ordella` in an X session with a system tray, over 0, 200 and 1,000 typical
// workspaces (0 and 20 with ORDELLA_BENCH_SMOKE). Each iteration starts a fresh Ordella and reports:
//   answer_ms   from the start of the process to its first answer on the instance socket (a
//               restore of a name that no workspace has: a pure answer); the iteration's time
//   save_ms     a `--save` request to the Ordella just started (one program with three windows
//               is on the desktop), until its answer
//   open_ms     the window's first opening (what a tray click asks for, sent as a second start
//               would send it), until Ordella's window is viewable
//   private_mb  private memory (smaps_rollup: Private_Clean + Private_Dirty) once Ordella has
//               settled after the start (1.5 s at least, when the window is ready to open), and
//               private_open_mb once it has settled with the window open; dirty_mb and
//               dirty_open_mb the Private_Dirty part alone (Private_Clean counts the pages of
//               libraries that no other process on the machine maps at that moment)
// The figures are medians over the iterations. BM_StackBaseline reports the same memory figures
// for the smallest program on the same user-interface stack, run in the same session.
#include "BenchWorkspaces.h"
#include "ViewModels/AppRootModel.h"
#include "X11BenchSession.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

bench::X11BenchSession* g_session = nullptr;
QString g_home;

bool smoke() {
    return std::getenv("ORDELLA_BENCH_SMOKE") != nullptr;
}

QByteArray request(const QString& command, const QString& name) {
    return QJsonDocument(QJsonObject{{QStringLiteral("command"), command}, {QStringLiteral("name"), name}})
        .toJson(QJsonDocument::Compact);
}

// The running instance's reply to one request; nothing when none listens or it gives no reply.
std::optional<QByteArray> ask(const QString& socketPath, const QByteArray& line, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs)) {
        return std::nullopt;
    }
    socket.write(line + '\n');
    socket.flush();
    QByteArray reply;
    while (socket.state() == QLocalSocket::ConnectedState && socket.waitForReadyRead(timeoutMs)) {
        reply += socket.readAll();
    }
    reply += socket.readAll();
    if (reply.isEmpty()) {
        return std::nullopt;
    }
    return reply;
}

double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

void BM_Startup(benchmark::State& state) {
    const int count = int(state.range(0));
    QTemporaryDir data;
    const QString folder = data.filePath(QStringLiteral("Ordella"));
    if (bench::writeTypicalWorkspaces(folder, count) < 0) {
        state.SkipWithError("cannot write the workspaces");
        return;
    }
    const QStringList before = QDir(folder).entryList(QDir::Files);
    QList<double> answers, saves, opens, privateStart, privateOpen, dirtyStart, dirtyOpen;
    for (auto _ : state) {
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), g_home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), g_home + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        const QString socketPath = runtime.filePath(QStringLiteral("ordella.socket"));

        QProcess ordella;
        ordella.setProcessEnvironment(env);
        ordella.setStandardOutputFile(QProcess::nullDevice());
        ordella.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        QElapsedTimer started;
        started.start();
        ordella.start(QStringLiteral(ORDELLA_BINARY_DIR "/ordella"), {});
        const QByteArray ping = request(QStringLiteral("restore"), QStringLiteral("No such workspace"));
        const bool answered = bench::X11BenchSession::waitFor(
            [&] {
                return ordella.state() != QProcess::NotRunning && ask(socketPath, ping, 5000).has_value();
            },
            20000);
        const double answer = msSince(timer);
        if (!answered) {
            state.SkipWithError("Ordella never answered");
            return;
        }
        state.SetIterationTime(answer / 1000);
        answers << answer;

        timer.restart();
        const std::optional<QByteArray> saved =
            ask(socketPath, request(QStringLiteral("save"), QStringLiteral("Bench")), 10000);
        saves << msSince(timer);
        if (!saved || !saved->contains("\"ok\":true")) {
            state.SkipWithError("the save did not work");
            return;
        }

        // Past the moment the window's views are made in the background, then quiet.
        while (started.elapsed() < 1500) {
            QThread::usleep(10000);
        }
        bench::ProcessFigures::settle(ordella.processId());
        privateStart << double(bench::ProcessFigures::privateKb(ordella.processId())) / 1024;
        dirtyStart << double(bench::ProcessFigures::privateDirtyKb(ordella.processId())) / 1024;

        timer.restart();
        ask(socketPath,
            QJsonDocument(QJsonObject{{QStringLiteral("command"), QStringLiteral("show")}})
                .toJson(QJsonDocument::Compact),
            5000);
        const bool shown = bench::X11BenchSession::waitFor(
            [&] { return g_session->viewableClientOf(ordella.processId()).has_value(); }, 10000);
        opens << msSince(timer);
        if (!shown) {
            state.SkipWithError("the window never showed");
            return;
        }
        bench::ProcessFigures::settle(ordella.processId());
        privateOpen << double(bench::ProcessFigures::privateKb(ordella.processId())) / 1024;
        dirtyOpen << double(bench::ProcessFigures::privateDirtyKb(ordella.processId())) / 1024;

        ordella.terminate();
        if (!ordella.waitForFinished(5000)) {
            ordella.kill();
            ordella.waitForFinished(5000);
        }
        for (const QString& file : QDir(folder).entryList(QDir::Files)) {
            if (!before.contains(file)) {
                QFile::remove(QDir(folder).filePath(file));
            }
        }
    }
    state.counters["workspaces"] = count;
    state.counters["answer_ms"] = bench::median(answers);
    state.counters["save_ms"] = bench::median(saves);
    state.counters["open_ms"] = bench::median(opens);
    state.counters["private_mb"] = bench::median(privateStart);
    state.counters["private_open_mb"] = bench::median(privateOpen);
    state.counters["dirty_mb"] = bench::median(dirtyStart);
    state.counters["dirty_open_mb"] = bench::median(dirtyOpen);
}

// The smallest program on the same user-interface stack (bench/Programs/ordella-stack-baseline):
// its private memory once its window shows and it has settled, the floor Ordella's figures stand
// on in this session.
void BM_StackBaseline(benchmark::State& state) {
    QList<double> privateOpen, dirtyOpen;
    for (auto _ : state) {
        QProcess baseline;
        baseline.setStandardOutputFile(QProcess::nullDevice());
        baseline.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        baseline.start(QStringLiteral(ORDELLA_BINARY_DIR "/programs/ordella-stack-baseline"), {});
        const bool shown = bench::X11BenchSession::waitFor(
            [&] { return g_session->viewableClientOf(baseline.processId()).has_value(); }, 20000);
        state.SetIterationTime(msSince(timer) / 1000);
        if (!shown) {
            state.SkipWithError("the baseline's window never showed");
            return;
        }
        bench::ProcessFigures::settle(baseline.processId());
        privateOpen << double(bench::ProcessFigures::privateKb(baseline.processId())) / 1024;
        dirtyOpen << double(bench::ProcessFigures::privateDirtyKb(baseline.processId())) / 1024;
        baseline.kill();
        baseline.waitForFinished(5000);
    }
    state.counters["private_open_mb"] = bench::median(privateOpen);
    state.counters["dirty_open_mb"] = bench::median(dirtyOpen);
}

} // namespace

int main(int argc, char** argv) {
    // Ordella and the test program show real windows in the benchmark's X session.
    qunsetenv("QT_QPA_PLATFORM");
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir home;
    g_home = home.path();
    // Onboarding done, so the window shows the workspace list.
    qputenv("XDG_CONFIG_HOME", (g_home + QStringLiteral("/config")).toUtf8());
    AppRootModel().finishOnboarding();

    bench::X11BenchSession session;
    QString error;
    if (!session.start(&error) || !session.startTray()) {
        QTextStream(stderr) << "StartupBench: " << (error.isEmpty() ? QStringLiteral("no tray") : error)
                            << '\n';
        return 1;
    }
    g_session = &session;
    // A program with three windows, so that a save has something to save.
    session.launch(QStringLiteral(ORDELLA_BINARY_DIR "/programs/ordella-test-window"),
                   {QStringLiteral("--count"), QStringLiteral("3")});

    auto* bm = benchmark::RegisterBenchmark("BM_Startup", BM_Startup);
    bm->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(smoke() ? 1 : 5);
    for (const int count : smoke() ? QList<int>{0, 20} : QList<int>{0, 200, 1000}) {
        bm->Arg(count);
    }
    benchmark::RegisterBenchmark("BM_StackBaseline", BM_StackBaseline)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(smoke() ? 1 : 5);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_session = nullptr;
    return 0;
}
