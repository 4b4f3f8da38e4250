#pragma once

#include "Views/RoundedPaintedItem.h"

// The site icon of a web page, filling the item and clipped to its rounded shape, from the
// process-wide FaviconLoader. It asks for its host's icon when it gets its address; hasImage tells
// the view whether to draw the globe instead.
class FaviconPicture : public RoundedPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString url READ url WRITE setUrl NOTIFY urlChanged)
    Q_PROPERTY(bool hasImage READ hasImage NOTIFY imageChanged)

public:
    explicit FaviconPicture(QQuickItem* parent = nullptr);

    const QString& url() const { return m_url; }
    void setUrl(const QString& url);
    bool hasImage() const { return !m_image.isNull(); }

    void paint(QPainter* painter) override;

signals:
    void urlChanged();
    void imageChanged();

private:
    void refresh();

    QString m_url;
    QString m_host;
    QImage m_image;
};
