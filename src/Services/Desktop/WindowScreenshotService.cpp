#include "Services/Desktop/WindowScreenshotService.h"

#include "Extensions/NumberConversion.h"
#include "Platform/Diagnostics.h"
#include "Platform/Platform.h"
#include "Platform/ScreenCapture.h"

#include <QPainter>

#include <cmath>

namespace {

void printFailure(const QString& description) {
    Diagnostics::print(QStringLiteral("[WindowScreenshotService] Failed to capture window: ") + description);
}

} // namespace

QCoro::Task<std::optional<QImage>>
WindowScreenshotService::captureWindowThumbnail(qint32 pid, qint64 windowIndex, double maxSize) {
    // Held for the whole call, so the port outlives both waits.
    const std::shared_ptr<ScreenCapture> capture = Platform::current().screenCapture;
    if (!capture || !std::isfinite(maxSize) || maxSize <= 0) {
        co_return std::nullopt;
    }
    const ShareableContent content = co_await capture->shareableContent(false, true);
    if (content.error) {
        printFailure(*content.error);
        co_return std::nullopt;
    }
    QList<ShareableWindow> windows;
    for (const ShareableWindow& window : content.windows) {
        if (window.ownerPid == pid && window.frame.width() >= 50 && window.frame.height() >= 50) {
            windows.append(window);
        }
    }
    if (windowIndex < 0 || windowIndex >= windows.size()) {
        co_return std::nullopt;
    }
    const ShareableWindow& window = windows[windowIndex];
    const QSize pixels(NumberConversion::toInt(window.frame.width()),
                       NumberConversion::toInt(window.frame.height()));
    const WindowCapture captured = co_await capture->captureWindow(window.windowNumber, pixels, false);
    if (captured.error || captured.image.isNull()) {
        printFailure(captured.error.value_or(QStringLiteral("The capture gave no image.")));
        co_return std::nullopt;
    }
    // One point per captured pixel, whatever the screen's density.
    QImage image = captured.image;
    image.setDevicePixelRatio(1.0);
    co_return createThumbnail(image, maxSize);
}

QImage WindowScreenshotService::createThumbnail(const QImage& image, double maxSize) {
    const double w = image.width();
    const double h = image.height();
    double targetW = w;
    double targetH = h;
    if (w > maxSize || h > maxSize) {
        if (w > h) {
            targetW = maxSize;
            targetH = maxSize * h / w;
        } else {
            targetW = maxSize * w / h;
            targetH = maxSize;
        }
    }
    const QSize size(std::max(1, NumberConversion::toInt(std::round(targetW))),
                     std::max(1, NumberConversion::toInt(std::round(targetH))));
    QImage thumbnail(size, QImage::Format_ARGB32_Premultiplied);
    thumbnail.fill(Qt::transparent);
    QPainter painter(&thumbnail);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image);
    painter.end();
    return thumbnail;
}
