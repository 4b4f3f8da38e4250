#pragma once

#include <QImage>

#include <qcoro/qcorotask.h>

#include <optional>

// Small pictures of single windows for the previews. Needs screen-recording access, which the
// calling view checks first; failures give no picture.
class WindowScreenshotService {
public:
    // The window at windowIndex among the application's capturable windows (on screen, at least
    // 50 x 50 points, in the capture service's order), scaled so that its longer side is at most
    // maxSize. Nothing when there is no such window, the capture fails or maxSize is not positive.
    static QCoro::Task<std::optional<QImage>> captureWindowThumbnail(qint32 pid, qint64 windowIndex,
                                                                     double maxSize);

    // The picture redrawn, smoothly, at the largest size that fits maxSize on its longer side;
    // one that already fits keeps its size.
    static QImage createThumbnail(const QImage& image, double maxSize);
};
