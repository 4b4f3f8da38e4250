#pragma once

#include "Views/RoundedPaintedItem.h"

#include <QImage>
#include <QString>

// The icon of an installed application, as the workspace service gives it for the bundle
// identifier, filling its frame (cropped), clipped to the rounded shape. hasIcon tells whether
// the service knows an icon.
class AppIconImage : public RoundedPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString bundleIdentifier READ bundleIdentifier WRITE setBundleIdentifier NOTIFY
                   bundleIdentifierChanged)
    Q_PROPERTY(bool hasIcon READ hasIcon NOTIFY bundleIdentifierChanged)

public:
    using RoundedPaintedItem::RoundedPaintedItem;

    const QString& bundleIdentifier() const { return m_bundleIdentifier; }
    void setBundleIdentifier(const QString& bundleIdentifier);
    bool hasIcon() const { return !m_icon.isNull(); }

    // The icon of an installed application, or a null image.
    static QImage iconFor(const QString& bundleIdentifier);

    void paint(QPainter* painter) override;

signals:
    void bundleIdentifierChanged();

private:
    QString m_bundleIdentifier;
    QImage m_icon;
};
