#include "Platform/Linux/ChromiumHistoryCache.h"

#include <QFileInfo>
#include <QSet>

#include <utility>

namespace {

// Profiles and addresses remembered at the most: a bound on what a long session keeps.
constexpr qsizetype kFilesKept = 16;
constexpr qsizetype kTitlesKept = 4 * ChromiumHistory::maximumLookups;

} // namespace

ChromiumHistoryCache::ChromiumHistoryCache(ChromiumHistory::Now now)
    : m_now(now ? std::move(now) : ChromiumHistory::Now(&std::chrono::steady_clock::now)) {
}

QHash<QString, QString> ChromiumHistoryCache::titlesOf(const QString& historyFile, const QStringList& urls) {
    const QFileInfo info(historyFile);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    const qint64 size = info.exists() ? info.size() : -1;
    if (!m_files.contains(historyFile) && m_files.size() >= kFilesKept) {
        m_files.clear();
    }
    File& file = m_files[historyFile];
    if (file.modified != modified || file.size != size || file.titles.size() > kTitlesKept) {
        file = File{modified, size, {}, std::nullopt};
    }
    QStringList unknown;
    QSet<QString> listed;
    for (const QString& url : urls) {
        if (!file.titles.contains(url) && !listed.contains(url)) {
            listed.insert(url);
            unknown.append(url);
        }
    }
    if (!unknown.isEmpty() && (!file.readAgainAt || m_now() >= *file.readAgainAt)) {
        QSet<QString> lookedUp;
        const QHash<QString, QString> found =
            ChromiumHistory::titlesOf(historyFile, unknown, m_now, &lookedUp);
        for (const QString& url : std::as_const(lookedUp)) {
            file.titles.insert(url, found.value(url));
        }
        file.readAgainAt =
            lookedUp.size() < unknown.size() ? std::optional(m_now() + retryAfter) : std::nullopt;
    }
    QHash<QString, QString> titles;
    for (const QString& url : urls) {
        if (const QString title = file.titles.value(url); !title.isEmpty()) {
            titles.insert(url, title);
        }
    }
    return titles;
}
