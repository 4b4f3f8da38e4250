#include "Platform/Linux/X11KeyPresses.h"

#include <xcb/xtest.h>

X11KeyPresses::X11KeyPresses(std::shared_ptr<X11Connection> connection,
                             std::shared_ptr<X11KeyboardMap> keyboard)
    : m_connection(std::move(connection))
    , m_keyboard(keyboard ? std::move(keyboard) : std::make_shared<X11KeyboardMap>(m_connection)) {
}

bool X11KeyPresses::available() {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_connection->xcb(), &xcb_test_id);
    return extension && extension->present;
}

bool X11KeyPresses::press(const QList<quint32>& modifiers, quint32 key) {
    if (!available()) {
        return false;
    }
    QList<quint32> keysyms = modifiers;
    keysyms << key;
    QList<quint8> keycodes;
    for (const quint32 keysym : keysyms) {
        const quint8 keycode = m_keyboard->plainKeycodeOf(keysym);
        if (keycode == 0) {
            return false;
        }
        keycodes << keycode;
    }
    xcb_connection_t* c = m_connection->xcb();
    const xcb_window_t root = m_connection->root();
    for (const quint8 keycode : keycodes) {
        m_connection->discard(
            xcb_test_fake_input_checked(c, XCB_KEY_PRESS, keycode, XCB_CURRENT_TIME, root, 0, 0, 0));
        if (keycode == keycodes.last()) {
            m_connection->discard(
                xcb_test_fake_input_checked(c, XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, root, 0, 0, 0));
        }
    }
    for (qsizetype i = keycodes.size() - 2; i >= 0; --i) {
        m_connection->discard(
            xcb_test_fake_input_checked(c, XCB_KEY_RELEASE, keycodes[i], XCB_CURRENT_TIME, root, 0, 0, 0));
    }
    m_connection->flush();
    return true;
}
