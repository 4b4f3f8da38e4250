#include "Platform/Simulated/SimulatedDesktop.h"

#include "Platform/DesktopComponents.h"
#include "Platform/Platform.h"
#include "Platform/Simulated/SimulatedAccessibility.h"
#include "Platform/Simulated/SimulatedHotKeys.h"
#include "Platform/Simulated/SimulatedInstalledApplications.h"
#include "Platform/Simulated/SimulatedPrompts.h"
#include "Platform/Simulated/SimulatedRunningApplications.h"
#include "Platform/Simulated/SimulatedScreens.h"
#include "Platform/Simulated/SimulatedUserNotifications.h"
#include "Platform/Simulated/SimulatedWindowServer.h"

#include <algorithm>

namespace {

const QString kWindows = QStringLiteral("AXWindows");
const QString kPosition = QStringLiteral("AXPosition");
const QString kSize = QStringLiteral("AXSize");
const QString kTitle = QStringLiteral("AXTitle");
const QString kDocument = QStringLiteral("AXDocument");
const QString kRole = QStringLiteral("AXRole");
const QString kSubrole = QStringLiteral("AXSubrole");
const QString kMinimized = QStringLiteral("AXMinimized");
const QString kFullScreen = QStringLiteral("AXFullScreen");
const QString kMain = QStringLiteral("AXMain");
const QString kFocused = QStringLiteral("AXFocused");
const QString kRaise = QStringLiteral("AXRaise");

AXResult optionalString(const std::optional<QString>& value) {
    return value ? AXResult::success(AXValue::string(*value)) : AXResult::failure(AXError::NoValue);
}

} // namespace

SimulatedDesktop::SimulatedDesktop(std::shared_ptr<Clock> clock, QObject* parent)
    : QObject(parent)
    , m_clock(std::move(clock))
    , m_prompts(std::make_unique<SimulatedPrompts>())
    , m_hotKeys(std::make_shared<SimulatedHotKeys>())
    , m_notifications(std::make_shared<SimulatedUserNotifications>())
    , m_installedApps(std::make_shared<SimulatedInstalledApplications>(this)) {
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
    if (!app->faults.refusesQuit) {
        schedule(app->faults.quitDelay, [this, pid] { removeApplication(pid); });
    }
    return true;
}

// --- Installed applications and launching ---------------------------------------------------

void SimulatedDesktop::installApplication(InstalledApp app) {
    const QString id = app.bundleIdentifier;
    m_installed[id] = std::move(app);
}

void SimulatedDesktop::uninstallApplication(const QString& bundleIdentifier) {
    m_installed.erase(bundleIdentifier);
}

const SimulatedDesktop::InstalledApp*
SimulatedDesktop::installedApplication(const QString& bundleIdentifier) const {
    const auto it = m_installed.find(bundleIdentifier);
    return it == m_installed.end() ? nullptr : &it->second;
}

QList<SimulatedDesktop::InstalledApp> SimulatedDesktop::installedApplications() const {
    QList<InstalledApp> apps;
    for (const auto& [id, app] : m_installed) {
        apps.append(app);
    }
    return apps;
}

QUrl SimulatedDesktop::applicationURL(const QString& bundleIdentifier) {
    return QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/%1.desktop").arg(bundleIdentifier));
}

