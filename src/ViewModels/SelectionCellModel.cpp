#include "ViewModels/SelectionCellModel.h"

#include "ViewModels/WorkspacePreviewViewModel.h"

SelectionCellModel::SelectionCellModel(Kind kind, WorkspacePreviewViewModel* preview, const QUuid& appID,
                                       const QUuid& itemID, bool isMinimized, QObject* parent)
    : QObject(parent)
    , m_kind(kind)
    , m_preview(preview)
    , m_appID(appID)
    , m_itemID(itemID)
    , m_isMinimized(isMinimized) {
    if (!preview) {
        return;
    }
    connect(preview, &WorkspacePreviewViewModel::ignoredAppIDsChanged, this,
            &SelectionCellModel::selectionChanged);
    connect(preview,
            kind == Kind::Window ? &WorkspacePreviewViewModel::ignoredWindowIDsChanged
                                 : &WorkspacePreviewViewModel::ignoredTabIDsChanged,
            this, &SelectionCellModel::selectionChanged);
}

bool SelectionCellModel::isIgnored() const {
    if (!m_preview) {
        return false;
    }
    return (m_kind == Kind::Window ? m_preview->ignoredWindowIDs() : m_preview->ignoredTabIDs())
        .contains(m_itemID);
}

bool SelectionCellModel::isParentAppIgnored() const {
    return m_preview && m_preview->ignoredAppIDs().contains(m_appID);
}

qreal SelectionCellModel::cardOpacity() const {
    if (isParentAppIgnored()) {
        return 0.4;
    }
    return isIgnored() ? 0.5 : 1.0;
}

void SelectionCellModel::toggleIgnore() {
    if (!m_preview || isParentAppIgnored()) {
        return;
    }
    if (m_kind == Kind::Window) {
        m_preview->toggleWindowIgnore(m_itemID);
    } else {
        m_preview->toggleTabIgnore(m_itemID);
    }
}
