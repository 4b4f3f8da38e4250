#include "Platform/Simulated/SimulatedRunningApplications.h"

#include "Platform/Simulated/SimulatedDesktop.h"

#include <QColor>

SimulatedRunningApplications::SimulatedRunningApplications(SimulatedDesktop* desktop)
    : m_desktop(desktop) {
    connect(desktop, &SimulatedDesktop::applicationAdded, this, &RunningApplications::applicationLaunched);
    connect(desktop, &SimulatedDesktop::applicationRemoved, this,
            &RunningApplications::applicationTerminated);
}

QList<RunningApplication> SimulatedRunningApplications::runningApplications() const {
    return m_desktop ? m_desktop->runningApplications() : QList<RunningApplication>();
}

std::optional<RunningApplication> SimulatedRunningApplications::frontmostApplication() const {
    if (!m_desktop) {
        return std::nullopt;
    }
    const std::optional<qint32> pid = m_desktop->frontmostPid();
    return pid ? m_desktop->runningApplication(*pid) : std::nullopt;
}

std::optional<RunningApplication> SimulatedRunningApplications::application(qint32 pid) const {
    return m_desktop ? m_desktop->runningApplication(pid) : std::nullopt;
}

bool SimulatedRunningApplications::hide(qint32 pid) {
    if (!m_desktop || !m_desktop->application(pid)) {
        return false;
    }
    m_desktop->setHidden(pid, true);
    return true;
}

bool SimulatedRunningApplications::unhide(qint32 pid) {
    if (!m_desktop || !m_desktop->application(pid)) {
        return false;
    }
    m_desktop->setHidden(pid, false);
    return true;
}

bool SimulatedRunningApplications::activate(qint32 pid, quint32 /*options*/) {
    return m_desktop && m_desktop->activate(pid);
}

bool SimulatedRunningApplications::terminate(qint32 pid) {
    return m_desktop && m_desktop->terminate(pid, false);
}

bool SimulatedRunningApplications::forceTerminate(qint32 pid) {
    return m_desktop && m_desktop->terminate(pid, true);
}

std::optional<QUrl> SimulatedRunningApplications::urlForApplication(const QString& bundleIdentifier) const {
    if (!m_desktop || !m_desktop->installedApplication(bundleIdentifier)) {
        return std::nullopt;
    }
    return SimulatedDesktop::applicationURL(bundleIdentifier);
}

QCoro::Task<OpenResult> SimulatedRunningApplications::openApplication(QUrl applicationURL, bool activates) {
    if (!m_desktop) {
        co_return OpenResult{false, QStringLiteral("The desktop is gone.")};
    }
    co_return m_desktop->open(applicationURL, {}, activates);
}

QCoro::Task<OpenResult> SimulatedRunningApplications::openDocuments(QList<QUrl> documents,
                                                                    QUrl applicationURL, bool activates) {
    if (!m_desktop) {
        co_return OpenResult{false, QStringLiteral("The desktop is gone.")};
    }
    co_return m_desktop->open(applicationURL, documents, activates);
}

QImage SimulatedRunningApplications::icon(const QString& bundleIdentifier) const {
    if (!m_desktop || !m_desktop->installedApplication(bundleIdentifier)) {
        return QImage();
    }
    // A plain square whose colour is derived from the identifier, so icons are told apart.
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(QColor::fromHsv(int(qHash(bundleIdentifier) % 360), 160, 220));
    return image;
}
