#include "Services/Storage/WorkspaceStore.h"

#include "Extensions/AtomicFileWriter.h"
#include "Models/WorkspaceJson.h"
#include "Platform/Clock.h"
#include "Platform/Diagnostics.h"
#include "Platform/Linux/RegularFile.h"
#include "Platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

namespace {

void report(const char* operation, const QString& message) {
    Diagnostics::print(QStringLiteral("[WorkspaceStore.%1] %2").arg(QLatin1String(operation), message));
}

struct LoadedFile {
    std::optional<Workspace> workspace;
    QString error; // why the file was skipped
    // Whether its reading stopped at the windows and tabs left to the files read together.
    bool pastParts = false;
};

// The windows and tabs files read at once may still take: shared by the files read together, so
// that what they hold at any time stays within the bound whatever the files hold.
using PartsLeft = std::atomic<qint64>;

const QString& tooManyParts() {
    static const QString reason =
        QStringLiteral("its windows and tabs would take the workspaces loaded past 100,000 windows and tabs");
    return reason;
}

// Far above any real workspace (a thousand windows take well under a megabyte).
constexpr qint64 kMaxFileSize = WorkspaceStore::kMostFileBytes;

// Why the entry at path, after following links, is not a regular file; empty when it is one.
QString notARegularFile(const QString& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path entry(QFile::encodeName(path).toStdString());
    const fs::file_status status = fs::status(entry, error);
    const QString prefix = QStringLiteral("not a regular file: ");
    if (error) {
        if (error == std::errc::too_many_symbolic_link_levels) {
            return prefix + QStringLiteral("a link that loops");
        }
        std::error_code linkError;
        return fs::is_symlink(fs::symlink_status(entry, linkError))
                   ? prefix + QStringLiteral("a link that leads nowhere")
                   : QString::fromLocal8Bit(error.message());
    }
    switch (status.type()) {
    case fs::file_type::regular:
        return {};
    case fs::file_type::directory:
        return prefix + QStringLiteral("a folder");
    case fs::file_type::fifo:
        return prefix + QStringLiteral("a FIFO");
    case fs::file_type::socket:
        return prefix + QStringLiteral("a socket");
    case fs::file_type::block:
    case fs::file_type::character:
        return prefix + QStringLiteral("a device");
    default:
        return prefix + QStringLiteral("of an unknown kind");
    }
}

// Reads the workspace file at path, of at most maxSize bytes, and when partsLeft is given, of at
// most the windows and tabs it leaves (they are taken from it; given back when the file is not).
LoadedFile readWorkspaceFile(const QString& path, qint64 maxSize = kMaxFileSize,
                             PartsLeft* partsLeft = nullptr) {
    // Only regular files, after following links: a device or a pipe under a ".json" name would
    // be read without end and keep Ordella from starting.
    const QString odd = notARegularFile(path);
    if (!odd.isEmpty()) {
        return {std::nullopt, odd};
    }
    // Why a file of this size is not read.
    const auto tooLarge = [maxSize](qint64 size) {
        return size > kMaxFileSize ? QStringLiteral("larger than 64 MB")
                                   : QStringLiteral("the workspace files read before it left %1 bytes of the "
                                                    "64 MB read together")
                                         .arg(maxSize);
    };
    // Opened as a regular file without waiting: what stands at the path may have changed since.
    const std::optional<RegularFile> file = RegularFile::open(path);
    if (!file) {
        return {std::nullopt, QStringLiteral("not a regular file, or it cannot be opened")};
    }
    if (qint64(file->size()) > maxSize) {
        return {std::nullopt, tooLarge(qint64(file->size()))};
    }
    // Read what the file holds now, never more than the limit: it may have grown since. The
    // buffer is sized by the file, not the limit.
    const std::optional<QByteArray> read = file->readAll(maxSize);
    if (!read) {
        return {std::nullopt, QStringLiteral("it cannot be read")};
    }
    const QByteArray& data = *read;
    if (data.size() > maxSize) {
        return {std::nullopt, tooLarge(data.size())};
    }
    qint64 taken = 0;
    bool pastParts = false;
    const auto budget = [partsLeft, &taken, &pastParts](qsizetype parts) {
        if (!partsLeft) {
            return true;
        }
        if (partsLeft->fetch_sub(parts) < parts) {
            partsLeft->fetch_add(parts);
            pastParts = true;
            return false;
        }
        taken += parts;
        return true;
    };
    auto decoded = WorkspaceJson::decodeFile(data, budget);
    if (!decoded) {
        if (partsLeft) {
            partsLeft->fetch_add(taken);
        }
        return {std::nullopt, pastParts ? tooManyParts() : decoded.error().description(), pastParts};
    }
    return {std::move(decoded).value(), QString(), false};
}

// Reads and decodes the files on a few threads: with a thousand workspaces, start-up is
// dominated by JSON parsing, which is independent per file. Results keep the order of paths.
// Each file is read within the bytes allowed to it, and all together within the windows and tabs
// the bound leaves: a file whose reading stopped there is read again by the caller, in order.
std::vector<LoadedFile> readWorkspaceFiles(const QStringList& paths, const std::vector<qint64>& allowed) {
    std::vector<LoadedFile> results(paths.size());
    PartsLeft partsLeft{WorkspaceStore::kMostParts};
    const qsizetype workers = std::min<qsizetype>(
        {qsizetype(std::max(1u, std::thread::hardware_concurrency())), 8, paths.size() / 16});
    std::atomic<qsizetype> next{0};
    const auto work = [&] {
        for (qsizetype i = next++; i < paths.size(); i = next++) {
            results[size_t(i)] = readWorkspaceFile(paths.at(i), allowed[size_t(i)], &partsLeft);
        }
    };
    std::vector<std::thread> threads;
    for (qsizetype i = 1; i < workers; ++i) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no more threads to be had: the ones running (and this one) do the rest
        }
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
    return results;
}

} // namespace

