#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

// A window the screen-capture service is able to capture.
struct ShareableWindow {
    quint32 windowNumber = 0;
    // Nothing for a window that belongs to no application.
    std::optional<qint32> ownerPid;
    // Global, origin at the top left of the primary display, in points.
    QRectF frame;
};

struct ShareableContent {
    QList<ShareableWindow> windows;
    // Why the content could not be listed (no screen-recording access, say).
    std::optional<QString> error;
};

struct WindowCapture {
    QImage image;
    std::optional<QString> error;
};

// Pictures of single windows, behind the user's screen-recording permission.
class ScreenCapture {
public:
    virtual ~ScreenCapture() = default;

    // Whether the process may record the screen, without asking.
    virtual bool preflightAccess() = 0;
    // Asks the user for access (once per process at most); whether it is granted now.
    virtual QCoro::Task<bool> requestAccess() = 0;
    // The windows that can be captured, in the service's order.
    virtual QCoro::Task<ShareableContent> shareableContent(bool excludeDesktopWindows,
                                                           bool onScreenWindowsOnly) = 0;
    // A picture of one window at the given pixel size, scaled to fit or not.
    virtual QCoro::Task<WindowCapture> captureWindow(quint32 windowNumber, QSize pixelSize,
                                                     bool scalesToFit) = 0;
};
