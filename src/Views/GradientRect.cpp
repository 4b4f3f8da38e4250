#include "Views/GradientRect.h"

#include <QLinearGradient>
#include <QPainter>

void GradientRect::paint(QPainter* painter) {
    if (width() <= 0 || height() <= 0) {
        return;
    }
    painter->setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(QPointF(0, 0), QPointF(width(), height()));
    gradient.setColorAt(0, m_start);
    gradient.setColorAt(1, m_end);
    painter->fillPath(shape(), gradient);
    paintOutline(painter);
}
