#pragma once

#include "Platform/Accessibility.h"
#include "Platform/Clock.h"
#include "Platform/RunningApplications.h"
#include "Platform/Screens.h"
#include "Platform/WindowServer.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>

struct Platform;
class SimulatedPrompts;
class SimulatedHotKeys;
class SimulatedUserNotifications;
class SimulatedInstalledApplications;
class SimulatedLauncher;

// An in-memory desktop: applications, their windows, a stacking order and screens, behind every
// desktop port (accessibility, workspace service, window server, screens, prompts). A window's
// accessibility attributes and its window-server entry are the same object, so whatever one port
// changes the others see. Behaviour over time (launches, late windows, late moves) runs on the
// clock it is given, and faults can be set per application and per window. What opening an
// installed application does is the SimulatedLauncher's; how the accessibility port reads and
// writes windows is the SimulatedAccessibility's.
//
// Frames of windows are global, with the origin at the top left of the primary screen; screen
// frames have theirs at the bottom left, as the ports define.
class SimulatedDesktop : public QObject {
    Q_OBJECT
public:
    // How one window misbehaves.
    struct WindowFaults {
        // Sizes written below it are raised to it.
        std::optional<QSizeF> minimumSize;
        // Position and size writes succeed but take effect this much later.
        Clock::Duration moveDelay{0};
        // Position and size writes succeed but change nothing.
        bool ignoresMoves = false;
        // Minimise and full-screen changes take effect this much later.
        Clock::Duration stateChangeDelay{0};
        // Forced answers to reads of these attributes (errors, wrong types).
        QHash<QString, AXResult> readOverrides;
        // Errors answered to writes of these attributes; nothing is changed.
        QHash<QString, int> writeErrors;
        // The window server gives no bounds for the window.
        bool boundsUnreadable = false;
        // Minimised on a desktop not shown, it stays minimised when asked to show; it shows once
        // brought to the desktop shown (some managers).
        bool showsOnlyOnShownDesktop = false;
    };

    struct Window {
        // Window-server number, also the id of its accessibility element. Assigned by addWindow.
        quint32 number = 0;
        qint32 ownerPid = 0;
        QRectF frame;
        std::optional<QString> title;
        std::optional<QString> document;
        QString role = QStringLiteral("AXWindow");
        std::optional<QString> subrole = QStringLiteral("AXStandardWindow");
        bool minimized = false;
        bool fullScreen = false;
        bool main = false;
        bool focused = false;
        // False for a window that exists but is never on screen (another desktop, say).
        bool onScreen = true;
        WindowFaults faults;
        // The scene's description of the window, for models that attach to it (tabs, folders).
        QJsonObject sceneData;
        // The frame to return to when full screen ends.
        std::optional<QRectF> frameBeforeFullScreen;
    };

    // How one application misbehaves.
    struct AppFaults {
        // The application ignores quit requests (a forced quit still ends it).
        bool refusesQuit = false;
        // A quit takes effect this much later.
        Clock::Duration quitDelay{0};
        // How many activations it ignores before one takes effect.
        int ignoredActivations = 0;
        // Error answered to every read of its window list (0: none). NoValue stands for an
        // application that is reachable but shows no window.
        int windowListError = 0;
        // A request to quit cannot be sent (the process could not be signalled); a forced quit still
        // ends it.
        bool quitRequestFails = false;
    };

    struct Application {
        // Assigned by addApplication when 0.
        qint32 pid = 0;
        std::optional<QString> bundleIdentifier;
        std::optional<QString> name;
        ActivationPolicy activationPolicy = ActivationPolicy::Regular;
        bool hidden = false;
        bool finishedLaunching = true;
        AppFaults faults;
        QJsonObject sceneData;
        // The application's own window order (its accessibility window list), oldest first.
        QList<quint32> windowOrder;
    };

    // An application that can be launched, and how its launch behaves.
    struct InstalledApp {
        QString bundleIdentifier;
        QString name;
        ActivationPolicy activationPolicy = ActivationPolicy::Regular;
        // From the open request until the process exists.
        Clock::Duration launchDelay{0};
        // From the process existing until it reports that it finished launching.
        Clock::Duration finishLaunchingDelay{0};
        // From the process existing (or a reopen or document request) until its windows appear.
        Clock::Duration windowDelay{0};
        // Windows shown when launched or reopened without documents.
        QList<Window> windowsOnLaunch;
        // The window a request for a new window shows (after windowDelay) while the application
        // runs; without one such a request opens nothing.
        std::optional<Window> newWindow;
        // Frame of the first document window; later ones cascade from it.
        QRectF documentFrame{120, 120, 800, 600};
        // Open requests fail with this text when set.
        std::optional<QString> openError;
        // A splash window (not a standard window) shows this long before the windows appear.
        Clock::Duration splashDuration{0};
        // For this long after they appear, the windows' titles read "login" (a terminal still
        // logging in); then they show their own titles.
        Clock::Duration loginPhase{0};
        AppFaults faults;
        QJsonObject sceneData;
        // The icon the desktop's menus show: a theme icon's name or an image's path.
        QString icon;
    };

    explicit SimulatedDesktop(std::shared_ptr<Clock> clock, QObject* parent = nullptr);
    ~SimulatedDesktop() override;

    // Sets the accessibility, workspace, window-server, screens, prompts, hot-key, notification and
    // installed-application ports of platform to this desktop. The desktop must outlive their use.
    void installInto(Platform& platform);
    Clock& clock() const { return *m_clock; }
    SimulatedPrompts& prompts() const { return *m_prompts; }
    SimulatedHotKeys& hotKeys() const { return *m_hotKeys; }
    SimulatedUserNotifications& notifications() const { return *m_notifications; }
    SimulatedInstalledApplications& installedApplicationsPort() const { return *m_installedApps; }

