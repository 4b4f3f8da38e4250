#pragma once

#include "Platform/Linux/X11Connection.h"
#include "Platform/Linux/X11KeyboardMap.h"

#include <QList>

#include <memory>

// Key presses sent through the X server's test extension, as if typed on the keyboard: they go
// to whichever window has the focus. Keys are named by keysym and found on the keyboard map as it
// is when they are pressed, so a layout change does not send the wrong key.
class X11KeyPresses {
public:
    // keyboard is the keyboard map to share; unset, one of its own.
    explicit X11KeyPresses(std::shared_ptr<X11Connection> connection,
                           std::shared_ptr<X11KeyboardMap> keyboard = nullptr);

    // Whether the server offers the test extension.
    bool available();
    // Presses the modifiers (keysyms, in order), taps key, and releases them in reverse order;
    // false when a key is not on the keyboard map or the extension is missing.
    bool press(const QList<quint32>& modifiers, quint32 key);

private:
    std::shared_ptr<X11Connection> m_connection;
    std::shared_ptr<X11KeyboardMap> m_keyboard;
};
