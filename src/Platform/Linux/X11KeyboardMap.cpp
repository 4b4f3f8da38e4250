#include "Platform/Linux/X11KeyboardMap.h"

namespace {

constexpr quint32 kNumLockKeysym = 0xff7f;

} // namespace

X11KeyboardMap::X11KeyboardMap(std::shared_ptr<X11Connection> connection, QObject* parent)
    : QObject(parent)
    , m_connection(std::move(connection)) {
    connect(m_connection.get(), &X11Connection::keyboardMappingChanged, this, [this] {
        m_map.reset();
        emit changed();
    });
}

quint32 X11KeyboardMap::Map::keysymAt(quint8 keycode, int level) const {
    const qsizetype index = qsizetype(keycode - firstKeycode) * keysymsPerKeycode + level;
    return keycode >= firstKeycode && level >= 0 && level < keysymsPerKeycode ? keysyms.value(index, 0) : 0;
}

const X11KeyboardMap::Map& X11KeyboardMap::map() {
    if (!m_map) {
        m_map = read();
    }
    return *m_map;
}

X11KeyboardMap::Map X11KeyboardMap::read() const {
    xcb_connection_t* c = m_connection->xcb();
    const xcb_setup_t* setup = xcb_get_setup(c);
    Map map;
    map.firstKeycode = setup->min_keycode;
    // Both asked for before either answer is awaited: one wait for the server.
    const auto keyboardCookie =
        xcb_get_keyboard_mapping(c, setup->min_keycode, quint8(setup->max_keycode - setup->min_keycode + 1));
    const auto modifiersCookie = xcb_get_modifier_mapping(c);
    const auto keyboard = m_connection->reply(xcb_get_keyboard_mapping_reply, keyboardCookie);
    if (keyboard) {
        map.keysymsPerKeycode = keyboard->keysyms_per_keycode;
        const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
        map.keysyms =
            QList<quint32>(keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(keyboard.get()));
    }
    // Num Lock sits on whichever modifier the map gives it (usually Mod2).
    const auto modifiers = m_connection->reply(xcb_get_modifier_mapping_reply, modifiersCookie);
    if (modifiers) {
        const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
        const int perModifier = modifiers->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                if (map.keysymAt(keycodes[modifier * perModifier + i], 0) == kNumLockKeysym) {
                    map.numLockMask = quint16(1u << modifier);
                }
            }
        }
    }
    return map;
}

QList<quint8> X11KeyboardMap::keycodesOf(quint32 keysym) {
    const Map& m = map();
    QList<quint8> keycodes;
    if (m.keysymsPerKeycode == 0) {
        return keycodes;
    }
    const qsizetype count = m.keysyms.size() / m.keysymsPerKeycode;
    for (qsizetype i = 0; i < count; ++i) {
        const auto keycode = quint8(m.firstKeycode + i);
        if (m.keysymAt(keycode, 0) == keysym || m.keysymAt(keycode, 1) == keysym) {
            keycodes.append(keycode);
        }
    }
    return keycodes;
}

quint8 X11KeyboardMap::plainKeycodeOf(quint32 keysym) {
    // A digit is typed without Shift on most layouts, but its key may come after a key that types
    // it shifted.
    const QList<quint8> keycodes = keycodesOf(keysym);
    for (const quint8 keycode : keycodes) {
        if (map().keysymAt(keycode, 0) == keysym) {
            return keycode;
        }
    }
    return keycodes.value(0, 0);
}

quint32 X11KeyboardMap::keysymAt(quint8 keycode, int level) {
    return map().keysymAt(keycode, level);
}

quint16 X11KeyboardMap::numLockMask() {
    return map().numLockMask;
}
