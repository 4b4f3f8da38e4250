#include "App/OrdellaApp.h"

#include "App/DialogPrompts.h"
#include "App/InstanceSocketFolder.h"
#include "App/MenuBarWindow.h"
#include "App/SingleInstance.h"
#include "App/WorkspaceAppDelegate.h"
#include "Extensions/DetachedTask.h"
#include "Platform/Clock.h"
#include "Platform/Linux/LinuxPlatform.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Platform/Linux/X11Compositor.h"
#include "Platform/Platform.h"
#include "Platform/Simulated/SimulatedDesktop.h"
#include "Platform/Simulated/SimulatedScene.h"
#include "Platform/Simulated/SimulatedScriptHost.h"
#include "Platform/SystemClock.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Services/Update/AutoUpdateManager.h"
#include "ViewModels/AppRootModel.h"
#include "ViewModels/PopoverModel.h"
#include "Views/PreferencesWindowController.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTextStream>

namespace {

void printLine(FILE* stream, const QString& text) {
    QTextStream(stream) << text << '\n';
}

} // namespace

OrdellaApp::OrdellaApp(InstanceCommands::Parsed options, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options)) {
}

OrdellaApp::~OrdellaApp() {
    // The windows' views read the models: they go first.
    m_preferences.reset();
    m_window.reset();
}

QString OrdellaApp::demoStorageDirectory() {
    const QString data = WorkspaceStore::defaultStorageDirectory();
    return data.isEmpty() ? QString() : QDir(data).filePath(QStringLiteral("Demo"));
}

