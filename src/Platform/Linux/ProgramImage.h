#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

// What an ELF program file is, whatever it is named: the identity its linker gave it (the GNU
// build id, the same in every copy and link of one build), the libraries it needs and, for a
// library, its own name. A copy of an interpreter under another name is still that interpreter.
//
// Any file may be named as a program, so reading one is bounded whatever its headers say: at most
// maxBytesRead bytes of it are read in all, in blocks through a cache of fixed size, and it is
// never mapped. Names longer than maxNameLength and needed libraries past maxNeeded are not kept:
// at most maxNeeded * maxNameLength bytes of names in all. A file that says more than these bounds
// let through is read as far as they go and marked cut.
class ProgramImage {
public:
    static constexpr quint64 maxBytesRead = 32 * 1024 * 1024;
    static constexpr qsizetype maxNameLength = 4096;
    static constexpr qsizetype maxNeeded = 1024;
    static constexpr qsizetype maxBuildIdLength = 64;

    // The build id's bytes; empty when the file has none.
    QByteArray buildId;
    // The DT_NEEDED names ("libpython3.11.so.1.0").
    QList<QByteArray> needed;
    // The DT_SONAME ("ld-linux-x86-64.so.2"); empty for a program.
    QByteArray soname;
    // The first of the functions asked for that it takes from its libraries; reading stops there.
    QList<QByteArray> imported;
    // Whether what the headers point to was more than the bounds let be read, or the file could
    // not be read in full (it cannot be opened, a read failed, or it came short of the size taken
    // at the open: the file was rewritten meanwhile): what is missing may be anything.
    bool cut = false;

    // Reads up to length bytes at offset into into: the count read, -1 on an error.
    using Fetch = std::function<qsizetype(quint64 offset, char* into, qsizetype length)>;

    // The image of the regular file at path; nothing when it is no 64-bit or 32-bit ELF file of
    // this machine's byte order, or no regular file; an image with nothing but cut when it cannot
    // be read far enough to tell. Reads only the headers and the sections they point to, and its
    // dynamic symbols only when functions are asked for.
    static std::optional<ProgramImage> read(const QString& path, const QSet<QByteArray>& importsAsked = {});
    // The same for the file's bytes.
    static std::optional<ProgramImage> fromBytes(QByteArrayView bytes,
                                                 const QSet<QByteArray>& importsAsked = {});
    // The same for a file of the given size read through fetch.
    static std::optional<ProgramImage> fromReads(quint64 size, const Fetch& fetch,
                                                 const QSet<QByteArray>& importsAsked = {});
};
