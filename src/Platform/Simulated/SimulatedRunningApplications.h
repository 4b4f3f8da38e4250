#pragma once

#include "Platform/RunningApplications.h"

#include <QPointer>

class SimulatedDesktop;

// The workspace-service port of a simulated desktop.
class SimulatedRunningApplications : public RunningApplications {
    Q_OBJECT
public:
    explicit SimulatedRunningApplications(SimulatedDesktop* desktop);

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
    QCoro::Task<OpenResult> openNewWindow(QUrl applicationURL, bool activates) override;
    QImage icon(const QString& bundleIdentifier) const override;

private:
    QPointer<SimulatedDesktop> m_desktop;
};
