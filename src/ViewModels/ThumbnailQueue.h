#pragma once

#include <QImage>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <optional>

// Takes window pictures one at a time, each after the event loop has had a turn, so that a panel
// full of thumbnails draws and answers input at once and fills in its pictures afterwards,
// instead of stalling while every window is captured. Main thread only.
class ThumbnailQueue {
public:
    ThumbnailQueue() = delete;

    // The picture of the application's window at windowIndex among its capturable windows, at most
    // maxSize on its longer side; nothing when there is none. A picture whose owner has gone when
    // its turn comes is not taken. The caller keeps owner (a guard of its own) alive until the
    // answer.
    static QCoro::Task<std::optional<QImage>> capture(qint32 pid, qint64 windowIndex, double maxSize,
                                                      const QPointer<QObject>& owner);

    // Captures waiting for their turn or under way.
    static int pending();
};
