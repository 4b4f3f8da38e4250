#include "Platform/Simulated/SimulatedDesktop.h"

#include "Platform/DesktopComponents.h"
#include "Platform/Platform.h"
#include "Platform/Simulated/SimulatedAccessibility.h"
#include "Platform/Simulated/SimulatedHotKeys.h"
#include "Platform/Simulated/SimulatedInstalledApplications.h"
#include "Platform/Simulated/SimulatedLauncher.h"
#include "Platform/Simulated/SimulatedPrompts.h"
#include "Platform/Simulated/SimulatedRunningApplications.h"
#include "Platform/Simulated/SimulatedScreens.h"
#include "Platform/Simulated/SimulatedUserNotifications.h"
#include "Platform/Simulated/SimulatedWindowServer.h"

#include <algorithm>

SimulatedDesktop::SimulatedDesktop(std::shared_ptr<Clock> clock, QObject* parent)
    : QObject(parent)
    , m_clock(std::move(clock))
    , m_prompts(std::make_unique<SimulatedPrompts>())
    , m_hotKeys(std::make_shared<SimulatedHotKeys>())
    , m_notifications(std::make_shared<SimulatedUserNotifications>())
    , m_installedApps(std::make_shared<SimulatedInstalledApplications>(this))
    , m_launcher(std::make_unique<SimulatedLauncher>(*this)) {
}

SimulatedDesktop::~SimulatedDesktop() = default;

void SimulatedDesktop::installInto(Platform& platform) {
    platform.accessibility = std::make_shared<SimulatedAccessibility>(this);
    platform.runningApplications = std::make_shared<SimulatedRunningApplications>(this);
    platform.windowServer = std::make_shared<SimulatedWindowServer>(this);
    platform.screens = std::make_shared<SimulatedScreens>(this);
    platform.prompts = m_prompts;
    platform.hotKeys = m_hotKeys;
    platform.userNotifications = m_notifications;
    platform.installedApplications = m_installedApps;
}

void SimulatedDesktop::schedule(Clock::Duration delay, std::function<void()> action) {
    if (delay <= Clock::Duration::zero()) {
        action();
        return;
    }
    const int id = m_nextPendingId++;
    m_pending[id] = m_clock->startTimer(delay, false, [this, id, action = std::move(action)] {
        auto node = m_pending.extract(id);
        action();
    });
}

// --- Applications ---------------------------------------------------------------------------

qint32 SimulatedDesktop::addApplication(Application app) {
    if (app.pid == 0 || m_apps.count(app.pid) != 0) {
        while (m_apps.count(m_nextPid) != 0) {
            ++m_nextPid;
        }
        app.pid = m_nextPid++;
    }
    app.windowOrder.clear();
    const qint32 pid = app.pid;
    m_apps.emplace(pid, std::move(app));
    m_appOrder.append(pid);
    emit applicationAdded(pid);
    return pid;
}

void SimulatedDesktop::removeApplication(qint32 pid) {
    const auto it = m_apps.find(pid);
    if (it == m_apps.end()) {
        return;
    }
    for (const quint32 number : QList<quint32>(it->second.windowOrder)) {
        removeWindow(number);
    }
    m_apps.erase(pid);
    m_appOrder.removeAll(pid);
    if (m_frontmost == pid) {
        m_frontmost.reset();
    }
    emit applicationRemoved(pid);
}

SimulatedDesktop::Application* SimulatedDesktop::application(qint32 pid) {
    const auto it = m_apps.find(pid);
    return it == m_apps.end() ? nullptr : &it->second;
}

const SimulatedDesktop::Application* SimulatedDesktop::application(qint32 pid) const {
    const auto it = m_apps.find(pid);
    return it == m_apps.end() ? nullptr : &it->second;
}

SimulatedDesktop::Application* SimulatedDesktop::findApplication(const QString& bundleIdentifier) {
    for (const qint32 pid : m_appOrder) {
        Application* app = application(pid);
        if (app->bundleIdentifier == bundleIdentifier) {
            return app;
        }
    }
    return nullptr;
}

std::optional<qint32> SimulatedDesktop::frontmostPid() const {
    if (m_frontmost && m_apps.count(*m_frontmost) != 0) {
        return m_frontmost;
    }
    return std::nullopt;
}

void SimulatedDesktop::setFrontmost(std::optional<qint32> pid) {
    m_frontmost = pid;
}

void SimulatedDesktop::setHidden(qint32 pid, bool hidden) {
    Application* app = application(pid);
    if (!app || app->hidden == hidden) {
        return;
    }
    app->hidden = hidden;
    if (hidden && m_frontmost == pid) {
        // The next application with a visible window becomes the active one.
        m_frontmost.reset();
        for (const quint32 number : m_stack) {
            const Window& w = m_windows.at(number);
            if (isVisible(w)) {
                m_frontmost = w.ownerPid;
                break;
            }
        }
    }
    emit applicationChanged(pid);
}

