#pragma once

#include <QString>

// Whether, and how, a file or folder from a saved workspace may be handed to an application.
// Saved workspaces can come from imported files, and many installed entries run whatever they are
// handed: an interpreter, a shell, a terminal (GIO appends a file to an Exec line without a field
// code, and runs a Terminal=true entry inside a terminal's "-e"), also behind a launch wrapper
// ("nice python3 %f"). So a document goes only where a file manager would offer it ("Open With":
// the entry declares the file's type or a parent of it), never to a command line that would run
// it, and never when the file is itself a program, unless to an editor that declares its type. A
// command line that hands the file on is judged by where it goes: an opener by the application
// chosen for the type, an entry started over D-Bus by its service's command.
class DocumentHandOver {
public:
    DocumentHandOver() = delete;

    enum class Way {
        refused,
        // Appended to the application's command line (or the entry's field code).
        asArgument,
        // A terminal started in the folder: its shell opens there.
        asWorkingFolder,
    };
    struct Decision {
        Way way = Way::refused;
        // Why it was refused, for the restore log; empty otherwise.
        QString reason;
    };

    // How the local file or folder at path may be handed to the application of identifier: a
    // desktop-file id, or a program started by its path (an executable, or an interpreter with its
    // script, as ProgramCommand names it).
    static Decision decide(const QString& path, const QString& identifier);

    // Whether the installed entry is a terminal emulator: listed among them by its categories, or
    // starting the desktop's chosen terminal or a program another terminal's entry starts, by
    // whichever path or link it names it, or through a script that starts one by name. Options
    // like "-e" alone make no terminal: "make -e FILE" is make, and judged as the program it is.
    static bool isTerminal(const QString& entryId);

    // The file's content type as GIO determines it (by its name, and by its first bytes when the
    // name does not tell); empty when it cannot be read.
    static QString contentType(const QString& path);
    // Whether files of this type are programs: executables, libraries, scripts and launchers.
    static bool isProgramType(const QString& contentType);
};
