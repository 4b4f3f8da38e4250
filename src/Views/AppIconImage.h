#pragma once

#include <QColor>
#include <QImage>
#include <QQuickPaintedItem>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The icon of an installed application, as the workspace service gives it for the bundle
// identifier, drawn clipped to a rounded rectangle (a circle when radius is half the size) with an
// optional outline inside the edge. hasIcon tells whether the service knows an icon.
class AppIconImage : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString bundleIdentifier READ bundleIdentifier WRITE setBundleIdentifier NOTIFY
                   bundleIdentifierChanged)
    Q_PROPERTY(bool hasIcon READ hasIcon NOTIFY bundleIdentifierChanged)
    Q_PROPERTY(qreal radius MEMBER m_radius WRITE setRadius NOTIFY appearanceChanged)
    Q_PROPERTY(QColor outlineColor MEMBER m_outlineColor WRITE setOutlineColor NOTIFY appearanceChanged)
    Q_PROPERTY(qreal outlineWidth MEMBER m_outlineWidth WRITE setOutlineWidth NOTIFY appearanceChanged)

public:
    explicit AppIconImage(QQuickItem* parent = nullptr);

    const QString& bundleIdentifier() const { return m_bundleIdentifier; }
    void setBundleIdentifier(const QString& bundleIdentifier);
    bool hasIcon() const { return !m_icon.isNull(); }
    void setRadius(qreal radius);
    void setOutlineColor(const QColor& color);
    void setOutlineWidth(qreal width);

    // The icon of an installed application, or a null image.
    static QImage iconFor(const QString& bundleIdentifier);

    void paint(QPainter* painter) override;

signals:
    void bundleIdentifierChanged();
    void appearanceChanged();

private:
    template <typename T> void assign(T& field, const T& value);

    QString m_bundleIdentifier;
    QImage m_icon;
    qreal m_radius = 0;
    QColor m_outlineColor = Qt::transparent;
    qreal m_outlineWidth = 0;
};
