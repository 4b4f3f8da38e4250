#include "Platform/Simulated/SimulatedLauncher.h"

#include <algorithm>

SimulatedLauncher::SimulatedLauncher(SimulatedDesktop& desktop)
    : m_desktop(desktop) {
}

void SimulatedLauncher::install(InstalledApp app) {
    const QString id = app.bundleIdentifier;
    m_installed[id] = std::move(app);
}

void SimulatedLauncher::uninstall(const QString& bundleIdentifier) {
    m_installed.erase(bundleIdentifier);
}

const SimulatedLauncher::InstalledApp* SimulatedLauncher::installed(const QString& bundleIdentifier) const {
    const auto it = m_installed.find(bundleIdentifier);
    return it == m_installed.end() ? nullptr : &it->second;
}

QList<SimulatedLauncher::InstalledApp> SimulatedLauncher::installedApplications() const {
    QList<InstalledApp> apps;
    for (const auto& [id, app] : m_installed) {
        apps.append(app);
    }
    return apps;
}

std::map<QString, SimulatedLauncher::InstalledApp>::const_iterator
SimulatedLauncher::installedAt(const QUrl& applicationURL) const {
    return std::find_if(m_installed.begin(), m_installed.end(), [&applicationURL](const auto& entry) {
        return SimulatedDesktop::applicationURL(entry.first) == applicationURL;
    });
}

OpenResult SimulatedLauncher::open(const QUrl& url, const QList<QUrl>& documents, bool activates) {
    const auto it = installedAt(url);
    if (it == m_installed.end()) {
        return OpenResult{false,
                          QStringLiteral("The application at %1 could not be found.").arg(url.toString())};
    }
    const InstalledApp installed = it->second;
    if (installed.openError) {
        return OpenResult{false, *installed.openError};
    }
    if (SimulatedDesktop::Application* running = m_desktop.findApplication(installed.bundleIdentifier)) {
        // A running application gets a reopen (or document) request: it shows its launch windows
        // again when it has none left.
        const qint32 pid = running->pid;
        if (activates) {
            m_desktop.activate(pid);
        }
        if (!documents.isEmpty() || running->windowOrder.isEmpty()) {
            m_desktop.schedule(installed.windowDelay, [this, pid, installed, documents] {
                showWindowsAfterSplash(pid, installed, documents);
            });
        }
        return OpenResult{};
    }
    if (const auto pending = m_launching.find(installed.bundleIdentifier); pending != m_launching.end()) {
        pending->second.append(documents);
        return OpenResult{};
    }
    launch(installed, documents, activates);
    return OpenResult{};
}

OpenResult SimulatedLauncher::openNewWindow(const QUrl& url, bool activates) {
    const auto it = installedAt(url);
    if (it != m_installed.end()) {
        ++m_newWindowRequests[it->first];
    }
    SimulatedDesktop::Application* running =
        it == m_installed.end() ? nullptr : m_desktop.findApplication(it->first);
    if (!running || it->second.openError) {
        return open(url, {}, activates);
    }
    const qint32 pid = running->pid;
    if (activates) {
        m_desktop.activate(pid);
    }
    if (const std::optional<Window> window = it->second.newWindow) {
        const InstalledApp installed = it->second;
        m_desktop.schedule(installed.windowDelay, [this, pid, installed, window] {
            if (m_desktop.application(pid)) {
                addLaunchWindow(pid, installed, *window, false);
            }
        });
    }
    return OpenResult{};
}

void SimulatedLauncher::launch(const InstalledApp& installed, const QList<QUrl>& requested, bool activates) {
    m_launching[installed.bundleIdentifier] = requested;
    m_desktop.schedule(installed.launchDelay, [this, installed, activates] {
        auto pending = m_launching.extract(installed.bundleIdentifier);
        const QList<QUrl> documents = pending ? pending.mapped() : QList<QUrl>();
        SimulatedDesktop::Application app;
        app.bundleIdentifier = installed.bundleIdentifier;
        app.name = installed.name;
        app.activationPolicy = installed.activationPolicy;
        app.finishedLaunching = installed.finishLaunchingDelay <= Clock::Duration::zero();
        app.faults = installed.faults;
        app.sceneData = installed.sceneData;
        const qint32 pid = m_desktop.addApplication(std::move(app));
        if (!m_desktop.application(pid)->finishedLaunching) {
            m_desktop.schedule(installed.finishLaunchingDelay,
                               [this, pid] { m_desktop.finishLaunching(pid); });
        }
        if (activates) {
            m_desktop.activate(pid);
        }
        m_desktop.schedule(installed.windowDelay, [this, pid, installed, documents] {
            showWindowsAfterSplash(pid, installed, documents);
        });
    });
}

void SimulatedLauncher::showWindowsAfterSplash(qint32 pid, const InstalledApp& installed,
                                               const QList<QUrl>& documents) {
    if (installed.splashDuration <= Clock::Duration::zero() || !m_desktop.application(pid)) {
        showLaunchWindows(pid, installed, documents);
        return;
    }
    Window splash;
    splash.frame = QRectF(installed.documentFrame.center() - QPointF(200, 120), QSizeF(400, 240));
    splash.title = installed.name;
    splash.subrole = QStringLiteral("AXDialog");
    splash.faults.ignoresMoves = true;
    const quint32 number = m_desktop.addWindow(pid, splash);
    m_desktop.schedule(installed.splashDuration, [this, pid, number, installed, documents] {
        m_desktop.removeWindow(number);
        showLaunchWindows(pid, installed, documents);
    });
}

void SimulatedLauncher::addLaunchWindow(qint32 pid, const InstalledApp& installed, Window window,
                                        bool behind) {
    if (installed.loginPhase <= Clock::Duration::zero()) {
        m_desktop.addWindow(pid, std::move(window), behind);
        return;
    }
    const std::optional<QString> title = window.title;
    window.title = QStringLiteral("login");
    const quint32 number = m_desktop.addWindow(pid, std::move(window), behind);
    m_desktop.schedule(installed.loginPhase, [this, number, title] {
        m_desktop.updateWindow(number, [title](Window& w) { w.title = title; });
    });
}

void SimulatedLauncher::showLaunchWindows(qint32 pid, const InstalledApp& installed,
                                          const QList<QUrl>& documents) {
    if (!m_desktop.application(pid)) {
        return;
    }
    // An application in the background opens its windows behind the active application's.
    const std::optional<qint32> frontmost = m_desktop.frontmostPid();
    const bool behind = frontmost && *frontmost != pid;
    if (documents.isEmpty()) {
        for (const Window& w : installed.windowsOnLaunch) {
            addLaunchWindow(pid, installed, w, behind);
        }
        return;
    }
    for (int i = 0; i < documents.size(); ++i) {
        Window w;
        w.frame = installed.documentFrame.translated(30.0 * i, 30.0 * i);
        w.document = documents[i].toString();
        w.title = documents[i].fileName();
        addLaunchWindow(pid, installed, w, behind);
    }
}
