#pragma once

#include "Platform/InstalledApplications.h"

#include <QHash>

class SimulatedDesktop;

// The installed applications of the simulated desktop: those it can launch, under their
// identifiers and names, with the icons tests give them. Tests set up the handlers of link
// schemes (none at first).
class SimulatedInstalledApplications : public InstalledApplications {
public:
    explicit SimulatedInstalledApplications(const SimulatedDesktop* desktop);

    QCoro::Task<QList<Application>> applications() override;
    std::optional<QString> defaultApplicationFor(const QString& uriScheme) const override;

    // An empty identifier removes the scheme's handler.
    void setDefaultApplication(const QString& uriScheme, const QString& identifier);

private:
    const SimulatedDesktop* m_desktop;
    QHash<QString, QString> m_defaults;
};
