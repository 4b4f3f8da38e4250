#pragma once

#include "ViewModels/SelectionCellModel.h"

// A window of a captured application in the strip of its selection row: either a document card
// (picture, file name, include switch) or, for an application shown by one window, a plain
// picture that cannot be ticked off.
class WindowCellModel : public SelectionCellModel {
    Q_OBJECT
    Q_PROPERTY(int pid READ pid CONSTANT)
    Q_PROPERTY(int windowIndex READ windowIndex CONSTANT)
    Q_PROPERTY(bool isDocument READ isDocument CONSTANT)
    // The file name under a document card, or "Untitled" (drawn apart) when the window has none.
    Q_PROPERTY(QString label READ label CONSTANT)
    Q_PROPERTY(bool isUntitled READ isUntitled CONSTANT)

public:
    WindowCellModel(WorkspacePreviewViewModel* preview, const QUuid& appID, const QUuid& windowID,
                    bool isMinimized, qint32 pid, int windowIndex, bool isDocument, const QString& fileName,
                    QObject* parent);

    int pid() const { return m_pid; }
    int windowIndex() const { return m_windowIndex; }
    bool isDocument() const { return m_isDocument; }
    const QString& fileName() const { return m_fileName; }
    bool isUntitled() const { return m_fileName.isEmpty(); }
    QString label() const;

private:
    qint32 m_pid;
    int m_windowIndex;
    bool m_isDocument;
    QString m_fileName;
};
