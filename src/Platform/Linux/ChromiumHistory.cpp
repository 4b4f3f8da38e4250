#include "Platform/Linux/ChromiumHistory.h"

#include "Platform/Linux/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

#include <cstring>
#include <fcntl.h>
#include <optional>

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

// What the statements of a read may be made of: reading the columns of "urls" and asking for its
// kind and columns, nothing else. A view that calls a function, or a query that recurses, is
// refused as it is compiled: one call of an expensive function is a single step, which the
// progress handler never interrupts. Once the read's statements are made, nothing more may be,
// so that a file changed meanwhile cannot have them compiled again against another "urls".
struct Gate {
    bool closed = false;
};

int admit(void* gate, int action, const char* first, const char*, const char*, const char*) {
    if (static_cast<Gate*>(gate)->closed) {
        return SQLITE_DENY;
    }
    switch (action) {
    case SQLITE_SELECT:
        return SQLITE_OK;
    case SQLITE_READ:
        return first && sqlite3_stricmp(first, "urls") == 0 ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_PRAGMA:
        return first && (sqlite3_stricmp(first, "table_list") == 0 ||
                         sqlite3_stricmp(first, "table_xinfo") == 0)
                   ? SQLITE_OK
                   : SQLITE_DENY;
    default:
        return SQLITE_DENY;
    }
}

// SQLite's heap limits are the process's: they are set for one read and put back after it.
class HeapLimit {
public:
    explicit HeapLimit(sqlite3_int64 limit)
        : m_hard(sqlite3_hard_heap_limit64(-1))
        , m_soft(sqlite3_soft_heap_limit64(-1)) {
        sqlite3_hard_heap_limit64(limit);
    }
    ~HeapLimit() {
        // The hard limit first: setting it lowers the soft one.
        sqlite3_hard_heap_limit64(m_hard);
        sqlite3_soft_heap_limit64(m_soft);
    }
    HeapLimit(const HeapLimit&) = delete;
    HeapLimit& operator=(const HeapLimit&) = delete;

private:
    sqlite3_int64 m_hard;
    sqlite3_int64 m_soft;
};

// The statements of one read, finalised at its end.
struct Statements {
    sqlite3_stmt* kind = nullptr;
    sqlite3_stmt* columns = nullptr;
    sqlite3_stmt* lookup = nullptr;
    ~Statements() {
        sqlite3_finalize(kind);
        sqlite3_finalize(columns);
        sqlite3_finalize(lookup);
    }
};

// Whether "urls" is an ordinary table whose columns are all stored as they are: not a view, not a
// virtual table, and no column computed from others as it is read.
bool isPlainTable(const Statements& s) {
    int tables = 0;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(s.kind)) == SQLITE_ROW) {
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(s.kind, 2));
        if (!type || std::strcmp(type, "table") != 0) {
            return false;
        }
        ++tables;
    }
    if (tables != 1 || step != SQLITE_DONE) {
        return false;
    }
    int columns = 0;
    while ((step = sqlite3_step(s.columns)) == SQLITE_ROW) {
        // "hidden": 0 for a plain column; a virtual table's hidden ones and computed ones are not.
        if (sqlite3_column_int(s.columns, 6) != 0) {
            return false;
        }
        ++columns;
    }
    return step == SQLITE_DONE && columns > 0;
}

// The file a read checked and holds open. SQLite opens a database by its path, which by then may
// name another file (a FIFO, whose open would never end): its open of that path on this thread
// takes a copy of the held descriptor instead.
struct HeldFile {
    QByteArray path;
    int descriptor = -1;
};
thread_local const HeldFile* t_held = nullptr;
sqlite3_syscall_ptr g_systemOpen = nullptr;

int openHeldFile(const char* path, int flags, int mode) {
    if (t_held && path && t_held->path == path) {
        // Above the standard streams, as SQLite wants its descriptors.
        return ::fcntl(t_held->descriptor, F_DUPFD_CLOEXEC, 3);
    }
    return reinterpret_cast<int (*)(const char*, int, int)>(g_systemOpen)(path, flags, mode);
}

// The path as it is given: the system's layer follows links in it, and would open what a link
// leads to instead of the path held.
int verbatimPath(sqlite3_vfs*, const char* name, int size, char* out) {
    const std::size_t length = std::strlen(name);
    if (size <= 0 || length >= std::size_t(size)) {
        return SQLITE_CANTOPEN;
    }
    std::memcpy(out, name, length + 1);
    return SQLITE_OK;
}

