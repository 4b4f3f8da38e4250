#pragma once

#include "Platform/Linux/ApplicationIdentities.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/X11Windows.h"
#include "Platform/RunningApplications.h"

#include <QHash>
#include <QSet>

#include <memory>

// The running applications of an X11 desktop. Many programs run one process per window (every
// terminal, most older X programs), so an application is all the processes of one identifier:
// those that own managed windows, the ones Ordella started that have not shown a window yet (still
// launching), and the ones that showed windows and run on without any. Its windows are those of
// all its processes, front to back; its process identifier is that of its oldest process, and any
// of its processes' identifiers finds it. An application is regular when it owns a normal window
// that belongs in a task bar; panels, docks, desktops, notification bubbles and Ordella itself
// never are. Hiding minimises every window of the application, and un-hiding shows exactly what
// the hides minimised (windows the user minimised himself stay so); an application whose windows
// are all minimised counts as hidden. Windows that draw the desktop or are docks and panels are
// never hidden, activated or closed, and a process that owns one is never sent a signal.
class LinuxRunningApplications : public RunningApplications {
    Q_OBJECT
public:
    explicit LinuxRunningApplications(std::shared_ptr<X11Windows> windows, QObject* parent = nullptr);

    QList<RunningApplication> runningApplications() const override;
    std::optional<RunningApplication> frontmostApplication() const override;
    std::optional<RunningApplication> application(qint32 pid) const override;

    bool hide(qint32 pid) override;
    bool unhide(qint32 pid) override;
    bool activate(qint32 pid, quint32 options) override;
    bool terminate(qint32 pid) override;
    bool forceTerminate(qint32 pid) override;

    std::optional<QUrl> urlForApplication(const QString& bundleIdentifier) const override;
    // Everything but a desktop-file id: an executable's path, or any other form a program without
    // an entry is known by.
    bool startsByPath(const QString& bundleIdentifier) const override;
    QString documentRefusal(const QString& path, const QString& bundleIdentifier) const override;
    bool isTerminal(const QString& bundleIdentifier) const override;
    QCoro::Task<OpenResult> openApplication(QUrl applicationURL, bool activates) override;
    QCoro::Task<OpenResult> openDocuments(QList<QUrl> documents, QUrl applicationURL,
                                          bool activates) override;
    // A running application gets its entry's "new-window" action where the entry has one, else
    // another process of its entry or executable (programs that run one process per window).
    QCoro::Task<OpenResult> openNewWindow(QUrl applicationURL, bool activates) override;
    QImage icon(const QString& bundleIdentifier) const override;
    QStringList identifiersOf(const QString& bundleIdentifier) const override;

    // The identifier and name of the process that owns window (for the window list).
    ApplicationIdentities::Identity identityOf(const X11Client& window) const;
    // The windows of the application that process pid belongs to, front to back; nothing when the
    // process belongs to no application.
    QList<X11Client> windowsOf(qint32 pid) const;
    // Whether the process runs and has not ended, as first asked in this pass of the connection: a
    // restore asks for the same processes at every read of their windows, and a process that ends
    // is seen in the next pass, as its windows are.
    bool isRunning(qint32 pid) const;
    // For each living process that owns one of windows, the process identifier of its application.
    QHash<qint32, qint32> applicationPids(const QList<X11Client>& windows) const;

private:
    struct Snapshot {
        QList<RunningApplication> apps;
        // Each application's windows, front to back, by the application's process identifier.
        QHash<qint32, QList<X11Client>> windows;
        // Each application's processes, oldest first.
        QHash<qint32, QList<qint32>> processes;
        // The application of every process.
        QHash<qint32, qint32> applicationOf;
        // The processes listed without a window: their end changes no window, so it is looked for.
        QList<qint32> windowless;
    };
    Snapshot snapshot() const;
    // Whether the kept snapshot still holds: the windows are as read then and no windowless
    // process it lists has ended.
    bool snapshotHolds() const;
    // The applications of windows (in the manager's list order, or front to back when sorted).
    Snapshot snapshotOf(QList<X11Client> windows, bool sorted) const;
    // Whether the process may be signalled: not Ordella, and drawing no desktop, dock or panel.
    bool maySignal(qint32 pid, const QList<X11Client>& windows) const;
    // The processes and windows of the application process pid belongs to, when it may be ended:
    // one that is gone, or that Ordella is part of, may not.
    struct Ending {
        QList<qint32> processes;
        QList<X11Client> windows;
    };
    std::optional<Ending> endingOf(qint32 pid) const;
    // The identifier an application URL stands for; empty when it stands for none.
    QString identifierOf(const QUrl& applicationURL) const;
    std::optional<qint32> runningPid(const QString& identifier) const;
    // Notes the processes a launch started as the application's, or says why nothing started.
    OpenResult noteLaunch(const DesktopEntries::Launch& launch, const QString& identifier);
    // The manager's list of windows changed: applications that came or went are announced.
    void clientListChanged();
    void announceChanges();

    std::shared_ptr<X11Windows> m_windows;
    mutable ApplicationIdentities m_identities;
    // The windows hide() minimised, to be shown again by unhide(), kept across repeated hides.
    QHash<qint32, QList<xcb_window_t>> m_hiddenWindows;
    // The living processes that have owned a window: they stay applications while they run.
    mutable QSet<qint32> m_windowOwners;
    QSet<qint32> m_announced;
    // Start times of the processes seen, which decide which one is the oldest.
    mutable QHash<qint32, quint64> m_startTimes;
    // The last snapshot, kept while the windows it was made from stay as read (X11Windows::state)
    // and nothing was launched since: a restore asks for it many times in one step.
    mutable std::optional<Snapshot> m_snapshot;
    mutable quint64 m_snapshotState = 0;
    // The pass of the connection in which windowsOf read one application's windows alone, and the
    // process it was asked for.
    mutable quint64 m_singleReadPass = 0;
    mutable qint32 m_singleReadPid = 0;
    // What isRunning found in the pass of the connection it was asked in.
    mutable QHash<qint32, bool> m_running;
    mutable quint64 m_runningPass = 0;
    // A change of the window list waits for the next turn of the event loop.
    bool m_listChangePending = false;
};
