#include "Platform/Linux/ChromiumHistory.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

namespace {

// Virtual-machine steps one read may take before it is abandoned: an indexed lookup takes a few
// hundred, a damaged file that sends a query round in circles is stopped.
constexpr int kStepsPerCheck = 1000;
constexpr int kChecksAllowed = 10000;
// What SQLite may hold in memory at the most, this read's pages and values included.
constexpr sqlite3_int64 kHeapLimit = 64 * 1024 * 1024;

struct Budget {
    int checks = 0;
    std::chrono::steady_clock::time_point deadline;
    const ChromiumHistory::Now* now = nullptr;
    bool spent = false;
};

int stopWhenTooLong(void* budget) {
    Budget& b = *static_cast<Budget*>(budget);
    b.spent = b.spent || ++b.checks > kChecksAllowed || (*b.now)() > b.deadline;
    return b.spent ? 1 : 0;
}

} // namespace

QString ChromiumHistory::fileBesideSession(const QString& sessionFile) {
    if (sessionFile.isEmpty()) {
        return QString();
    }
    return QDir::cleanPath(QFileInfo(sessionFile).absolutePath() + QStringLiteral("/../History"));
}

QHash<QString, QString> ChromiumHistory::titlesOf(const QString& historyFile, const QStringList& urls,
                                                  const Now& now) {
    QHash<QString, QString> titles;
    const QFileInfo info(historyFile);
    if (urls.isEmpty() || historyFile.isEmpty() || !info.isFile() || info.isSymLink()) {
        return titles;
    }
    // immutable: no lock is taken (the browser holds one), no journal is read or made.
    QUrl uri = QUrl::fromLocalFile(info.absoluteFilePath());
    uri.setQuery(QStringLiteral("immutable=1"));
    sqlite3* db = nullptr;
    const int opened =
        sqlite3_open_v2(uri.toEncoded().constData(), &db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (opened != SQLITE_OK) {
        sqlite3_close(db);
        return titles;
    }
    // A view or a computed column of the file runs in this process: no value it makes may grow past
    // the bound, nor may its functions be other than harmless ones, nor may it take long.
    sqlite3_hard_heap_limit64(kHeapLimit);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, maximumValueBytes);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    const Now clock = now ? now : Now(&std::chrono::steady_clock::now);
    Budget budget{0, clock() + timeLimit, &clock, false};
    sqlite3_progress_handler(db, kStepsPerCheck, &stopWhenTooLong, &budget);
    sqlite3_stmt* lookup = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT title FROM urls WHERE url = ?1 ORDER BY last_visit_time DESC LIMIT 1",
                           -1, &lookup, nullptr) == SQLITE_OK) {
        for (qsizetype i = 0; i < urls.size() && i < maximumLookups; ++i) {
            const QByteArray url = urls[i].toUtf8();
            if (url.isEmpty() || titles.contains(urls[i]) ||
                sqlite3_bind_text(lookup, 1, url.constData(), int(url.size()), SQLITE_TRANSIENT) !=
                    SQLITE_OK) {
                continue;
            }
            if (sqlite3_step(lookup) == SQLITE_ROW && sqlite3_column_type(lookup, 0) == SQLITE_TEXT) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(lookup, 0));
                const int bytes = sqlite3_column_bytes(lookup, 0);
                const QString title = QString::fromUtf8(text, bytes).left(maximumTitleLength).trimmed();
                if (!title.isEmpty()) {
                    titles.insert(urls[i], title);
                }
            }
            sqlite3_reset(lookup);
            sqlite3_clear_bindings(lookup);
            if (budget.spent) {
                break;
            }
        }
    }
    sqlite3_finalize(lookup);
    sqlite3_close(db);
    return titles;
}
