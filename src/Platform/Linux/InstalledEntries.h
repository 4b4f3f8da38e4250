#pragma once

#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/ProgramCommand.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// Every installed entry, as the launcher finds them: the applications folders of the data folders,
// the user's first, and their subfolders (through links too); an entry hides the entries of the
// same id in later folders once it loads (an entry whose TryExec program is missing does not), and
// a hidden one stands for no entry. Telling which entry a program is, or whether it is a terminal,
// asks for them many times in one restore, and reading every entry costs far more than that: they
// are read once and again only after an applications folder changed or the program search path did.
class InstalledEntries {
public:
    InstalledEntries() = delete;

    // In the order of their folders, then of their paths. None while unreadable() names anything.
    static std::shared_ptr<const QList<InstalledEntry>> all();
    // What would hold GIO's reader of the entries, which follows every link of the applications
    // folders and opens every file of them and the lists of default applications: links that lead
    // back to a folder on the way to them ("loop -> ..", read without end: minutes at full speed
    // for two of them), and FIFOs or devices, or links to one (a FIFO without a writer holds it for
    // ever). While there are any, no entry is read, through GIO or here, and a diagnostic names them
    // once.
    static QStringList unreadable();
    // The program a line of an entry of all() starts, as DesktopEntries::programOfCommandLine finds
    // it: worked out at the first ask (most entries' programs are never asked for) and remembered
    // until the entries are read again.
    static ProgramCommand programOf(const QByteArray& commandLine, const QString& folder);
};
