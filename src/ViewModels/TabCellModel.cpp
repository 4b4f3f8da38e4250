#include "ViewModels/TabCellModel.h"

#include "Extensions/LocalizationManager.h"

#include <QUrl>

TabCellModel::TabCellModel(WorkspacePreviewViewModel* preview, const QUuid& appID, const TabSnapshot& tab,
                           bool isWindowMinimized, QObject* parent)
    : SelectionCellModel(Kind::Tab, preview, appID, tab.id, isWindowMinimized, parent)
    , m_url(tab.url)
    , m_title(tab.title.value_or(QString())) {
    const QUrl url(tab.url, QUrl::StrictMode);
    if (url.isValid()) {
        m_host = url.host();
    }
}

QString TabCellModel::label() const {
    return isUntitled() ? LocalizationManager::untitled() : m_title;
}
