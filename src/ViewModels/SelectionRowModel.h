#pragma once

#include "Models/AppSnapshot.h"
#include "ViewModels/PreviewBadge.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

class WorkspacePreviewViewModel;

// One captured application in the save and update panels, where the user decides what the
// workspace keeps. A row holds no selection of its own: it reads the capture preview model and
// sends every click there, so it always shows the model's current choice. The kind of row is the
// caller's choice: a BrowserSelectionRowModel (a browser's tabs) or an AppSelectionRowModel (any
// other application's windows).
class SelectionRowModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString appName READ appName CONSTANT)
    Q_PROPERTY(QString bundleIdentifier READ bundleIdentifier CONSTANT)
    Q_PROPERTY(QString appID READ appIDText CONSTANT)
    Q_PROPERTY(bool isBrowser READ isBrowser CONSTANT)
    // A PreviewBadge::Kind.
    Q_PROPERTY(int badge READ badgeKind CONSTANT)
    Q_PROPERTY(bool isIgnored READ isIgnored NOTIFY isIgnoredChanged)
    // The icon dims to 0.5 while the application is left out.
    Q_PROPERTY(qreal iconOpacity READ iconOpacity NOTIFY isIgnoredChanged)
    // The strip's cards (WindowCellModel or TabCellModel), in captured order.
    Q_PROPERTY(QVariantList cells READ cellList NOTIFY cellsChanged)
    Q_PROPERTY(bool showsStrip READ showsStrip NOTIFY showsStripChanged)

public:
    // The thumbnails of the strip are this wide.
    static constexpr int thumbnailSize = 120;

    const AppSnapshot& appSnapshot() const { return m_app; }
    QString appName() const { return m_app.appName; }
    QString bundleIdentifier() const { return m_app.bundleIdentifier; }
    QString appIDText() const { return m_app.id.toString(QUuid::WithoutBraces); }
    virtual bool isBrowser() const = 0;
    PreviewBadge::Kind badge() const { return m_badge; }
    int badgeKind() const { return static_cast<int>(m_badge); }
    bool isIgnored() const;
    qreal iconOpacity() const { return isIgnored() ? 0.5 : 1.0; }
    QList<QObject*> cells() const { return m_cells; }
    QVariantList cellList() const;
    virtual bool showsStrip() const = 0;

    // The include switch: flips the application's exclusion.
    Q_INVOKABLE void toggleIgnore();

signals:
    void isIgnoredChanged();
    void cellsChanged();
    void showsStripChanged();

protected:
    SelectionRowModel(WorkspacePreviewViewModel* preview, const AppSnapshot& app, PreviewBadge::Kind badge,
                      QObject* parent);

    WorkspacePreviewViewModel* preview() const;
    // Replaces the cards (the old ones are deleted later, as views may still hold them).
    void setCells(const QList<QObject*>& cells);

private:
    QPointer<WorkspacePreviewViewModel> m_preview;
    AppSnapshot m_app;
    PreviewBadge::Kind m_badge;
    QList<QObject*> m_cells;
};
