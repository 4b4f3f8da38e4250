#pragma once

#include "Models/AppSnapshot.h"

#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

class WorkspacePreviewViewModel;

// What the save and the update panels share: a capture of the desktop of the panel's own (made
// once, when the panel first comes on screen), the state of the capture area (loading, failed,
// empty or the list), the list header's summary and Select All / Deselect All button, and Cancel.
// The selection itself lives in the capture preview model, which the panel hands to its owner.
class CapturePanelModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(CaptureState captureState READ captureState NOTIFY captureStateChanged)
    Q_PROPERTY(QString captureError READ captureError NOTIFY captureStateChanged)
    // The counts of ticked applications, their windows and tabs; empty without a capture.
    Q_PROPERTY(QString summaryText READ summaryText NOTIFY selectionChanged)
    // The list header's button: shown for a capture with at least one application.
    Q_PROPERTY(bool showsSelectionButton READ showsSelectionButton NOTIFY captureStateChanged)
    Q_PROPERTY(QString selectionButtonTitle READ selectionButtonTitle NOTIFY selectionChanged)
    Q_PROPERTY(bool hasAnyAppsToSave READ hasAnyAppsToSave NOTIFY selectionChanged)

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
    QString summaryText() const;
    bool showsSelectionButton() const;
    QString selectionButtonTitle() const;
    bool hasAnyAppsToSave() const;
    // Whether at least one captured application is unticked: the header button ticks them all
    // then, and unticks them all otherwise.
    bool anyAppIgnored() const;

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
    void cancelled();

protected:
    // The panel owns preview from now on.
    explicit CapturePanelModel(WorkspacePreviewViewModel* preview, QObject* parent = nullptr);

    // The capture this panel makes.
    virtual QCoro::Task<void> capture() = 0;
    // Called each time the panel comes on screen, before the capture starts.
    virtual void comingOnScreen() {}

private:
    WorkspacePreviewViewModel* m_preview;
    bool m_captureStarted = false;
};
