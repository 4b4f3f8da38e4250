#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

// What a browser profile's history database answered, kept until the file changes. A restore reads
// the browser's windows several times a second while it waits, and the database changes far less
// often: an address is looked up again only once the file has been written since.
class ChromiumHistoryCache {
public:
    // For each address the database has a non-empty title for, that title (as
    // ChromiumHistory::titlesOf answers).
    QHash<QString, QString> titlesOf(const QString& historyFile, const QStringList& urls);

private:
    struct File {
        QDateTime modified;
        qint64 size = -1;
        // Every address looked up since the file last changed: its title, empty for none.
        QHash<QString, QString> titles;
    };

    QHash<QString, File> m_files;
};
