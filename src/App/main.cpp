#include "Platform/Platform.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ordella"));
    QTextStream(stdout) << "Ordella " << ORDELLA_VERSION << "\n";
    return 0;
}
