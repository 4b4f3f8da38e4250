#pragma once

#include "Views/RoundedPaintedItem.h"

// A rounded rectangle filled with a linear gradient from its top-leading corner (startColor) to
// its bottom-trailing corner (endColor): the workspace symbol tile and the colour swatches.
// Painted, so it looks the same on every scene-graph backend.
class GradientRect : public RoundedPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor startColor MEMBER m_start WRITE setStartColor NOTIFY appearanceChanged)
    Q_PROPERTY(QColor endColor MEMBER m_end WRITE setEndColor NOTIFY appearanceChanged)

public:
    using RoundedPaintedItem::RoundedPaintedItem;

    void setStartColor(const QColor& color) { assign(m_start, color); }
    void setEndColor(const QColor& color) { assign(m_end, color); }

    void paint(QPainter* painter) override;

private:
    QColor m_start = Qt::gray;
    QColor m_end = Qt::gray;
};
