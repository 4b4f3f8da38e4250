// The settings window's catalogue of installed applications, read through GIO each time the
// window opens: 400 entries over two folders (a user's and the system's, with an eighth of the
// ids in both and some kept out of the menus), as on a full desktop. Their programs exist: GLib
// leaves out an entry whose program is not installed. The first reading parses the
// files; later ones, as in a running Ordella, reuse what GLib keeps of them.
#include "Platform/Linux/LinuxInstalledApplications.h"
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
               "\nGenericName=Tool\nComment=Does things with files and windows\nExec=true --app" + n +
               " %U\nIcon=app" + n + "\nCategories=Utility;\nTerminal=false\n" +
               (hidden ? "NoDisplay=true\n" : "") +
               "\n[Desktop Action new]\nName=New Window\nExec=true --app" + n + " --new\n");
    return true;
}

void readInstalledApplications(benchmark::State& state) {
    const int count = std::getenv("ORDELLA_BENCH_SMOKE") ? 40 : 400;
    // GLib learns the folders once per process, at its first look: every run shares them.
    static QTemporaryDir user;
    static QTemporaryDir system;
    static const bool written = [count] {
        QDir().mkpath(user.filePath("applications"));
        QDir().mkpath(system.filePath("applications"));
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("applications/org.example.App%1.desktop").arg(i);
            if (!writeEntry(system.filePath(name), i, i % 10 == 0) ||
                (i % 8 == 0 && !writeEntry(user.filePath(name), i, false))) {
                return false;
            }
        }
        ::setenv("XDG_DATA_HOME", user.path().toUtf8().constData(), 1);
        ::setenv("XDG_DATA_DIRS", system.path().toUtf8().constData(), 1);
        return true;
    }();
    if (!written) {
        state.SkipWithError("cannot write the desktop entries");
        return;
    }
    qsizetype listed = 0;
    for (auto _ : state) {
        const QList<AppInfo> apps = AppCatalogue::catalogue(LinuxInstalledApplications::read());
        listed = apps.size();
        benchmark::DoNotOptimize(apps.constData());
    }
    state.counters["entries"] = count;
    state.counters["listed"] = double(listed);
    state.SetItemsProcessed(state.iterations() * count);
}

} // namespace

BENCHMARK(readInstalledApplications)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
