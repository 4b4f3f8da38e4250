#include "Views/RoundedPaintedItem.h"

#include <QPainter>

RoundedPaintedItem::RoundedPaintedItem(QQuickItem* parent)
    : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

void RoundedPaintedItem::setRadius(qreal radius) {
    assign(m_radius, radius);
}

void RoundedPaintedItem::setOutlineColor(const QColor& color) {
    assign(m_outlineColor, color);
}

void RoundedPaintedItem::setOutlineWidth(qreal width) {
    assign(m_outlineWidth, width);
}

QPainterPath RoundedPaintedItem::shape() const {
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width(), height()), m_radius, m_radius);
    return path;
}

void RoundedPaintedItem::paintOutline(QPainter* painter) const {
    if (m_outlineWidth <= 0 || m_outlineColor.alpha() == 0) {
        return;
    }
    const qreal inset = m_outlineWidth / 2;
    const qreal r = qMax<qreal>(0, m_radius - inset);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(m_outlineColor, m_outlineWidth));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(QRectF(0, 0, width(), height()).adjusted(inset, inset, -inset, -inset), r, r);
}

void RoundedPaintedItem::paintFilling(QPainter* painter, const QImage& image) const {
    const QRectF bounds(0, 0, width(), height());
    if (image.isNull() || bounds.isEmpty()) {
        return;
    }
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->save();
    painter->setClipPath(shape());
    const QSizeF scaled = image.deviceIndependentSize().scaled(bounds.size(), Qt::KeepAspectRatioByExpanding);
    painter->drawImage(QRectF(bounds.center() - QPointF(scaled.width() / 2, scaled.height() / 2), scaled),
                       image);
    painter->restore();
    paintOutline(painter);
}
