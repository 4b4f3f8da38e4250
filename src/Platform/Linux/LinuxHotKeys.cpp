#include "Platform/Linux/LinuxHotKeys.h"

#include "Models/GlobalKeyShortcut.h"
#include "Platform/KeyCodeTable.h"

#include <QCoreApplication>

#include <cstdlib>

namespace {

// The modifiers a shortcut is made of; everything else in a key press's state (the locks, mouse
// buttons) is left out when it is compared.
constexpr quint16 kShortcutModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
constexpr quint32 kClassicModifiers = GlobalKeyShortcut::commandFlag | GlobalKeyShortcut::shiftFlag |
                                      GlobalKeyShortcut::optionFlag | GlobalKeyShortcut::controlFlag;

} // namespace

LinuxHotKeys::LinuxHotKeys(std::shared_ptr<X11Connection> connection,
                           std::shared_ptr<X11KeyboardMap> keyboard, QObject* parent)
    : HotKeys(parent)
    , m_connection(std::move(connection))
    , m_keyboard(keyboard ? std::move(keyboard) : std::make_shared<X11KeyboardMap>(m_connection)) {
    m_numLockMask = m_keyboard->numLockMask();
    connect(m_connection.get(), &X11Connection::keyPressed, this, &LinuxHotKeys::handleKeyPress);
    connect(m_connection.get(), &X11Connection::keyReleased, this, &LinuxHotKeys::handleKeyRelease);
    connect(m_keyboard.get(), &X11KeyboardMap::changed, this, &LinuxHotKeys::regrabAll);
}

LinuxHotKeys::~LinuxHotKeys() {
    // The connection is Qt's and goes with the application.
    if (QCoreApplication::instance()) {
        for (const Grab& held : m_grabs) {
            ungrab(held);
        }
        m_connection->flush();
    }
}

QList<quint16> LinuxHotKeys::lockVariants(quint16 modifiers) const {
    QList<quint16> variants{modifiers, quint16(modifiers | XCB_MOD_MASK_LOCK)};
    if (m_numLockMask != 0) {
        variants << quint16(modifiers | m_numLockMask)
                 << quint16(modifiers | m_numLockMask | XCB_MOD_MASK_LOCK);
    }
    return variants;
}

bool LinuxHotKeys::grab(const QList<quint8>& keycodes, quint16 modifiers) {
    xcb_connection_t* c = m_connection->xcb();
    QList<xcb_void_cookie_t> cookies;
    for (const quint8 keycode : keycodes) {
        for (const quint16 variant : lockVariants(modifiers)) {
            cookies.append(xcb_grab_key_checked(c, 0, m_connection->root(), variant, keycode,
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    bool refused = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        // BadAccess: another client holds the combination.
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) {
        // Ungrabbing touches this client's grabs only; the other client's stays.
        ungrab(Grab{{}, 0, modifiers, keycodes});
        m_connection->flush();
    }
    return !refused;
}

void LinuxHotKeys::ungrab(const Grab& grab) {
    for (const quint8 keycode : grab.keycodes) {
        for (const quint16 variant : lockVariants(grab.modifiers)) {
            m_connection->discard(
                xcb_ungrab_key_checked(m_connection->xcb(), keycode, m_connection->root(), variant));
        }
    }
}

HotKeys::Status LinuxHotKeys::registerHotKey(quint32 keyCode, quint32 modifiers, HotKeyID id) {
    const std::optional<quint32> keysym = KeyCodeTable::keysymForKeyCode(keyCode);
    if (!keysym || (modifiers & ~kClassicModifiers) != 0) {
        return Status::invalid;
    }
    const QList<quint8> keycodes = m_keyboard->keycodesOf(*keysym);
    if (keycodes.isEmpty()) {
        return Status::invalid; // no key of this keyboard types it
    }
    const auto xModifiers = quint16(KeyCodeTable::xModifiers(modifiers));
    for (const Grab& held : m_grabs) {
        if (held.keysym == *keysym && held.modifiers == xModifiers && !(held.id == id)) {
            return Status::refused;
        }
    }
    unregisterHotKey(id);
    if (!grab(keycodes, xModifiers)) {
        return Status::refused;
    }
    m_grabs.append(Grab{id, *keysym, xModifiers, keycodes});
    m_connection->flush();
    return Status::registered;
}

bool LinuxHotKeys::unregisterHotKey(HotKeyID id) {
    for (qsizetype i = 0; i < m_grabs.size(); ++i) {
        if (m_grabs[i].id == id) {
            ungrab(m_grabs.takeAt(i));
            m_connection->flush();
            return true;
        }
    }
    return false;
}

std::optional<QString> LinuxHotKeys::characterOf(quint32 keysym) {
    // Latin-1 keysyms are their characters; others carry a Unicode code point above 0x01000000.
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff)) {
        return QString(QChar(char16_t(keysym)));
    }
    // A surrogate is no character of its own: as one it would be half of a pair that is not there.
    if (keysym >= 0x01000100 && keysym <= 0x0110ffff && !(keysym >= 0x0100d800 && keysym <= 0x0100dfff)) {
        const char32_t codePoint = keysym & 0x00ffffff;
        return QString::fromUcs4(&codePoint, 1);
    }
    return std::nullopt;
}

std::optional<QString> LinuxHotKeys::keyName(quint32 keyCode) const {
    const std::optional<quint32> keysym = KeyCodeTable::keysymForKeyCode(keyCode);
    const QList<quint8> keycodes = keysym ? m_keyboard->keycodesOf(*keysym) : QList<quint8>();
    if (keycodes.isEmpty()) {
        return std::nullopt;
    }
    // What that key types on the current layout without modifiers.
    return characterOf(m_keyboard->keysymAt(keycodes.first(), 0));
}

void LinuxHotKeys::handleKeyRelease(quint8 keycode, quint16 state, xcb_timestamp_t time) {
    Q_UNUSED(state);
    m_lastRelease = std::pair(keycode, time);
}

void LinuxHotKeys::handleKeyPress(quint8 keycode, quint16 state, xcb_timestamp_t time) {
    // The server repeats a held key as a release and a press with one time stamp: the shortcut
    // was pressed once, and one press restores its workspace once.
    if (std::exchange(m_lastRelease, std::nullopt) == std::pair(keycode, time)) {
        return;
    }
    const quint16 modifiers = state & kShortcutModifiers;
    for (const Grab& held : m_grabs) {
        if (held.modifiers == modifiers && held.keycodes.contains(keycode)) {
            emit this->pressed(held.id.signature, held.id.id);
            return;
        }
    }
}

void LinuxHotKeys::regrabAll() {
    for (const Grab& held : m_grabs) {
        ungrab(held);
    }
    m_numLockMask = m_keyboard->numLockMask();
    // A combination another program took meanwhile, or one no key of the new map types, is no
    // longer held: it is dropped and reported, never kept as a dead registration.
    QList<HotKeyID> gone;
    for (qsizetype i = 0; i < m_grabs.size();) {
        Grab& held = m_grabs[i];
        held.keycodes = m_keyboard->keycodesOf(held.keysym);
        if (held.keycodes.isEmpty() || !grab(held.keycodes, held.modifiers)) {
            gone.append(held.id);
            m_grabs.removeAt(i);
            continue;
        }
        ++i;
    }
    m_connection->flush();
    for (const HotKeyID& id : gone) {
        emit lost(id.signature, id.id);
    }
}
