#include "Platform/Linux/LinuxRunningApplications.h"

#include "Platform/DesktopComponents.h"
#include "Platform/Linux/ApplicationStart.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/DocumentHandOver.h"
#include "Platform/Linux/LinuxProcess.h"

#include <QCoreApplication>

#include <csignal>

namespace {

bool belongsInTaskBar(const X11Client& window) {
    return (window.type == X11Client::Type::Normal || window.type == X11Client::Type::Dialog) &&
           !window.skipTaskbar;
}

qint32 ownPid() {
    return qint32(QCoreApplication::applicationPid());
}

// Windows that are part of the desktop itself rather than of an application's work.
bool drawsTheDesktop(const X11Client& window) {
    return window.type == X11Client::Type::Desktop || window.type == X11Client::Type::Dock;
}

// The windows of an application that hiding, activating and quitting may touch.
QList<X11Client> ownWindows(const QList<X11Client>& windows) {
    QList<X11Client> own;
    for (const X11Client& window : windows) {
        if (!drawsTheDesktop(window)) {
            own.append(window);
        }
    }
    return own;
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

bool LinuxRunningApplications::snapshotHolds() const {
    const auto ended = [this](const Snapshot& s) {
        return std::any_of(s.windowless.cbegin(), s.windowless.cend(),
                           [this](qint32 pid) { return !isRunning(pid); });
    };
    return m_snapshot && m_snapshotState == m_windows->state() && !ended(*m_snapshot);
}

bool LinuxRunningApplications::isRunning(qint32 pid) const {
    const quint64 pass = m_windows->connection().pass();
    if (pass != m_runningPass) {
        m_running.clear();
        m_runningPass = pass;
    }
    auto it = m_running.constFind(pid);
    if (it == m_running.constEnd()) {
        it = m_running.insert(pid, LinuxProcess::isAlive(pid));
    }
    return it.value();
}

LinuxRunningApplications::Snapshot LinuxRunningApplications::snapshot() const {
    if (!snapshotHolds()) {
        const quint64 state = m_windows->state();
        m_snapshot = snapshotOf(m_windows->clients(), false);
        m_snapshotState = state;
    }
    return *m_snapshot;
}

LinuxRunningApplications::Snapshot LinuxRunningApplications::snapshotOf(QList<X11Client> windows,
                                                                        bool sorted) const {
    Snapshot result;
    QList<qint32> order;
    QHash<qint32, QList<X11Client>> byPid;
    for (const X11Client& window : windows) {
        if (!window.pid) {
            continue; // a window whose owner cannot be told belongs to no application
        }
        if (!byPid.contains(*window.pid)) {
            if (!isRunning(*window.pid)) {
                continue; // a client of another machine, or one that is ending
            }
            order.append(*window.pid);
        }
        byPid[*window.pid].append(window);
    }
    QSet<qint32> known(order.cbegin(), order.cend());
    // A program keeps its place while it runs: one Ordella started that shows no window yet, and
    // one that showed windows and closed them all without ending.
    QList<qint32> windowless = m_identities.launchedPids();
    windowless += QList<qint32>(m_windowOwners.cbegin(), m_windowOwners.cend());
    for (const qint32 pid : windowless) {
        if (!known.contains(pid) && isRunning(pid)) {
            order.append(pid);
            known.insert(pid);
            result.windowless.append(pid);
        }
    }
    QSet<qint32> owners(byPid.keyBegin(), byPid.keyEnd());
    for (const qint32 pid : std::as_const(m_windowOwners)) {
        if (known.contains(pid)) {
            owners.insert(pid);
        }
    }
    m_windowOwners = owners;
    m_identities.keepOnly(known);
    m_startTimes.removeIf(
        [&known](const QHash<qint32, quint64>::iterator it) { return !known.contains(it.key()); });

    // The processes of one identifier form one application; a process that cannot be identified
    // is an application of its own.
    struct Group {
        ApplicationIdentities::Identity identity;
        QList<qint32> processes;
    };
    QList<Group> groups;
    QHash<QString, qsizetype> groupOfIdentifier;
    QHash<qint32, QString> executables;
    for (const qint32 pid : order) {
        QString instance;
        QString windowClass;
        for (const X11Client& window : byPid.value(pid)) {
            if (!window.wmClass.isEmpty()) {
                instance = window.wmInstance;
                windowClass = window.wmClass;
                break;
            }
        }
        const ApplicationIdentities::Identity identity = m_identities.identify(pid, instance, windowClass);
        executables.insert(pid, identity.executable);
        const auto existing = identity.identifier ? groupOfIdentifier.constFind(*identity.identifier)
                                                  : groupOfIdentifier.constEnd();
        if (existing == groupOfIdentifier.constEnd()) {
            if (identity.identifier) {
                groupOfIdentifier.insert(*identity.identifier, groups.size());
            }
            groups.append(Group{identity, {pid}});
        } else {
            Group& group = groups[existing.value()];
            group.processes.append(pid);
            if (!group.identity.name) {
                group.identity.name = identity.name;
            }
        }
    }
    const auto startTime = [this](qint32 pid) {
        auto it = m_startTimes.constFind(pid);
        if (it == m_startTimes.constEnd()) {
            it = m_startTimes.insert(pid, LinuxProcess::startTime(pid).value_or(0));
        }
        return it.value();
    };
    for (Group& group : groups) {
        if (group.processes.size() > 1) {
            std::stable_sort(group.processes.begin(), group.processes.end(),
                             [&startTime](qint32 a, qint32 b) {
                                 const quint64 ta = startTime(a);
                                 const quint64 tb = startTime(b);
                                 return ta != tb ? ta < tb : a < b;
                             });
        }
        for (const qint32 pid : group.processes) {
            result.applicationOf.insert(pid, group.processes.first());
        }
        result.processes.insert(group.processes.first(), group.processes);
    }

    if (!sorted) {
        m_windows->sortFrontToBack(windows);
    }
    for (const X11Client& window : windows) {
        if (window.pid && result.applicationOf.contains(*window.pid)) {
            result.windows[result.applicationOf.value(*window.pid)].append(window);
        }
    }
    for (const Group& group : groups) {
        const qint32 pid = group.processes.first();
        const QList<X11Client> own = result.windows.value(pid);
        RunningApplication app;
        app.processIdentifier = pid;
        app.bundleIdentifier = group.identity.identifier;
        app.localizedName = group.identity.name;
        // A program still starting has no window yet; it is an application all the same.
        const bool regular = own.isEmpty() || std::any_of(own.cbegin(), own.cend(), belongsInTaskBar);
        // The shell, panels, window manager and notification daemon keep the desktop alive: never
        // regular, whatever windows they show. They are known by identifier or by program.
        bool component =
            group.identity.identifier && DesktopComponents::isDesktopComponent(*group.identity.identifier);
        bool ours = false;
        for (const qint32 member : group.processes) {
            ours = ours || member == ownPid();
            const QString executable = executables.value(member);
            component =
                component || (!executable.isEmpty() && DesktopComponents::isDesktopComponent(executable));
        }
        app.activationPolicy =
            regular && !component && !ours ? ActivationPolicy::Regular : ActivationPolicy::Accessory;
        const QList<X11Client> hideable = ownWindows(own);
        app.isHidden = !hideable.isEmpty() && std::all_of(hideable.cbegin(), hideable.cend(),
                                                          [](const X11Client& w) { return w.minimized; });
        // One that has shown a window has finished launching, even when it shows none now.
        app.isFinishedLaunching =
            !own.isEmpty() || std::any_of(group.processes.cbegin(), group.processes.cend(),
                                          [this](qint32 member) { return m_windowOwners.contains(member); });
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

QList<X11Client> LinuxRunningApplications::windowsOf(qint32 pid) const {
    // A step that asks for several applications' windows reads the whole desktop once.
    const quint64 pass = m_windows->connection().pass();
    if (snapshotHolds() || (m_singleReadPass == pass && m_singleReadPid != pid)) {
        const Snapshot s = snapshot();
        return s.windows.value(s.applicationOf.value(pid, 0));
    }
    // The first in a step reads only this application's windows, not the desktop's: which windows
    // are its own follows from what holds while a window lives (its owner and class, kept from an
    // earlier read), where they are and their state from a read of them alone. A restore that
    // steps through its applications with a pause after each would otherwise read every window
    // once per step.
    m_singleReadPass = pass;
    m_singleReadPid = pid;
    // Its windows as last seen go to the server with the question for the list: one wait.
    QSet<qint32> along{pid};
    if (m_snapshot) {
        const QList<qint32> processes = m_snapshot->processes.value(m_snapshot->applicationOf.value(pid, 0));
        along.unite(QSet<qint32>(processes.cbegin(), processes.cend()));
    }
    const Snapshot grouping = snapshotOf(m_windows->listedClients(along), true);
    QList<xcb_window_t> own;
    for (const X11Client& window : grouping.windows.value(grouping.applicationOf.value(pid, 0))) {
        own.append(window.window);
    }
    QList<X11Client> windows = m_windows->clients(own);
    m_windows->sortFrontToBack(windows);
    return windows;
}

QHash<qint32, qint32> LinuxRunningApplications::applicationPids(const QList<X11Client>& windows) const {
    // The usual case, the desktop's windows as just read, is answered by the kept snapshot.
    const Snapshot kept = snapshot();
    const bool known = std::all_of(windows.cbegin(), windows.cend(), [&kept](const X11Client& window) {
        return !window.pid || kept.applicationOf.contains(*window.pid);
    });
    return known ? kept.applicationOf : snapshotOf(windows, true).applicationOf;
}

QList<RunningApplication> LinuxRunningApplications::runningApplications() const {
    return snapshot().apps;
}

std::optional<RunningApplication> LinuxRunningApplications::application(qint32 pid) const {
    const Snapshot s = snapshot();
    const qint32 applicationPid = s.applicationOf.value(pid, 0);
    for (const RunningApplication& app : s.apps) {
        if (applicationPid != 0 && app.processIdentifier == applicationPid) {
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
                front = s.applicationOf.value(*window.pid);
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
    const Snapshot s = snapshot();
    const qint32 applicationPid = s.applicationOf.value(pid, 0);
    if (applicationPid == 0 || s.processes.value(applicationPid).contains(ownPid())) {
        return false;
    }
    const QList<X11Client> windows = ownWindows(s.windows.value(applicationPid));
    // What an earlier hide minimised stays Ordella's to show again, as long as it is still
    // minimised: a second hide finds every window minimised and must not forget them.
    QList<xcb_window_t> hidden;
    const QList<xcb_window_t> before = m_hiddenWindows.value(applicationPid);
    // Windows of other desktops are out of sight already, and stay as they are there.
    const std::optional<quint32> current = m_windows->currentDesktop();
    for (const X11Client& window : windows) {
        if (window.minimized && before.contains(window.window)) {
            hidden.append(window.window);
        } else if (!window.minimized && window.isOnDesktop(current) && m_windows->minimize(window.window)) {
            hidden.append(window.window);
        }
    }
    m_hiddenWindows.insert(applicationPid, hidden);
    return !windows.isEmpty();
}

bool LinuxRunningApplications::unhide(qint32 pid) {
    const Snapshot s = snapshot();
    const qint32 applicationPid = s.applicationOf.value(pid, 0);
    const QList<X11Client> windows = ownWindows(s.windows.value(applicationPid));
    const std::optional<QList<xcb_window_t>> hidden =
        m_hiddenWindows.contains(applicationPid) ? std::optional(m_hiddenWindows.take(applicationPid))
                                                 : std::nullopt;
    QList<X11Client> toShow;
    for (const X11Client& window : windows) {
        if (window.minimized && (!hidden || hidden->contains(window.window))) {
            toShow.append(window);
        }
    }
    // Without a hide of Ordella's to undo, every minimised window is the user's: only the front
    // one is shown, so that the application is visible again and the others stay as he left them.
    if (!hidden && !toShow.isEmpty()) {
        toShow = {toShow.first()};
    }
    // Back to front, so the frontmost window ends on top again.
    for (auto it = toShow.crbegin(); it != toShow.crend(); ++it) {
        m_windows->deminimize(it->window);
    }
    return applicationPid != 0;
}

bool LinuxRunningApplications::activate(qint32 pid, quint32 options) {
    const QList<X11Client> windows = ownWindows(windowsOf(pid));
    if (windows.isEmpty()) {
        return false;
    }
    // The front window of the desktop shown: one of another desktop is not activated.
    const std::optional<quint32> current = m_windows->currentDesktop();
    auto top = std::find_if(windows.cbegin(), windows.cend(),
                            [current](const X11Client& w) { return !w.minimized && w.isOnDesktop(current); });
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

bool LinuxRunningApplications::maySignal(qint32 pid, const QList<X11Client>& windows) const {
    return pid != ownPid() && std::none_of(windows.cbegin(), windows.cend(), [pid](const X11Client& w) {
               return w.pid == pid && drawsTheDesktop(w);
           });
}

std::optional<LinuxRunningApplications::Ending> LinuxRunningApplications::endingOf(qint32 pid) const {
    const Snapshot s = snapshot();
    const qint32 applicationPid = s.applicationOf.value(pid, 0);
    const QList<qint32> processes = s.processes.value(applicationPid);
    if (processes.isEmpty() || processes.contains(ownPid())) {
        return std::nullopt;
    }
    return Ending{processes, s.windows.value(applicationPid)};
}

bool LinuxRunningApplications::terminate(qint32 pid) {
    const std::optional<Ending> ending = endingOf(pid);
    if (!ending) {
        return false;
    }
    const QList<qint32>& processes = ending->processes;
    const QList<X11Client>& all = ending->windows;
    bool asked = false;
    // Each window is asked to close; a program quits with its last one.
    for (const X11Client& window : ownWindows(all)) {
        asked = m_windows->close(window.window) || asked;
    }
    // A program that shows no window (one of ours still starting, or one that closed its windows
    // and runs on) can only be asked through a signal.
    for (const qint32 process : processes) {
        const bool showsWindows =
            std::any_of(all.cbegin(), all.cend(), [process](const X11Client& w) { return w.pid == process; });
        if (!showsWindows && (m_identities.launchedAs(process) || m_windowOwners.contains(process)) &&
            maySignal(process, all) && ::kill(process, SIGTERM) == 0) {
            asked = true;
        }
    }
    return asked;
}

bool LinuxRunningApplications::forceTerminate(qint32 pid) {
    const std::optional<Ending> ending = endingOf(pid);
    if (!ending) {
        return false;
    }
    bool killed = false;
    for (const qint32 process : ending->processes) {
        if (maySignal(process, ending->windows) && ::kill(process, SIGKILL) == 0) {
            killed = true;
        }
    }
    return killed;
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

bool LinuxRunningApplications::startsByPath(const QString& bundleIdentifier) const {
    return !bundleIdentifier.endsWith(QLatin1String(".desktop")) ||
           bundleIdentifier.contains(QLatin1Char('/'));
}

QString LinuxRunningApplications::documentRefusal(const QString& path,
                                                  const QString& bundleIdentifier) const {
    return DocumentHandOver::decide(path, bundleIdentifier).reason;
}

bool LinuxRunningApplications::isTerminal(const QString& bundleIdentifier) const {
    return !startsByPath(bundleIdentifier) && DocumentHandOver::isTerminal(bundleIdentifier);
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
    co_return noteLaunch(ApplicationStart::start(identifier, {}, activates), identifier);
}

QCoro::Task<OpenResult> LinuxRunningApplications::openDocuments(QList<QUrl> documents, QUrl applicationURL,
                                                                bool activates) {
    const QString identifier = identifierOf(applicationURL);
    if (identifier.isEmpty()) {
        co_return OpenResult{false, QStringLiteral("No application can be opened from ") +
                                        applicationURL.toDisplayString()};
    }
    co_return noteLaunch(ApplicationStart::start(identifier, documents, activates), identifier);
}

QCoro::Task<OpenResult> LinuxRunningApplications::openNewWindow(QUrl applicationURL, bool activates) {
    const QString identifier = identifierOf(applicationURL);
    if (identifier.isEmpty()) {
        co_return OpenResult{false, QStringLiteral("No application can be opened from ") +
                                        applicationURL.toDisplayString()};
    }
    const QString newWindow = QStringLiteral("new-window");
    if (runningPid(identifier) && !ApplicationIdentities::isExecutableIdentifier(identifier) &&
        DesktopEntries::hasAction(identifier, newWindow)) {
        const QString error = DesktopEntries::launchAction(identifier, newWindow, activates);
        co_return error.isEmpty() ? OpenResult{} : OpenResult{false, error};
    }
    co_return noteLaunch(ApplicationStart::start(identifier, {}, activates), identifier);
}

OpenResult LinuxRunningApplications::noteLaunch(const DesktopEntries::Launch& launch,
                                                const QString& identifier) {
    // What did start is the application's, even when a later part of the launch failed.
    for (const qint32 pid : launch.pids) {
        m_identities.noteLaunch(pid, identifier);
    }
    m_snapshot.reset();
    return launch.error.isEmpty() ? OpenResult{} : OpenResult{false, launch.error};
}

QImage LinuxRunningApplications::icon(const QString& bundleIdentifier) const {
    return DesktopEntries::icon(bundleIdentifier, 64);
}

QStringList LinuxRunningApplications::identifiersOf(const QString& bundleIdentifier) const {
    return ApplicationIdentities::identifiersOf(bundleIdentifier);
}

void LinuxRunningApplications::clientListChanged() {
    // Windows that come together announce themselves one by one: they are looked at once, at the
    // next turn of the event loop.
    if (m_listChangePending) {
        return;
    }
    m_listChangePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_listChangePending = false;
            announceChanges();
        },
        Qt::QueuedConnection);
}

void LinuxRunningApplications::announceChanges() {
    // A window's owner and class stay while it lives: only the windows that came are read, unless
    // this pass has read all of them already.
    const quint64 state = m_windows->state();
    const Snapshot current =
        m_snapshot && m_snapshotState == state ? *m_snapshot : snapshotOf(m_windows->listedClients(), true);
    QSet<qint32> now;
    for (const RunningApplication& app : current.apps) {
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
