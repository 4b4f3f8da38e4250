#include "Platform/Linux/ChromiumHistory.h"
#include "Platform/Linux/ChromiumHistoryCache.h"
#include "Support/FifoWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

bool execute(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

TEST(ChromiumHistory, GivesTheLatestTitleOfEachAddressOfAHistoryDatabaseOnly) {
    QTemporaryDir dir;
    const QString history = dir.filePath(QStringLiteral("History"));
    // As the browser keeps it; the long title is 6000 characters.
    ASSERT_TRUE(execute(history,
                        "CREATE TABLE urls(id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
                        "last_visit_time INTEGER NOT NULL); CREATE INDEX urls_url_index ON urls (url);"
                        "INSERT INTO urls(url, title, last_visit_time) VALUES ('https://a/', 'Alpha', 1),"
                        "('https://b/', 'Older', 2), ('https://b/', 'Beta', 3), ('https://e/', '', 1),"
                        "('https://l/', replace(hex(zeroblob(3000)), '0', 'x'), 1);"));
    ASSERT_TRUE(execute(dir.filePath(QStringLiteral("other")), "CREATE TABLE pages(url TEXT);"));
    // A history whose "urls" computes what it gives: titles past the bound on any value, or a slow
    // walk over many rows, which the read's time limit stops.
    ASSERT_TRUE(execute(dir.filePath(QStringLiteral("huge")),
                        "CREATE VIEW urls AS SELECT 'https://a/' AS url, "
                        "replace(hex(zeroblob(2 * 1024 * 1024)), '0', 'x') AS title, 1 AS last_visit_time;"));
    ASSERT_TRUE(execute(dir.filePath(QStringLiteral("slow")),
                        "CREATE VIEW urls AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                        "WHERE i < 20000) SELECT 'https://a/' AS url, 'Slow' AS title, i AS last_visit_time "
                        "FROM n;"));
    // Built to read: a view whose title is one call (a single step no time bound interrupts; instr
    // over long strings takes minutes), a column computed as it is read, and a slow walk over an
    // ordinary table without an index, which the read's time limit stops.
    ASSERT_TRUE(
        execute(dir.filePath(QStringLiteral("view")),
                "CREATE VIEW urls AS SELECT 'https://a/' AS url, 'View' AS title, 1 AS last_visit_time;"));
    ASSERT_TRUE(
        execute(dir.filePath(QStringLiteral("computed")),
                "CREATE TABLE urls(url TEXT, t TEXT, title TEXT GENERATED ALWAYS AS (upper(t)) VIRTUAL, "
                "last_visit_time INTEGER); INSERT INTO urls(url, t, last_visit_time) VALUES "
                "('https://a/', 'computed', 1);"));
    ASSERT_TRUE(execute(dir.filePath(QStringLiteral("long")),
                        "CREATE TABLE urls(url TEXT, title TEXT, last_visit_time INTEGER); WITH RECURSIVE "
                        "n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) INSERT INTO urls "
                        "SELECT 'https://a/', 'Long', i FROM n;"));
    // A history whose schema takes more memory to read than a read may have (views of long lists).
    QByteArray heavy = "CREATE TABLE urls(url TEXT, title TEXT, last_visit_time INTEGER); INSERT INTO urls "
                       "VALUES ('https://a/', 'Heavy', 1);";
    for (const char* view : {"a", "b", "c"}) {
        heavy += QByteArray("CREATE VIEW ") + view + " AS SELECT 1 WHERE 1 IN (" +
                 QByteArray("1,").repeated(400000) + "1);";
    }
    ASSERT_TRUE(execute(dir.filePath(QStringLiteral("heavy")), heavy.constData()));
    ASSERT_TRUE(QFile::link(history, dir.filePath(QStringLiteral("link"))));
    QFile garbage(dir.filePath(QStringLiteral("garbage")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(8192, 'Z')) == 8192);
    garbage.close();
    // Another program's FIFO that would give the database to whoever opened it.
    QFile database(history);
    ASSERT_TRUE(database.open(QIODevice::ReadOnly));
    const FifoWriter fifo(dir.filePath(QStringLiteral("fifo")), database.readAll());
    ASSERT_TRUE(fifo.made());
    const QStringList urls{"https://a/", "https://b/", "https://e/", "https://l/", "https://missing/"};
    // SQLite's heap limits are the process's: a read leaves them as they were.
    sqlite3_soft_heap_limit64(200 * 1024 * 1024);
    const QHash<QString, QString> titles = ChromiumHistory::titlesOf(history, urls);
    EXPECT_EQ(sqlite3_hard_heap_limit64(-1), 0);
    EXPECT_EQ(sqlite3_soft_heap_limit64(0), 200 * 1024 * 1024);
    EXPECT_EQ(titles,
              (QHash<QString, QString>{{"https://a/", "Alpha"},
                                       {"https://b/", "Beta"},
                                       {"https://l/", QString(ChromiumHistory::maximumTitleLength, u'x')}}));
    // One that needs more than the read's bound gives nothing, and leaves them as they were too.
    const ChromiumHistory::Now still = [] { return std::chrono::steady_clock::time_point(); };
    sqlite3_soft_heap_limit64(200 * 1024 * 1024);
    EXPECT_TRUE(ChromiumHistory::titlesOf(dir.filePath(QStringLiteral("heavy")), urls, still).isEmpty());
    EXPECT_EQ(sqlite3_hard_heap_limit64(-1), 0);
    EXPECT_EQ(sqlite3_soft_heap_limit64(0), 200 * 1024 * 1024);
    // Time here moves on by a tenth of a second at every look at it.
    auto now = std::chrono::steady_clock::time_point();
    const ChromiumHistory::Now ticking = [&now] { return now += std::chrono::milliseconds(100); };
    for (const char* name :
         {"other", "link", "garbage", "missing", "huge", "slow", "view", "computed", "long", "fifo"}) {
        EXPECT_TRUE(ChromiumHistory::titlesOf(dir.filePath(QString::fromUtf8(name)), urls, ticking).isEmpty())
            << name;
    }
    // With time standing still, the long one gives its title; a view never does.
    EXPECT_EQ(
        ChromiumHistory::titlesOf(dir.filePath(QStringLiteral("long")), urls, still).value("https://a/"),
        QStringLiteral("Long"));
    EXPECT_TRUE(ChromiumHistory::titlesOf(dir.filePath(QStringLiteral("slow")), urls, still).isEmpty());
    // Read without a lock: nothing was made beside it.
    EXPECT_EQ(QDir(dir.path()).entryList({"History*"}, QDir::Files), QStringList({"History"}));
}

