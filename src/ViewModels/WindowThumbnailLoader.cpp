#include "ViewModels/WindowThumbnailLoader.h"

#include "Platform/Platform.h"
#include "Platform/ScreenCapture.h"
#include "ViewModels/ThumbnailQueue.h"

QCoro::Task<void> WindowThumbnailLoader::fetch(qint32 pid, qint64 windowIndex, double maxSize) {
    // The view may go while the picture is taken; the queue skips it if it went before its turn.
    const QPointer<QObject> self(this);
    const std::optional<QImage> picture = co_await ThumbnailQueue::capture(pid, windowIndex, maxSize, self);
    if (self) {
        finish(picture.value_or(QImage()));
    }
}

void WindowThumbnailLoader::load(qint32 pid, qint64 windowIndex, double size) {
    if (m_started) {
        return;
    }
    m_started = true;
    const std::shared_ptr<ScreenCapture> capture = Platform::current().screenCapture;
    if (!capture || !capture->preflightAccess()) {
        finish(QImage()); // never asks for the permission: the placeholder shows at once
        return;
    }
    fetch(pid, windowIndex, 2 * size);
}

void WindowThumbnailLoader::finish(const QImage& thumbnail) {
    m_thumbnail = thumbnail;
    m_isLoading = false;
    emit changed();
}
