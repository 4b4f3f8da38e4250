#include "ViewModels/WorkspaceListModel.h"

#include "ViewModels/PopoverModel.h"
#include "ViewModels/WorkspaceEditor.h"
#include "ViewModels/WorkspaceRowModel.h"

#include <algorithm>

WorkspaceListModel::WorkspaceListModel(PopoverModel& popover, WorkspaceEditor& editor, QObject* parent)
    : QAbstractListModel(parent)
    , m_popover(popover)
    , m_editor(editor) {
    connect(&m_popover, &PopoverModel::listChanged, this, &WorkspaceListModel::sync);
    connect(&m_popover, &PopoverModel::expandedWorkspaceChanged, this, &WorkspaceListModel::updateRowStates);
    connect(&m_popover, &PopoverModel::statusChanged, this, &WorkspaceListModel::updateRowStates);
    sync();
}

WorkspaceListModel::~WorkspaceListModel() {
    qDeleteAll(m_retired);
}

int WorkspaceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_ids.size());
}

QHash<int, QByteArray> WorkspaceListModel::roleNames() const {
    return {{RowRole, "row"}, {IdRole, "workspaceID"}};
}

QVariant WorkspaceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_ids.size()) {
        return {};
    }
    if (role == IdRole) {
        return m_ids.at(index.row()).toString(QUuid::WithoutBraces);
    }
    if (role == RowRole) {
        return QVariant::fromValue(row(index.row()));
    }
    return {};
}

WorkspaceRowModel* WorkspaceListModel::row(int index) const {
    if (index < 0 || index >= m_ids.size()) {
        return nullptr;
    }
    if (WorkspaceRowModel* existing = m_rows.value(m_ids.at(index))) {
        return existing;
    }
    return makeRow(index);
}

WorkspaceRowModel* WorkspaceListModel::makeRow(int index) const {
    const Workspace& workspace = m_popover.filteredWorkspaces().at(index);
    auto* row = new WorkspaceRowModel(workspace, const_cast<WorkspaceListModel*>(this));
    row->setExpanded(m_popover.expandedWorkspaceID() == workspace.id);
    row->setProcessing(m_popover.isProcessing());
    m_editor.connectRow(row);
    PopoverModel* popover = &m_popover;
    connect(row, &WorkspaceRowModel::toggleExpandRequested, popover,
            [popover, row] { popover->toggleExpand(row->workspace().id); });
    connect(row, &WorkspaceRowModel::restoreRequested, popover,
            [popover, row] { popover->restoreWorkspace(row->workspace()); });
    connect(row, &WorkspaceRowModel::deleteRequested, popover,
            [popover, row] { popover->deleteWorkspace(row->workspace()); });
    connect(row, &WorkspaceRowModel::updateRequested, popover,
            [popover, row] { popover->openUpdatePanel(row->workspace()); });
    connect(row, &WorkspaceRowModel::showPreviewRequested, popover,
            [popover, row] { popover->showPreview(row->workspace()); });
    connect(row, &WorkspaceRowModel::duplicateErrorRequested, popover,
            &PopoverModel::showDuplicateShortcutAlert);
    m_rows.insert(workspace.id, row);
    return row;
}

void WorkspaceListModel::sync() {
    // Rows retired by the last change are unused by now: their views went with that change.
    qDeleteAll(m_retired);
    m_retired.clear();
    const QList<Workspace>& list = m_popover.filteredWorkspaces();
    QList<QUuid> ids;
    ids.reserve(list.size());
    for (const Workspace& w : list) {
        ids << w.id;
    }
    const bool sameRows = ids == m_ids;
    if (!sameRows) {
        beginResetModel();
        m_ids = ids;
    }
    // A row lives while its workspace is stored, so a search keeps its state; the rows of
    // deleted workspaces retire, since their views may still read them until they are gone.
    const QList<Workspace> stored = m_popover.storedWorkspaces();
    for (auto it = m_rows.begin(); it != m_rows.end();) {
        const auto current = std::find_if(stored.cbegin(), stored.cend(),
                                          [&it](const Workspace& w) { return w.id == it.key(); });
        if (current == stored.cend()) {
            m_retired << it.value();
            it = m_rows.erase(it);
            continue;
        }
        if (!(it.value()->workspace() == *current)) {
            it.value()->setWorkspace(*current);
        }
        ++it;
    }
    if (!sameRows) {
        endResetModel();
    }
}

void WorkspaceListModel::updateRowStates() {
    for (WorkspaceRowModel* row : std::as_const(m_rows)) {
        row->setExpanded(m_popover.expandedWorkspaceID() == row->workspace().id);
        row->setProcessing(m_popover.isProcessing());
    }
}

void WorkspaceListModel::refreshAges() {
    for (WorkspaceRowModel* row : std::as_const(m_rows)) {
        row->refreshAge();
    }
}
