#pragma once

#include "Platform/WindowServer.h"

#include <QPointer>

class SimulatedDesktop;

// The window-server port of a simulated desktop: its stacking order, front to back.
class SimulatedWindowServer : public WindowServer {
public:
    explicit SimulatedWindowServer(SimulatedDesktop* desktop);

    std::optional<QList<WindowServerEntry>> windowList(quint32 options) override;

private:
    QPointer<SimulatedDesktop> m_desktop;
};
