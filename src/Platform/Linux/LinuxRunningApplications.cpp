#include "Platform/Linux/LinuxRunningApplications.h"

#include "Platform/DesktopComponents.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/LinuxProcess.h"

#include <QCoreApplication>
#include <QProcess>

#include <csignal>

namespace {

bool belongsInTaskBar(const X11Client& window) {
    return (window.type == X11Client::Type::Normal || window.type == X11Client::Type::Dialog) &&
           !window.skipTaskbar;
}

qint32 ownPid() {
    return qint32(QCoreApplication::applicationPid());
}

} // namespace

LinuxRunningApplications::LinuxRunningApplications(std::shared_ptr<X11Windows> windows, QObject* parent)
    : RunningApplications(parent)
    , m_windows(std::move(windows)) {
    for (const RunningApplication& app : snapshot().apps) {
        if (app.isFinishedLaunching) {
            m_announced.insert(app.processIdentifier);
        }
    }
    X11Connection* connection = &m_windows->connection();
    const xcb_atom_t clientList = connection->atom("_NET_CLIENT_LIST");
    connect(connection, &X11Connection::rootPropertyChanged, this, [this, clientList](xcb_atom_t atom) {
        if (atom == clientList) {
            clientListChanged();
        }
    });
}

LinuxRunningApplications::Snapshot LinuxRunningApplications::snapshot() const {
    Snapshot result;
    QList<X11Client> windows = m_windows->clients();
    QList<qint32> order;
    QHash<qint32, QList<X11Client>> byPid;
    for (const X11Client& window : windows) {
        if (!window.pid) {
            continue; // a window whose owner cannot be told belongs to no application
        }
        if (!byPid.contains(*window.pid)) {
            if (!LinuxProcess::isAlive(*window.pid)) {
                continue; // a client of another machine, or one that is ending
            }
            order.append(*window.pid);
        }
        byPid[*window.pid].append(window);
    }
    QSet<qint32> known(order.cbegin(), order.cend());
    for (const qint32 pid : m_identities.launchedPids()) {
        if (!known.contains(pid) && LinuxProcess::isAlive(pid)) {
            order.append(pid);
            known.insert(pid);
        }
    }
    m_identities.keepOnly(known);
    m_windows->sortFrontToBack(windows);
    for (const X11Client& window : windows) {
        if (window.pid && known.contains(*window.pid)) {
            result.windows[*window.pid].append(window);
        }
    }
    for (const qint32 pid : order) {
        const QList<X11Client> own = byPid.value(pid);
        QString instance;
        QString windowClass;
        for (const X11Client& window : own) {
            if (!window.wmClass.isEmpty()) {
                instance = window.wmInstance;
                windowClass = window.wmClass;
                break;
            }
        }
        const ApplicationIdentities::Identity identity = m_identities.identify(pid, instance, windowClass);
        RunningApplication app;
        app.processIdentifier = pid;
        app.bundleIdentifier = identity.identifier;
        app.localizedName = identity.name;
        // A program still starting has no window yet; it is an application all the same.
        const bool regular = own.isEmpty() || std::any_of(own.cbegin(), own.cend(), belongsInTaskBar);
        // The shell, panels, window manager and notification daemon keep the desktop alive: never
        // regular, whatever windows they show.
        const bool component =
            identity.identifier && DesktopComponents::isDesktopComponent(*identity.identifier);
        app.activationPolicy = regular && !component && pid != ownPid() ? ActivationPolicy::Regular
                                                                        : ActivationPolicy::Accessory;
        app.isHidden = !own.isEmpty() &&
                       std::all_of(own.cbegin(), own.cend(), [](const X11Client& w) { return w.minimized; });
        app.isFinishedLaunching = !own.isEmpty();
        result.apps.append(app);
    }
    return result;
}

ApplicationIdentities::Identity LinuxRunningApplications::identityOf(const X11Client& window) const {
    if (!window.pid) {
        return {};
    }
    return m_identities.identify(*window.pid, window.wmInstance, window.wmClass);
}

