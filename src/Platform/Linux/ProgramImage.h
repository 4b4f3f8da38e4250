#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// What an ELF program file is, whatever it is named: the identity its linker gave it (the GNU
// build id, the same in every copy and link of one build), the libraries it needs and, for a
// library, its own name. A copy of an interpreter under another name is still that interpreter.
class ProgramImage {
public:
    // The build id's bytes; empty when the file has none.
    QByteArray buildId;
    // The DT_NEEDED names ("libpython3.11.so.1.0").
    QList<QByteArray> needed;
    // The DT_SONAME ("ld-linux-x86-64.so.2"); empty for a program.
    QByteArray soname;
    // The names of the functions it takes from its libraries, when asked for.
    QList<QByteArray> imported;

    // The image of the file at path; nothing when it is no readable 64-bit or 32-bit ELF file of
    // this machine's byte order. Reads only the headers and the sections they point to.
    static std::optional<ProgramImage> read(const QString& path, bool withImports = false);
    // The same for the file's bytes.
    static std::optional<ProgramImage> fromBytes(QByteArrayView bytes, bool withImports = false);
};
