#pragma once

#include "Platform/Linux/X11Connection.h"

#include <QList>
#include <QObject>

#include <memory>
#include <optional>

// The keyboard map of the X server: the keysyms each keycode types, and the modifier Num Lock
// sits on. It is read when first needed and kept until the server announces another map (a
// layout change); changed() then tells those who grabbed keys by keycode to grab them anew.
class X11KeyboardMap : public QObject {
    Q_OBJECT
public:
    explicit X11KeyboardMap(std::shared_ptr<X11Connection> connection, QObject* parent = nullptr);

    // The keycodes whose unshifted or shifted keysym is keysym.
    QList<quint8> keycodesOf(quint32 keysym);
    // The keycode that types keysym with the fewest modifiers: one whose unshifted keysym it is,
    // else one whose shifted keysym it is; 0 when no key types it.
    quint8 plainKeycodeOf(quint32 keysym);
    // The keysym keycode types at level (0 unshifted, 1 shifted); 0 for none.
    quint32 keysymAt(quint8 keycode, int level);
    // The modifier mask of Num Lock; 0 when no modifier is Num Lock.
    quint16 numLockMask();

signals:
    // The server's map changed: what was worked out from the old one no longer holds.
    void changed();

private:
    struct Map {
        quint8 firstKeycode = 0;
        quint8 keysymsPerKeycode = 0;
        QList<quint32> keysyms;
        quint16 numLockMask = 0;

        quint32 keysymAt(quint8 keycode, int level) const;
    };

    const Map& map();
    Map read() const;

    std::shared_ptr<X11Connection> m_connection;
    std::optional<Map> m_map;
};
