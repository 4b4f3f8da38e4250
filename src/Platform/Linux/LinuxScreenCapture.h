#pragma once

#include "Platform/Clock.h"
#include "Platform/Linux/X11Monitors.h"
#include "Platform/Linux/X11Windows.h"
#include "Platform/ScreenCapture.h"

#include <memory>

class LinuxRunningApplications;

// Pictures of single windows on X11 through the Composite extension: the window's own pixels,
// decoration included, even where other windows cover it. For that, the desktop's top-level
// windows are kept in off-screen pixmaps from the first request on (the server keeps drawing them
// on screen as before); windows that were covered then need a moment to paint themselves there,
// which the first captures wait for. A window that is not drawn (minimised, on another virtual
// desktop) has no picture. Access is granted whenever the server offers Composite; there is
// nothing to ask the user. A window's owner is its application (see LinuxRunningApplications)
// when one is given, else the process that made it. A window without an alpha channel gives an
// opaque picture; one with (an ARGB visual) keeps its transparency.
class LinuxScreenCapture : public ScreenCapture {
public:
    LinuxScreenCapture(std::shared_ptr<X11Windows> windows, std::shared_ptr<X11Monitors> monitors,
                       std::shared_ptr<Clock> clock,
                       std::shared_ptr<LinuxRunningApplications> applications = nullptr);

    // How long windows are given to paint into their new pixmaps.
    static constexpr Clock::Duration SettleTime{300};

    bool preflightAccess() override { return m_hasComposite; }
    QCoro::Task<bool> requestAccess() override;
    QCoro::Task<ShareableContent> shareableContent(bool excludeDesktopWindows,
                                                   bool onScreenWindowsOnly) override;
    QCoro::Task<WindowCapture> captureWindow(quint32 windowNumber, QSize pixelSize,
                                             bool scalesToFit) override;

private:
    void redirectWindows();
    WindowCapture capture(quint32 windowNumber, QSize pixelSize, bool scalesToFit);
    QImage pixmapImage(xcb_pixmap_t pixmap, QString& error);
    // The part of a frame window's pixmap that shows the window's frame (client and decoration).
    QRect visibleArea(const X11Client& window, const QSize& pixmapSize);

    std::shared_ptr<X11Windows> m_windows;
    std::shared_ptr<X11Monitors> m_monitors;
    std::shared_ptr<Clock> m_clock;
    std::shared_ptr<LinuxRunningApplications> m_applications;
    bool m_hasComposite = false;
    std::optional<Clock::TimePoint> m_redirectedAt;
};
