#include "Support/X11DesktopTest.h"

#include "Models/GlobalKeyShortcut.h"
#include "Platform/Linux/LinuxHotKeys.h"

#include <QProcess>

namespace {

constexpr quint32 kK = 40; // the classic key codes of K and J
constexpr quint32 kJ = 38;
constexpr quint32 kControlOption = GlobalKeyShortcut::controlFlag | GlobalKeyShortcut::optionFlag;
constexpr quint32 kSignature = 0x4F52444C;

using LinuxHotKeysTest = X11DesktopTest;

void press(const QString& keys) {
    EXPECT_EQ(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}), 0);
}

TEST_F(LinuxHotKeysTest, GrabbedCombinationsArePressedWhateverTheLocks) {
    LinuxHotKeys hotKeys(connection);
    QList<quint32> pressed;
    QObject::connect(&hotKeys, &HotKeys::pressed, [&pressed](quint32 signature, quint32 id) {
        EXPECT_EQ(signature, kSignature);
        pressed << id;
    });
    EXPECT_EQ(hotKeys.registerHotKey(kK, kControlOption, {kSignature, 1}), HotKeys::Status::registered);
    EXPECT_EQ(hotKeys.registerHotKey(kK, GlobalKeyShortcut::commandFlag, {kSignature, 2}),
              HotKeys::Status::registered);
    // The same keys under another id of this program, and codes or masks that mean nothing.
    EXPECT_EQ(hotKeys.registerHotKey(kK, kControlOption, {kSignature, 3}), HotKeys::Status::refused);
    EXPECT_EQ(hotKeys.registerHotKey(9999, kControlOption, {kSignature, 4}), HotKeys::Status::invalid);
    EXPECT_EQ(hotKeys.registerHotKey(kK, 0x10000, {kSignature, 5}), HotKeys::Status::invalid);

    press(QStringLiteral("ctrl+alt+k"));
    press(QStringLiteral("super+k"));
    ASSERT_TRUE(waitUntil([&] { return pressed.size() == 2; }));
    EXPECT_EQ(pressed, (QList<quint32>{1, 2}));
    // With Caps Lock on the grab holds all the same.
    press(QStringLiteral("Caps_Lock"));
    press(QStringLiteral("ctrl+alt+k"));
    press(QStringLiteral("Caps_Lock"));
    EXPECT_TRUE(waitUntil([&] { return pressed.size() == 3; }));
    // Other modifiers are other combinations.
    press(QStringLiteral("ctrl+k"));
    EXPECT_FALSE(waitUntil([&] { return pressed.size() > 3; }, 300));

    EXPECT_TRUE(hotKeys.unregisterHotKey({kSignature, 1}));
    EXPECT_FALSE(hotKeys.unregisterHotKey({kSignature, 1}));
    press(QStringLiteral("ctrl+alt+k"));
    EXPECT_FALSE(waitUntil([&] { return pressed.size() > 3; }, 300));
    EXPECT_EQ(hotKeys.keyName(kK), QStringLiteral("k"));
    EXPECT_EQ(hotKeys.keyName(9999), std::nullopt);
}

TEST_F(LinuxHotKeysTest, ACombinationAnotherProgramHoldsIsRefused) {
    // Another client of the server grabs Ctrl+Alt+J first.
    ASSERT_TRUE(grabInAnotherClient(0x6a, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1));
    LinuxHotKeys hotKeys(connection);
    EXPECT_EQ(hotKeys.registerHotKey(kJ, kControlOption, {kSignature, 2}), HotKeys::Status::refused);
    // Once the other program lets go, the combination is free.
    letOtherClientGo();
    EXPECT_TRUE(waitUntil([&] {
        return hotKeys.registerHotKey(kJ, kControlOption, {kSignature, 3}) == HotKeys::Status::registered;
    }));
}

} // namespace
