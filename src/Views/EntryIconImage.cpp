#include "Views/EntryIconImage.h"

#include "Extensions/ApplicationIcon.h"

#include <QHash>

namespace {

// Large enough for the biggest place an entry's icon is shown (28 points) at twice the density.
constexpr int drawnSize = 64;

} // namespace

QImage EntryIconImage::iconFor(const QString& source) {
    static QHash<QString, QImage> cache;
    const auto it = cache.constFind(source);
    if (it != cache.constEnd()) {
        return *it;
    }
    const QImage icon = ApplicationIcon::render(source, drawnSize);
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
    paintFilling(painter, m_icon);
}
