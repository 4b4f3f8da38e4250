#pragma once

#include "Platform/Linux/ChromiumHistory.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// What a browser profile's history database answered, kept until the file changes. A restore reads
// the browser's windows several times a second while it waits, and the database changes far less
// often: an address is looked up again only once the file has been written since. An address a
// read did not get to (it stopped at its bound) is not known to have no title: it is looked up
// again, after a pause, so that a file that is slow to read does not hold up every look at it.
class ChromiumHistoryCache {
public:
    // How long addresses left unread wait for another read of a file that has not changed.
    static constexpr std::chrono::seconds retryAfter{2};

    // The pause and each read's time limit are kept on now (the steady clock by default).
    explicit ChromiumHistoryCache(ChromiumHistory::Now now = {});

    // For each address the database has a non-empty title for, that title (as
    // ChromiumHistory::titlesOf answers).
    QHash<QString, QString> titlesOf(const QString& historyFile, const QStringList& urls);

private:
    struct File {
        QDateTime modified;
        qint64 size = -1;
        // Every address looked up since the file last changed: its title, empty for none.
        QHash<QString, QString> titles;
        // When addresses a read left unread may be read again.
        std::optional<std::chrono::steady_clock::time_point> readAgainAt;
    };

    ChromiumHistory::Now m_now;
    QHash<QString, File> m_files;
};
