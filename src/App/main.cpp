#include "Services/Storage/WorkspaceStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

// Until the application shell exists, Ordella opens the store, says what it found and exits.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ordella"));
    QTextStream out(stdout);
    out << "Ordella " << ORDELLA_VERSION << "\n";
    const WorkspaceStore store;
    if (store.storageDirectory().isEmpty()) {
        out << "No data folder is available.\n";
        return 1;
    }
    out << "Loaded " << store.workspaces().size() << " workspace(s) from "
        << QDir::toNativeSeparators(store.storageDirectory()) << "\n";
    return 0;
}
