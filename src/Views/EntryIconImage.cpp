#include "Views/EntryIconImage.h"

#include "Extensions/ApplicationIcon.h"

namespace {

// Large enough for the biggest place an entry's icon is shown (28 points) at twice the density.
constexpr int drawnSize = 64;

} // namespace

QImage EntryIconImage::iconFor(const QString& source) {
    return ApplicationIcon::render(source, drawnSize);
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
