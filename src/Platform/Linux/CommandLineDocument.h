#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The file a program shows, as far as its command line tells: many programs that run one process
// per window open the file named on their command line ("editor notes.txt"). Only an unambiguous
// answer counts: exactly one argument that is neither an option nor possibly an option's value,
// naming an existing regular file (a relative name is taken from the process's working folder).
// Arguments after "-e" are a command the program runs, not files; those after "--" are all names.
class CommandLineDocument {
public:
    CommandLineDocument() = delete;

    // The document among arguments (the program first) as a file URL, or nothing.
    static std::optional<QString> fromArguments(const QList<QByteArray>& arguments, const QString& folder);
    // The document of a process of this user; nothing for another user's process, whose files are
    // none of Ordella's business.
    static std::optional<QString> ofProcess(qint32 pid);
};