// The answers are kept only while the file stays as it was: a title the browser writes later is
// found at the next read.
TEST(ChromiumHistory, AKeptAnswerGivesWayOnceTheFileChanges) {
    QTemporaryDir dir;
    const QString history = dir.filePath(QStringLiteral("History"));
    ASSERT_TRUE(execute(history,
                        "CREATE TABLE urls(id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
                        "last_visit_time INTEGER NOT NULL);"
                        "INSERT INTO urls(url, title, last_visit_time) VALUES ('https://a/', 'Alpha', 1);"));
    ChromiumHistoryCache cache;
    const QStringList urls{"https://a/", "https://n/"};
    EXPECT_EQ(cache.titlesOf(history, urls), (QHash<QString, QString>{{"https://a/", "Alpha"}}));
    EXPECT_EQ(cache.titlesOf(history, urls), (QHash<QString, QString>{{"https://a/", "Alpha"}}));
    ASSERT_TRUE(execute(history, "INSERT INTO urls(url, title, last_visit_time) VALUES ('https://n/', "
                                 "replace(hex(zeroblob(3000)), '0', 'n'), 2), ('https://a/', 'Again', 3);"));
    const QHash<QString, QString> later = cache.titlesOf(history, urls);
    EXPECT_EQ(later.value("https://a/"), QStringLiteral("Again"));
    EXPECT_EQ(later.value("https://n/").size(), ChromiumHistory::maximumTitleLength);
    // A read stopped at its time limit leaves its addresses unknown, not untitled: they are read
    // again after a pause, though the file stays as it was.
    ASSERT_TRUE(execute(history,
                        "CREATE INDEX urls_url_index ON urls (url); WITH RECURSIVE n(i) AS (SELECT 1 UNION "
                        "ALL SELECT i + 1 FROM n WHERE i < 20000) "
                        "INSERT INTO urls(url, title, last_visit_time) SELECT 'https://s/', 'Slow', i "
                        "FROM n;"));
    auto now = std::chrono::steady_clock::time_point();
    bool busy = true;
    ChromiumHistoryCache slow([&now, &busy] { return busy ? now += std::chrono::milliseconds(100) : now; });
    const QStringList both{"https://a/", "https://s/"};
    EXPECT_EQ(slow.titlesOf(history, both), (QHash<QString, QString>{{"https://a/", "Again"}}));
    busy = false;
    EXPECT_EQ(slow.titlesOf(history, both).value("https://s/"), QString());
    now += ChromiumHistoryCache::retryAfter;
    EXPECT_EQ(slow.titlesOf(history, both).value("https://s/"), QStringLiteral("Slow"));
}

} // namespace
