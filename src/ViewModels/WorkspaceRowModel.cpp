#include "ViewModels/WorkspaceRowModel.h"

#include "Extensions/BidiText.h"

#include "Extensions/DateExtensions.h"
#include "Platform/Platform.h"
#include "Platform/RunningApplications.h"
#include "ViewModels/DisplayPickerModel.h"
#include "ViewModels/IconPickerModel.h"
#include "ViewModels/ShortcutRecorderModel.h"
#include "ViewModels/WorkspaceColors.h"

#include <QVariantMap>

namespace {

bool hasAppIcon(const QString& bundleIdentifier) {
    const std::shared_ptr<RunningApplications> apps = Platform::current().runningApplications;
    return apps && apps->urlForApplication(bundleIdentifier) && !apps->icon(bundleIdentifier).isNull();
}

} // namespace

WorkspaceRowModel::WorkspaceRowModel(const Workspace& workspace, QObject* parent)
    : WorkspaceRowModel(workspace, new ShortcutRecorderModel(),
                        new DisplayPickerModel(DisplayPickerModel::Kind::connected),
                        new DisplayPickerModel(DisplayPickerModel::Kind::disconnected), parent) {
}

WorkspaceRowModel::WorkspaceRowModel(const Workspace& workspace, ShortcutRecorderModel* recorder,
                                     DisplayPickerModel* displayPicker,
                                     DisplayPickerModel* displayDisconnectPicker, QObject* parent)
    : QObject(parent)
    , m_recorder(recorder)
    , m_iconPicker(new IconPickerModel(this))
    , m_displayPicker(displayPicker)
    , m_displayDisconnectPicker(displayDisconnectPicker) {
    m_recorder->setParent(this);
    m_displayPicker->setParent(this);
    m_displayDisconnectPicker->setParent(this);
    connectEditors();
    setWorkspace(workspace);
}

WorkspaceRowModel::~WorkspaceRowModel() {
    // Views that go with this model must not report to it once it is half gone.
    for (QObject* view : std::as_const(m_hoveringViews)) {
        disconnect(view, &QObject::destroyed, this, &WorkspaceRowModel::viewGone);
    }
}

void WorkspaceRowModel::connectEditors() {
    connect(m_iconPicker, &IconPickerModel::iconSelected, this, &WorkspaceRowModel::iconUpdateRequested);
    connect(m_recorder, &ShortcutRecorderModel::shortcutWritten, this,
            &WorkspaceRowModel::shortcutUpdateRequested);
    connect(m_recorder, &ShortcutRecorderModel::shortcutChanged, this, &WorkspaceRowModel::shortcutChanged);
    connect(m_recorder, &ShortcutRecorderModel::shortcutAssigned, this, [this](bool assigned) {
        if (!assigned) {
            emit duplicateErrorRequested();
        }
    });
    for (DisplayPickerModel* picker : {m_displayPicker, m_displayDisconnectPicker}) {
        connect(picker, &DisplayPickerModel::triggerChosen, this, &WorkspaceRowModel::triggerAddRequested);
    }
}

template <typename T>
void WorkspaceRowModel::assign(T& field, const T& value, void (WorkspaceRowModel::*changed)()) {
    if (field != value) {
        field = value;
        emit(this->*changed)();
    }
}

void WorkspaceRowModel::setWorkspace(const Workspace& workspace) {
    m_workspace = workspace;
    m_recorder->setWorkspaceID(workspace.id);
    m_recorder->setShortcut(workspace.globalShortcut);
    m_iconPicker->setCurrentIcon(workspace.resolvedIconName());
    emit workspaceChanged();
    refreshAge();
}

void WorkspaceRowModel::setExpanded(bool expanded) {
    assign(m_isExpanded, expanded, &WorkspaceRowModel::isExpandedChanged);
    if (!expanded) {
        // The panel and the recorder in it go away.
        m_recorder->stopRecording();
    }
    emit viewStateChanged();
}

void WorkspaceRowModel::setProcessing(bool processing) {
    assign(m_isProcessing, processing, &WorkspaceRowModel::isProcessingChanged);
}

