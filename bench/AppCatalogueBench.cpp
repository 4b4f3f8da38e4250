// The settings window's catalogue of installed applications: the scan of the application folders
// that runs on a worker thread each time the window opens. 400 entries over two folders (a user's
// and the system's, with an eighth of the ids in both and some hidden), as on a full desktop.
#include "ViewModels/AppCatalogue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

bool writeEntry(const QString& path, int number, bool hidden) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray n = QByteArray::number(number);
    file.write("[Desktop Entry]\nType=Application\nName=Application " + n + "\nName[de]=Anwendung " + n +
               "\nGenericName=Tool\nComment=Does things with files and windows\nExec=app" + n +
               " %U\nIcon=app" + n + "\nCategories=Utility;\nTerminal=false\n" +
               (hidden ? "NoDisplay=true\n" : "") + "\n[Desktop Action new]\nName=New Window\nExec=app" + n +
               " --new\n");
    return true;
}

void scanApplicationFolders(benchmark::State& state) {
    const int count = std::getenv("ORDELLA_BENCH_SMOKE") ? 40 : 400;
    QTemporaryDir user;
    QTemporaryDir system;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("org.example.App%1.desktop").arg(i);
        const bool ok = writeEntry(QDir(system.path()).filePath(name), i, i % 10 == 0) &&
                        (i % 8 != 0 || writeEntry(QDir(user.path()).filePath(name), i, false));
        if (!ok) {
            state.SkipWithError("cannot write the desktop entries");
            return;
        }
    }
    qsizetype listed = 0;
    for (auto _ : state) {
        const QList<AppInfo> apps = AppCatalogue::scan({user.path(), system.path()});
        listed = apps.size();
        benchmark::DoNotOptimize(apps.constData());
    }
    state.counters["entries"] = count;
    state.counters["listed"] = double(listed);
    state.SetItemsProcessed(state.iterations() * count);
}

} // namespace

BENCHMARK(scanApplicationFolders)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
