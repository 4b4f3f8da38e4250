#include "Platform/KeyCodeTable.h"

#include "Models/GlobalKeyShortcut.h"

#include <QHash>

namespace {

struct Alias {
    quint32 keysym;
    quint32 keyCode;
};

// Keysyms that a press of a listed key can report besides its own.
const QList<Alias>& aliases() {
    static const QList<Alias> table =
        [] {
            QList<Alias> list;
            // Upper-case letters, as with Shift or Caps Lock.
            for (const KeyCodeTable::Key& k : KeyCodeTable::keys()) {
                if (k.keysym >= 0x61 && k.keysym <= 0x7a) {
                    list.append({k.keysym - 0x20, k.keyCode});
                }
            }
            // The shifted digits and punctuation of a US layout.
            const QList<Alias> shifted = {
                {0x21, 18}, {0x40, 19}, {0x23, 20}, {0x24, 21},   {0x25, 23}, {0x5e, 22},
                {0x26, 26}, {0x2a, 28}, {0x28, 25}, {0x29, 29},   {0x5f, 27}, {0x2b, 24},
                {0x7b, 33}, {0x7d, 30}, {0x22, 39}, {0x3a, 41},   {0x7c, 42}, {0x3c, 43},
                {0x3e, 47}, {0x3f, 44}, {0x7e, 50}, {0xfe20, 48}, // ISO_Left_Tab: Shift with Tab
            };
            list.append(shifted);
            // The keypad with Num Lock off.
            const QList<Alias> keypad = {
                {0xff9e, 82}, {0xff9c, 83}, {0xff99, 84}, {0xff9b, 85}, {0xff96, 86}, {0xff9d, 87},
                {0xff98, 88}, {0xff95, 89}, {0xff97, 91}, {0xff9a, 92}, {0xff9f, 65},
            };
            list.append(keypad);
            return list;
        }();
    return table;
}

} // namespace

