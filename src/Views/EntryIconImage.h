#pragma once

#include "Views/RoundedPaintedItem.h"

#include <QImage>
#include <QString>

// The icon a desktop entry names: a name in the desktop's icon theme or an absolute path to an
// image. Drawn on the main thread when first shown and remembered for the process. hasIcon tells
// whether the name led to an icon that draws something.
class EntryIconImage : public RoundedPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(bool hasIcon READ hasIcon NOTIFY sourceChanged)

public:
    using RoundedPaintedItem::RoundedPaintedItem;

    const QString& source() const { return m_source; }
    void setSource(const QString& source);
    bool hasIcon() const { return !m_icon.isNull(); }

    // The icon of an entry's Icon value; a null image when there is none.
    static QImage iconFor(const QString& source);

    void paint(QPainter* painter) override;

signals:
    void sourceChanged();

private:
    QString m_source;
    QImage m_icon;
};