// The system's file layer under a name of its own that opens a held file; nothing when SQLite
// cannot be made to (a read then gives nothing).
const char* heldFileLayer() {
    static const char* const name = []() -> const char* {
        static sqlite3_vfs layer{};
        sqlite3_vfs* system = sqlite3_vfs_find("unix");
        if (!system || system->iVersion < 3 || !system->xGetSystemCall || !system->xSetSystemCall) {
            return nullptr;
        }
        g_systemOpen = system->xGetSystemCall(system, "open");
        if (!g_systemOpen ||
            system->xSetSystemCall(system, "open", reinterpret_cast<sqlite3_syscall_ptr>(&openHeldFile)) !=
                SQLITE_OK) {
            return nullptr;
        }
        layer = *system;
        layer.pNext = nullptr;
        layer.zName = "ordella-held-file";
        layer.xFullPathname = &verbatimPath;
        return sqlite3_vfs_register(&layer, 0) == SQLITE_OK ? layer.zName : nullptr;
    }();
    return name;
}

// Makes SQLite's open of the held file's path on this thread take it, while it lives.
class HoldingFile {
public:
    explicit HoldingFile(const HeldFile& held) { t_held = &held; }
    ~HoldingFile() { t_held = nullptr; }
    HoldingFile(const HoldingFile&) = delete;
    HoldingFile& operator=(const HoldingFile&) = delete;
};

} // namespace

QString ChromiumHistory::fileBesideSession(const QString& sessionFile) {
    if (sessionFile.isEmpty()) {
        return QString();
    }
    return QDir::cleanPath(QFileInfo(sessionFile).absolutePath() + QStringLiteral("/../History"));
}

QHash<QString, QString> ChromiumHistory::titlesOf(const QString& historyFile, const QStringList& urls,
                                                  const Now& now, QSet<QString>* lookedUp) {
    QHash<QString, QString> titles;
    const QFileInfo info(historyFile);
    if (urls.isEmpty() || historyFile.isEmpty() || !info.isFile() || info.isSymLink()) {
        return titles;
    }
    // Opened as a regular file, without waiting, and read through that open file, whatever stands
    // at its path by the time SQLite opens it.
    const QString path = info.absoluteFilePath();
    const std::optional<RegularFile> regular = RegularFile::open(path);
    const char* layer = heldFileLayer();
    if (!regular || !layer) {
        return titles;
    }
    const HeldFile held{QFile::encodeName(path), regular->descriptor()};
    // immutable: no lock is taken (the browser holds one), no journal is read or made.
    QUrl uri = QUrl::fromLocalFile(path);
    uri.setQuery(QStringLiteral("immutable=1"));
    sqlite3* db = nullptr;
    int opened = SQLITE_CANTOPEN;
    {
        const HoldingFile holding(held);
        opened =
            sqlite3_open_v2(uri.toEncoded().constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, layer);
    }
    if (opened != SQLITE_OK) {
        sqlite3_close(db);
        return titles;
    }
    // Only values of an ordinary table are read, each of a bounded size, in a bounded time and
    // memory, with no function of the file's own.
    const HeapLimit heap(kHeapLimit);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, maximumValueBytes);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    const Now clock = now ? now : Now(&std::chrono::steady_clock::now);
    Budget budget{0, clock() + timeLimit, &clock, false};
    sqlite3_progress_handler(db, kStepsPerCheck, &stopWhenTooLong, &budget);
    Gate gate;
    sqlite3_set_authorizer(db, &admit, &gate);
    {
        Statements s;
        const bool prepared =
            sqlite3_prepare_v2(db, "PRAGMA main.table_list('urls')", -1, &s.kind, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db, "PRAGMA main.table_xinfo('urls')", -1, &s.columns, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(
                db, "SELECT title FROM main.urls WHERE url = ?1 ORDER BY last_visit_time DESC LIMIT 1", -1,
                &s.lookup, nullptr) == SQLITE_OK;
        gate.closed = true;
        const bool plain = prepared && isPlainTable(s);
        for (qsizetype i = 0; plain && i < urls.size() && i < maximumLookups; ++i) {
            const QByteArray url = urls[i].toUtf8();
            if (url.isEmpty() || titles.contains(urls[i])) {
                if (lookedUp) {
                    lookedUp->insert(urls[i]);
                }
                continue;
            }
            if (sqlite3_bind_text(s.lookup, 1, url.constData(), int(url.size()), SQLITE_TRANSIENT) !=
                SQLITE_OK) {
                continue;
            }
            const int step = sqlite3_step(s.lookup);
            if (step == SQLITE_ROW && sqlite3_column_type(s.lookup, 0) == SQLITE_TEXT) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s.lookup, 0));
                const int bytes = sqlite3_column_bytes(s.lookup, 0);
                const QString title = QString::fromUtf8(text, bytes).left(maximumTitleLength).trimmed();
                if (!title.isEmpty()) {
                    titles.insert(urls[i], title);
                }
            }
            if (lookedUp && (step == SQLITE_ROW || step == SQLITE_DONE)) {
                lookedUp->insert(urls[i]);
            }
            sqlite3_reset(s.lookup);
            sqlite3_clear_bindings(s.lookup);
            if (budget.spent) {
                break;
            }
        }
    }
    sqlite3_close(db);
    return titles;
}
