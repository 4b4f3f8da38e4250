#include "Platform/Linux/ChromiumHistory.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

namespace {

// Virtual-machine steps one lookup may take before it is abandoned: an indexed lookup takes a few
// hundred, a damaged file that sends a query round in circles is stopped.
constexpr int kStepsPerCheck = 1000;
constexpr int kChecksAllowed = 10000;

int stopWhenTooLong(void* counter) {
    int& checks = *static_cast<int*>(counter);
    return ++checks > kChecksAllowed ? 1 : 0;
}

} // namespace

QString ChromiumHistory::fileBesideSession(const QString& sessionFile) {
    if (sessionFile.isEmpty()) {
        return QString();
    }
    return QDir::cleanPath(QFileInfo(sessionFile).absolutePath() + QStringLiteral("/../History"));
}

QHash<QString, QString> ChromiumHistory::titlesOf(const QString& historyFile, const QStringList& urls) {
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
    int checks = 0;
    sqlite3_progress_handler(db, kStepsPerCheck, &stopWhenTooLong, &checks);
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
            if (checks > kChecksAllowed) {
                break;
            }
        }
    }
    sqlite3_finalize(lookup);
    sqlite3_close(db);
    return titles;
}
