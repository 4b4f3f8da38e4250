#include "Views/AppIconImage.h"

#include "Platform/Platform.h"
#include "Platform/RunningApplications.h"

#include <QPainter>
#include <QPainterPath>

AppIconImage::AppIconImage(QQuickItem* parent)
    : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

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

template <typename T> void AppIconImage::assign(T& field, const T& value) {
    if (field != value) {
        field = value;
        emit appearanceChanged();
        update();
    }
}

void AppIconImage::setRadius(qreal radius) {
    assign(m_radius, radius);
}

void AppIconImage::setOutlineColor(const QColor& color) {
    assign(m_outlineColor, color);
}

void AppIconImage::setOutlineWidth(qreal width) {
    assign(m_outlineWidth, width);
}

void AppIconImage::paint(QPainter* painter) {
    const QRectF bounds(0, 0, width(), height());
    if (m_icon.isNull() || bounds.isEmpty()) {
        return;
    }
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath shape;
    shape.addRoundedRect(bounds, m_radius, m_radius);
    painter->save();
    painter->setClipPath(shape);
    // Fill the frame, cropping what sticks out, as an icon set to fill does.
    const QSizeF scaled = QSizeF(m_icon.size()).scaled(bounds.size(), Qt::KeepAspectRatioByExpanding);
    const QRectF target(bounds.center().x() - scaled.width() / 2, bounds.center().y() - scaled.height() / 2,
                        scaled.width(), scaled.height());
    painter->drawImage(target, m_icon);
    painter->restore();
    if (m_outlineWidth > 0 && m_outlineColor.alpha() > 0) {
        const qreal inset = m_outlineWidth / 2;
        const qreal r = qMax<qreal>(0, m_radius - inset);
        painter->setPen(QPen(m_outlineColor, m_outlineWidth));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), r, r);
    }
}