qint64 WorkspaceStore::partsOf(const Workspace& workspace) {
    qint64 parts = 0;
    for (const AppSnapshot& app : workspace.appSnapshots) {
        for (const WindowSnapshot& window : app.windowSnapshots) {
            parts += 1 + window.tabSnapshots.size();
        }
    }
    return parts;
}

WorkspaceStore::WorkspaceStore(QObject* parent)
    : WorkspaceStore(defaultStorageDirectory(), parent) {
}

WorkspaceStore::WorkspaceStore(const QString& storageDirectory, QObject* parent)
    : QObject(parent)
    , m_storageDirectory(storageDirectory) {
    if (m_storageDirectory.isEmpty()) {
        report("init", QStringLiteral("No data folder is available; workspaces cannot be stored."));
        return;
    }
    if (!QDir().mkpath(m_storageDirectory)) {
        report("init", QStringLiteral("Could not create the folder %1.").arg(m_storageDirectory));
    }
    load();
}

void WorkspaceStore::removeIfUnfinishedWrite(const QFileInfo& entry) {
    // The temporary copy a write makes beside "<UUID>.json" stays behind when the process is
    // killed before it was renamed. Only regular files that the writer alone names so go: anything
    // else in the folder may be the user's ("<UUID>.json.backup"). Copies an older version left
    // ("<UUID>.json" and six letters, as QSaveFile named them) look just like such files of the
    // user's, so they stay.
    static const QRegularExpression workspaceFile(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.json$"));
    if (!entry.isFile() || entry.isSymLink() ||
        !workspaceFile.match(AtomicFileWriter::targetOfTemporaryCopy(entry.fileName())).hasMatch()) {
        return;
    }
    QFile file(entry.filePath());
    if (file.remove()) {
        report("init", QStringLiteral("Removed %1, left by a write that never ended.").arg(entry.fileName()));
    } else {
        report("init", QStringLiteral("Could not remove %1: %2").arg(entry.fileName(), file.errorString()));
    }
}

QString WorkspaceStore::defaultStorageDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString WorkspaceStore::filePath(const QUuid& id) const {
    if (m_storageDirectory.isEmpty()) {
        return {};
    }
    return QDir(m_storageDirectory).filePath(WorkspaceJson::uuidString(id) + QStringLiteral(".json"));
}

void WorkspaceStore::load() {
    // Names sorted, so that of two files holding one id the same one comes first on every start.
    // Every kind of entry: a folder, a FIFO or a dangling link under a ".json" name is skipped with
    // its reason like any other file that cannot be read.
    const QFileInfoList entries =
        QDir(m_storageDirectory)
            .entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    QStringList paths;
    for (const QFileInfo& entry : entries) {
        if (entry.suffix() == QLatin1String("json")) {
            paths.append(entry.filePath());
        } else {
            removeIfUnfinishedWrite(entry);
        }
    }
    // The files are taken within the bounds in the order of their names, whichever thread read
    // them first: the bytes by their sizes before they are read, the windows and tabs after.
    std::vector<qint64> allowed(size_t(paths.size()));
    qint64 bytesLeft = kMostFileBytes;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QFileInfo info(paths.at(i));
        allowed[size_t(i)] = bytesLeft;
        if (info.isFile() && info.size() <= bytesLeft) {
            bytesLeft -= info.size();
        }
    }
    std::vector<LoadedFile> files = readWorkspaceFiles(paths, allowed);
    QList<Workspace> loaded;
    loaded.reserve(paths.size());
    m_sourceFiles.clear();
    m_skippedFiles.clear();
    qint64 held = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].pastParts) {
            // Stopped by what the files read at the same time took: read again with what the
            // files before it in order left.
            PartsLeft partsLeft{kMostParts - held};
            files[i] = readWorkspaceFile(paths.at(qsizetype(i)), allowed[i], &partsLeft);
        }
        if (files[i].workspace) {
            const qint64 parts = partsOf(*files[i].workspace);
            if (held + parts > kMostParts) {
                files[i] = {std::nullopt, tooManyParts(), true};
            } else {
                held += parts;
            }
        }
        if (files[i].workspace) {
            const QString& path = paths.at(qsizetype(i));
            if (path != filePath(files[i].workspace->id)) {
                m_sourceFiles[files[i].workspace->id].append(path);
            }
            loaded.append(std::move(*files[i].workspace));
        } else {
            m_skippedFiles.insert(paths.at(qsizetype(i)));
            report("load", QStringLiteral("Skipped %1: %2")
                               .arg(QFileInfo(paths.at(qsizetype(i))).fileName(), files[i].error));
        }
    }
    m_workspaces = std::move(loaded);
    sort();
}

