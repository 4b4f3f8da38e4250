#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <optional>

// Reads script source the way the script language does, for the script hosts: string
// literals with their escapes, whole numbers, names, and lines matched against statement forms.
class ScriptSourceReader {
public:
    struct Captures {
        QStringList strings;         // unescaped literals, in order
        QList<std::int64_t> numbers; // whole numbers, in order
        QStringList names;           // variable names, in order
    };

    // Matches a whole line against a form in which "%s" stands for a string literal, "%n" for a
    // whole number and "%v" for a name; everything else must appear exactly (blanks included).
    static std::optional<Captures> match(QStringView line, QStringView form);
    // Reads the literal that starts at pos (on its opening quote) and moves pos past its closing
    // quote. Escapes: \\ \" \n \r \t; any other escape, or a missing closing quote, is an error.
    static std::optional<QString> readLiteral(QStringView text, qsizetype& pos);
    // Reads `u starts with "a" or u starts with "b" ...` into the prefixes.
    static std::optional<QStringList> readStartsWithChain(QStringView text, QStringView variable);
};