QList<RunningApplication> LinuxRunningApplications::runningApplications() const {
    return snapshot().apps;
}

std::optional<RunningApplication> LinuxRunningApplications::application(qint32 pid) const {
    for (const RunningApplication& app : snapshot().apps) {
        if (app.processIdentifier == pid) {
            return app;
        }
    }
    return std::nullopt;
}

std::optional<RunningApplication> LinuxRunningApplications::frontmostApplication() const {
    const Snapshot s = snapshot();
    const xcb_window_t active = m_windows->activeWindow();
    std::optional<qint32> front;
    for (auto it = s.windows.cbegin(); it != s.windows.cend(); ++it) {
        for (const X11Client& window : it.value()) {
            if (window.window == active) {
                front = it.key();
            }
        }
    }
    // Managers clear the active window when it is minimised; the application of the topmost
    // window on screen is the one in front then.
    if (!front) {
        QList<X11Client> all;
        for (const QList<X11Client>& list : s.windows) {
            all += list;
        }
        m_windows->sortFrontToBack(all);
        for (const X11Client& window : all) {
            if (window.viewable && belongsInTaskBar(window)) {
                front = *window.pid;
                break;
            }
        }
    }
    for (const RunningApplication& app : s.apps) {
        if (front && app.processIdentifier == *front) {
            return app;
        }
    }
    return std::nullopt;
}

bool LinuxRunningApplications::hide(qint32 pid) {
    const QList<X11Client> windows = snapshot().windows.value(pid);
    QList<xcb_window_t>& hidden = m_hiddenWindows[pid];
    hidden.clear();
    for (const X11Client& window : windows) {
        if (!window.minimized && m_windows->minimize(window.window)) {
            hidden.append(window.window);
        }
    }
    return !windows.isEmpty();
}

bool LinuxRunningApplications::unhide(qint32 pid) {
    const QList<X11Client> windows = snapshot().windows.value(pid);
    const QList<xcb_window_t> hidden = m_hiddenWindows.take(pid);
    QList<X11Client> toShow;
    for (const X11Client& window : windows) {
        if (window.minimized && (hidden.isEmpty() || hidden.contains(window.window))) {
            toShow.append(window);
        }
    }
    // Back to front, so the frontmost window ends on top again.
    for (auto it = toShow.crbegin(); it != toShow.crend(); ++it) {
        m_windows->deminimize(it->window);
    }
    return !windows.isEmpty() || application(pid).has_value();
}

bool LinuxRunningApplications::activate(qint32 pid, quint32 options) {
    const QList<X11Client> windows = snapshot().windows.value(pid);
    if (windows.isEmpty()) {
        return false;
    }
    auto top =
        std::find_if(windows.cbegin(), windows.cend(), [](const X11Client& w) { return !w.minimized; });
    if (top == windows.cend()) {
        top = windows.cbegin();
    }
    if ((options & ActivateAllWindows) != 0) {
        for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
            if (it->window != top->window && !it->minimized) {
                m_windows->raise(it->window);
            }
        }
    }
    return m_windows->activate(top->window);
}

bool LinuxRunningApplications::terminate(qint32 pid) {
    if (pid == ownPid()) {
        return false;
    }
    const QList<X11Client> windows = snapshot().windows.value(pid);
    if (windows.isEmpty()) {
        // A program of ours that shows no window yet can only be asked through a signal.
        return m_identities.launchedAs(pid) && LinuxProcess::isAlive(pid) && ::kill(pid, SIGTERM) == 0;
    }
    for (const X11Client& window : windows) {
        m_windows->close(window.window);
    }
    return true;
}

bool LinuxRunningApplications::forceTerminate(qint32 pid) {
    if (pid == ownPid() || !application(pid)) {
        return false;
    }
    return ::kill(pid, SIGKILL) == 0;
}

