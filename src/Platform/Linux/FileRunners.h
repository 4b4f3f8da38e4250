#pragma once

#include <QString>
#include <QStringList>

// Which command lines run a file they are handed instead of opening it as a document. Whatever an
// installed entry declares, its command line decides what happens to the file: an interpreter
// or shell reads it as its program, also when started through a launch wrapper ("nice python3
// FILE"), and so does any program that the command line has start another ("xterm -e sh FILE",
// "sudo python3 FILE").
class FileRunners {
public:
    FileRunners() = delete;

    // Why the command line (an entry's Exec split into words, its field codes kept) would run a
    // file handed to it; empty when it opens it. Relative paths are taken from folder.
    static QString refusal(const QStringList& words, const QString& folder);
    // Whether the command line has its program start a command given after "-e", "-x" or "--",
    // the way terminals are told what to run (also "-e FILE": the file is that command).
    static bool startsACommand(const QStringList& words);
    // Whether the program (a name or a path) runs the file it is given as a program: a shell or
    // an interpreter, known by its name or, for any language the system's type database knows,
    // by the first line its scripts start with ("#!/usr/bin/NAME").
    static bool isInterpreter(const QString& program);
};
