#include "Platform/Linux/InstalledTerminals.h"

#include "Platform/Linux/InstalledEntries.h"

QSet<QString> InstalledTerminals::programs() {
    QSet<QString> programs;
    for (const InstalledEntry& installed : *InstalledEntries::all()) {
        if (installed.entry.categories.contains(QStringLiteral("TerminalEmulator")) &&
            !installed.program.executable.isEmpty()) {
            programs.insert(installed.program.executable);
        }
    }
    return programs;
}
