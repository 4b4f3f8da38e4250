#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QUuid>

class PopoverModel;
class WorkspaceEditor;
class WorkspaceRowModel;

// The rows of the menu-bar window's list, one per workspace of the window's filtered list, in its
// order. A row's model is made when a view first asks for it (a long list builds only the rows on
// screen) and kept while its workspace is stored, so a row keeps its editing state when the list
// re-sorts or a search hides it for a while. Rows report restore, delete, update, preview, expansion and a
// taken shortcut to the window, and their edits of the workspace to the editor.
class WorkspaceListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { RowRole = Qt::UserRole + 1, IdRole };

    WorkspaceListModel(PopoverModel& popover, WorkspaceEditor& editor, QObject* parent = nullptr);
    ~WorkspaceListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The row of the workspace at position index, made on first use; null outside the list.
    WorkspaceRowModel* row(int index) const;
    // How many row models exist now.
    int madeRowCount() const { return int(m_rows.size()); }
    // Every row reads its age label again.
    void refreshAges();

private:
    void sync();
    void updateRowStates();
    WorkspaceRowModel* makeRow(int index) const;

    PopoverModel& m_popover;
    WorkspaceEditor& m_editor;
    QList<QUuid> m_ids;
    mutable QHash<QUuid, WorkspaceRowModel*> m_rows;
    QList<WorkspaceRowModel*> m_retired;
};
