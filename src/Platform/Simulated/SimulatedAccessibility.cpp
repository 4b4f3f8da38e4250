#include "Platform/Simulated/SimulatedAccessibility.h"

#include "Platform/Simulated/SimulatedDesktop.h"

SimulatedAccessibility::SimulatedAccessibility(SimulatedDesktop* desktop)
    : m_desktop(desktop) {
}

bool SimulatedAccessibility::isProcessTrusted() {
    return m_desktop && m_desktop->isTrusted();
}

AXElement SimulatedAccessibility::applicationElement(qint32 pid) {
    return m_desktop ? m_desktop->applicationElement(pid) : AXElement{};
}

AXResult SimulatedAccessibility::copyAttributeValue(AXElement element, const QString& attribute) {
    return m_desktop ? m_desktop->copyAttributeValue(element, attribute)
                     : AXResult::failure(AXError::CannotComplete);
}

int SimulatedAccessibility::setAttributeValue(AXElement element, const QString& attribute,
                                              const AXValue& value) {
    return m_desktop ? m_desktop->setAttributeValue(element, attribute, value) : AXError::CannotComplete;
}

int SimulatedAccessibility::performAction(AXElement element, const QString& action) {
    return m_desktop ? m_desktop->performAction(element, action) : AXError::CannotComplete;
}
