#pragma once

#include "Platform/Linux/ApplicationIdentities.h"
#include "Platform/Linux/X11Windows.h"
#include "Platform/RunningApplications.h"

#include <QHash>
#include <QSet>

#include <memory>

// The running applications of an X11 desktop: the processes that own managed windows, plus the
// ones Ordella started that have not shown a window yet (still launching). An application is
// regular when it owns a normal window that belongs in a task bar; panels, docks, desktops,
// notification bubbles and Ordella itself never are. Hiding minimises every window of the
// application; an application whose windows are all minimised counts as hidden.
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
    QCoro::Task<OpenResult> openApplication(QUrl applicationURL, bool activates) override;
    QCoro::Task<OpenResult> openDocuments(QList<QUrl> documents, QUrl applicationURL,
                                          bool activates) override;
    QImage icon(const QString& bundleIdentifier) const override;

    // The identifier and name of the process that owns window (for the window list).
    ApplicationIdentities::Identity identityOf(const X11Client& window) const;

private:
    struct Snapshot {
        QList<RunningApplication> apps;
        // Each application's windows, front to back.
        QHash<qint32, QList<X11Client>> windows;
    };
    Snapshot snapshot() const;
    // The identifier an application URL stands for; empty when it stands for none.
    QString identifierOf(const QUrl& applicationURL) const;
    std::optional<qint32> runningPid(const QString& identifier) const;
    OpenResult start(const QString& identifier, const QList<QUrl>& documents, bool activates);
    void clientListChanged();

    std::shared_ptr<X11Windows> m_windows;
    mutable ApplicationIdentities m_identities;
    // The windows hide() minimised, to be shown again by unhide().
    QHash<qint32, QList<xcb_window_t>> m_hiddenWindows;
    QSet<qint32> m_announced;
};
