#pragma once

#include "Platform/Screens.h"

#include <QPointer>

class SimulatedDesktop;

// The screens port of a simulated desktop.
class SimulatedScreens : public Screens {
    Q_OBJECT
public:
    explicit SimulatedScreens(SimulatedDesktop* desktop);

    QList<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;

private:
    QPointer<SimulatedDesktop> m_desktop;
};
