#pragma once

#include <QString>

// A workspace's global keyboard shortcut. modifierFlags uses the classic mask below;
// displayString is built by the shortcut recorder and stored unchanged.
struct GlobalKeyShortcut {
    static constexpr quint32 commandFlag = 0x100;
    static constexpr quint32 shiftFlag = 0x200;
    static constexpr quint32 optionFlag = 0x800;
    static constexpr quint32 controlFlag = 0x1000;

    quint32 keyCode = 0;
    quint32 modifierFlags = 0;
    QString displayString;

    bool operator==(const GlobalKeyShortcut&) const = default;
};
