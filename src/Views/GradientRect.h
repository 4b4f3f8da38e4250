#pragma once

#include <QColor>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

// A rounded rectangle filled with a linear gradient from its top-leading corner (startColor) to
// its bottom-trailing corner (endColor), optionally outlined inside its edge: the workspace
// symbol tile and the colour swatches. Painted, so it looks the same on every scene-graph backend.
class GradientRect : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor startColor MEMBER m_start WRITE setStartColor NOTIFY appearanceChanged)
    Q_PROPERTY(QColor endColor MEMBER m_end WRITE setEndColor NOTIFY appearanceChanged)
    Q_PROPERTY(qreal radius MEMBER m_radius WRITE setRadius NOTIFY appearanceChanged)
    Q_PROPERTY(QColor borderColor MEMBER m_borderColor WRITE setBorderColor NOTIFY appearanceChanged)
    Q_PROPERTY(qreal borderWidth MEMBER m_borderWidth WRITE setBorderWidth NOTIFY appearanceChanged)

public:
    explicit GradientRect(QQuickItem* parent = nullptr);

    void setStartColor(const QColor& color);
    void setEndColor(const QColor& color);
    void setRadius(qreal radius);
    void setBorderColor(const QColor& color);
    void setBorderWidth(qreal width);

    void paint(QPainter* painter) override;

signals:
    void appearanceChanged();

private:
    template <typename T> void assign(T& field, const T& value);

    QColor m_start = Qt::gray;
    QColor m_end = Qt::gray;
    qreal m_radius = 0;
    QColor m_borderColor = Qt::transparent;
    qreal m_borderWidth = 0;
};