OpenResult SimulatedDesktop::open(const QUrl& url, const QList<QUrl>& documents, bool activates) {
    const auto it = std::find_if(m_installed.begin(), m_installed.end(),
                                 [&url](const auto& entry) { return applicationURL(entry.first) == url; });
    if (it == m_installed.end()) {
        return OpenResult{false,
                          QStringLiteral("The application at %1 could not be found.").arg(url.toString())};
    }
    const InstalledApp installed = it->second;
    if (installed.openError) {
        return OpenResult{false, *installed.openError};
    }
    if (Application* running = findApplication(installed.bundleIdentifier)) {
        // A running application gets a reopen (or document) request: it shows its launch windows
        // again when it has none left.
        const qint32 pid = running->pid;
        if (activates) {
            activate(pid);
        }
        if (!documents.isEmpty() || running->windowOrder.isEmpty()) {
            schedule(installed.windowDelay, [this, pid, installed, documents] {
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

OpenResult SimulatedDesktop::openNewWindow(const QUrl& url, bool activates) {
    const auto it = std::find_if(m_installed.begin(), m_installed.end(),
                                 [&url](const auto& entry) { return applicationURL(entry.first) == url; });
    if (it != m_installed.end()) {
        ++m_newWindowRequests[it->first];
    }
    Application* running = it == m_installed.end() ? nullptr : findApplication(it->first);
    if (!running || it->second.openError) {
        return open(url, {}, activates);
    }
    const qint32 pid = running->pid;
    if (activates) {
        activate(pid);
    }
    if (const std::optional<Window> window = it->second.newWindow) {
        const InstalledApp installed = it->second;
        schedule(installed.windowDelay, [this, pid, installed, window] {
            if (application(pid)) {
                addLaunchWindow(pid, installed, *window, false);
            }
        });
    }
    return OpenResult{};
}

void SimulatedDesktop::launch(const InstalledApp& installed, const QList<QUrl>& requested, bool activates) {
    m_launching[installed.bundleIdentifier] = requested;
    schedule(installed.launchDelay, [this, installed, activates] {
        auto pending = m_launching.extract(installed.bundleIdentifier);
        const QList<QUrl> documents = pending ? pending.mapped() : QList<QUrl>();
        Application app;
        app.bundleIdentifier = installed.bundleIdentifier;
        app.name = installed.name;
        app.activationPolicy = installed.activationPolicy;
        app.finishedLaunching = installed.finishLaunchingDelay <= Clock::Duration::zero();
        app.faults = installed.faults;
        app.sceneData = installed.sceneData;
        const qint32 pid = addApplication(std::move(app));
        if (!application(pid)->finishedLaunching) {
            schedule(installed.finishLaunchingDelay, [this, pid] {
                if (Application* a = application(pid)) {
                    a->finishedLaunching = true;
                    emit applicationChanged(pid);
                }
            });
        }
        if (activates) {
            activate(pid);
        }
        schedule(installed.windowDelay,
                 [this, pid, installed, documents] { showWindowsAfterSplash(pid, installed, documents); });
    });
}

void SimulatedDesktop::showWindowsAfterSplash(qint32 pid, const InstalledApp& installed,
                                              const QList<QUrl>& documents) {
    if (installed.splashDuration <= Clock::Duration::zero() || !application(pid)) {
        showLaunchWindows(pid, installed, documents);
        return;
    }
    Window splash;
    splash.frame = QRectF(installed.documentFrame.center() - QPointF(200, 120), QSizeF(400, 240));
    splash.title = installed.name;
    splash.subrole = QStringLiteral("AXDialog");
    splash.faults.ignoresMoves = true;
    const quint32 number = addWindow(pid, splash);
    schedule(installed.splashDuration, [this, pid, number, installed, documents] {
        removeWindow(number);
        showLaunchWindows(pid, installed, documents);
    });
}

void SimulatedDesktop::addLaunchWindow(qint32 pid, const InstalledApp& installed, Window window,
                                       bool behind) {
    if (installed.loginPhase <= Clock::Duration::zero()) {
        addWindow(pid, std::move(window), behind);
        return;
    }
    const std::optional<QString> title = window.title;
    window.title = QStringLiteral("login");
    const quint32 number = addWindow(pid, std::move(window), behind);
    schedule(installed.loginPhase,
             [this, number, title] { updateWindow(number, [title](Window& w) { w.title = title; }); });
}

void SimulatedDesktop::showLaunchWindows(qint32 pid, const InstalledApp& installed,
                                         const QList<QUrl>& documents) {
    if (!application(pid)) {
        return;
    }
    // An application in the background opens its windows behind the active application's.
    const bool behind = m_frontmost && *m_frontmost != pid;
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
    emit stackingChanged();
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

QRectF SimulatedDesktop::screenFrameTopLeft(const QRectF& windowFrame) const {
    if (m_screens.isEmpty()) {
        return windowFrame;
    }
    const double h = m_screens.first().frame.height();
    const auto flip = [h](const QRectF& r) {
        return QRectF(r.x(), h - r.y() - r.height(), r.width(), r.height());
    };
    const QPointF centre = windowFrame.center();
    for (const Screen& screen : m_screens) {
        const QRectF f = flip(screen.frame);
        if (centre.x() >= f.left() && centre.x() < f.right() && centre.y() >= f.top() &&
            centre.y() < f.bottom()) {
            return f;
        }
    }
    return flip(m_screens.first().frame);
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

// --- Accessibility --------------------------------------------------------------------------

AXElement SimulatedDesktop::applicationElement(qint32 pid) const {
    return AXElement{ApplicationElementBase + quint64(quint32(pid))};
}

AXResult SimulatedDesktop::copyAttributeValue(AXElement element, const QString& attribute) const {
    if (!m_trusted) {
        return AXResult::failure(AXError::APIDisabled);
    }
    if (element.id >= ApplicationElementBase) {
        const Application* app = application(qint32(quint32(element.id - ApplicationElementBase)));
        if (!app) {
            return AXResult::failure(AXError::CannotComplete);
        }
        if (attribute == kWindows) {
            if (app->faults.windowListError != 0) {
                return AXResult::failure(app->faults.windowListError);
            }
            QList<AXElement> elements;
            for (const quint32 number : app->windowOrder) {
                elements.append(AXElement{number});
            }
            return AXResult::success(AXValue::elements(elements));
        }
        if (attribute == kRole) {
            return AXResult::success(AXValue::string(QStringLiteral("AXApplication")));
        }
        if (attribute == kTitle) {
            return optionalString(app->name);
        }
        return AXResult::failure(AXError::AttributeUnsupported);
    }
    const Window* w = window(quint32(element.id));
    if (!w) {
        return AXResult::failure(AXError::InvalidUIElement);
    }
    return windowAttribute(*w, attribute);
}

AXResult SimulatedDesktop::windowAttribute(const Window& w, const QString& attribute) const {
    if (const auto it = w.faults.readOverrides.constFind(attribute);
        it != w.faults.readOverrides.constEnd()) {
        return it.value();
    }
    if (attribute == kPosition) {
        return AXResult::success(AXValue::point(w.frame.topLeft()));
    }
    if (attribute == kSize) {
        return AXResult::success(AXValue::size(w.frame.size()));
    }
    if (attribute == kTitle) {
        return optionalString(w.title);
    }
    if (attribute == kDocument) {
        return optionalString(w.document);
    }
    if (attribute == kRole) {
        return AXResult::success(AXValue::string(w.role));
    }
    if (attribute == kSubrole) {
        return optionalString(w.subrole);
    }
    if (attribute == kMinimized) {
        return AXResult::success(AXValue::boolean(w.minimized));
    }
    if (attribute == kFullScreen) {
        return AXResult::success(AXValue::boolean(w.fullScreen));
    }
    if (attribute == kMain) {
        return AXResult::success(AXValue::boolean(w.main));
    }
    if (attribute == kFocused) {
        return AXResult::success(AXValue::boolean(w.focused));
    }
    return AXResult::failure(AXError::AttributeUnsupported);
}

int SimulatedDesktop::setAttributeValue(AXElement element, const QString& attribute, const AXValue& value) {
    if (!m_trusted) {
        return AXError::APIDisabled;
    }
    if (element.id >= ApplicationElementBase) {
        return application(qint32(quint32(element.id - ApplicationElementBase)))
                   ? AXError::AttributeUnsupported
                   : AXError::CannotComplete;
    }
    Window* w = window(quint32(element.id));
    if (!w) {
        return AXError::InvalidUIElement;
    }
    if (const auto it = w->faults.writeErrors.constFind(attribute); it != w->faults.writeErrors.constEnd()) {
        return it.value();
    }
    return setWindowAttribute(*w, attribute, value);
}

int SimulatedDesktop::setWindowAttribute(Window& w, const QString& attribute, const AXValue& value) {
    const quint32 number = w.number;
    if (attribute == kPosition || attribute == kSize) {
        const std::optional<QPointF> position = attribute == kPosition ? value.toPoint() : std::nullopt;
        const std::optional<QSizeF> size = attribute == kSize ? value.toSize() : std::nullopt;
        if (!position && !size) {
            return AXError::IllegalArgument;
        }
        // A full-screen window cannot be moved; the request is taken and nothing happens.
        if (!w.faults.ignoresMoves && !w.fullScreen) {
            schedule(w.faults.moveDelay,
                     [this, number, position, size] { applyFrame(number, position, size); });
        }
        return AXError::Success;
    }
    if (attribute == kMinimized || attribute == kFullScreen) {
        const std::optional<bool> flag = value.toBool();
        if (!flag) {
            return AXError::IllegalArgument;
        }
        schedule(w.faults.stateChangeDelay,
                 [this, number, attribute, flag] { applyState(number, attribute, *flag); });
        return AXError::Success;
    }
    if (attribute == kMain || attribute == kFocused) {
        const std::optional<bool> flag = value.toBool();
        if (!flag) {
            return AXError::IllegalArgument;
        }
        const bool isMain = attribute == kMain;
        for (const quint32 sibling : windowsOf(w.ownerPid)) {
            Window& other = m_windows.at(sibling);
            bool& slot = isMain ? other.main : other.focused;
            slot = sibling == number ? *flag : (*flag ? false : slot);
        }
        emit windowChanged(number);
        return AXError::Success;
    }
    return AXError::AttributeUnsupported;
}

void SimulatedDesktop::applyFrame(quint32 number, std::optional<QPointF> position,
                                  std::optional<QSizeF> size) {
    Window* w = window(number);
    if (!w) {
        return;
    }
    if (size) {
        QSizeF s(std::max(0.0, size->width()), std::max(0.0, size->height()));
        if (w->faults.minimumSize) {
            s = s.expandedTo(*w->faults.minimumSize);
        }
        w->frame.setSize(s);
    }
    if (position) {
        w->frame.moveTopLeft(*position);
    }
    emit windowChanged(number);
}

void SimulatedDesktop::applyState(quint32 number, const QString& attribute, bool value) {
    Window* w = window(number);
    if (!w) {
        return;
    }
    if (attribute == kMinimized) {
        w->minimized = value;
    } else if (value && !w->fullScreen) {
        w->frameBeforeFullScreen = w->frame;
        w->frame = screenFrameTopLeft(w->frame);
        w->fullScreen = true;
    } else if (!value && w->fullScreen) {
        w->frame = w->frameBeforeFullScreen.value_or(w->frame);
        w->frameBeforeFullScreen.reset();
        w->fullScreen = false;
    }
    emit windowChanged(number);
}

int SimulatedDesktop::performAction(AXElement element, const QString& action) {
    if (!m_trusted) {
        return AXError::APIDisabled;
    }
    if (element.id >= ApplicationElementBase) {
        return AXError::ActionUnsupported;
    }
    if (!window(quint32(element.id))) {
        return AXError::InvalidUIElement;
    }
    if (action != kRaise) {
        return AXError::ActionUnsupported;
    }
    raiseWindow(quint32(element.id));
    return AXError::Success;
}
