#include "Services/Storage/WorkspaceStore.h"

#include "Extensions/AtomicFileWriter.h"
#include "Models/WorkspaceJson.h"
#include "Platform/Clock.h"
#include "Platform/Diagnostics.h"
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
};

// Far above any real workspace (a thousand windows take well under a megabyte).
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;
// What a file that grew after it was measured is read by.
constexpr qint64 kReadChunk = 1024 * 1024;

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

LoadedFile readWorkspaceFile(const QString& path) {
    // Only regular files, after following links: a device or a pipe under a ".json" name would
    // be read without end and keep Ordella from starting.
    const QString odd = notARegularFile(path);
    if (!odd.isEmpty()) {
        return {std::nullopt, odd};
    }
    const QFileInfo info(path);
    const QString tooLarge = QStringLiteral("larger than 64 MB");
    if (info.size() > kMaxFileSize) {
        return {std::nullopt, tooLarge};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {std::nullopt, file.errorString()};
    }
    // Read what the file holds now, never more than the limit: it may have grown since. The
    // buffer is sized by the file, not the limit: asking QIODevice::read for the limit itself
    // allocates (and maps, then unmaps) 64 MB per file, which made loading many small files
    // several times slower.
    QByteArray data = file.read(std::min(info.size(), kMaxFileSize) + 1);
    while (data.size() <= kMaxFileSize) {
        const QByteArray more = file.read(std::min<qint64>(kReadChunk, kMaxFileSize + 1 - data.size()));
        if (more.isEmpty()) {
            break;
        }
        data += more;
    }
    if (data.size() > kMaxFileSize) {
        return {std::nullopt, tooLarge};
    }
    auto decoded = WorkspaceJson::decodeFile(data);
    if (!decoded) {
        return {std::nullopt, decoded.error().description()};
    }
    return {std::move(decoded).value(), QString()};
}

// Reads and decodes the files on a few threads: with a thousand workspaces, start-up is
// dominated by JSON parsing, which is independent per file. Results keep the order of paths.
std::vector<LoadedFile> readWorkspaceFiles(const QStringList& paths) {
    std::vector<LoadedFile> results(paths.size());
    const qsizetype workers = std::min<qsizetype>(
        {qsizetype(std::max(1u, std::thread::hardware_concurrency())), 8, paths.size() / 16});
    std::atomic<qsizetype> next{0};
    const auto work = [&] {
        for (qsizetype i = next++; i < paths.size(); i = next++) {
            results[size_t(i)] = readWorkspaceFile(paths.at(i));
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
    std::vector<LoadedFile> files = readWorkspaceFiles(paths);
    QList<Workspace> loaded;
    loaded.reserve(paths.size());
    m_sourceFiles.clear();
    m_skippedFiles.clear();
    for (size_t i = 0; i < files.size(); ++i) {
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
    const auto decoded = WorkspaceJson::decodeList(data);
    if (!decoded) {
        report("importWorkspaces",
               QStringLiteral("Rejected the data: %1").arg(decoded.error().description()));
        return JsonResult<ImportSummary>::failure(decoded.error());
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
