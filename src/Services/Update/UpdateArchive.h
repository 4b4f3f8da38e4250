#pragma once

#include "Services/Update/UpdateError.h"
#include "Services/Update/UpdateLimits.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <optional>

// A downloaded update: a gzip-compressed tar archive holding one or more Ordella folders. It comes
// from the network, so it is listed and every entry checked before anything is unpacked: only
// files, folders and links, no absolute names, no ".." anywhere in a name or a link target (a
// link without ".." cannot lead out of the folder, not even through other links). tar runs as a
// child process with an argument list, never through a shell.
class UpdateArchive {
public:
    struct Entry {
        // The first letter of the listing's mode column: '-' file, 'd' folder, 'l' symbolic link,
        // 'h' hard link, anything else a kind that an update never holds.
        QChar type;
        QString name;
        // The target of a link; empty for other kinds.
        QString linkTarget;

        bool operator==(const Entry& other) const = default;
    };

    // The entries of tar's verbose listing with C-quoted names; nothing when a line cannot be read.
    static std::optional<QList<Entry>> parseListing(const QByteArray& listing);
    // Why the entries may not be unpacked; empty when every one is safe.
    static QString unsafeEntry(const QList<Entry>& entries);
    // The bytes the listing's files add up to (saturating); nothing when a size cannot be read.
    static std::optional<qint64> unpackedSize(const QByteArray& listing);
    // The distinct first components of the names, in the order they first appear.
    static QStringList topLevelNames(const QList<Entry>& entries);

    // Lists and checks archive, then unpacks it into folder: the top-level names in listing order.
    // tar runs as a child of owner, each run within the limits' time; an archive whose files add
    // up to more than the limits allow is not unpacked.
    static QCoro::Task<UpdateResult<QStringList>> unpack(QString archive, QString folder, QObject* owner,
                                                         UpdateLimits limits = {});
};