std::optional<QUrl> LinuxRunningApplications::urlForApplication(const QString& bundleIdentifier) const {
    if (ApplicationIdentities::isExecutableIdentifier(bundleIdentifier)) {
        return QUrl::fromLocalFile(bundleIdentifier);
    }
    if (bundleIdentifier.startsWith(QLatin1Char('/'))) {
        return std::nullopt; // a program that is no longer there
    }
    const std::optional<DesktopEntry> entry = DesktopEntries::find(bundleIdentifier);
    return entry ? std::optional<QUrl>(QUrl::fromLocalFile(entry->filePath)) : std::nullopt;
}

QString LinuxRunningApplications::identifierOf(const QUrl& applicationURL) const {
    if (!applicationURL.isLocalFile()) {
        return QString();
    }
    const QString path = applicationURL.toLocalFile();
    if (path.endsWith(QLatin1String(".desktop"))) {
        const std::optional<DesktopEntry> entry = DesktopEntries::fromFile(path);
        return entry ? entry->id : QString();
    }
    return ApplicationIdentities::isExecutableIdentifier(path) ? path : QString();
}

std::optional<qint32> LinuxRunningApplications::runningPid(const QString& identifier) const {
    for (const RunningApplication& app : snapshot().apps) {
        if (app.bundleIdentifier == identifier) {
            return app.processIdentifier;
        }
    }
    return std::nullopt;
}

QCoro::Task<OpenResult> LinuxRunningApplications::openApplication(QUrl applicationURL, bool activates) {
    const QString identifier = identifierOf(applicationURL);
    if (identifier.isEmpty()) {
        co_return OpenResult{false, QStringLiteral("No application can be opened from ") +
                                        applicationURL.toDisplayString()};
    }
    // A running application is reopened, not started twice: it is brought forward when asked.
    if (const std::optional<qint32> pid = runningPid(identifier)) {
        if (activates) {
            activate(*pid, 0);
        }
        co_return OpenResult{};
    }
    co_return start(identifier, {}, activates);
}

QCoro::Task<OpenResult> LinuxRunningApplications::openDocuments(QList<QUrl> documents, QUrl applicationURL,
                                                                bool activates) {
    const QString identifier = identifierOf(applicationURL);
    if (identifier.isEmpty()) {
        co_return OpenResult{false, QStringLiteral("No application can be opened from ") +
                                        applicationURL.toDisplayString()};
    }
    co_return start(identifier, documents, activates);
}

OpenResult LinuxRunningApplications::start(const QString& identifier, const QList<QUrl>& documents,
                                           bool activates) {
    if (ApplicationIdentities::isExecutableIdentifier(identifier)) {
        QStringList arguments;
        for (const QUrl& document : documents) {
            arguments << (document.isLocalFile() ? document.toLocalFile() : document.toString());
        }
        qint64 pid = 0;
        if (!QProcess::startDetached(identifier, arguments, QString(), &pid)) {
            return OpenResult{false, QStringLiteral("Cannot start ") + identifier};
        }
        m_identities.noteLaunch(qint32(pid), identifier);
        return OpenResult{};
    }
    QStringList uris;
    for (const QUrl& document : documents) {
        uris << QString::fromUtf8(document.toEncoded());
    }
    const DesktopEntries::Launch launch = DesktopEntries::launch(identifier, uris, activates);
    if (!launch.error.isEmpty()) {
        return OpenResult{false, launch.error};
    }
    for (const qint32 pid : launch.pids) {
        m_identities.noteLaunch(pid, identifier);
    }
    return OpenResult{};
}

QImage LinuxRunningApplications::icon(const QString& bundleIdentifier) const {
    return DesktopEntries::icon(bundleIdentifier, 64);
}

void LinuxRunningApplications::clientListChanged() {
    QSet<qint32> now;
    for (const RunningApplication& app : snapshot().apps) {
        if (app.isFinishedLaunching) {
            now.insert(app.processIdentifier);
        }
    }
    const QSet<qint32> gone = m_announced - now;
    const QSet<qint32> added = now - m_announced;
    m_announced = now;
    for (const qint32 pid : gone) {
        m_hiddenWindows.remove(pid);
        emit applicationTerminated(pid);
    }
    for (const qint32 pid : added) {
        emit applicationLaunched(pid);
    }
}
