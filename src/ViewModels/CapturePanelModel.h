#pragma once

#include "Models/AppSnapshot.h"
#include "ViewModels/PreviewBadge.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <qcoro/qcorotask.h>

class SelectionRowModel;
class WorkspacePreviewViewModel;

// What the save and the update panels share: a capture of the desktop of the panel's own (made
// once, when the panel first comes on screen), the state of the capture area (loading, failed,
// empty or the list), the list header's summary and Select All / Deselect All button, and Cancel.
// The selection itself lives in the capture preview model, which the panel hands to its owner.
class CapturePanelModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(CaptureState captureState READ captureState NOTIFY captureStateChanged)
    Q_PROPERTY(QString captureError READ captureError NOTIFY captureStateChanged)
    // Which of the capture area's views shows (at most one of loading, error and list; the list
    // holds either the empty block or the rows).
    Q_PROPERTY(bool showsLoading READ showsLoading NOTIFY captureStateChanged)
    Q_PROPERTY(bool showsError READ showsError NOTIFY captureStateChanged)
    Q_PROPERTY(bool showsList READ showsList NOTIFY captureStateChanged)
    Q_PROPERTY(bool showsEmptyBlock READ showsEmptyBlock NOTIFY captureStateChanged)
    // The counts of ticked applications, their windows and tabs; empty without a capture.
    Q_PROPERTY(QString summaryText READ summaryText NOTIFY selectionChanged)
    // The list header's button: shown for a capture with at least one application.
    Q_PROPERTY(bool showsSelectionButton READ showsSelectionButton NOTIFY captureStateChanged)
    Q_PROPERTY(QString selectionButtonTitle READ selectionButtonTitle NOTIFY selectionChanged)
    Q_PROPERTY(bool hasAnyAppsToSave READ hasAnyAppsToSave NOTIFY selectionChanged)
    // One SelectionRowModel per captured application, in the capture's order: a browser's row
    // lists its tabs, any other application's row its windows.
    Q_PROPERTY(QVariantList rows READ rowList NOTIFY rowsChanged)

public:
    // The capture area: nothing yet, the loading row, the error block, the empty block under the
    // list header, or the list of captured applications.
    enum class CaptureState { notStarted, capturing, failed, empty, captured };
    Q_ENUM(CaptureState)

    // The most windows an application's row lists, and the most tabs a browser's row lists.
    static constexpr int maxVisibleWindows = 5;
    static constexpr int maxVisibleTabs = 25;

    ~CapturePanelModel() override;

    // The capture and the selection, kept for the panel's whole life.
    WorkspacePreviewViewModel* preview() const { return m_preview; }

    CaptureState captureState() const;
    QString captureError() const;
    bool showsLoading() const { return captureState() == CaptureState::capturing; }
    bool showsError() const { return captureState() == CaptureState::failed; }
    bool showsList() const { return showsEmptyBlock() || captureState() == CaptureState::captured; }
    bool showsEmptyBlock() const { return captureState() == CaptureState::empty; }
    QString summaryText() const;
    bool showsSelectionButton() const;
    QString selectionButtonTitle() const;
    bool hasAnyAppsToSave() const;
    // Whether at least one captured application is unticked: the header button ticks them all
    // then, and unticks them all otherwise.
    bool anyAppIgnored() const;
    const QList<SelectionRowModel*>& rows() const { return m_rows; }
    QVariantList rowList() const;
    // The badge of a captured application's row.
    virtual PreviewBadge::Kind badgeFor(const AppSnapshot& app) const;

    // The panel comes on screen: its capture starts the first time. The capture runs once per
    // panel; a failed one is not retried.
    Q_INVOKABLE void appeared();
    // The list header's button, decided again at the click.
    Q_INVOKABLE void toggleSelectAll();
    // Cancel (or Escape): hands control back without saving anything.
    Q_INVOKABLE void cancel();

signals:
    void captureStateChanged();
    void selectionChanged();
    void rowsChanged();
    void cancelled();

protected:
    // The panel owns preview from now on.
    explicit CapturePanelModel(WorkspacePreviewViewModel* preview, QObject* parent = nullptr);

    // The capture this panel makes.
    virtual QCoro::Task<void> capture() = 0;
    // Called each time the panel comes on screen, before the capture starts.
    virtual void comingOnScreen() {}

private:
    // A new capture gets new rows; the old ones go once no view holds them.
    void rebuildRows();

    WorkspacePreviewViewModel* m_preview;
    QList<SelectionRowModel*> m_rows;
    bool m_captureStarted = false;
};
