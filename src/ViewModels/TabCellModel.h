#pragma once

#include "Models/TabSnapshot.h"
#include "ViewModels/SelectionCellModel.h"

// A browser tab in the strip of a browser's selection row: favicon, title, host and an include
// switch.
class TabCellModel : public SelectionCellModel {
    Q_OBJECT
    Q_PROPERTY(QString url READ url CONSTANT)
    // The tab's title, or "Untitled" (drawn apart) when it has none.
    Q_PROPERTY(QString label READ label CONSTANT)
    Q_PROPERTY(bool isUntitled READ isUntitled CONSTANT)
    // The host of an address that has one; empty leaves the host line out.
    Q_PROPERTY(QString host READ host CONSTANT)

public:
    TabCellModel(WorkspacePreviewViewModel* preview, const QUuid& appID, const TabSnapshot& tab,
                 bool isWindowMinimized, QObject* parent);

    const QString& url() const { return m_url; }
    const QString& title() const { return m_title; }
    bool isUntitled() const { return m_title.isEmpty(); }
    QString label() const;
    const QString& host() const { return m_host; }

private:
    QString m_url;
    QString m_title;
    QString m_host;
};