bool OrdellaApp::hasDisplay() {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void OrdellaApp::Asked::print() const {
    printLine(error ? stderr : stdout, text);
}

QCoro::Task<std::optional<OrdellaApp::Asked>> OrdellaApp::handOver(QByteArray request, QString serverName,
                                                                   Clock& clock) {
    using Outcome = SingleInstance::Answer::Outcome;
    const SingleInstance::Answer answer = co_await SingleInstance::send(serverName, request, clock);
    switch (answer.outcome) {
    case Outcome::notRunning:
        co_return std::nullopt;
    case Outcome::noAnswer:
        co_return Asked{
            1, QStringLiteral("Ordella is running but does not answer (it may be stopped or busy)."), true};
    case Outcome::accepted:
        co_return Asked{InstanceCommands::unknownOutcomeExitCode,
                        QStringLiteral("Ordella took the request but has not told how it ended (it may be "
                                       "stopped, or still at work)."),
                        true};
    case Outcome::otherUser:
        co_return Asked{1,
                        QStringLiteral("Another user's program listens on %1: Ordella hands it nothing.")
                            .arg(QDir::toNativeSeparators(serverName)),
                        true};
    case Outcome::replied:
        break;
    }
    const auto [ok, output] = InstanceCommands::readReply(answer.reply);
    co_return Asked{InstanceCommands::exitCode(answer.reply), output, !ok};
}

QCoro::Task<OrdellaApp::Asked> OrdellaApp::askOnly(InstanceCommands::Parsed options, Clock& clock) {
    const InstanceSocketFolder::Location location = InstanceSocketFolder::locate(options.demo);
    if (location.serverName.isEmpty()) {
        co_return Asked{1, location.problem, true};
    }
    const std::optional<Asked> asked = co_await handOver(options.request, location.serverName, clock);
    if (asked) {
        co_return *asked;
    }
    co_return Asked{1,
                    options.command ? QStringLiteral("Ordella is not running: start it first.")
                                    : QStringLiteral("Ordella is not running, and it cannot start without "
                                                     "a display (DISPLAY is not set)."),
                    true};
}

QCoro::Task<std::optional<int>> OrdellaApp::start() {
    QPointer<OrdellaApp> self(this);
    const InstanceSocketFolder::Location location = InstanceSocketFolder::locate(m_options.demo);
    if (location.serverName.isEmpty()) {
        printLine(stderr, location.problem);
        co_return 1;
    }
    const QString serverName = location.serverName;
    const std::optional<qint64> replaces = SingleInstance::replacedPid();
    // A command, or a start while Ordella runs, is handed to the running one.
    if (m_options.command || !replaces) {
        const std::optional<Asked> asked =
            co_await handOver(m_options.request, serverName, *Platform::current().clock);
        if (asked) {
            asked->print();
            co_return asked->exitCode;
        }
        if (m_options.command) {
            printLine(stderr, QStringLiteral("Ordella is not running: start it first."));
            co_return 1;
        }
    }
    if (!self) {
        co_return 1;
    }
    // Listens before anything else starts, so a second start finds this one.
    m_instance = std::make_unique<SingleInstance>(serverName);
    m_instance->setRefusal(InstanceCommands::refusal());
    const bool listening =
        co_await m_instance->listen(*Platform::current().clock, replaces, LinuxProcess::isAlive);
    if (!self) {
        co_return 1;
    }
    if (!listening && !m_instance->listenError().isEmpty()) {
        printLine(stderr, QStringLiteral("Ordella cannot listen on %1: %2")
                              .arg(QDir::toNativeSeparators(serverName), m_instance->listenError()));
        co_return 1;
    }
    if (!listening) {
        // Another start got there first: once it listens, it takes this one's request.
        std::optional<Asked> asked;
        const Clock::TimePoint deadline = Platform::current().clock->now() + handOverTimeout;
        while (self && !asked && Platform::current().clock->now() < deadline) {
            co_await Platform::current().clock->sleep(handOverPoll);
            asked = co_await handOver(m_options.request, serverName, *Platform::current().clock);
        }
        if (!asked) {
            printLine(stderr, QStringLiteral("Ordella is already starting."));
            co_return 1;
        }
        asked->print();
        co_return asked->exitCode;
    }
    installPlatform();
    startServices();
    showInterface();
    co_return std::nullopt;
}

void OrdellaApp::installPlatform() {
    const QIcon appIcon(QStringLiteral(":/Ordella/AppIcon.svg"));
    std::shared_ptr<Platform> platform;
    if (m_options.demo) {
        platform = std::make_shared<Platform>();
        platform->clock = std::make_shared<SystemClock>();
        m_demoDesktop = std::make_unique<SimulatedDesktop>(platform->clock);
        m_demoScripts = std::make_unique<SimulatedScriptHost>(*m_demoDesktop);
        m_demoDesktop->installInto(*platform);
        m_demoScripts->installInto(*platform);
        const SimulatedScene::LoadResult scene =
            SimulatedScene::loadFile(SimulatedScene::demoScenePath(), *m_demoDesktop);
        if (!scene.ok) {
            printLine(stderr, QStringLiteral("The demo desktop could not be loaded: ") + scene.error);
        }
        printLine(stdout,
                  QStringLiteral("Ordella runs on a simulated demo desktop; its workspaces are kept in ") +
                      QDir::toNativeSeparators(demoStorageDirectory()) + u'.');
    } else {
        const LinuxPlatform::Assembly assembly = LinuxPlatform::create();
        platform = assembly.platform;
        if (!assembly.problem.isEmpty()) {
            printLine(stderr, assembly.problem +
                                  QStringLiteral(" Start it with --demo to try it on a simulated desktop."));
        }
    }
    // Alerts and panels are the real dialogs on either desktop, and Ordella's windows are drawn on
    // the real display.
    platform->prompts = std::make_shared<DialogPrompts>(appIcon);
    platform->windowsComposited = &X11Compositor::isRunning;
    Platform::install(platform);
    QApplication::setWindowIcon(appIcon);
}

void OrdellaApp::startServices() {
    // The start-up order: the store, the app delegate's triggers, the daily and the first update
    // check.
    m_store = m_options.demo ? new WorkspaceStore(demoStorageDirectory(), this) : new WorkspaceStore(this);
    WorkspaceAppDelegate::shared().setup(m_store);
    AutoUpdateManager::shared().startPeriodicChecks();
}

void OrdellaApp::showInterface() {
    m_root = new AppRootModel(this);
    m_popover = new PopoverModel(m_store, this);
    m_window = std::make_unique<MenuBarWindow>(*m_root, *m_popover, Platform::current().clock);
    // The window goes on the real desktop, beside its panels, also when the rest is the demo's.
    m_window->setDesktopScreens(m_options.demo ? LinuxPlatform::createScreens()
                                               : Platform::current().screens);
    connect(m_popover, &PopoverModel::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    connect(m_popover, &PopoverModel::preferencesRequested, this, &OrdellaApp::showPreferences);

    m_commands = new InstanceCommands(*m_store, *m_popover, RestoreCoordinator::shared(), this);
    connect(m_commands, &InstanceCommands::showRequested, m_window.get(), &MenuBarWindow::open);
    connect(&WorkspaceAppDelegate::shared(), &WorkspaceAppDelegate::showRequested, m_window.get(),
            &MenuBarWindow::open);
    InstanceCommands* commands = m_commands;
    m_instance->setHandler([commands](QByteArray request) { return commands->handle(std::move(request)); });

    // Without a tray the window is the only way in: it opens at once.
    if (!m_window->showTrayIcon()) {
        printLine(stdout,
                  QStringLiteral("This desktop has no system tray: Ordella's window opens on its own; "
                                 "start Ordella again to bring it back."));
        m_window->open();
    } else if (!m_root->isOnboardingComplete()) {
        DetachedTask::start(QStringLiteral("OrdellaApp"), QStringLiteral("Opening the onboarding"),
                            openForOnboarding());
    }
    // What can wait is done a moment after Ordella has started answering, so that a request sent
    // right at the start (a second start, a shortcut's restore) is not held up by it.
    m_finishStart = Platform::current().clock->startTimer(finishStartDelay, false, [this] { finishStart(); });
}

QCoro::Task<void> OrdellaApp::openForOnboarding() {
    // A newcomer sees that Ordella started, and where it lives: the window opens once, by the
    // icon, as soon as the tray has placed the icon (or on its own if the tray takes too long).
    // Where the tray takes the icon in is where the window opens from its first frame on; a tray
    // that never says leaves it at the top right of the work area with the pointer.
    const QPointer<OrdellaApp> self(this);
    co_await m_window->iconPlaced(onboardingIconWait);
    if (self && !self->m_window->isOpen() && !self->m_root->isOnboardingComplete()) {
        self->m_window->open();
    }
}

void OrdellaApp::finishStart() {
    AutoUpdateManager::shared().checkForUpdates(true, false, false);
    // The window's views take longer to make than all the rest of the start: made now, the
    // first click on the icon does not wait for them (a click before now made them at once).
    m_window->prepare();
}

void OrdellaApp::showPreferences() {
    m_window->close();
    PreferencesWindowController::showPreferences(m_window->engine(), *m_store, m_preferences);
}
