#include "Platform/Simulated/SimulatedInstalledApplications.h"

#include "Platform/Clock.h"
#include "Platform/Simulated/SimulatedDesktop.h"

SimulatedInstalledApplications::SimulatedInstalledApplications(const SimulatedDesktop* desktop)
    : m_desktop(desktop) {
}

QCoro::Task<QList<InstalledApplications::Application>> SimulatedInstalledApplications::applications() {
    // Answers later, as reading a real desktop's entries does.
    co_await m_desktop->clock().sleep(Clock::Duration::zero());
    QList<Application> result;
    for (const SimulatedDesktop::InstalledApp& app : m_desktop->installedApplications()) {
        result.append({app.bundleIdentifier, app.name, app.icon});
    }
    co_return result;
}

std::optional<QString> SimulatedInstalledApplications::defaultApplicationFor(const QString& uriScheme) const {
    const auto it = m_defaults.constFind(uriScheme);
    return it == m_defaults.cend() ? std::nullopt : std::optional<QString>(*it);
}

void SimulatedInstalledApplications::setDefaultApplication(const QString& uriScheme,
                                                           const QString& identifier) {
    if (identifier.isEmpty()) {
        m_defaults.remove(uriScheme);
    } else {
        m_defaults.insert(uriScheme, identifier);
    }
}
