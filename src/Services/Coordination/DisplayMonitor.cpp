#include "Services/Coordination/DisplayMonitor.h"

#include "Platform/Diagnostics.h"
#include "Platform/Platform.h"
#include "Services/Desktop/DisplayMapper.h"

#include <algorithm>

DisplayMonitor::DisplayMonitor(std::shared_ptr<Screens> screens, std::shared_ptr<Clock> clock,
                               QObject* parent)
    : QObject(parent)
    , m_screens(std::move(screens))
    , m_clock(std::move(clock)) {
    m_knownDisplayUUIDs = currentDisplayUUIDs();
    if (m_screens) {
        connect(m_screens.get(), &Screens::screensChanged, this,
                &DisplayMonitor::screenConfigurationDidChange);
    }
}

DisplayMonitor& DisplayMonitor::shared() {
    // Never destroyed: it watches the screens for the life of the process.
    static DisplayMonitor* instance =
        new DisplayMonitor(Platform::current().screens, Platform::current().clock);
    return *instance;
}

QList<DisplayMonitor::ConnectedDisplay> DisplayMonitor::connectedDisplays() {
    return connectedDisplays(Platform::current().screens.get());
}

QList<DisplayMonitor::ConnectedDisplay> DisplayMonitor::connectedDisplays(const Screens* screens) {
    QList<ConnectedDisplay> displays;
    if (!screens) {
        return displays;
    }
    for (const Screen& screen : screens->screens()) {
        if (const std::optional<QString> uuid = DisplayMapper::identityString(screen)) {
            displays.append({*uuid, screen.localizedName});
        }
    }
    return displays;
}

QSet<QString> DisplayMonitor::currentDisplayUUIDs() const {
    QSet<QString> uuids;
    for (const ConnectedDisplay& display : connectedDisplays(m_screens.get())) {
        uuids.insert(display.uuid);
    }
    return uuids;
}

QStringList DisplayMonitor::ordered(const QSet<QString>& set) {
    QStringList list(set.begin(), set.end());
    std::sort(list.begin(), list.end());
    return list;
}

QString DisplayMonitor::setText(const QSet<QString>& set) {
    QStringList quoted;
    for (const QString& uuid : ordered(set)) {
        quoted.append(QLatin1Char('"') + uuid + QLatin1Char('"'));
    }
    return QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']');
}

void DisplayMonitor::screenConfigurationDidChange() {
    const QSet<QString> current = currentDisplayUUIDs();
    const QSet<QString> added = current - m_knownDisplayUUIDs;
    const QSet<QString> removed = m_knownDisplayUUIDs - current;
    m_pendingConnected += added;
    m_pendingDisconnected += removed;
    // A display that went and came back (or came and went) before the report cancels out.
    const QSet<QString> both = m_pendingConnected & m_pendingDisconnected;
    m_pendingConnected -= both;
    m_pendingDisconnected -= both;
    m_knownDisplayUUIDs = current;

    // Every change, even one that changes nothing, restarts the quiet time.
    m_debounceTimer =
        m_clock->startTimer(Clock::seconds(debounceInterval), false, [this] { flushPendingChanges(); });
    Diagnostics::print(QStringLiteral("[DisplayMonitor] Screen change detected. connected=") +
                       setText(added) + QStringLiteral(", disconnected=") + setText(removed) +
                       QStringLiteral(", pending flush in 1.5s"));
}

void DisplayMonitor::flushPendingChanges() {
    const QSet<QString> connected = std::exchange(m_pendingConnected, {});
    const QSet<QString> disconnected = std::exchange(m_pendingDisconnected, {});
    Diagnostics::print(QStringLiteral("[DisplayMonitor] Flushing debounced changes: connected=") +
                       setText(connected) + QStringLiteral(", disconnected=") + setText(disconnected));
    for (const QString& uuid : ordered(connected)) {
        if (m_onDisplayConnected) {
            m_onDisplayConnected(uuid);
        }
    }
    for (const QString& uuid : ordered(disconnected)) {
        if (m_onDisplayDisconnected) {
            m_onDisplayDisconnected(uuid);
        }
    }
}
