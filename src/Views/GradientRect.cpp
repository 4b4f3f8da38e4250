#include "Views/GradientRect.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

GradientRect::GradientRect(QQuickItem* parent)
    : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

template <typename T> void GradientRect::assign(T& field, const T& value) {
    if (field != value) {
        field = value;
        emit appearanceChanged();
        update();
    }
}

void GradientRect::setStartColor(const QColor& color) {
    assign(m_start, color);
}

void GradientRect::setEndColor(const QColor& color) {
    assign(m_end, color);
}

void GradientRect::setRadius(qreal radius) {
    assign(m_radius, radius);
}

void GradientRect::setBorderColor(const QColor& color) {
    assign(m_borderColor, color);
}

void GradientRect::setBorderWidth(qreal width) {
    assign(m_borderWidth, width);
}

void GradientRect::paint(QPainter* painter) {
    const QRectF bounds(0, 0, width(), height());
    if (bounds.isEmpty()) {
        return;
    }
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(bounds, m_radius, m_radius);
    QLinearGradient gradient(bounds.topLeft(), bounds.bottomRight());
    gradient.setColorAt(0, m_start);
    gradient.setColorAt(1, m_end);
    painter->fillPath(shape, gradient);
    if (m_borderWidth > 0 && m_borderColor.alpha() > 0) {
        // The outline lies inside the edge, as wide as asked.
        const qreal inset = m_borderWidth / 2;
        const QRectF inner = bounds.adjusted(inset, inset, -inset, -inset);
        const qreal r = qMax<qreal>(0, m_radius - inset);
        painter->setPen(QPen(m_borderColor, m_borderWidth));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(inner, r, r);
    }
}
