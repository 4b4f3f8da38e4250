#include "Platform/Linux/LinuxAccessibility.h"

#include "Extensions/NumberConversion.h"
#include "Models/WindowIdentity.h"
#include "Platform/Linux/ChromiumProfile.h"
#include "Platform/Linux/CommandLineDocument.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Platform/Linux/LinuxRunningApplications.h"

#include <algorithm>
#include <cmath>

namespace {

// X coordinates are 16-bit; a point far outside is brought to the edge of what can be asked.
int coordinate(double value) {
    return std::clamp(NumberConversion::toInt(std::round(value)), -32768, 32767);
}

bool hasWindowList(X11Client::Type type) {
    return type != X11Client::Type::Dock && type != X11Client::Type::Desktop;
}

} // namespace

LinuxAccessibility::LinuxAccessibility(std::shared_ptr<X11Windows> windows,
                                       std::shared_ptr<X11Monitors> monitors,
                                       std::shared_ptr<LinuxRunningApplications> applications,
                                       DocumentReader documentOf)
    : m_windows(std::move(windows))
    , m_monitors(std::move(monitors))
    , m_applications(std::move(applications))
    , m_documentReader(documentOf ? std::move(documentOf) : DocumentReader(&CommandLineDocument::ofProcess)) {
}

std::optional<QString> LinuxAccessibility::documentOf(qint32 pid) {
    if (const quint64 pass = m_windows->connection().pass(); pass != m_documentsPass) {
        m_documents.clear();
        m_documentsPass = pass;
    }
    if (const auto it = m_documents.constFind(pid); it != m_documents.constEnd()) {
        return it.value();
    }
    return *m_documents.insert(pid, m_documentReader(pid));
}

bool LinuxAccessibility::isProcessTrusted() {
    return m_windows->managerReady();
}

AXElement LinuxAccessibility::applicationElement(qint32 pid) {
    return AXElement{ApplicationElementBase + quint64(quint32(pid))};
}

QString LinuxAccessibility::subroleFor(X11Client::Type type) {
    switch (type) {
    case X11Client::Type::Normal:
        return QStringLiteral("AXStandardWindow");
    case X11Client::Type::Dialog:
        return QStringLiteral("AXDialog");
    case X11Client::Type::Utility:
    case X11Client::Type::Toolbar:
    case X11Client::Type::Menu:
        return QStringLiteral("AXFloatingWindow");
    case X11Client::Type::Notification:
        return QStringLiteral("AXSystemFloatingWindow");
    case X11Client::Type::Splash:
    case X11Client::Type::Dock:
    case X11Client::Type::Desktop:
        break;
    }
    return QStringLiteral("AXUnknown");
}

AXResult LinuxAccessibility::copyAttributeValue(AXElement element, const QString& attribute) {
    if (element.id >= ApplicationElementBase) {
        return applicationAttribute(qint32(quint32(element.id - ApplicationElementBase)), attribute);
    }
    // Where a window is depends on where the primary monitor is, and its place is read next to
    // most other attributes: the monitors go to the server in the same flight as the window.
    m_monitors->askAhead();
    const std::optional<X11Client> window = m_windows->client(xcb_window_t(element.id));
    return window ? windowAttribute(*window, attribute) : AXResult::failure(AXError::InvalidUIElement);
}

QList<xcb_window_t> LinuxAccessibility::windowsAmong(const QList<AXElement>& elements) {
    QList<xcb_window_t> windows;
    for (const AXElement& element : elements) {
        if (element.id < ApplicationElementBase) {
            windows.append(xcb_window_t(element.id));
        }
    }
    return windows;
}

void LinuxAccessibility::readTogether(const QList<AXElement>& elements) {
    const QList<xcb_window_t> windows = windowsAmong(elements);
    if (!windows.isEmpty()) {
        m_monitors->askAhead();
        m_windows->clients(windows);
    }
}

void LinuxAccessibility::readAhead(const QList<AXElement>& elements) {
    m_windows->askAhead(windowsAmong(elements));
}