    // Applications, in launch order.
    qint32 addApplication(Application app);
    // The application quits now; its windows go with it.
    void removeApplication(qint32 pid);
    Application* application(qint32 pid);
    const Application* application(qint32 pid) const;
    // The first running application with this bundle identifier.
    Application* findApplication(const QString& bundleIdentifier);
    QList<qint32> applicationPids() const { return m_appOrder; }
    std::optional<qint32> frontmostPid() const;
    void setFrontmost(std::optional<qint32> pid);
    void setHidden(qint32 pid, bool hidden);
    // The application reports that it finished launching.
    void finishLaunching(qint32 pid);

    // Installed applications.
    void installApplication(InstalledApp app);
    void uninstallApplication(const QString& bundleIdentifier);
    const InstalledApp* installedApplication(const QString& bundleIdentifier) const;
    // Every installed application, by identifier.
    QList<InstalledApp> installedApplications() const;
    static QUrl applicationURL(const QString& bundleIdentifier);

    // Windows. A new window goes to the front of the stacking order (or the back) and to the end
    // of its application's window list. addWindow answers 0 when the application does not run.
    quint32 addWindow(qint32 pid, Window window, bool atBack = false);
    // The window appears after delay (if the application still runs then).
    void addWindowLater(qint32 pid, Window window, Clock::Duration delay);
    // The window goes away after delay (if it still exists then).
    void removeWindowLater(quint32 number, Clock::Duration delay);
    void removeWindow(quint32 number);
    Window* window(quint32 number);
    const Window* window(quint32 number) const;
    // The application's windows in its own order (the order of its accessibility window list).
    QList<quint32> windowsOf(qint32 pid) const;
    // The first window, front to back, for which predicate holds; 0 when none.
    quint32 findWindow(const std::function<bool(const Window&)>& predicate) const;
    // Changes a window directly (not through a port) and announces the change.
    void updateWindow(quint32 number, const std::function<void(Window&)>& change);
    // Every window, front to back.
    QList<quint32> stackingOrder() const { return m_stack; }
    void setStackingOrder(const QList<quint32>& frontToBack);
    void raiseWindow(quint32 number);
    // A raise asked through a port: carried out at once, or, by a busy manager (raiseLag), in its
    // turn after the raises asked before it, each raiseLag after the one before.
    void requestRaise(quint32 number);
    void setRaiseLag(Clock::Duration lag) { m_raiseLag = lag; }
    // How often the window was raised so far.
    int raiseCount(quint32 number) const { return m_raises.value(number); }
    // Whether the window is shown: not minimised, on screen and its application not hidden.
    bool isVisible(const Window& window) const;

    // Screens, primary first.
    QList<Screen> screens() const { return m_screens; }
    void setScreens(const QList<Screen>& screens, int mainIndex = 0);
    void addScreen(const Screen& screen);
    void removeScreen(quint32 displayNumber);
    // A display is plugged in or out after delay.
    void addScreenLater(const Screen& screen, Clock::Duration delay);
    void removeScreenLater(quint32 displayNumber, Clock::Duration delay);
    std::optional<Screen> mainScreen() const;

    // Desktop-wide faults.
    void setTrusted(bool trusted) { m_trusted = trusted; }
    bool isTrusted() const { return m_trusted; }
    void setWindowListFails(bool fails) { m_windowListFails = fails; }

    // Runs action after delay on the desktop's clock (at once when the delay is not positive). An
    // action still pending when the desktop goes away never runs.
    void schedule(Clock::Duration delay, std::function<void()> action);

    // The ports' work, used by the port objects.
    std::optional<QList<WindowServerEntry>> windowList(quint32 options) const;
    QList<RunningApplication> runningApplications() const;
    std::optional<RunningApplication> runningApplication(qint32 pid) const;
    bool activate(qint32 pid);
    bool terminate(qint32 pid, bool force);
    OpenResult open(const QUrl& applicationURL, const QList<QUrl>& documents, bool activates);
    OpenResult openNewWindow(const QUrl& applicationURL, bool activates);
    // How many requests for a new window were made, by bundle identifier.
    int newWindowRequests(const QString& bundleIdentifier) const;

signals:
    void applicationAdded(qint32 pid);
    void applicationRemoved(qint32 pid);
    void applicationChanged(qint32 pid);
    void windowAdded(quint32 number);
    void windowRemoved(quint32 number);
    void windowChanged(quint32 number);
    void stackingChanged();
    void screensChanged();

private:
    std::shared_ptr<Clock> m_clock;
    std::shared_ptr<SimulatedPrompts> m_prompts;
    std::shared_ptr<SimulatedHotKeys> m_hotKeys;
    std::shared_ptr<SimulatedUserNotifications> m_notifications;
    std::shared_ptr<SimulatedInstalledApplications> m_installedApps;
    std::map<qint32, Application> m_apps;
    QList<qint32> m_appOrder;
    std::map<quint32, Window> m_windows;
    QList<quint32> m_stack;
    QHash<quint32, int> m_raises;
    Clock::Duration m_raiseLag{0};
    // When the busy manager is done with the raises asked so far.
    Clock::TimePoint m_raisesDoneAt{};
    QList<Screen> m_screens;
    int m_mainScreenIndex = 0;
    std::optional<qint32> m_frontmost;
    bool m_trusted = true;
    bool m_windowListFails = false;
    qint32 m_nextPid = 501;
    quint32 m_nextWindowNumber = 100;
    std::map<int, ClockTimer> m_pending;
    int m_nextPendingId = 1;
    std::unique_ptr<SimulatedLauncher> m_launcher;
};
