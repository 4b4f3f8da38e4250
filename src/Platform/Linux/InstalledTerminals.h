#pragma once

#include <QSet>
#include <QString>

// The programs the installed terminal emulators start (entries listed under TerminalEmulator).
// Telling whether a program is a terminal asks this for every document handed over: it goes by the
// installed entries as last read, which are read again only after something changed in an
// applications folder (the kernel tells at once, so a decision right after an entry was written
// already sees it).
class InstalledTerminals {
public:
    InstalledTerminals() = delete;

    // The canonical paths of the programs, as the entries visible now start them.
    static QSet<QString> programs();
};