void SimulatedDesktop::finishLaunching(qint32 pid) {
    if (Application* app = application(pid)) {
        app->finishedLaunching = true;
        emit applicationChanged(pid);
    }
}

QList<RunningApplication> SimulatedDesktop::runningApplications() const {
    QList<RunningApplication> result;
    for (const qint32 pid : m_appOrder) {
        result.append(*runningApplication(pid));
    }
    return result;
}

std::optional<RunningApplication> SimulatedDesktop::runningApplication(qint32 pid) const {
    const Application* app = application(pid);
    if (!app) {
        return std::nullopt;
    }
    RunningApplication result;
    result.processIdentifier = app->pid;
    result.bundleIdentifier = app->bundleIdentifier;
    result.localizedName = app->name;
    // What keeps the desktop alive is never a regular application, whatever its scene says.
    const bool component =
        app->bundleIdentifier && DesktopComponents::isDesktopComponent(*app->bundleIdentifier);
    result.activationPolicy = component ? ActivationPolicy::Prohibited : app->activationPolicy;
    result.isHidden = app->hidden;
    result.isFinishedLaunching = app->finishedLaunching;
    return result;
}

bool SimulatedDesktop::activate(qint32 pid) {
    Application* app = application(pid);
    if (!app) {
        return false;
    }
    if (app->faults.ignoredActivations > 0) {
        --app->faults.ignoredActivations;
        return true;
    }
    setHidden(pid, false);
    m_frontmost = pid;
    // The application's windows come forward together, keeping their order among themselves.
    QList<quint32> own;
    QList<quint32> others;
    for (const quint32 number : m_stack) {
        (m_windows.at(number).ownerPid == pid ? own : others).append(number);
    }
    m_stack = own + others;
    emit stackingChanged();
    emit applicationChanged(pid);
    return true;
}

bool SimulatedDesktop::terminate(qint32 pid, bool force) {
    Application* app = application(pid);
    if (!app) {
        return false;
    }
    if (force) {
        removeApplication(pid);
        return true;
    }
    if (app->faults.quitRequestFails) {
        return false;
    }
    if (!app->faults.refusesQuit) {
        schedule(app->faults.quitDelay, [this, pid] { removeApplication(pid); });
    }
    return true;
}

// --- Installed applications ---------------------------------------------------------------

void SimulatedDesktop::installApplication(InstalledApp app) {
    m_launcher->install(std::move(app));
}

void SimulatedDesktop::uninstallApplication(const QString& bundleIdentifier) {
    m_launcher->uninstall(bundleIdentifier);
}

const SimulatedDesktop::InstalledApp*
SimulatedDesktop::installedApplication(const QString& bundleIdentifier) const {
    return m_launcher->installed(bundleIdentifier);
}

QList<SimulatedDesktop::InstalledApp> SimulatedDesktop::installedApplications() const {
    return m_launcher->installedApplications();
}

QUrl SimulatedDesktop::applicationURL(const QString& bundleIdentifier) {
    return QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/%1.desktop").arg(bundleIdentifier));
}

OpenResult SimulatedDesktop::open(const QUrl& url, const QList<QUrl>& documents, bool activates) {
    return m_launcher->open(url, documents, activates);
}

OpenResult SimulatedDesktop::openNewWindow(const QUrl& url, bool activates) {
    return m_launcher->openNewWindow(url, activates);
}

int SimulatedDesktop::newWindowRequests(const QString& bundleIdentifier) const {
    return m_launcher->newWindowRequests(bundleIdentifier);
}

// --- Windows and stacking -------------------------------------------------------------------

quint32 SimulatedDesktop::addWindow(qint32 pid, Window window, bool atBack) {
    Application* app = application(pid);
    if (!app) {
        return 0;
    }
    const quint32 number = m_nextWindowNumber++;
    window.number = number;
    window.ownerPid = pid;
    m_windows.emplace(number, std::move(window));
    app->windowOrder.append(number);
    if (atBack) {
        m_stack.append(number);
    } else {
        m_stack.prepend(number);
    }
    emit windowAdded(number);
    emit stackingChanged();
    return number;
}

void SimulatedDesktop::addWindowLater(qint32 pid, Window window, Clock::Duration delay) {
    schedule(delay, [this, pid, window] { addWindow(pid, window); });
}

void SimulatedDesktop::removeWindowLater(quint32 number, Clock::Duration delay) {
    schedule(delay, [this, number] { removeWindow(number); });
}

