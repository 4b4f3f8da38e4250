#include "Platform/Simulated/SimulatedWindowServer.h"

#include "Platform/Simulated/SimulatedDesktop.h"

SimulatedWindowServer::SimulatedWindowServer(SimulatedDesktop* desktop)
    : m_desktop(desktop) {
}

std::optional<QList<WindowServerEntry>> SimulatedWindowServer::windowList(quint32 options) {
    return m_desktop ? m_desktop->windowList(options) : std::nullopt;
}
