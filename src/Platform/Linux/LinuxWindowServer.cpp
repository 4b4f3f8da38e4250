#include "Platform/Linux/LinuxWindowServer.h"

#include "Platform/Linux/LinuxRunningApplications.h"

LinuxWindowServer::LinuxWindowServer(std::shared_ptr<X11Windows> windows,
                                     std::shared_ptr<X11Monitors> monitors,
                                     std::shared_ptr<LinuxRunningApplications> applications)
    : m_windows(std::move(windows))
    , m_monitors(std::move(monitors))
    , m_applications(std::move(applications)) {
}

int LinuxWindowServer::layerOf(const X11Client& window) {
    switch (window.type) {
    case X11Client::Type::Desktop:
        return DesktopLayer;
    case X11Client::Type::Dock:
        return DockLayer;
    case X11Client::Type::Notification:
        return NotificationLayer;
    default:
        return window.above ? FloatingLayer : NormalLayer;
    }
}

std::optional<QList<quint32>> LinuxWindowServer::stackingOrder() {
    if (!m_windows->managerReady()) {
        return std::nullopt;
    }
    QList<quint32> numbers;
    for (const xcb_window_t window : m_windows->stackingOrder()) {
        numbers.append(window);
    }
    return numbers;
}

std::optional<QList<WindowServerEntry>> LinuxWindowServer::windowList(quint32 options) {
    if (!m_windows->managerReady()) {
        return std::nullopt; // without a manager there is no list of managed windows to give
    }
    const QPoint origin = m_monitors->primaryOrigin();
    const std::optional<quint32> desktop = m_windows->currentDesktop();
    QList<WindowServerEntry> result;
    const QList<X11Client> windows = m_windows->stackedClients();
    // A window's owner is its application, whichever of the application's processes made it.
    const QHash<qint32, qint32> applications = m_applications->applicationPids(windows);
    for (const X11Client& window : windows) {
        if ((options & OptionOnScreenOnly) != 0 && !window.isOnScreen(desktop)) {
            continue;
        }
        if ((options & OptionExcludeDesktopElements) != 0 && window.type == X11Client::Type::Desktop) {
            continue;
        }
        WindowServerEntry entry;
        entry.windowNumber = window.window;
        if (window.pid) {
            entry.ownerPID = applications.value(*window.pid, *window.pid);
        }
        entry.ownerName = m_applications->identityOf(window).name;
        entry.bounds = QRectF(window.frameRect().translated(-origin));
        entry.name = window.title;
        entry.layer = layerOf(window);
        result.append(entry);
    }
    return result;
}
