#include "ViewModels/SaveWorkspacePanelModel.h"

#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "ViewModels/WorkspacePreviewViewModel.h"

#include <QPointer>

namespace {

// The whitespace class of the name: the Unicode space separators and the tab.
bool isBlank(QChar c) {
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

} // namespace

SaveWorkspacePanelModel::SaveWorkspacePanelModel(QObject* parent)
    : SaveWorkspacePanelModel(new WorkspacePreviewViewModel(), parent) {
}

SaveWorkspacePanelModel::SaveWorkspacePanelModel(WorkspacePreviewViewModel* preview, QObject* parent)
    : CapturePanelModel(preview, parent) {
    connect(this, &CapturePanelModel::selectionChanged, this, &SaveWorkspacePanelModel::canSaveChanged);
    connect(this, &SaveWorkspacePanelModel::nameChanged, this, &SaveWorkspacePanelModel::canSaveChanged);
}

void SaveWorkspacePanelModel::setName(const QString& name) {
    if (m_name != name) {
        m_name = name;
        emit nameChanged();
    }
}

QString SaveWorkspacePanelModel::trimmedName(const QString& name) {
    qsizetype start = 0;
    qsizetype end = name.size();
    while (start < end && isBlank(name[start])) {
        ++start;
    }
    while (end > start && isBlank(name[end - 1])) {
        --end;
    }
    return name.mid(start, end - start);
}

bool SaveWorkspacePanelModel::canSave() const {
    return !trimmedName(m_name).isEmpty() && hasAnyAppsToSave();
}

void SaveWorkspacePanelModel::save() {
    const QString name = trimmedName(m_name);
    if (name.isEmpty() || !hasAnyAppsToSave()) {
        return;
    }
    emit saveRequested(name, preview());
}

void SaveWorkspacePanelModel::comingOnScreen() {
    emit focusRequested();
    refocusLater();
}

QCoro::Task<void> SaveWorkspacePanelModel::capture() {
    return preview()->capture();
}

QCoro::Task<void> SaveWorkspacePanelModel::refocusLater() {
    QPointer<SaveWorkspacePanelModel> self(this);
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    co_await clock->sleep(Clock::seconds(refocusDelaySeconds));
    if (self) {
        emit self->focusRequested();
    }
}