void WorkspaceStore::sort() {
    std::stable_sort(m_workspaces.begin(), m_workspaces.end(),
                     [](const Workspace& a, const Workspace& b) { return a.updatedAt > b.updatedAt; });
}

QDateTime WorkspaceStore::now() const {
    return Platform::current().clock->wallNow();
}

qsizetype WorkspaceStore::indexOf(const QUuid& id) const {
    const auto it = std::find_if(m_workspaces.cbegin(), m_workspaces.cend(),
                                 [&id](const Workspace& w) { return w.id == id; });
    return it == m_workspaces.cend() ? -1 : it - m_workspaces.cbegin();
}

QString WorkspaceStore::writePath(const QUuid& id) const {
    const QString own = filePath(id);
    if (!m_skippedFiles.contains(own)) {
        return own;
    }
    // The file named after the id could not be read, so it is never written over: the listed
    // workspace goes back to the file it was loaded from.
    return m_sourceFiles.value(id).value(0);
}

bool WorkspaceStore::takesSkippedFile(const QUuid& id) const {
    return indexOf(id) < 0 && m_skippedFiles.contains(filePath(id));
}

QUuid WorkspaceStore::freeId(const char* operation, const Workspace& workspace) const {
    QUuid id;
    do {
        id = QUuid::createUuid();
    } while (indexOf(id) >= 0 || m_skippedFiles.contains(filePath(id)));
    report(operation, QStringLiteral("\"%1\" gets the new id %2: the file of its id, %3, could not be read "
                                     "and stays as it is.")
                          .arg(workspace.name, WorkspaceJson::uuidString(id),
                               QFileInfo(filePath(workspace.id)).fileName()));
    return id;
}

