#pragma once

#include "Platform/Linux/X11Connection.h"

#include <QList>

#include <memory>

// Key presses sent through the X server's test extension, as if typed on the keyboard: they go
// to whichever window has the focus. Keys are named by keysym and found on the current keyboard
// map each time, so a layout change does not send the wrong key.
class X11KeyPresses {
public:
    explicit X11KeyPresses(std::shared_ptr<X11Connection> connection);

    // Whether the server offers the test extension.
    bool available();
    // Presses the modifiers (keysyms, in order), taps key, and releases them in reverse order;
    // false when a key is not on the keyboard map or the extension is missing.
    bool press(const QList<quint32>& modifiers, quint32 key);

private:
    QList<quint8> keycodesOf(const QList<quint32>& keysyms);

    std::shared_ptr<X11Connection> m_connection;
};
