#include "Views/EntryIconImage.h"

#include <QFileInfo>
#include <QHash>
#include <QQuickWindow>

QIcon EntryIconImage::iconFor(const QString& source) {
    static QHash<QString, QIcon> cache;
    const auto it = cache.constFind(source);
    if (it != cache.constEnd()) {
        return *it;
    }
    QIcon icon;
    if (QFileInfo(source).isAbsolute()) {
        if (QFileInfo(source).isFile()) {
            icon = QIcon(source);
        }
    } else if (!source.isEmpty()) {
        icon = QIcon::fromTheme(source);
    }
    cache.insert(source, icon);
    return icon;
}

void EntryIconImage::setSource(const QString& source) {
    if (source == m_source) {
        return;
    }
    m_source = source;
    m_icon = iconFor(source);
    emit sourceChanged();
    update();
}

void EntryIconImage::paint(QPainter* painter) {
    if (m_icon.isNull() || width() <= 0 || height() <= 0) {
        return;
    }
    // At the window's pixel density, so the icon stays sharp.
    const qreal scale = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    paintFilling(painter, m_icon.pixmap(QSizeF(width(), height()).toSize(), scale).toImage());
}
