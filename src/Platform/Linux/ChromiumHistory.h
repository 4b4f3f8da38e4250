#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The page titles a Chromium-family browser profile keeps in its history database (the profile's
// History file, SQLite), by address. The browser writes a page's title there once the page has
// it, while its session file keeps only addresses for tabs opened while it runs; so this is where
// every tab's title is read from, not only the shown tab's.
//
// The browser keeps the database locked while it runs: it is opened read-only as a file that does
// not change, so nothing is locked, written or created beside it. A page being written at that
// moment may read as damaged: the lookup then gives what it found so far. The file is untrusted:
// work per lookup is bounded, titles are cut to a bound, and a file that is not such a database
// gives nothing.
class ChromiumHistory {
public:
    // Addresses past this count are not looked up; titles past this length are cut.
    static constexpr qsizetype maximumLookups = 1000;
    static constexpr qsizetype maximumTitleLength = 1024;

    // The history database beside a session file (<profile>/Sessions/Session_* -> <profile>/History).
    static QString fileBesideSession(const QString& sessionFile);
    // For each address the database has a non-empty title for, that title.
    static QHash<QString, QString> titlesOf(const QString& historyFile, const QStringList& urls);
};
