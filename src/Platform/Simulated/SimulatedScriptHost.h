#pragma once

#include "Platform/Clock.h"
#include "Platform/ScriptProgram.h"
#include "Platform/ScriptRunner.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>

#include <coroutine>
#include <functional>
#include <map>
#include <optional>

struct Platform;
class SimulatedDesktop;

// The scriptable applications of the simulated desktop: the ten browsers (in their two script
// dialects) and the file manager. Their windows are the desktop's own windows, so what a script
// opens, moves or closes is what the accessibility and window-server ports show; the host keeps
// only what the desktop has no notion of: each browser window's tabs and each folder window's
// folder (read first from the window's scene data, "tabs" and "folder").
//
// The host understands exactly the system's own scripts: string literals are unescaped as the
// script language does and "try" blocks are honoured. Any other text is refused as a syntax error
// and recorded, so a changed script breaks a test. Faults (refusals with or without the
// application's name, other errors, hangs, late answers) are set per application, for the next
// script or for all of them, and play out on the desktop's clock.
class SimulatedScriptHost : public QObject, public ScriptRunner {
    Q_OBJECT
public:
    struct Behaviour {
        // Answered instead of running the script.
        std::optional<ScriptError> error;
        // The script runs, and answers, this much later.
        Clock::Duration delay{0};
        // The script neither runs nor answers until releaseHungScripts().
        bool hangs = false;
        // Empty: the behaviour is the next script's. Otherwise it waits for the first script with a
        // line containing this text, and an error is answered by that line after the lines before
        // it have run (a script that fails half-way).
        QString line;

        Behaviour at(const QString& text) const {
            Behaviour b = *this;
            b.line = text;
            return b;
        }
    };
    struct Tab {
        std::optional<QString> url;
        std::optional<QString> title;
        bool operator==(const Tab&) const = default;
    };

    explicit SimulatedScriptHost(SimulatedDesktop& desktop, QObject* parent = nullptr);
    ~SimulatedScriptHost() override;

    // Makes this host the script runner of platform; it must outlive that use.
    void installInto(Platform& platform);

    QCoro::Task<ScriptResult> run(QString source) override;

    // Faults, by the name scripts use for the application ("Google Chrome", "Finder"). Queued ones
    // are used once, by the first script they apply to; a standing one applies to every script.
    void queueBehaviour(const QString& appName, Behaviour behaviour);
    void setBehaviour(const QString& appName, std::optional<Behaviour> behaviour);
    static Behaviour refusal(const QString& appName, bool reportsAppName = true);
    static Behaviour failure(int number, const QString& message);
    static Behaviour hang();
    static Behaviour late(Clock::Duration delay);
    // Lets every hung script run and answer now.
    void releaseHungScripts();
    int hungScriptCount() const { return static_cast<int>(m_hung.size()); }

    // Browser windows: their tabs and the active one (1-based; 0 for none).
    QList<Tab> tabs(quint32 window);
    int activeTab(quint32 window);
    void setTabs(quint32 window, const QList<Tab>& tabs, int active);
    // Folder windows: the folder shown (none for a search or smart folder window).
    std::optional<QString> folderOf(quint32 window);
    void setFolder(quint32 window, const std::optional<QString>& folder);
    // Browsers that are not given every address: one the filter refuses is opened as the blank
    // page instead, and reported as "an address this desktop keeps from browsers". No filter:
    // every address is opened as asked.
    void setAddressFilter(std::function<bool(const QString& address)> accepts);
    QString browserAddressAsOpened(const QString& address) const override;
    std::optional<QString> browserAddressRefusal(const QString& address) const override;

    // Folders that exist; a window's folder counts as existing when it is first seen.
    void addFolder(const QString& path);
    void removeFolder(const QString& path);

    // Scripts that ran (recognised), and texts refused as unrecognised.
    const QStringList& executedScripts() const { return m_executed; }
    const QStringList& rejectedScripts() const { return m_rejected; }

    using Statement = ScriptProgram::Statement;
    using Program = ScriptProgram;

private:
    struct BrowserWindow {
        QList<Tab> tabs;
        int active = 0;
    };

    // A folder's path without the slashes it ends in.
    static QString normalizedFolder(const QString& path);
    std::optional<Behaviour> nextBehaviour(const Program& program);
    ScriptResult execute(const Program& program, const std::optional<Behaviour>& behaviour);
    BrowserWindow& browserWindow(quint32 number);
    void showTabs(quint32 number);
    void forget(quint32 number);

    SimulatedDesktop& m_desktop;
    QHash<QString, QList<Behaviour>> m_queued;
    QHash<QString, Behaviour> m_standing;
    QList<std::coroutine_handle<>> m_hung;
    std::map<quint32, BrowserWindow> m_browserWindows;
    std::map<quint32, std::optional<QString>> m_folderWindows;
    QSet<QString> m_folders;
    QStringList m_executed;
    QStringList m_rejected;
    std::function<bool(const QString&)> m_accepts;

    friend class SimulatedScriptRun;
};
