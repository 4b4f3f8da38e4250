#include "App/InstanceCommands.h"
#include "App/OrdellaApp.h"
#include "Platform/Platform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <qcoro/qcorotask.h>

#include <sys/resource.h>

namespace {

void setNames() {
    QCoreApplication::setApplicationName(QStringLiteral("Ordella"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORDELLA_VERSION));
}

// Every connection of a later start holds an open file while the instance reads it: the usual soft
// limit of 1,024 is the one a flood of connections would reach, not what the system allows.
void raiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

QCoro::Task<void> run(OrdellaApp& ordella) {
    const std::optional<int> exitCode = co_await ordella.start();
    if (exitCode) {
        QCoreApplication::exit(*exitCode);
    }
}

QCoro::Task<void> ask(InstanceCommands::Parsed options) {
    const OrdellaApp::Asked asked =
        co_await OrdellaApp::askOnly(std::move(options), *Platform::current().clock);
    asked.print();
    QCoreApplication::exit(asked.exitCode);
}

} // namespace

int main(int argc, char** argv) {
    // Ordella's own options are read first, before any application object, and Qt gets none of
    // them: a workspace named "-reverse" or "-style" must not be taken for one of Qt's own options.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const InstanceCommands::Parsed options = InstanceCommands::parse(arguments);
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << options.error << '\n' << InstanceCommands::usage();
        return InstanceCommands::usageExitCode;
    }
    if (options.help) {
        QTextStream(stdout) << InstanceCommands::usage();
        return 0;
    }
    if (options.version) {
        QTextStream(stdout) << "Ordella " << ORDELLA_VERSION << '\n';
        return 0;
    }
    int qtArgc = 1;
    // A command only asks the running Ordella: it needs no display (ssh, cron, a service unit).
    if (options.command || !OrdellaApp::hasDisplay()) {
        QCoreApplication app(qtArgc, argv);
        setNames();
        QMetaObject::invokeMethod(
            &app, [&options] { ask(options); }, Qt::QueuedConnection);
        return app.exec();
    }
    raiseOpenFileLimit();
    QApplication app(qtArgc, argv);
    setNames();
    QGuiApplication::setDesktopFileName(QStringLiteral("ordella"));
    // Ordella lives in the tray: closing its window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    OrdellaApp ordella(options);
    // Started from the event loop, so that an early answer can end it.
    QMetaObject::invokeMethod(
        &app, [&ordella] { run(ordella); }, Qt::QueuedConnection);
    return app.exec();
}