bool WorkspaceStore::writeFile(const char* operation, const Workspace& workspace) const {
    if (m_storageDirectory.isEmpty()) {
        report(operation, QStringLiteral("No data folder; \"%1\" was not written.").arg(workspace.name));
        return false;
    }
    const QString path = writePath(workspace.id);
    if (path.isEmpty()) {
        report(operation, QStringLiteral("\"%1\" was not written: the file of its id could not be read.")
                              .arg(workspace.name));
        return false;
    }
    // A number JSON cannot hold is refused here, so the file on disk keeps its last good state.
    const auto data = WorkspaceJson::encodeFile(workspace);
    if (!data) {
        report(operation,
               QStringLiteral("Could not encode \"%1\": %2").arg(workspace.name, data.error().description()));
        return false;
    }
    // The folder may have been removed while running; putting it back loses nothing.
    QDir().mkpath(m_storageDirectory);
    // Whole or not at all: on a full disk the old file stays as it was.
    const AtomicFileWriter::Result written = AtomicFileWriter::writeFile(path, data.value());
    if (!written) {
        report(operation, QStringLiteral("Could not write %1: %2").arg(path, written.errorString));
    }
    return written.written;
}

bool WorkspaceStore::isWrittenAsListed(const QUuid& id) const {
    const qsizetype index = indexOf(id);
    if (index < 0) {
        return false;
    }
    // Compared in the file's form, which keeps whole seconds of the stamp the listed record has.
    const QString path = writePath(id);
    if (path.isEmpty()) {
        return false;
    }
    const LoadedFile file = readWorkspaceFile(path);
    if (!file.workspace) {
        return false;
    }
    const auto listed = WorkspaceJson::encodeFile(m_workspaces.at(index));
    const auto stored = WorkspaceJson::encodeFile(*file.workspace);
    return listed.ok() && stored.ok() && listed.value() == stored.value();
}

bool WorkspaceStore::removeFiles(const char* operation, const QUuid& id) {
    // The file named after the id, and every other file the workspace was loaded from (a copy
    // under another name), or it would come back at the next start; never a file that could not
    // be read, which holds no workspace of the list.
    const QStringList paths = QStringList{filePath(id)} + m_sourceFiles.take(id);
    bool allRemoved = true;
    for (const QString& path : paths) {
        if (path.isEmpty() || m_skippedFiles.contains(path) || !QFileInfo(path).exists()) {
            continue;
        }
        QFile file(path);
        if (!file.remove()) {
            report(operation, QStringLiteral("Could not remove %1: %2").arg(path, file.errorString()));
            allRemoved = false;
        }
    }
    return allRemoved;
}

bool WorkspaceStore::save(const Workspace& workspace) {
    Workspace copy = workspace;
    copy.updatedAt = now();
    if (takesSkippedFile(copy.id)) {
        copy.id = freeId("save", copy);
    }
    const qsizetype index = indexOf(copy.id);
    if (index >= 0) {
        m_workspaces[index] = copy;
    } else {
        m_workspaces.append(copy);
    }
    sort();
    emit workspacesChanged();
    return writeFile("save", copy);
}

template <typename Change>
bool WorkspaceStore::update(const char* operation, const Workspace& workspace, Change change) {
    const qsizetype index = indexOf(workspace.id);
    if (index < 0) {
        return true;
    }
    Workspace& stored = m_workspaces[index];
    change(stored);
    stored.updatedAt = now();
    const Workspace written = stored;
    emit workspacesChanged();
    return writeFile(operation, written);
}

bool WorkspaceStore::rename(const Workspace& workspace, const QString& newName) {
    return update("rename", workspace, [&](Workspace& stored) {
        // The look comes from the name the caller saw, so renaming does not change it.
        if (!stored.iconName) {
            stored.iconName = workspace.resolvedIconName();
        }
        if (!stored.gradientIndex) {
            stored.gradientIndex = workspace.resolvedGradientIndex();
        }
        stored.name = newName;
    });
}

bool WorkspaceStore::updateIcon(const Workspace& workspace, const std::optional<QString>& iconName) {
    return update("updateIcon", workspace, [&](Workspace& stored) { stored.iconName = iconName; });
}

bool WorkspaceStore::updateGradient(const Workspace& workspace, std::optional<qint64> gradientIndex) {
    return update("updateGradient", workspace,
                  [&](Workspace& stored) { stored.gradientIndex = gradientIndex; });
}

bool WorkspaceStore::updateGlobalShortcut(const Workspace& workspace,
                                          const std::optional<GlobalKeyShortcut>& shortcut) {
    return update("updateGlobalShortcut", workspace,
                  [&](Workspace& stored) { stored.globalShortcut = shortcut; });
}

