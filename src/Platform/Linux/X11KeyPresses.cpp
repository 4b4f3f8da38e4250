#include "Platform/Linux/X11KeyPresses.h"

#include <xcb/xtest.h>

#include <algorithm>

X11KeyPresses::X11KeyPresses(std::shared_ptr<X11Connection> connection)
    : m_connection(std::move(connection)) {
}

bool X11KeyPresses::available() {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_connection->xcb(), &xcb_test_id);
    return extension && extension->present;
}

QList<quint8> X11KeyPresses::keycodesOf(const QList<quint32>& keysyms) {
    xcb_connection_t* c = m_connection->xcb();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const quint8 first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const auto map = m_connection->reply(xcb_get_keyboard_mapping_reply,
                                         xcb_get_keyboard_mapping(c, first, static_cast<quint8>(count)));
    QList<quint8> keycodes;
    if (!map || map->keysyms_per_keycode == 0) {
        return keycodes;
    }
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int length = xcb_get_keyboard_mapping_keysyms_length(map.get());
    const int per = map->keysyms_per_keycode;
    for (const quint32 keysym : keysyms) {
        quint8 found = 0;
        // The unshifted level first: a digit is typed without Shift on most layouts.
        for (int level = 0; level < std::min(per, 2) && found == 0; ++level) {
            for (int i = 0; i * per + level < length; ++i) {
                if (syms[i * per + level] == keysym) {
                    found = static_cast<quint8>(first + i);
                    break;
                }
            }
        }
        if (found == 0) {
            return {};
        }
        keycodes << found;
    }
    return keycodes;
}

bool X11KeyPresses::press(const QList<quint32>& modifiers, quint32 key) {
    if (!available()) {
        return false;
    }
    const QList<quint8> keycodes = keycodesOf(QList<quint32>(modifiers) << key);
    if (keycodes.isEmpty()) {
        return false;
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
