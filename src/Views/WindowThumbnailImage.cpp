#include "Views/WindowThumbnailImage.h"

#include "ViewModels/WindowThumbnailLoader.h"

WindowThumbnailImage::WindowThumbnailImage(QQuickItem* parent)
    : RoundedPaintedItem(parent)
    , m_loader(new WindowThumbnailLoader(this)) {
    connect(m_loader, &WindowThumbnailLoader::changed, this, [this] {
        emit stateChanged();
        update();
    });
}

bool WindowThumbnailImage::isLoading() const {
    return m_loader->isLoading();
}

bool WindowThumbnailImage::hasThumbnail() const {
    return m_loader->hasThumbnail();
}

void WindowThumbnailImage::componentComplete() {
    RoundedPaintedItem::componentComplete();
    // Built with its properties set: the one moment the view comes on screen.
    m_loader->load(m_pid, m_windowIndex, m_viewSize);
}

void WindowThumbnailImage::paint(QPainter* painter) {
    paintFilling(painter, m_loader->thumbnail());
}
