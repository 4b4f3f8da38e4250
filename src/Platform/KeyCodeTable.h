#pragma once

#include <QList>
#include <QString>
#include <Qt>

#include <optional>

// The keys a global shortcut can use, in the one table that translates between the classic
// virtual key codes stored in workspace files and the X keysyms of the Linux desktop (kept as
// plain numbers: no X header is needed). Letters, digits, punctuation, the named special keys and
// the keypad are in it; any other key cannot be part of a shortcut.
//
// Modifiers map the same way in one place: Ctrl is Control, Alt is Option, Shift is Shift and
// Super is Command.
class KeyCodeTable {
public:
    KeyCodeTable() = delete;

    struct Key {
        quint32 keyCode;
        // The keysym grabbed for the key (the unshifted one).
        quint32 keysym;
        // The character the key types on a US layout without modifiers; empty for special keys.
        QString character;
        // The name a Linux user reads for the key ("Return", "F5"); empty for keys named by their
        // character.
        QString name;
    };

    // X modifier masks.
    static constexpr quint32 xShiftMask = 0x01;
    static constexpr quint32 xControlMask = 0x04;
    static constexpr quint32 xMod1Mask = 0x08; // Alt
    static constexpr quint32 xMod4Mask = 0x40; // Super

    static const QList<Key>& keys();
    static const Key* key(quint32 keyCode);

    // The key of a keysym as a key press reports it: shifted forms (upper-case letters, the US
    // layout's shifted digits and punctuation) and the keypad without Num Lock count as their key.
    static std::optional<quint32> keyCodeForKeysym(quint32 keysym);
    static std::optional<quint32> keysymForKeyCode(quint32 keyCode);
    // The keysym of a Qt key, for key events that carry no native keysym; keypad tells that the
    // key came from the keypad.
    static std::optional<quint32> keysymForQtKey(int qtKey, bool keypad);

    // The classic modifier mask (Command 0x100, Shift 0x200, Option 0x800, Control 0x1000) of Qt's
    // modifiers, and the X modifier mask of a classic one.
    static quint32 classicModifiers(Qt::KeyboardModifiers modifiers);
    static quint32 xModifiers(quint32 classicModifiers);
    // Whether a Qt key is a modifier key on its own (Shift, Control, Alt, Super, ...).
    static bool isModifierKey(int qtKey);
};
