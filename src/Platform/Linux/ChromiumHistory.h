#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

// The page titles a Chromium-family browser profile keeps in its history database (the profile's
// History file, SQLite), by address. The browser writes a page's title there once the page has
// it, while its session file keeps only addresses for tabs opened while it runs; so this is where
// every tab's title is read from, not only the shown tab's.
//
// The browser keeps the database locked while it runs: it is opened read-only as a file that does
// not change, so nothing is locked, written or created beside it. A page being written at that
// moment may read as damaged: the lookup then gives what it found so far. The file is untrusted (its
// "urls" may be a view or have columns that compute what they give, in one step that no time bound
// interrupts): only an ordinary table of stored values is read, the work, the time, the memory and
// the size of any value of a read are bounded, titles are cut to a bound, and a file that is not
// such a database gives nothing. A read stopped at a bound gives what it found before.
class ChromiumHistory {
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;

    // Addresses past this count are not looked up; titles past this length are cut.
    static constexpr qsizetype maximumLookups = 1000;
    static constexpr qsizetype maximumTitleLength = 1024;
    // The largest text or blob a read makes or reads, in bytes: a longer one fails its lookup.
    static constexpr int maximumValueBytes = 1024 * 1024;
    // The longest one read takes: it runs where it is asked (on the main thread), so no longer
    // than a moment there. What a read stopped at this bound did not get to is asked again later.
    static constexpr std::chrono::milliseconds timeLimit{100};

    // The history database beside a session file (<profile>/Sessions/Session_* -> <profile>/History).
    static QString fileBesideSession(const QString& sessionFile);
    // For each address the database has a non-empty title for, that title. The time limit is
    // kept on now (the steady clock by default). lookedUp, when given, gets the addresses whose
    // lookup was carried out to its end, a title found or not: the others are not known either way.
    static QHash<QString, QString> titlesOf(const QString& historyFile, const QStringList& urls,
                                            const Now& now = {}, QSet<QString>* lookedUp = nullptr);
};
