#include "Views/AppIconImage.h"

#include "Platform/Platform.h"
#include "Platform/RunningApplications.h"

#include <QPainter>

QImage AppIconImage::iconFor(const QString& bundleIdentifier) {
    const std::shared_ptr<RunningApplications> apps = Platform::current().runningApplications;
    if (!apps || bundleIdentifier.isEmpty() || !apps->urlForApplication(bundleIdentifier)) {
        return QImage();
    }
    return apps->icon(bundleIdentifier);
}

void AppIconImage::setBundleIdentifier(const QString& bundleIdentifier) {
    if (bundleIdentifier == m_bundleIdentifier) {
        return;
    }
    m_bundleIdentifier = bundleIdentifier;
    m_icon = iconFor(bundleIdentifier);
    emit bundleIdentifierChanged();
    update();
}

void AppIconImage::paint(QPainter* painter) {
    const QRectF bounds(0, 0, width(), height());
    if (m_icon.isNull() || bounds.isEmpty()) {
        return;
    }
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->save();
    painter->setClipPath(shape());
    const QSizeF scaled = QSizeF(m_icon.size()).scaled(bounds.size(), Qt::KeepAspectRatioByExpanding);
    painter->drawImage(QRectF(bounds.center() - QPointF(scaled.width() / 2, scaled.height() / 2), scaled),
                       m_icon);
    painter->restore();
    paintOutline(painter);
}
