#include "Views/FaviconPicture.h"

#include "ViewModels/FaviconLoader.h"

FaviconPicture::FaviconPicture(QQuickItem* parent)
    : RoundedPaintedItem(parent) {
    connect(&FaviconLoader::shared(), &FaviconLoader::faviconChanged, this, [this](const QString& host) {
        if (host == m_host) {
            refresh();
        }
    });
}

void FaviconPicture::setUrl(const QString& url) {
    if (url == m_url) {
        return;
    }
    m_url = url;
    m_host = FaviconLoader::hostFor(url).value_or(QString());
    emit urlChanged();
    FaviconLoader::shared().load(m_host);
    refresh();
}

void FaviconPicture::refresh() {
    const QImage image = m_host.isEmpty() ? QImage() : FaviconLoader::shared().favicon(m_host);
    if (image.cacheKey() != m_image.cacheKey()) {
        m_image = image;
        emit imageChanged();
        update();
    }
}

void FaviconPicture::paint(QPainter* painter) {
    paintFilling(painter, m_image);
}