const QList<KeyCodeTable::Key>& KeyCodeTable::keys() {
    static const QList<Key> table = {
        // Letters.
        {0, 0x61, QStringLiteral("a"), {}},
        {11, 0x62, QStringLiteral("b"), {}},
        {8, 0x63, QStringLiteral("c"), {}},
        {2, 0x64, QStringLiteral("d"), {}},
        {14, 0x65, QStringLiteral("e"), {}},
        {3, 0x66, QStringLiteral("f"), {}},
        {5, 0x67, QStringLiteral("g"), {}},
        {4, 0x68, QStringLiteral("h"), {}},
        {34, 0x69, QStringLiteral("i"), {}},
        {38, 0x6a, QStringLiteral("j"), {}},
        {40, 0x6b, QStringLiteral("k"), {}},
        {37, 0x6c, QStringLiteral("l"), {}},
        {46, 0x6d, QStringLiteral("m"), {}},
        {45, 0x6e, QStringLiteral("n"), {}},
        {31, 0x6f, QStringLiteral("o"), {}},
        {35, 0x70, QStringLiteral("p"), {}},
        {12, 0x71, QStringLiteral("q"), {}},
        {15, 0x72, QStringLiteral("r"), {}},
        {1, 0x73, QStringLiteral("s"), {}},
        {17, 0x74, QStringLiteral("t"), {}},
        {32, 0x75, QStringLiteral("u"), {}},
        {9, 0x76, QStringLiteral("v"), {}},
        {13, 0x77, QStringLiteral("w"), {}},
        {7, 0x78, QStringLiteral("x"), {}},
        {16, 0x79, QStringLiteral("y"), {}},
        {6, 0x7a, QStringLiteral("z"), {}},
        // Digits.
        {29, 0x30, QStringLiteral("0"), {}},
        {18, 0x31, QStringLiteral("1"), {}},
        {19, 0x32, QStringLiteral("2"), {}},
        {20, 0x33, QStringLiteral("3"), {}},
        {21, 0x34, QStringLiteral("4"), {}},
        {23, 0x35, QStringLiteral("5"), {}},
        {22, 0x36, QStringLiteral("6"), {}},
        {26, 0x37, QStringLiteral("7"), {}},
        {28, 0x38, QStringLiteral("8"), {}},
        {25, 0x39, QStringLiteral("9"), {}},
        // Punctuation.
        {27, 0x2d, QStringLiteral("-"), {}},
        {24, 0x3d, QStringLiteral("="), {}},
        {33, 0x5b, QStringLiteral("["), {}},
        {30, 0x5d, QStringLiteral("]"), {}},
        {39, 0x27, QStringLiteral("'"), {}},
        {41, 0x3b, QStringLiteral(";"), {}},
        {42, 0x5c, QStringLiteral("\\"), {}},
        {43, 0x2c, QStringLiteral(","), {}},
        {44, 0x2f, QStringLiteral("/"), {}},
        {47, 0x2e, QStringLiteral("."), {}},
        {50, 0x60, QStringLiteral("`"), {}},
        // Named keys.
        {36, 0xff0d, {}, QStringLiteral("Return")},
        {48, 0xff09, {}, QStringLiteral("Tab")},
        {49, 0x20, {}, QStringLiteral("Space")},
        {51, 0xff08, {}, QStringLiteral("Backspace")},
        {53, 0xff1b, {}, QStringLiteral("Esc")},
        {122, 0xffbe, {}, QStringLiteral("F1")},
        {120, 0xffbf, {}, QStringLiteral("F2")},
        {99, 0xffc0, {}, QStringLiteral("F3")},
        {118, 0xffc1, {}, QStringLiteral("F4")},
        {96, 0xffc2, {}, QStringLiteral("F5")},
        {97, 0xffc3, {}, QStringLiteral("F6")},
        {98, 0xffc4, {}, QStringLiteral("F7")},
        {100, 0xffc5, {}, QStringLiteral("F8")},
        {101, 0xffc6, {}, QStringLiteral("F9")},
        {109, 0xffc7, {}, QStringLiteral("F10")},
        {103, 0xffc8, {}, QStringLiteral("F11")},
        {111, 0xffc9, {}, QStringLiteral("F12")},
        {115, 0xff50, {}, QStringLiteral("Home")},
        {116, 0xff55, {}, QStringLiteral("Page Up")},
        {117, 0xffff, {}, QStringLiteral("Delete")},
        {119, 0xff57, {}, QStringLiteral("End")},
        {121, 0xff56, {}, QStringLiteral("Page Down")},
        {123, 0xff51, {}, QStringLiteral("Left")},
        {124, 0xff53, {}, QStringLiteral("Right")},
        {125, 0xff54, {}, QStringLiteral("Down")},
        {126, 0xff52, {}, QStringLiteral("Up")},
        // Keypad.
        {82, 0xffb0, QStringLiteral("0"), {}},
        {83, 0xffb1, QStringLiteral("1"), {}},
        {84, 0xffb2, QStringLiteral("2"), {}},
        {85, 0xffb3, QStringLiteral("3"), {}},
        {86, 0xffb4, QStringLiteral("4"), {}},
        {87, 0xffb5, QStringLiteral("5"), {}},
        {88, 0xffb6, QStringLiteral("6"), {}},
        {89, 0xffb7, QStringLiteral("7"), {}},
        {91, 0xffb8, QStringLiteral("8"), {}},
        {92, 0xffb9, QStringLiteral("9"), {}},
        {65, 0xffae, QStringLiteral("."), {}},
        {67, 0xffaa, QStringLiteral("*"), {}},
        {69, 0xffab, QStringLiteral("+"), {}},
        {75, 0xffaf, QStringLiteral("/"), {}},
        {78, 0xffad, QStringLiteral("-"), {}},
        {81, 0xffbd, QStringLiteral("="), {}},
        {76, 0xff8d, {}, QStringLiteral("Enter")},
    };
    return table;
}

const KeyCodeTable::Key* KeyCodeTable::key(quint32 keyCode) {
    static const QHash<quint32, qsizetype> index = [] {
        QHash<quint32, qsizetype> h;
        for (qsizetype i = 0; i < keys().size(); ++i) {
            h.insert(keys()[i].keyCode, i);
        }
        return h;
    }();
    const auto it = index.constFind(keyCode);
    return it == index.constEnd() ? nullptr : &keys()[*it];
}

