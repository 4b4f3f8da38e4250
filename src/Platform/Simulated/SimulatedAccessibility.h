#pragma once

#include "Platform/Accessibility.h"

#include <QPointer>

class SimulatedDesktop;

// The accessibility port of a simulated desktop: an element for each application and each
// window, their attributes read and written as a real desktop answers (including the faults set
// on a window), and the raise action. Moves and state changes take effect on the desktop's clock.
class SimulatedAccessibility : public Accessibility {
public:
    explicit SimulatedAccessibility(SimulatedDesktop* desktop);

    bool isProcessTrusted() override;
    AXElement applicationElement(qint32 pid) override;
    AXResult copyAttributeValue(AXElement element, const QString& attribute) override;
    int setAttributeValue(AXElement element, const QString& attribute, const AXValue& value) override;
    int performAction(AXElement element, const QString& action) override;

private:
    QPointer<SimulatedDesktop> m_desktop;
};
