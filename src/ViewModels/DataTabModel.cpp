#include "ViewModels/DataTabModel.h"

#include "Extensions/AtomicFileWriter.h"
#include "Extensions/WorkerTask.h"
#include "Models/WorkspaceJson.h"
#include "Platform/Linux/RegularFile.h"
#include "Platform/Platform.h"
#include "Platform/Prompts.h"
#include "Services/Storage/WorkspaceStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <qcoro/qcorofuture.h>

namespace {

const QStringList kJsonOnly{QStringLiteral("json")};

// The workspaces of an import file; nothing when it cannot be read. Runs on a worker: a file of
// 64 MB takes about a second to read and decode.
std::optional<JsonResult<QList<Workspace>>> readImportFile(const QString& path) {
    // A regular file only, opened without waiting: a FIFO picked in the panel is never opened.
    const std::optional<RegularFile> file = RegularFile::open(path);
    if (!file || file->size() > quint64(DataTabModel::maxImportBytes)) {
        return std::nullopt;
    }
    std::optional<QByteArray> data = file->readAll(DataTabModel::maxImportBytes); // it may have grown since
    if (!data || data->size() > DataTabModel::maxImportBytes) {
        return std::nullopt;
    }
    return WorkspaceJson::decodeList(*data);
}

QString workspaceCount(int count) {
    return count == 1 ? QStringLiteral("1 workspace")
                      : QString::number(count) + QStringLiteral(" workspaces");
}

// What an import added, and what it left out because the list has it already.
QString importedText(const WorkspaceStore::ImportSummary& summary) {
    if (summary.added == 0) {
        return summary.skipped == 0 ? QStringLiteral("No workspaces imported: the file lists none")
                                    : QStringLiteral("No workspaces imported: ") +
                                          workspaceCount(summary.skipped) + QStringLiteral(" already listed");
    }
    QString text = QStringLiteral("Workspaces imported successfully: ") + QString::number(summary.added) +
                   QStringLiteral(" added");
    if (summary.skipped > 0) {
        text += QStringLiteral(", ") + QString::number(summary.skipped) + QStringLiteral(" already listed");
    }
    return text;
}

} // namespace

DataTabModel::DataTabModel(WorkspaceStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store) {
}

void DataTabModel::reset() {
    setStatusMessage(QString());
}

void DataTabModel::setStatusMessage(const QString& message) {
    if (message != m_statusMessage) {
        m_statusMessage = message;
        emit statusMessageChanged();
    }
}

QCoro::Task<void> DataTabModel::runExport() {
    QPointer<DataTabModel> self(this);
    // Held for the whole wait: the panel's owner must outlive the answer.
    const std::shared_ptr<Prompts> prompts = Platform::current().prompts;
    if (!prompts) {
        co_return;
    }
    FilePanelRequest panel;
    panel.title = QStringLiteral("Export Workspaces");
    panel.directory = QDir::homePath();
    panel.suggestedName = QStringLiteral("Workspaces.json");
    panel.allowedSuffixes = kJsonOnly;
    const std::optional<QString> path = co_await prompts->chooseFileToSave(panel);
    if (!self || !path || path->isEmpty()) {
        co_return;
    }
    // The data folder holds one file per workspace: an export written there would replace a
    // workspace's file, or be read as a broken workspace at the next start.
    const QString folder = QFileInfo(QFileInfo(*path).absolutePath()).canonicalFilePath();
    const bool intoStore =
        !folder.isEmpty() && folder == QFileInfo(m_store.storageDirectory()).canonicalFilePath();
    const JsonResult<QByteArray> data = m_store.exportAllWorkspaces();
    // Whole or not at all: a file chosen to replace keeps its content when the disk is full.
    const bool written = !intoStore && data.ok() && AtomicFileWriter::writeFile(*path, data.value()).written;
    setStatusMessage(written ? QStringLiteral("Workspaces exported successfully")
                             : QStringLiteral("Failed to export workspaces"));
}

QCoro::Task<void> DataTabModel::runImport() {
    QPointer<DataTabModel> self(this);
    const std::shared_ptr<Prompts> prompts = Platform::current().prompts;
    if (!prompts) {
        co_return;
    }
    FilePanelRequest panel;
    panel.title = QStringLiteral("Import Workspaces");
    panel.directory = QDir::homePath();
    panel.allowedSuffixes = kJsonOnly;
    const std::optional<QString> path = co_await prompts->chooseFileToOpen(panel);
    if (!self || !path || path->isEmpty()) {
        co_return;
    }
    ++m_importing;
    // Made before it is awaited: GCC 12 destroys a capturing lambda's copy twice when it is made
    // inside the awaited expression.
    const QString file = *path;
    QFuture<std::optional<JsonResult<QList<Workspace>>>> reading =
        WorkerTask::run([file] { return readImportFile(file); });
    const std::optional<JsonResult<QList<Workspace>>> decoded = co_await reading;
    if (!self) {
        co_return;
    }
    --m_importing;
    if (!decoded) {
        setStatusMessage(QStringLiteral("Failed to import workspaces"));
        co_return;
    }
    const JsonResult<WorkspaceStore::ImportSummary> imported = m_store.importWorkspaces(*decoded);
    if (!imported.ok()) {
        setStatusMessage(QStringLiteral("Failed to import workspaces"));
    } else if (!imported.value().allWritten) {
        // The workspaces are listed, but some would be gone at the next start.
        setStatusMessage(QStringLiteral("Imported, but some workspaces could not be saved"));
    } else {
        setStatusMessage(importedText(imported.value()));
    }
}

QCoro::Task<void> DataTabModel::runDeleteAll() {
    QPointer<DataTabModel> self(this);
    const std::shared_ptr<Prompts> prompts = Platform::current().prompts;
    if (!prompts) {
        co_return;
    }
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.messageText = QStringLiteral("Delete All Workspaces");
    alert.informativeText =
        QStringLiteral("Are you sure you want to delete all workspaces? This action cannot be undone.");
    alert.buttons = {QStringLiteral("Delete"), QStringLiteral("Cancel")};
    alert.destructive = true;
    alert.iconName = QStringLiteral("AppIcon");
    const int answer = co_await prompts->showAlert(alert);
    if (!self || answer != 0) {
        co_return;
    }
    // The list is emptied either way; files left behind would bring workspaces back at the next
    // start, so that is said.
    setStatusMessage(m_store.deleteAll() ? QStringLiteral("Workspaces deleted successfully")
                                         : QStringLiteral("Some workspace files could not be deleted"));
}
