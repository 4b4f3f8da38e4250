#include "Platform/Simulated/SimulatedScreens.h"

#include "Platform/Simulated/SimulatedDesktop.h"

SimulatedScreens::SimulatedScreens(SimulatedDesktop* desktop)
    : m_desktop(desktop) {
    connect(desktop, &SimulatedDesktop::screensChanged, this, &Screens::screensChanged);
}

QList<Screen> SimulatedScreens::screens() const {
    return m_desktop ? m_desktop->screens() : QList<Screen>();
}

std::optional<Screen> SimulatedScreens::mainScreen() const {
    return m_desktop ? m_desktop->mainScreen() : std::nullopt;
}
