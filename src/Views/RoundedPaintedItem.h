#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

// The base of the painted items: a rounded-rectangle shape (a circle when the radius is half the
// size) and an optional outline drawn inside its edge.
class RoundedPaintedItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(qreal radius MEMBER m_radius WRITE setRadius NOTIFY appearanceChanged)
    Q_PROPERTY(QColor outlineColor MEMBER m_outlineColor WRITE setOutlineColor NOTIFY appearanceChanged)
    Q_PROPERTY(qreal outlineWidth MEMBER m_outlineWidth WRITE setOutlineWidth NOTIFY appearanceChanged)

public:
    explicit RoundedPaintedItem(QQuickItem* parent = nullptr);

    void setRadius(qreal radius);
    void setOutlineColor(const QColor& color);
    void setOutlineWidth(qreal width);

signals:
    void appearanceChanged();

protected:
    // Sets field and repaints when the value changes.
    template <typename T> void assign(T& field, const T& value) {
        if (field != value) {
            field = value;
            emit appearanceChanged();
            update();
        }
    }
    QPainterPath shape() const;
    void paintOutline(QPainter* painter) const;
    // image filling the whole item with its aspect ratio kept (what overflows is cropped, evenly
    // on both sides), smoothly scaled and clipped to the shape, then the outline.
    void paintFilling(QPainter* painter, const QImage& image) const;

private:
    qreal m_radius = 0;
    QColor m_outlineColor = Qt::transparent;
    qreal m_outlineWidth = 0;
};
