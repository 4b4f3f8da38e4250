#pragma once

#include <QList>
#include <QString>

#include <optional>

// The programs a capture on this machine saw running that are started by their path rather than
// through an installed entry, under the identifiers the capture saved them by, each with whether
// the capture saw it started with a file on its own command line. A restore starts such a program
// only when it is listed, and hands it documents only when that was seen: a workspace file may
// name any program and any file, this list only what Ordella itself saw. It is kept in the user
// settings, is added to by captures only (never by a workspace file or an import), and holds the
// most recently captured programs up to a bound. Main thread.
class CapturedPrograms {
public:
    CapturedPrograms() = delete;

    struct Program {
        QString identifier;
        // A capture saw the program show a file named on its own command line.
        bool withDocuments = false;

        bool operator==(const Program&) const = default;
    };

    // Notes a captured program; once seen with documents it stays so. Whether the settings file
    // could be written.
    static bool record(const QString& identifier, bool withDocuments);
    // The listed program with this identifier.
    static std::optional<Program> find(const QString& identifier);
    // Every listed program, the most recently captured first.
    static QList<Program> all();

    static constexpr qsizetype maximumCount = 200;
};