std::optional<quint32> KeyCodeTable::keyCodeForKeysym(quint32 keysym) {
    static const QHash<quint32, quint32> index = [] {
        QHash<quint32, quint32> h;
        for (const Key& k : keys()) {
            h.insert(k.keysym, k.keyCode);
        }
        for (const Alias& a : aliases()) {
            h.insert(a.keysym, a.keyCode);
        }
        return h;
    }();
    const auto it = index.constFind(keysym);
    if (it == index.constEnd()) {
        return std::nullopt;
    }
    return *it;
}

std::optional<quint32> KeyCodeTable::keysymForKeyCode(quint32 keyCode) {
    const Key* k = key(keyCode);
    if (!k) {
        return std::nullopt;
    }
    return k->keysym;
}

std::optional<quint32> KeyCodeTable::keysymForQtKey(int qtKey, bool keypad) {
    struct Special {
        int qtKey;
        quint32 keysym;
    };
    static const QList<Special> specials = {
        {Qt::Key_Return, 0xff0d},  {Qt::Key_Enter, 0xff8d},     {Qt::Key_Tab, 0xff09},
        {Qt::Key_Backtab, 0xff09}, {Qt::Key_Backspace, 0xff08}, {Qt::Key_Escape, 0xff1b},
        {Qt::Key_Delete, 0xffff},  {Qt::Key_Home, 0xff50},      {Qt::Key_End, 0xff57},
        {Qt::Key_PageUp, 0xff55},  {Qt::Key_PageDown, 0xff56},  {Qt::Key_Left, 0xff51},
        {Qt::Key_Up, 0xff52},      {Qt::Key_Right, 0xff53},     {Qt::Key_Down, 0xff54},
    };
    for (const Special& s : specials) {
        if (s.qtKey == qtKey) {
            return s.keysym;
        }
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) {
        return 0xffbe + static_cast<quint32>(qtKey - Qt::Key_F1);
    }
    if (qtKey < 0x20 || qtKey > 0x7e) {
        return std::nullopt;
    }
    const auto ascii = static_cast<quint32>(qtKey);
    if (keypad) {
        // The keypad's keysyms follow its characters.
        if (ascii >= '0' && ascii <= '9') {
            return 0xffb0 + (ascii - '0');
        }
        for (const Key& k : keys()) {
            if (k.keysym >= 0xff80 && k.character == QChar(ascii)) {
                return k.keysym;
            }
        }
    }
    // Printable keys: the keysym is the character, letters in lower case.
    return (ascii >= 'A' && ascii <= 'Z') ? ascii + 0x20 : ascii;
}

quint32 KeyCodeTable::classicModifiers(Qt::KeyboardModifiers modifiers) {
    quint32 mask = 0;
    if (modifiers & Qt::MetaModifier) {
        mask |= GlobalKeyShortcut::commandFlag;
    }
    if (modifiers & Qt::ShiftModifier) {
        mask |= GlobalKeyShortcut::shiftFlag;
    }
    if (modifiers & Qt::AltModifier) {
        mask |= GlobalKeyShortcut::optionFlag;
    }
    if (modifiers & Qt::ControlModifier) {
        mask |= GlobalKeyShortcut::controlFlag;
    }
    return mask;
}

quint32 KeyCodeTable::xModifiers(quint32 classicModifiers) {
    quint32 mask = 0;
    if (classicModifiers & GlobalKeyShortcut::commandFlag) {
        mask |= xMod4Mask;
    }
    if (classicModifiers & GlobalKeyShortcut::shiftFlag) {
        mask |= xShiftMask;
    }
    if (classicModifiers & GlobalKeyShortcut::optionFlag) {
        mask |= xMod1Mask;
    }
    if (classicModifiers & GlobalKeyShortcut::controlFlag) {
        mask |= xControlMask;
    }
    return mask;
}

bool KeyCodeTable::isModifierKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return true;
    default:
        return false;
    }
}
