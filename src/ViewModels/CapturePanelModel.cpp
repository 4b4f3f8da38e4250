#include "ViewModels/CapturePanelModel.h"

#include "Services/Scripting/BrowserNames.h"
#include "ViewModels/AppSelectionRowModel.h"
#include "ViewModels/BrowserSelectionRowModel.h"
#include "ViewModels/WorkspacePreviewViewModel.h"

#include <algorithm>

CapturePanelModel::CapturePanelModel(WorkspacePreviewViewModel* preview, QObject* parent)
    : QObject(parent)
    , m_preview(preview) {
    preview->setParent(this);
    for (auto signal :
         {&WorkspacePreviewViewModel::isCapturingChanged, &WorkspacePreviewViewModel::captureErrorChanged,
          &WorkspacePreviewViewModel::capturedWorkspaceChanged}) {
        connect(preview, signal, this, &CapturePanelModel::captureStateChanged);
        connect(preview, signal, this, &CapturePanelModel::selectionChanged);
    }
    connect(preview, &WorkspacePreviewViewModel::capturedWorkspaceChanged, this,
            &CapturePanelModel::rebuildRows);
    for (auto signal : {&WorkspacePreviewViewModel::ignoredAppIDsChanged,
                        &WorkspacePreviewViewModel::ignoredWindowIDsChanged,
                        &WorkspacePreviewViewModel::ignoredTabIDsChanged,
                        &WorkspacePreviewViewModel::appOnlyModeIDsChanged}) {
        connect(preview, signal, this, &CapturePanelModel::selectionChanged);
    }
}

CapturePanelModel::~CapturePanelModel() = default;

PreviewBadge::Kind CapturePanelModel::badgeFor(const AppSnapshot& app) const {
    return app.isHidden ? PreviewBadge::Kind::Hidden : PreviewBadge::Kind::None;
}

QVariantList CapturePanelModel::rowList() const {
    QVariantList list;
    for (SelectionRowModel* row : m_rows) {
        list.append(QVariant::fromValue(row));
    }
    return list;
}

void CapturePanelModel::rebuildRows() {
    QList<SelectionRowModel*> rows;
    if (const std::optional<Workspace>& captured = m_preview->capturedWorkspace()) {
        for (const AppSnapshot& app : captured->appSnapshots) {
            // A browser's row shows its tabs, any other application's its windows.
            if (BrowserNames::supportedBrowsers().contains(app.bundleIdentifier)) {
                rows.append(new BrowserSelectionRowModel(m_preview, app, badgeFor(app), this));
            } else {
                rows.append(new AppSelectionRowModel(m_preview, app, badgeFor(app), maxVisibleWindows, this));
            }
        }
    }
    const QList<SelectionRowModel*> old = std::exchange(m_rows, rows);
    emit rowsChanged();
    for (SelectionRowModel* row : old) {
        row->deleteLater();
    }
}

CapturePanelModel::CaptureState CapturePanelModel::captureState() const {
    if (m_preview->isCapturing()) {
        return CaptureState::capturing;
    }
    if (m_preview->captureError()) {
        return CaptureState::failed;
    }
    if (const std::optional<Workspace>& captured = m_preview->capturedWorkspace()) {
        return captured->appSnapshots.isEmpty() ? CaptureState::empty : CaptureState::captured;
    }
    return CaptureState::notStarted;
}

QString CapturePanelModel::captureError() const {
    return m_preview->captureError().value_or(QString());
}

QString CapturePanelModel::summaryText() const {
    return m_preview->summaryText();
}

bool CapturePanelModel::showsSelectionButton() const {
    const std::optional<Workspace>& captured = m_preview->capturedWorkspace();
    return captured && !captured->appSnapshots.isEmpty();
}

bool CapturePanelModel::anyAppIgnored() const {
    const std::optional<Workspace>& captured = m_preview->capturedWorkspace();
    if (!captured) {
        return false;
    }
    const QSet<QUuid>& ignored = m_preview->ignoredAppIDs();
    return std::any_of(captured->appSnapshots.begin(), captured->appSnapshots.end(),
                       [&ignored](const AppSnapshot& app) { return ignored.contains(app.id); });
}

QString CapturePanelModel::selectionButtonTitle() const {
    return anyAppIgnored() ? QStringLiteral("Select All") : QStringLiteral("Deselect All");
}

bool CapturePanelModel::hasAnyAppsToSave() const {
    return m_preview->hasAnyAppsToSave();
}

void CapturePanelModel::appeared() {
    comingOnScreen();
    if (m_captureStarted) {
        return;
    }
    m_captureStarted = true;
    // Nothing follows the capture here: the panel follows the preview model's fields. The
    // preview model checks that it still exists when the capture returns.
    capture();
}

void CapturePanelModel::toggleSelectAll() {
    if (anyAppIgnored()) {
        m_preview->selectAllApps();
    } else {
        m_preview->deselectAllApps();
    }
}

void CapturePanelModel::cancel() {
    emit cancelled();
}
