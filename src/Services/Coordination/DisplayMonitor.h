#pragma once

#include "Platform/Clock.h"
#include "Platform/Screens.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

// Notices displays being connected and disconnected and reports each change once, after the
// screen configuration has been quiet for 1.5 seconds: all connected displays first, then all
// disconnected ones, each by its identity string. A display that goes and comes back (or the
// reverse) within the quiet time is not reported. Main thread.
class DisplayMonitor : public QObject {
    Q_OBJECT
public:
    struct ConnectedDisplay {
        QString uuid;
        QString name;
        bool operator==(const ConnectedDisplay&) const = default;
    };
    using Callback = std::function<void(const QString& displayUUID)>;

    static constexpr double debounceInterval = 1.5;

    // Watches screens; waits on clock. Takes the displays connected now as the known ones.
    DisplayMonitor(std::shared_ptr<Screens> screens, std::shared_ptr<Clock> clock, QObject* parent = nullptr);

    // The process-wide monitor on the current platform, made on first use.
    static DisplayMonitor& shared();

    // The connected displays that have an identity, in the order of the screen list.
    static QList<ConnectedDisplay> connectedDisplays();
    static QList<ConnectedDisplay> connectedDisplays(const Screens* screens);

    void setOnDisplayConnected(Callback callback) { m_onDisplayConnected = std::move(callback); }
    void setOnDisplayDisconnected(Callback callback) { m_onDisplayDisconnected = std::move(callback); }

private:
    QSet<QString> currentDisplayUUIDs() const;
    void screenConfigurationDidChange();
    void flushPendingChanges();
    // ["A", "B"]: the set's members in sorted order, so that reports are stable.
    static QStringList ordered(const QSet<QString>& set);
    static QString setText(const QSet<QString>& set);

    std::shared_ptr<Screens> m_screens;
    std::shared_ptr<Clock> m_clock;
    Callback m_onDisplayConnected;
    Callback m_onDisplayDisconnected;
    QSet<QString> m_knownDisplayUUIDs;
    ClockTimer m_debounceTimer;
    QSet<QString> m_pendingConnected;
    QSet<QString> m_pendingDisconnected;
};
