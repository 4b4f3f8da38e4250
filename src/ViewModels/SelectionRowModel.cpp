#include "ViewModels/SelectionRowModel.h"

#include "ViewModels/WorkspacePreviewViewModel.h"

SelectionRowModel::SelectionRowModel(WorkspacePreviewViewModel* preview, const AppSnapshot& app,
                                     PreviewBadge::Kind badge, QObject* parent)
    : QObject(parent)
    , m_preview(preview)
    , m_app(app)
    , m_badge(badge) {
    if (preview) {
        connect(preview, &WorkspacePreviewViewModel::ignoredAppIDsChanged, this, [this] {
            emit isIgnoredChanged();
            emit showsStripChanged();
        });
    }
}

WorkspacePreviewViewModel* SelectionRowModel::preview() const {
    return m_preview;
}

bool SelectionRowModel::isIgnored() const {
    return m_preview && m_preview->ignoredAppIDs().contains(m_app.id);
}

void SelectionRowModel::toggleIgnore() {
    if (m_preview) {
        m_preview->toggleAppIgnore(m_app.id);
    }
}

QVariantList SelectionRowModel::cellList() const {
    QVariantList list;
    for (QObject* cell : m_cells) {
        list.append(QVariant::fromValue(cell));
    }
    return list;
}

void SelectionRowModel::setCells(const QList<QObject*>& cells) {
    const QList<QObject*> old = std::exchange(m_cells, cells);
    emit cellsChanged();
    emit showsStripChanged();
    for (QObject* cell : old) {
        cell->deleteLater();
    }
}
