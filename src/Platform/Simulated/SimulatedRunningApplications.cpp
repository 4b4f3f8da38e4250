#include "Platform/Simulated/SimulatedRunningApplications.h"

#include "Platform/Simulated/SimulatedDesktop.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>

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

QCoro::Task<OpenResult> SimulatedRunningApplications::openNewWindow(QUrl applicationURL, bool activates) {
    if (!m_desktop) {
        co_return OpenResult{false, QStringLiteral("The desktop is gone.")};
    }
    co_return m_desktop->openNewWindow(applicationURL, activates);
}

QImage SimulatedRunningApplications::icon(const QString& bundleIdentifier) const {
    const SimulatedDesktop::InstalledApp* installed =
        m_desktop ? m_desktop->installedApplication(bundleIdentifier) : nullptr;
    if (!installed) {
        return QImage();
    }
    // A rounded tile in a colour derived from the identifier with the name's initial, so icons
    // are told apart at a glance.
    constexpr int size = 64;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // A hash that is the same in every run (qHash is seeded per process).
    quint32 hash = 2166136261u;
    for (const QChar c : bundleIdentifier) {
        hash = (hash ^ c.unicode()) * 16777619u;
    }
    const int hue = int(hash % 360);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, size);
    fill.setColorAt(0, QColor::fromHsv(hue, 120, 250));
    fill.setColorAt(1, QColor::fromHsv((hue + 20) % 360, 200, 200));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(2, 2, size - 4, size - 4), 14, 14);
    QFont font;
    font.setPixelSize(34);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, installed->name.left(1).toUpper());
    return image;
}
