#pragma once

#include "Platform/ScreenCapture.h"

#include <QColor>
#include <QHash>

struct Platform;
class SimulatedDesktop;

// Screen capture of the simulated desktop: the shareable windows are the desktop's windows front
// to back, and each capture is a picture that tells its window apart at a glance: a colour of its
// own (colourFor), a darker title bar and the window's title.
class SimulatedScreenCapture : public ScreenCapture {
public:
    explicit SimulatedScreenCapture(SimulatedDesktop& desktop);

    // Makes this the screen-capture port of platform; it must outlive that use.
    void installInto(Platform& platform);

    bool preflightAccess() override { return m_granted; }
    QCoro::Task<bool> requestAccess() override;
    QCoro::Task<ShareableContent> shareableContent(bool excludeDesktopWindows,
                                                   bool onScreenWindowsOnly) override;
    QCoro::Task<WindowCapture> captureWindow(quint32 windowNumber, QSize pixelSize,
                                             bool scalesToFit) override;

    void setAccessGranted(bool granted) { m_granted = granted; }
    int accessRequests() const { return m_requests; }
    // Captures of this window fail with the message from now on (0: every window).
    void setCaptureFailure(quint32 windowNumber, const QString& message) {
        m_failures.insert(windowNumber, message);
    }

    static QColor colourFor(quint32 windowNumber);

private:
    SimulatedDesktop& m_desktop;
    bool m_granted = true;
    int m_requests = 0;
    QHash<quint32, QString> m_failures;
};
