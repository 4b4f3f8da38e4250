#include "Platform/KeyCodeTable.h"
#include "Models/GlobalKeyShortcut.h"

#include <gtest/gtest.h>

TEST(KeyCodeTableTest, EveryKeyTranslatesBothWays) {
    for (const KeyCodeTable::Key& key : KeyCodeTable::keys()) {
        EXPECT_EQ(KeyCodeTable::keysymForKeyCode(key.keyCode), key.keysym) << key.keyCode;
        EXPECT_EQ(KeyCodeTable::keyCodeForKeysym(key.keysym), key.keyCode) << key.keyCode;
    }
    EXPECT_FALSE(KeyCodeTable::keysymForKeyCode(10));     // the ISO section key is not in the table
    EXPECT_FALSE(KeyCodeTable::keyCodeForKeysym(0xffca)); // F13
}

TEST(KeyCodeTableTest, KeyPressesReadAsTheirKey) {
    struct Case {
        quint32 keysym;
        quint32 keyCode;
    };
    // Shifted letters and digits, Shift with Tab, the keypad without Num Lock.
    for (const Case& c :
         {Case{0x41, 0}, Case{0x21, 18}, Case{0x3f, 44}, Case{0xfe20, 48}, Case{0xff9c, 83}}) {
        EXPECT_EQ(KeyCodeTable::keyCodeForKeysym(c.keysym), c.keyCode) << c.keysym;
    }
    struct QtCase {
        int qtKey;
        bool keypad;
        std::optional<quint32> keysym;
    };
    for (const QtCase& c :
         {QtCase{Qt::Key_K, false, 0x6b}, QtCase{Qt::Key_1, true, 0xffb1}, QtCase{Qt::Key_Plus, true, 0xffab},
          QtCase{Qt::Key_F5, false, 0xffc2}, QtCase{Qt::Key_PageDown, false, 0xff56},
          QtCase{Qt::Key_Exclam, false, 0x21}, QtCase{Qt::Key_F13, false, std::nullopt},
          QtCase{Qt::Key_Eacute, false, std::nullopt}}) {
        EXPECT_EQ(KeyCodeTable::keysymForQtKey(c.qtKey, c.keypad), c.keysym) << c.qtKey;
    }
}

TEST(KeyCodeTableTest, ModifiersMapCtrlAltShiftSuper) {
    EXPECT_EQ(KeyCodeTable::classicModifiers(Qt::MetaModifier | Qt::AltModifier | Qt::ControlModifier |
                                             Qt::ShiftModifier | Qt::KeypadModifier),
              0x1b00u);
    EXPECT_EQ(KeyCodeTable::classicModifiers(Qt::ControlModifier), GlobalKeyShortcut::controlFlag);
    EXPECT_EQ(KeyCodeTable::xModifiers(GlobalKeyShortcut::commandFlag | GlobalKeyShortcut::optionFlag),
              KeyCodeTable::xMod4Mask | KeyCodeTable::xMod1Mask);
    EXPECT_TRUE(KeyCodeTable::isModifierKey(Qt::Key_Super_L));
    EXPECT_FALSE(KeyCodeTable::isModifierKey(Qt::Key_A));
}
