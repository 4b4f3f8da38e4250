#pragma once

#include <QString>
#include <QStringList>

class ProgramCommand;

// Which command lines run a file they are handed instead of opening it as a document. Whatever an
// installed entry declares, its command line decides what happens to the file: an interpreter,
// shell, loader or debugger reads it as its program, also when started through a launch wrapper
// ("nice python3 FILE"), and so does any program that the command line has start another
// ("xterm -e sh FILE", "sudo python3 FILE"), or that is told to run the file ("-e FILE",
// "sqlite3 -init FILE").
class FileRunners {
public:
    FileRunners() = delete;

    // Why the command line (an entry's Exec split into words, its field codes kept) would run a
    // file handed to it; empty when it opens it. Relative paths are taken from folder.
    static QString refusal(const QStringList& words, const QString& folder);
    // What a program does with a file it is handed.
    enum class Handling {
        // Opens it, as far as its name and its file tell.
        opens,
        // Runs it as a program: a shell, an interpreter, a loader or a debugger.
        runs,
        // Unknown: its program file cannot be read (execute-only, say, or rewritten while it is
        // read) or says more than the bounds set for reading program files let be read, so it may
        // be anything. It gets no file either.
        unreadable,
    };
    // What the program (a name or a path) does with a file: it runs it when it is a shell, an
    // interpreter, a loader or a debugger, known by its name, by the name of what it links to,
    // for any language the system's type database knows by the first line its scripts start with
    // ("#!/usr/bin/NAME"), and, under any name, by what the file is (a copy of an interpreter on
    // the search path, a program that hands its command line to an interpreter library's main
    // function, the dynamic loader).
    static Handling handlingOf(const QString& program);
    // Whether the program does anything but open a file it is handed.
    static bool isInterpreter(const QString& program);
    // Why a program that handles files this way gets none; empty for one that opens them.
    static QString refusalOf(Handling handling);
    // Why an interpreter's own script would run the file it is handed (a profiler, a debugger, the
    // interpreter's own library, whose tools run what they are given); empty otherwise.
    static QString scriptRefusal(const ProgramCommand& program);
    // Whether the command line hands the file to whatever the desktop chose for its type (a
    // generic opener such as "xdg-open FILE" or "gio open FILE", also run as a script).
    static bool isOpener(const QStringList& words, const QString& folder);
};
