#include "App/InstanceCommands.h"
#include "App/OrdellaApp.h"

#include <QApplication>
#include <QStringList>
#include <QTextStream>

#include <qcoro/qcorotask.h>

namespace {

QCoro::Task<void> run(OrdellaApp& ordella) {
    const std::optional<int> exitCode = co_await ordella.start();
    if (exitCode) {
        QCoreApplication::exit(*exitCode);
    }
}

} // namespace

int main(int argc, char** argv) {
    // Ordella's own options are read first and Qt gets none of them: a workspace named "-reverse"
    // or "-style" must not be taken for one of Qt's own options.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ordella"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORDELLA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("ordella"));
    // Ordella lives in the tray: closing its window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    const InstanceCommands::Parsed options = InstanceCommands::parse(arguments);
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << options.error << '\n' << InstanceCommands::usage();
        return 2;
    }
    OrdellaApp ordella(options);
    // Started from the event loop, so that an early answer can end it.
    QMetaObject::invokeMethod(
        &app, [&ordella] { run(ordella); }, Qt::QueuedConnection);
    return app.exec();
}