AXResult LinuxAccessibility::applicationAttribute(qint32 pid, const QString& attribute) {
    if (!m_applications->isRunning(pid)) {
        return AXResult::failure(AXError::CannotComplete);
    }
    if (attribute == AXName::Windows) {
        // Front to back, the minimised ones last.
        QList<AXElement> shown;
        QList<AXElement> minimized;
        for (const X11Client& window : m_applications->windowsOf(pid)) {
            if (hasWindowList(window.type)) {
                (window.minimized ? minimized : shown).append(AXElement{window.window});
            }
        }
        return AXResult::success(AXValue::elements(shown + minimized));
    }
    if (attribute == AXName::Role) {
        return AXResult::success(AXValue::string(QStringLiteral("AXApplication")));
    }
    if (attribute == AXName::Title) {
        const std::optional<RunningApplication> app = m_applications->application(pid);
        return app && app->localizedName ? AXResult::success(AXValue::string(*app->localizedName))
                                         : AXResult::failure(AXError::NoValue);
    }
    return AXResult::failure(AXError::AttributeUnsupported);
}

AXResult LinuxAccessibility::windowAttribute(const X11Client& window, const QString& attribute) {
    if (attribute == AXName::Position) {
        return AXResult::success(AXValue::point(window.frameRect().topLeft() - m_monitors->primaryOrigin()));
    }
    if (attribute == AXName::Size) {
        return AXResult::success(AXValue::size(window.frameRect().size()));
    }
    if (attribute == AXName::Title) {
        return window.title ? AXResult::success(AXValue::string(*window.title))
                            : AXResult::failure(AXError::NoValue);
    }
    if (attribute == AXName::Document) {
        // X11 windows do not say which file they show; the command line of a program that runs
        // one process per window does.
        const std::optional<QString> document =
            window.pid && m_windows->windowCountOf(*window.pid) == 1 ? documentOf(*window.pid) : std::nullopt;
        return document ? AXResult::success(AXValue::string(*document)) : AXResult::failure(AXError::NoValue);
    }
    if (attribute == AXName::BrowserUserDataDir || attribute == AXName::BrowserProfileDirectory) {
        // As the command line of the process that owns the window names it: two browsers with
        // data folders of their own are two processes.
        const QString name = attribute == AXName::BrowserUserDataDir ? QStringLiteral("user-data-dir")
                                                                     : QStringLiteral("profile-directory");
        QString value = window.pid
                            ? ChromiumProfile::switchValue(ChromiumProfile::commandLine(*window.pid), name)
                            : QString();
        // Saved as a path that names the same folder wherever Ordella runs from.
        if (attribute == AXName::BrowserUserDataDir && !value.isEmpty()) {
            value = ChromiumProfile::absoluteFolder(value, LinuxProcess::workingFolder(*window.pid));
        }
        return value.isEmpty() ? AXResult::failure(AXError::NoValue)
                               : AXResult::success(AXValue::string(value));
    }
    if (attribute == AXName::SpaceIndex) {
        constexpr quint32 allDesktops = 0xFFFFFFFF;
        return window.desktop && *window.desktop != allDesktops && m_windows->desktopCount() > 1
                   ? AXResult::success(AXValue::number(*window.desktop))
                   : AXResult::failure(AXError::NoValue);
    }
    if (attribute == AXName::OnShownSpace) {
        return AXResult::success(AXValue::boolean(window.isOnDesktop(m_windows->currentDesktop())));
    }
    if (attribute == AXName::WindowIdentity) {
        // A window whose process has ended has no start time: it can never be the one saved.
        const std::optional<qint64> started =
            window.pid ? LinuxProcess::startedAt(*window.pid) : std::nullopt;
        return started ? AXResult::success(
                             AXValue::string(WindowIdentity{window.window, *window.pid, *started}.text()))
                       : AXResult::failure(AXError::NoValue);
    }
    if (attribute == AXName::Role) {
        return AXResult::success(AXValue::string(QStringLiteral("AXWindow")));
    }
    if (attribute == AXName::Subrole) {
        return AXResult::success(AXValue::string(subroleFor(window.type)));
    }
    if (attribute == AXName::Minimized) {
        return AXResult::success(AXValue::boolean(window.minimized));
    }
    if (attribute == AXName::FullScreen) {
        return AXResult::success(AXValue::boolean(window.fullScreen));
    }
    if (attribute == AXName::Main || attribute == AXName::Focused) {
        return AXResult::success(AXValue::boolean(window.window == m_windows->activeWindow()));
    }
    return AXResult::failure(AXError::AttributeUnsupported);
}

