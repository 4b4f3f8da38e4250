#pragma once

#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

class WorkspaceStore;

// The Data tab: export every workspace to a JSON file the user names, import the new workspaces
// of such a file, and delete every workspace after a confirmation. The outcome of the last
// operation is one status line; a write or removal the store reports as failed is said so, never
// reported as success.
class DataTabModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)

public:
    // Import files are read only up to this size; a larger file is refused.
    static constexpr qint64 maxImportBytes = 64 * 1024 * 1024;

    explicit DataTabModel(WorkspaceStore& store, QObject* parent = nullptr);

    // Empty while there is no line to show.
    const QString& statusMessage() const { return m_statusMessage; }
    // The tab is shown afresh: no line.
    void reset();

    Q_INVOKABLE void exportWorkspaces() { runExport(); }
    Q_INVOKABLE void importWorkspaces() { runImport(); }
    Q_INVOKABLE void deleteAllWorkspaces() { runDeleteAll(); }

    // Whether an import file is being read and decoded, off the main thread.
    bool importing() const { return m_importing > 0; }

    // The operations, awaited by tests. Cancelling a panel or the alert changes nothing.
    QCoro::Task<void> runExport();
    QCoro::Task<void> runImport();
    QCoro::Task<void> runDeleteAll();

signals:
    void statusMessageChanged();

private:
    void setStatusMessage(const QString& message);

    WorkspaceStore& m_store;
    QString m_statusMessage;
    int m_importing = 0;
};
