#pragma once

#include <QObject>
#include <QString>

#include <optional>

// System-wide keyboard shortcuts. A hot key is a key code (the classic virtual key code that a
// stored shortcut carries) held with a modifier mask in the classic form (Command 0x100, Shift
// 0x200, Option 0x800, Control 0x1000; see GlobalKeyShortcut). Each registration is made under an
// id chosen by the caller: a four-character signature and a number. A press of a registered
// combination emits pressed() with that id on the main thread. Main thread only.
class HotKeys : public QObject {
    Q_OBJECT
public:
    enum class Status {
        registered,
        // Another program, or another registration of this one, holds the combination.
        refused,
        // The key code or the mask means nothing on this desktop.
        invalid,
        // The desktop offers no global hot keys.
        unavailable,
    };

    struct HotKeyID {
        quint32 signature = 0;
        quint32 id = 0;
        bool operator==(const HotKeyID&) const = default;
    };

    using QObject::QObject;
    ~HotKeys() override = default;

    virtual Status registerHotKey(quint32 keyCode, quint32 modifiers, HotKeyID id) = 0;
    // Removes the registration made under id; false when there is none.
    virtual bool unregisterHotKey(HotKeyID id) = 0;
    // What the key types on the current keyboard layout without modifiers ("a" for the A key of a
    // US layout); nothing when the layout gives it no character.
    virtual std::optional<QString> keyName(quint32 keyCode) const = 0;

signals:
    void pressed(quint32 signature, quint32 id);
    // A registration the desktop took back after it was made (another program took its keys while
    // the keyboard map changed): it is gone, as if it had been refused.
    void lost(quint32 signature, quint32 id);
};
