#pragma once

#include "App/InstanceCommands.h"
#include "Platform/Clock.h"

#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <memory>

class AppRootModel;
class MenuBarWindow;
class PopoverModel;
class PreferencesWindowController;
class SimulatedDesktop;
class SimulatedScriptHost;
class SingleInstance;
class WorkspaceStore;

// The application: makes sure it runs once, puts the desktop it works on in place (this X11
// desktop, or with --demo a simulated one), then starts in this order - the workspace store, the
// triggers of the app delegate (shortcuts, displays, notifications, login restores), the daily
// update check and one check now - and shows itself as a tray icon with the menu-bar window. Until
// the onboarding is complete, the window opens by itself once at start, showing it.
class OrdellaApp : public QObject {
    Q_OBJECT
public:
    // How long after start-up the first update check is made and the menu-bar window's views
    // are made (unless needed before).
    static constexpr std::chrono::milliseconds finishStartDelay{1000};
    // A start that finds another one starting waits this long, asking every handOverPoll, for it
    // to listen and take the request.
    static constexpr std::chrono::seconds handOverTimeout{10};
    static constexpr std::chrono::milliseconds handOverPoll{100};
    // How long a first start waits for the tray to place its icon before the onboarding opens.
    static constexpr std::chrono::seconds onboardingIconWait{3};

    explicit OrdellaApp(InstanceCommands::Parsed options, QObject* parent = nullptr);
    ~OrdellaApp() override;

    // What a start that asks the running Ordella prints, and its exit code.
    struct Asked {
        int exitCode = 1;
        QString text;
        // Printed on the error stream rather than the output.
        bool error = true;

        bool operator==(const Asked&) const = default;
        // Prints the text on its stream.
        void print() const;
    };

    // Whether Qt has a display to show windows on.
    static bool hasDisplay();
    // Only asks the running Ordella (a command, or a start without a display), waiting on clock:
    // its answer or why there is none. Needs no more than a QCoreApplication.
    static QCoro::Task<Asked> askOnly(InstanceCommands::Parsed options, Clock& clock);

    // Runs the start-up; the exit code when this process hands over to a running Ordella (or
    // cannot start), nothing while it goes on as the running one.
    QCoro::Task<std::optional<int>> start();

    WorkspaceStore* store() const { return m_store; }
    MenuBarWindow* menuBarWindow() const { return m_window.get(); }

    // The data folder of the demo desktop's workspaces, apart from the user's own.
    static QString demoStorageDirectory();

public slots:
    // The gear button: the menu-bar window closes and the settings window opens.
    void showPreferences();

private:
    // Sends the request to the Ordella running on serverName: its answer, or why none came;
    // nothing when no Ordella runs there.
    static QCoro::Task<std::optional<Asked>> handOver(QByteArray request, QString serverName, Clock& clock);
    // Installs the platform; a problem with the desktop is printed.
    void installPlatform();
    void startServices();
    void showInterface();
    void finishStart();
    QCoro::Task<void> openForOnboarding();

    InstanceCommands::Parsed m_options;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<SimulatedDesktop> m_demoDesktop;
    std::unique_ptr<SimulatedScriptHost> m_demoScripts;
    WorkspaceStore* m_store = nullptr;
    AppRootModel* m_root = nullptr;
    PopoverModel* m_popover = nullptr;
    InstanceCommands* m_commands = nullptr;
    std::unique_ptr<MenuBarWindow> m_window;
    std::unique_ptr<PreferencesWindowController> m_preferences;
    ClockTimer m_finishStart;
};