void WorkspaceRowModel::refreshAge() {
    assign(m_ageText, DateExtensions::workspaceTimeString(m_workspace.updatedAt),
           &WorkspaceRowModel::ageTextChanged);
}

int WorkspaceRowModel::gradientIndex() const {
    return static_cast<int>(m_workspace.resolvedGradientIndex());
}

QColor WorkspaceRowModel::gradientStart() const {
    return WorkspaceColors::startColor(gradientIndex());
}

QColor WorkspaceRowModel::gradientEnd() const {
    return WorkspaceColors::endColor(gradientIndex());
}

int WorkspaceRowModel::appCount() const {
    return static_cast<int>(m_workspace.appSnapshots.size());
}

int WorkspaceRowModel::windowCount() const {
    qsizetype count = 0;
    for (const AppSnapshot& app : m_workspace.appSnapshots) {
        count += app.windowSnapshots.size();
    }
    return static_cast<int>(count);
}

QStringList WorkspaceRowModel::appIcons() const {
    QStringList icons;
    for (const AppSnapshot& app :
         m_workspace.appSnapshots.first(qMin(m_workspace.appSnapshots.size(), maxAppIcons))) {
        if (hasAppIcon(app.bundleIdentifier)) {
            icons.append(app.bundleIdentifier);
        }
    }
    return icons;
}

QString WorkspaceRowModel::overflowText() const {
    const int others = appCount() - maxAppIcons;
    return others > 0 ? QStringLiteral("+") + QString::number(others) : QString();
}

bool WorkspaceRowModel::hasShortcut() const {
    return m_recorder->hasShortcut();
}

QString WorkspaceRowModel::shortcutText() const {
    return m_recorder->shortcutText();
}

QString WorkspaceRowModel::triggerSymbol(const WorkspaceTrigger& trigger) {
    struct Visitor {
        QString operator()(const WorkspaceTrigger::DisplayConnected&) const {
            return QStringLiteral("display.badge.plus");
        }
        QString operator()(const WorkspaceTrigger::DisplayDisconnected&) const {
            return QStringLiteral("display.badge.minus");
        }
        QString operator()(const WorkspaceTrigger::TimeOfDay&) const { return QStringLiteral("clock.fill"); }
        QString operator()(const WorkspaceTrigger::Login&) const {
            return QStringLiteral("person.badge.key.fill");
        }
    };
    return std::visit(Visitor{}, trigger.type);
}

QVariantList WorkspaceRowModel::triggers() const {
    QVariantList list;
    for (const WorkspaceTrigger& trigger : m_workspace.triggers) {
        list.append(QVariantMap{{QStringLiteral("id"), trigger.id.toString(QUuid::WithoutBraces)},
                                {QStringLiteral("symbol"), triggerSymbol(trigger)},
                                {QStringLiteral("text"), trigger.displayDescription()}});
    }
    return list;
}

QString WorkspaceRowModel::deleteQuestion() const {
    return QStringLiteral("Are you sure you want to delete \"") + BidiText::isolated(m_workspace.name) +
           QStringLiteral("\"?");
}

void WorkspaceRowModel::setViewHovered(QObject* view, bool hovered) {
    if (!view || hovered == m_hoveringViews.contains(view)) {
        return;
    }
    if (hovered) {
        m_hoveringViews.insert(view);
        connect(view, &QObject::destroyed, this, &WorkspaceRowModel::viewGone);
    } else {
        m_hoveringViews.remove(view);
        disconnect(view, &QObject::destroyed, this, &WorkspaceRowModel::viewGone);
    }
    emit viewStateChanged();
}

void WorkspaceRowModel::viewGone(QObject* view) {
    if (!m_hoveringViews.remove(view)) {
        return;
    }
    if (m_hoveringViews.isEmpty()) {
        m_restoreButtonHovered = false;
        m_previewButtonHovered = false;
    }
    emit viewStateChanged();
}

void WorkspaceRowModel::setRestoreButtonHovered(bool hovered) {
    assign(m_restoreButtonHovered, hovered, &WorkspaceRowModel::viewStateChanged);
}

void WorkspaceRowModel::setPreviewButtonHovered(bool hovered) {
    assign(m_previewButtonHovered, hovered, &WorkspaceRowModel::viewStateChanged);
}

