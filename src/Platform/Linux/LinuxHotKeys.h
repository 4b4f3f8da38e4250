#pragma once

#include "Platform/HotKeys.h"
#include "Platform/Linux/X11Connection.h"
#include "Platform/Linux/X11KeyboardMap.h"

#include <QList>

#include <memory>
#include <optional>
#include <utility>

// Global shortcuts on X11: key grabs on the root window, made on Qt's connection. A stored
// shortcut's classic key code and modifiers go through the one key-code table to a keysym and
// X modifiers (Super for Command, Alt for Option, Ctrl for Control, Shift for Shift); the keysym is
// grabbed on every key of the current keyboard map that types it, once for each state of Caps Lock
// and Num Lock, so the shortcut works whichever of them is on. A combination another program has
// grabbed already is refused by the server, and nothing of it is kept. The grabs follow the
// keyboard map when the layout changes; one that cannot be made again then is reported lost. A
// shortcut held down counts once, however long the key repeats.
class LinuxHotKeys : public HotKeys {
    Q_OBJECT
public:
    // keyboard is the keyboard map to share; unset, one of its own.
    explicit LinuxHotKeys(std::shared_ptr<X11Connection> connection,
                          std::shared_ptr<X11KeyboardMap> keyboard = nullptr, QObject* parent = nullptr);
    ~LinuxHotKeys() override;

    Status registerHotKey(quint32 keyCode, quint32 modifiers, HotKeyID id) override;
    bool unregisterHotKey(HotKeyID id) override;
    std::optional<QString> keyName(quint32 keyCode) const override;

    // The character a keysym types; nothing for keys that type none.
    static std::optional<QString> characterOf(quint32 keysym);

private:
    struct Grab {
        HotKeyID id;
        quint32 keysym = 0;
        quint16 modifiers = 0;
        QList<quint8> keycodes;
    };
    // Grabs every lock variant of the combination; false (and nothing grabbed) when refused.
    bool grab(const QList<quint8>& keycodes, quint16 modifiers);
    void ungrab(const Grab& grab);
    QList<quint16> lockVariants(quint16 modifiers) const;
    void handleKeyPress(quint8 keycode, quint16 state, xcb_timestamp_t time);
    void handleKeyRelease(quint8 keycode, quint16 state, xcb_timestamp_t time);
    void regrabAll();

    std::shared_ptr<X11Connection> m_connection;
    std::shared_ptr<X11KeyboardMap> m_keyboard;
    // The Num Lock modifier the grabs were made with: after a change of the map they are let go
    // with it.
    quint16 m_numLockMask = 0;
    QList<Grab> m_grabs;
    // The last key let go and when: a held key repeats as a release and a press at the same
    // server time, and such a press is not a new press of the shortcut.
    std::optional<std::pair<quint8, xcb_timestamp_t>> m_lastRelease;
};
