#include "ViewModels/WindowCellModel.h"

#include "Extensions/LocalizationManager.h"

WindowCellModel::WindowCellModel(WorkspacePreviewViewModel* preview, const QUuid& appID,
                                 const QUuid& windowID, bool isMinimized, qint32 pid, int windowIndex,
                                 bool isDocument, const QString& fileName, QObject* parent)
    : SelectionCellModel(Kind::Window, preview, appID, windowID, isMinimized, parent)
    , m_pid(pid)
    , m_windowIndex(windowIndex)
    , m_isDocument(isDocument)
    , m_fileName(fileName) {
}

QString WindowCellModel::label() const {
    return isUntitled() ? LocalizationManager::untitled() : m_fileName;
}