qreal WorkspaceRowModel::backgroundOpacity() const {
    if (m_isExpanded) {
        return 0.06;
    }
    return isHovered() ? 0.04 : 0.0;
}

void WorkspaceRowModel::setRenameText(const QString& text) {
    assign(m_renameText, text, &WorkspaceRowModel::renameTextChanged);
}

void WorkspaceRowModel::setShowingIconPicker(bool showing) {
    if (showing && !m_showingIconPicker) {
        // The picker's content is made anew each time it opens, with an empty search.
        m_iconPicker->clearSearch();
    }
    assign(m_showingIconPicker, showing, &WorkspaceRowModel::popoversChanged);
}

void WorkspaceRowModel::setShowingColorPicker(bool showing) {
    assign(m_showingColorPicker, showing, &WorkspaceRowModel::popoversChanged);
}

void WorkspaceRowModel::setShowingTriggerPicker(bool showing) {
    assign(m_showingTriggerPicker, showing, &WorkspaceRowModel::popoversChanged);
}

void WorkspaceRowModel::setShowingDisplayPicker(bool showing) {
    if (showing && !m_showingDisplayPicker) {
        m_displayPicker->refresh();
    }
    assign(m_showingDisplayPicker, showing, &WorkspaceRowModel::popoversChanged);
}

void WorkspaceRowModel::setShowingDisplayDisconnectPicker(bool showing) {
    if (showing && !m_showingDisplayDisconnectPicker) {
        m_displayDisconnectPicker->refresh();
    }
    assign(m_showingDisplayDisconnectPicker, showing, &WorkspaceRowModel::popoversChanged);
}

void WorkspaceRowModel::tapHeader() {
    if (!m_isRenaming) {
        emit toggleExpandRequested();
    }
}

void WorkspaceRowModel::restore() {
    if (!m_isProcessing) {
        emit restoreRequested();
    }
}

void WorkspaceRowModel::showPreview() {
    emit showPreviewRequested();
}

void WorkspaceRowModel::startRename() {
    setRenameText(m_workspace.name);
    assign(m_isRenaming, true, &WorkspaceRowModel::viewStateChanged);
}

QString WorkspaceRowModel::trimmedName(const QString& text) {
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && blank(text[start])) {
        ++start;
    }
    while (end > start && blank(text[end - 1])) {
        --end;
    }
    return text.mid(start, end - start);
}

void WorkspaceRowModel::confirmRename() {
    const QString trimmed = trimmedName(m_renameText);
    if (trimmed.isEmpty()) {
        cancelRename();
        return;
    }
    if (trimmed != m_workspace.name) {
        emit renameRequested(trimmed);
    }
    assign(m_isRenaming, false, &WorkspaceRowModel::viewStateChanged);
}

void WorkspaceRowModel::cancelRename() {
    assign(m_isRenaming, false, &WorkspaceRowModel::viewStateChanged);
    setRenameText(QString());
}

void WorkspaceRowModel::requestUpdate() {
    emit updateRequested();
}

void WorkspaceRowModel::askDelete() {
    assign(m_isConfirmingDelete, true, &WorkspaceRowModel::viewStateChanged);
}

void WorkspaceRowModel::cancelDelete() {
    assign(m_isConfirmingDelete, false, &WorkspaceRowModel::viewStateChanged);
}

void WorkspaceRowModel::confirmDelete() {
    cancelDelete();
    emit deleteRequested();
}

void WorkspaceRowModel::selectGradient(int index) {
    emit gradientUpdateRequested(index);
}

void WorkspaceRowModel::setCloseOtherApps(bool closeOtherApps) {
    emit closeOtherAppsUpdateRequested(closeOtherApps);
}

void WorkspaceRowModel::removeTrigger(const QString& triggerID) {
    emit triggerRemoveRequested(QUuid::fromString(triggerID));
}

void WorkspaceRowModel::chooseDisplayTrigger(bool connected) {
    setShowingTriggerPicker(false);
    if (connected) {
        setShowingDisplayPicker(true);
    } else {
        setShowingDisplayDisconnectPicker(true);
    }
}
