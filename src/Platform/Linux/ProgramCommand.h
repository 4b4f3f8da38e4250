#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The program a process runs, as far as telling applications apart goes: its executable and, when
// that is an interpreter (python, perl, ruby, node, java, sh, bash...), the script or jar it was
// given, so that two scripts are two programs. The interpreter's own options ("python3 -O",
// "sh -e", as a script's first line may give them) are skipped as that interpreter reads them and
// are no part of the program. Its identifier is the executable's absolute path, followed for a
// script by a blank and the script's absolute path ("/usr/bin/python3 /opt/tool.py",
// "/usr/bin/java -jar /opt/app.jar"); the identifier alone starts the program again, and a program
// so started reads back as that same identifier.
class ProgramCommand {
public:
    // The canonical absolute path of the executable; empty when unknown.
    QString executable;
    // The absolute path of the script or jar an interpreter runs; empty for any other program.
    QString script;
    // The script is a jar, given to java after "-jar".
    bool jar = false;

    // What process pid runs; an empty executable when /proc does not tell.
    static ProgramCommand ofProcess(qint32 pid);
    // What a command line runs: executable is the resolved program, arguments follow it; relative
    // script paths are taken from folder (an empty folder takes only absolute ones).
    static ProgramCommand ofArguments(const QString& executable, const QStringList& arguments,
                                      const QString& folder);
    // The program an identifier stands for: an existing executable, or an interpreter with an
    // existing script that it reads back as its script once started; nothing for any other text.
    // Takes time linear in the identifier's length.
    static std::optional<ProgramCommand> fromIdentifier(const QString& identifier);
    // Whether the executable (by its file name) is an interpreter whose script tells programs apart.
    static bool isInterpreter(const QString& executable);

    QString identifier() const;
    // The file name that names the program to a user: the script's, else the executable's.
    QString displayName() const;
    // What follows the executable to start the program again.
    QStringList arguments() const;

    bool operator==(const ProgramCommand&) const = default;
};
