#pragma once

#include "Platform/Linux/X11Monitors.h"
#include "Platform/Linux/X11Windows.h"
#include "Platform/WindowServer.h"

#include <memory>

class LinuxRunningApplications;

// The window list of an X11 desktop: every managed window, front to back by the server's own
// stacking, with its outer frame in global coordinates (origin at the primary monitor's top-left).
// On screen means drawn now: not minimised and on the current virtual desktop. Desktop windows
// are the desktop elements; docks and panels sit in a layer above ordinary windows.
class LinuxWindowServer : public WindowServer {
public:
    LinuxWindowServer(std::shared_ptr<X11Windows> windows, std::shared_ptr<X11Monitors> monitors,
                      std::shared_ptr<LinuxRunningApplications> applications);

    std::optional<QList<WindowServerEntry>> windowList(quint32 options) override;
    std::optional<QList<quint32>> stackingOrder() override;

    // Layers as the window list reports them.
    static constexpr int DesktopLayer = -2147483623;
    static constexpr int NormalLayer = 0;
    static constexpr int FloatingLayer = 3;
    static constexpr int DockLayer = 20;
    static constexpr int NotificationLayer = 23;
    static int layerOf(const X11Client& window);

private:
    std::shared_ptr<X11Windows> m_windows;
    std::shared_ptr<X11Monitors> m_monitors;
    std::shared_ptr<LinuxRunningApplications> m_applications;
};
