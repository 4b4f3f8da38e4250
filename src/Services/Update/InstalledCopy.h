#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// An installed Ordella: one folder that holds bin/ordella and share/ordella/install.json, which
// names the version and every file the installation put into the folder. Only a folder that holds
// nothing else counts, so a shared prefix such as /usr/local or ~/.local, where other programs and
// the user's own data live, is never taken for Ordella's own and moved aside by an update.
class InstalledCopy {
public:
    // The installation info, relative to the folder.
    static QString infoPath();
    // The program, relative to the folder.
    static QString programPath();

    // The folder of the installation that executablePath (the running program) belongs to, or the
    // reason why it belongs to none: a program run from a build folder is no installed copy.
    struct Location {
        QString folder;
        QString problem;
    };
    static Location locate(const QString& executablePath);

    // The version that the installation in folder reports; nothing when it reports none.
    static std::optional<QString> version(const QString& folder);
    // Whether folder holds an installation: a real folder (not a link) with the program in it.
    static bool holdsProgram(const QString& folder);
};
