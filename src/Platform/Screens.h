#pragma once

#include <QList>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QUuid>

#include <optional>

// One connected screen. frame and visibleFrame have their origin at the bottom left of the
// primary display, y growing upwards; the visible frame leaves out panels and docks.
struct Screen {
    std::optional<quint32> displayNumber;
    // The identity the display services give the display number; none when they give none.
    std::optional<QUuid> identity;
    QRectF frame;
    QRectF visibleFrame;
    QString localizedName;

    bool operator==(const Screen&) const = default;
};

// The screen list. The primary screen always comes first.
class Screens : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Screens() override = default;

    virtual QList<Screen> screens() const = 0;
    // The screen the user works on; nothing when no screen is connected.
    virtual std::optional<Screen> mainScreen() const = 0;

signals:
    void screensChanged();
};
