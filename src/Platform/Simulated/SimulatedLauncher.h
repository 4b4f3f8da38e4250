#pragma once

#include "Platform/Simulated/SimulatedDesktop.h"

// The installed applications of a simulated desktop and what opening one does: a launch (the
// process, then its finished launching, a splash window and its windows, each when its delay has
// passed), a reopen or document request to a running application, or a request for a new window.
// A second request while a launch is under way joins it instead of starting the application twice.
class SimulatedLauncher {
public:
    using InstalledApp = SimulatedDesktop::InstalledApp;
    using Window = SimulatedDesktop::Window;

    explicit SimulatedLauncher(SimulatedDesktop& desktop);

    void install(InstalledApp app);
    void uninstall(const QString& bundleIdentifier);
    const InstalledApp* installed(const QString& bundleIdentifier) const;
    QList<InstalledApp> installedApplications() const;

    OpenResult open(const QUrl& applicationURL, const QList<QUrl>& documents, bool activates);
    OpenResult openNewWindow(const QUrl& applicationURL, bool activates);
    int newWindowRequests(const QString& bundleIdentifier) const {
        return m_newWindowRequests.value(bundleIdentifier);
    }

private:
    // The installed application at this URL, or the end of m_installed.
    std::map<QString, InstalledApp>::const_iterator installedAt(const QUrl& applicationURL) const;
    void launch(const InstalledApp& installed, const QList<QUrl>& documents, bool activates);
    void showLaunchWindows(qint32 pid, const InstalledApp& installed, const QList<QUrl>& documents);
    void showWindowsAfterSplash(qint32 pid, const InstalledApp& installed, const QList<QUrl>& documents);
    void addLaunchWindow(qint32 pid, const InstalledApp& installed, Window window, bool behind);

    SimulatedDesktop& m_desktop;
    std::map<QString, InstalledApp> m_installed;
    // Applications whose launch was asked for but whose process does not exist yet, with the
    // documents asked for meanwhile.
    std::map<QString, QList<QUrl>> m_launching;
    QHash<QString, int> m_newWindowRequests;
};