bool WorkspaceStore::updateCloseOtherApps(const Workspace& workspace, bool closeOtherApps) {
    return update("updateCloseOtherApps", workspace,
                  [&](Workspace& stored) { stored.closeOtherApps = closeOtherApps; });
}

bool WorkspaceStore::updateSnapshots(const Workspace& workspace, const QList<AppSnapshot>& appSnapshots,
                                     const QList<DisplaySnapshot>& displaySnapshots) {
    return update("updateSnapshots", workspace, [&](Workspace& stored) {
        stored.appSnapshots = appSnapshots;
        stored.displaySnapshots = displaySnapshots;
    });
}

bool WorkspaceStore::updateRestoreAfterLogin(const Workspace& workspace, bool restoreAfterLogin) {
    return update("updateRestoreAfterLogin", workspace,
                  [&](Workspace& stored) { stored.setRestoreAfterLogin(restoreAfterLogin); });
}

bool WorkspaceStore::addTrigger(const Workspace& workspace, const WorkspaceTrigger& trigger) {
    return update("addTrigger", workspace, [&](Workspace& stored) { stored.triggers.append(trigger); });
}

bool WorkspaceStore::removeTrigger(const Workspace& workspace, const QUuid& triggerID) {
    return update("removeTrigger", workspace, [&](Workspace& stored) {
        stored.triggers.removeIf([&](const WorkspaceTrigger& t) { return t.id == triggerID; });
    });
}

bool WorkspaceStore::deleteWorkspace(const Workspace& workspace) {
    const QUuid id = workspace.id;
    if (m_workspaces.removeIf([&id](const Workspace& w) { return w.id == id; }) > 0) {
        emit workspacesChanged();
    }
    return removeFiles("delete", id);
}

bool WorkspaceStore::deleteAll() {
    bool allRemoved = true;
    QSet<QUuid> done;
    for (const Workspace& workspace : std::as_const(m_workspaces)) {
        if (!done.contains(workspace.id)) {
            done.insert(workspace.id);
            allRemoved = removeFiles("deleteAll", workspace.id) && allRemoved;
        }
    }
    m_workspaces.clear();
    emit workspacesChanged();
    return allRemoved;
}

JsonResult<QByteArray> WorkspaceStore::exportAllWorkspaces() const {
    auto data = WorkspaceJson::encodeList(m_workspaces);
    if (!data) {
        report("exportAllWorkspaces", QStringLiteral("Could not encode: %1").arg(data.error().description()));
    }
    return data;
}

JsonResult<WorkspaceStore::ImportSummary> WorkspaceStore::importWorkspaces(const QByteArray& data) {
    return importWorkspaces(WorkspaceJson::decodeList(data));
}

JsonResult<WorkspaceStore::ImportSummary>
WorkspaceStore::importWorkspaces(const JsonResult<QList<Workspace>>& decoded) {
    if (!decoded) {
        report("importWorkspaces",
               QStringLiteral("Rejected the data: %1").arg(decoded.error().description()));
        return JsonResult<ImportSummary>::failure(decoded.error());
    }
    // What the list holds stays within what a start loads.
    qint64 parts = 0;
    for (const Workspace& workspace : std::as_const(m_workspaces)) {
        parts += partsOf(workspace);
    }
    for (const Workspace& workspace : decoded.value()) {
        parts += partsOf(workspace);
    }
    if (parts > kMostParts) {
        const JsonError error{QString(),
                              QStringLiteral("The workspaces would hold %1 windows and tabs together; "
                                             "they may hold 100,000.")
                                  .arg(parts)};
        report("importWorkspaces", QStringLiteral("Rejected the data: %1").arg(error.description()));
        return JsonResult<ImportSummary>::failure(error);
    }
    ImportSummary summary;
    for (Workspace workspace : decoded.value()) {
        if (indexOf(workspace.id) >= 0) {
            ++summary.skipped;
            continue;
        }
        if (takesSkippedFile(workspace.id)) {
            workspace.id = freeId("importWorkspaces", workspace);
        }
        m_workspaces.append(workspace);
        ++summary.added;
        summary.allWritten = writeFile("importWorkspaces", workspace) && summary.allWritten;
    }
    // Sorted even when nothing was added: earlier updates may have left the list out of order.
    sort();
    emit workspacesChanged();
    return JsonResult<ImportSummary>::success(summary);
}
