#include "ViewModels/DisplayPickerModel.h"

#include "ViewModels/WorkspaceColors.h"

#include <QVariantMap>

DisplayPickerModel::DisplayPickerModel(Kind kind, QObject* parent)
    : DisplayPickerModel(
          kind, [] { return DisplayMonitor::connectedDisplays(); }, parent) {
}

DisplayPickerModel::DisplayPickerModel(Kind kind, DisplaySource source, QObject* parent)
    : QObject(parent)
    , m_kind(kind)
    , m_source(std::move(source)) {
    refresh();
}

QString DisplayPickerModel::title() const {
    return m_kind == Kind::connected ? QStringLiteral("Display connected")
                                     : QStringLiteral("Display disconnected");
}

QString DisplayPickerModel::icon() const {
    return m_kind == Kind::connected ? QStringLiteral("display")
                                     : QStringLiteral("display.trianglebadge.exclamationmark");
}

QColor DisplayPickerModel::iconColor() const {
    return WorkspaceColors::color(m_kind == Kind::connected ? QStringLiteral("blue")
                                                            : QStringLiteral("orange"));
}

QVariantList DisplayPickerModel::displays() const {
    QVariantList list;
    for (const Display& d : m_displays) {
        list.append(QVariantMap{{QStringLiteral("uuid"), d.uuid}, {QStringLiteral("name"), d.name}});
    }
    return list;
}

void DisplayPickerModel::refresh() {
    QList<Display> displays = m_source ? m_source() : QList<Display>();
    if (displays != m_displays) {
        m_displays = std::move(displays);
        emit displaysChanged();
    }
}

void DisplayPickerModel::select(int index) {
    if (index < 0 || index >= m_displays.size()) {
        return;
    }
    const Display& d = m_displays.at(index);
    WorkspaceTrigger trigger{QUuid::createUuid(), {}};
    if (m_kind == Kind::connected) {
        trigger.type = WorkspaceTrigger::DisplayConnected{d.uuid, d.name};
    } else {
        trigger.type = WorkspaceTrigger::DisplayDisconnected{d.uuid, d.name};
    }
    emit triggerChosen(trigger);
}
