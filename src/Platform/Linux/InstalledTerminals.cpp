#include "Platform/Linux/InstalledTerminals.h"

#include "Platform/Linux/InstalledEntries.h"

QSet<QString> InstalledTerminals::programs() {
    QSet<QString> programs;
    for (const InstalledEntry& installed : *InstalledEntries::all()) {
        if (installed.entry.categories.contains(QStringLiteral("TerminalEmulator"))) {
            const ProgramCommand program =
                InstalledEntries::programOf(installed.commandLine, installed.folder);
            if (!program.executable.isEmpty()) {
                programs.insert(program.executable);
            }
        }
    }
    return programs;
}