int LinuxAccessibility::setAttributeValue(AXElement element, const QString& attribute, const AXValue& value) {
    if (element.id >= ApplicationElementBase) {
        return m_applications->isRunning(qint32(quint32(element.id - ApplicationElementBase)))
                   ? AXError::AttributeUnsupported
                   : AXError::CannotComplete;
    }
    // A write needs the window managed, not read again after each earlier write: a move and a
    // resize of one window cost one read, and the read-back after them another.
    m_monitors->askAhead();
    const std::optional<X11Client> window = m_windows->clientForRequest(xcb_window_t(element.id));
    return window ? setWindowAttribute(*window, attribute, value) : AXError::InvalidUIElement;
}

int LinuxAccessibility::setWindowAttribute(const X11Client& window, const QString& attribute,
                                           const AXValue& value) {
    if (attribute == AXName::Position) {
        const std::optional<QPointF> point = value.toPoint();
        if (!point || !std::isfinite(point->x()) || !std::isfinite(point->y())) {
            return AXError::IllegalArgument;
        }
        const QPoint origin = m_monitors->primaryOrigin();
        m_windows->moveFrame(
            window.window, QPoint(coordinate(point->x() + origin.x()), coordinate(point->y() + origin.y())));
        return AXError::Success;
    }
    if (attribute == AXName::Size) {
        const std::optional<QSizeF> size = value.toSize();
        if (!size || !std::isfinite(size->width()) || !std::isfinite(size->height())) {
            return AXError::IllegalArgument;
        }
        m_windows->resizeFrame(window.window, QSize(std::max(1, coordinate(size->width())),
                                                    std::max(1, coordinate(size->height()))));
        return AXError::Success;
    }
    const std::optional<bool> flag = value.toBool();
    if (attribute == AXName::Minimized || attribute == AXName::FullScreen || attribute == AXName::Main ||
        attribute == AXName::Focused) {
        if (!flag) {
            return AXError::IllegalArgument;
        }
    }
    if (attribute == AXName::Minimized) {
        if (*flag) {
            m_windows->minimize(window.window);
        } else {
            m_windows->deminimize(window.window);
        }
        return AXError::Success;
    }
    if (attribute == AXName::FullScreen) {
        m_windows->setFullScreen(window.window, *flag);
        return AXError::Success;
    }
    if (attribute == AXName::SpaceIndex) {
        const std::optional<double> desktop = value.toNumber();
        if (!desktop || !(*desktop >= 0 && *desktop < 0xFFFFFFFF) || *desktop != std::floor(*desktop)) {
            return AXError::IllegalArgument;
        }
        return m_windows->moveToDesktop(window.window, quint32(*desktop)) ? AXError::Success
                                                                          : AXError::CannotComplete;
    }
    if (attribute == AXName::OnShownSpace) {
        const std::optional<quint32> shown = m_windows->currentDesktop();
        if (!flag) {
            return AXError::IllegalArgument;
        }
        if (!*flag || window.isOnDesktop(shown)) {
            return AXError::Success;
        }
        return shown && m_windows->moveToDesktop(window.window, *shown) ? AXError::Success
                                                                        : AXError::CannotComplete;
    }
    if (attribute == AXName::Focused) {
        // Focus on X11 goes through the manager's activation, which also brings the window up.
        if (*flag) {
            m_windows->activate(window.window);
        }
        return AXError::Success;
    }
    if (attribute == AXName::Main) {
        // There is no per-application main window on X11: raising it (AXRaise) makes it the
        // application's frontmost window, which is what callers follow this with.
        return AXError::Success;
    }
    return AXError::AttributeUnsupported;
}

int LinuxAccessibility::performAction(AXElement element, const QString& action) {
    if (element.id >= ApplicationElementBase) {
        return AXError::ActionUnsupported;
    }
    if (!m_windows->clientForRequest(xcb_window_t(element.id))) {
        return AXError::InvalidUIElement;
    }
    if (action != AXName::Raise) {
        return AXError::ActionUnsupported;
    }
    m_windows->raise(xcb_window_t(element.id));
    return AXError::Success;
}
