#pragma once

#include "Models/Workspace.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>

class AppRestorePreviewRowModel;

// The read-only preview of one saved workspace that the menu-bar window shows in place of its
// list: the coloured symbol tile, the name, a summary of what a restore brings back and one row
// per saved application. It changes nothing; Back (or Escape) asks the owner to close it.
class WorkspacePreviewInlineModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(QString iconName READ iconName CONSTANT)
    Q_PROPERTY(QColor gradientStart READ gradientStart CONSTANT)
    Q_PROPERTY(QColor gradientEnd READ gradientEnd CONSTANT)
    Q_PROPERTY(QString summaryText READ summaryText CONSTANT)
    Q_PROPERTY(bool hasApps READ hasApps CONSTANT)
    // One AppRestorePreviewRowModel per saved application, in saved order.
    Q_PROPERTY(QVariantList rows READ rowList CONSTANT)

public:
    explicit WorkspacePreviewInlineModel(const Workspace& workspace, QObject* parent = nullptr);

    const Workspace& workspace() const { return m_workspace; }
    QString name() const { return m_workspace.name; }
    QString iconName() const { return m_workspace.resolvedIconName(); }
    QColor gradientStart() const;
    QColor gradientEnd() const;
    QString summaryText() const { return summaryText(m_workspace); }
    bool hasApps() const { return !m_workspace.appSnapshots.isEmpty(); }
    QList<QObject*> rows() const { return m_rows; }
    QVariantList rowList() const;

    // "3 apps • 5 windows • 12 tabs", leaving out every count of 0; "No items to restore" when
    // nothing is left.
    static QString summaryText(const Workspace& workspace);

    // The Back button and the Escape key.
    Q_INVOKABLE void close();

signals:
    void closeRequested();

private:
    Workspace m_workspace;
    QList<QObject*> m_rows;
};