void SimulatedDesktop::removeWindow(quint32 number) {
    const auto it = m_windows.find(number);
    if (it == m_windows.end()) {
        return;
    }
    if (Application* app = application(it->second.ownerPid)) {
        app->windowOrder.removeAll(number);
    }
    m_windows.erase(it);
    m_stack.removeAll(number);
    emit windowRemoved(number);
    emit stackingChanged();
}

SimulatedDesktop::Window* SimulatedDesktop::window(quint32 number) {
    const auto it = m_windows.find(number);
    return it == m_windows.end() ? nullptr : &it->second;
}

const SimulatedDesktop::Window* SimulatedDesktop::window(quint32 number) const {
    const auto it = m_windows.find(number);
    return it == m_windows.end() ? nullptr : &it->second;
}

QList<quint32> SimulatedDesktop::windowsOf(qint32 pid) const {
    const Application* app = application(pid);
    return app ? app->windowOrder : QList<quint32>();
}

quint32 SimulatedDesktop::findWindow(const std::function<bool(const Window&)>& predicate) const {
    for (const quint32 number : m_stack) {
        if (predicate(m_windows.at(number))) {
            return number;
        }
    }
    return 0;
}

void SimulatedDesktop::updateWindow(quint32 number, const std::function<void(Window&)>& change) {
    if (Window* w = window(number)) {
        change(*w);
        emit windowChanged(number);
    }
}

void SimulatedDesktop::setStackingOrder(const QList<quint32>& frontToBack) {
    QList<quint32> order;
    for (const quint32 number : frontToBack) {
        if (m_windows.count(number) != 0 && !order.contains(number)) {
            order.append(number);
        }
    }
    // Windows left out keep their relative order behind the ones named.
    for (const quint32 number : m_stack) {
        if (!order.contains(number)) {
            order.append(number);
        }
    }
    m_stack = order;
    emit stackingChanged();
}

void SimulatedDesktop::raiseWindow(quint32 number) {
    if (m_windows.count(number) == 0) {
        return;
    }
    m_stack.removeAll(number);
    m_stack.prepend(number);
    ++m_raises[number];
    emit stackingChanged();
}

void SimulatedDesktop::requestRaise(quint32 number) {
    if (m_raiseLag <= Clock::Duration::zero()) {
        raiseWindow(number);
        return;
    }
    const Clock::TimePoint now = m_clock->now();
    m_raisesDoneAt = std::max(m_raisesDoneAt, now) + m_raiseLag;
    schedule(std::chrono::duration_cast<Clock::Duration>(m_raisesDoneAt - now),
             [this, number] { raiseWindow(number); });
}

bool SimulatedDesktop::isVisible(const Window& window) const {
    const Application* app = application(window.ownerPid);
    return app && !app->hidden && !window.minimized && window.onScreen;
}

// --- Screens --------------------------------------------------------------------------------

void SimulatedDesktop::setScreens(const QList<Screen>& screens, int mainIndex) {
    m_screens = screens;
    m_mainScreenIndex = mainIndex;
    emit screensChanged();
}

void SimulatedDesktop::addScreen(const Screen& screen) {
    m_screens.append(screen);
    emit screensChanged();
}

void SimulatedDesktop::removeScreen(quint32 displayNumber) {
    m_screens.removeIf([displayNumber](const Screen& s) { return s.displayNumber == displayNumber; });
    emit screensChanged();
}

void SimulatedDesktop::addScreenLater(const Screen& screen, Clock::Duration delay) {
    schedule(delay, [this, screen] { addScreen(screen); });
}

void SimulatedDesktop::removeScreenLater(quint32 displayNumber, Clock::Duration delay) {
    schedule(delay, [this, displayNumber] { removeScreen(displayNumber); });
}

std::optional<Screen> SimulatedDesktop::mainScreen() const {
    if (m_screens.isEmpty()) {
        return std::nullopt;
    }
    return m_screens.value(std::clamp(m_mainScreenIndex, 0, int(m_screens.size()) - 1));
}

// --- Window server --------------------------------------------------------------------------

std::optional<QList<WindowServerEntry>> SimulatedDesktop::windowList(quint32 options) const {
    if (m_windowListFails) {
        return std::nullopt;
    }
    QList<WindowServerEntry> result;
    for (const quint32 number : m_stack) {
        const Window& w = m_windows.at(number);
        if ((options & WindowServer::OptionOnScreenOnly) != 0 && !isVisible(w)) {
            continue;
        }
        WindowServerEntry entry;
        entry.windowNumber = number;
        entry.ownerPID = w.ownerPid;
        if (const Application* app = application(w.ownerPid)) {
            entry.ownerName = app->name;
        }
        if (!w.faults.boundsUnreadable) {
            entry.bounds = w.frame;
        }
        entry.name = w.title;
        result.append(entry);
    }
    return result;
}
