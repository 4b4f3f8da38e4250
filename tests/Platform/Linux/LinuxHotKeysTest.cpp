#include "Support/X11DesktopTest.h"

#include "Models/GlobalKeyShortcut.h"
#include "Platform/Linux/LinuxHotKeys.h"
#include "Platform/Linux/X11KeyPresses.h"

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
    // The right Super key: some managers (mutter) hold the left one for themselves, and a
    // combination of it reaches no other program's grab.
    press(QStringLiteral("Super_R+k"));
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
    EXPECT_EQ(LinuxHotKeys::characterOf(0x010020ac), QStringLiteral("\u20ac"));
    EXPECT_EQ(LinuxHotKeys::characterOf(0x0100d800), std::nullopt);
    EXPECT_EQ(LinuxHotKeys::characterOf(0x0100dfff), std::nullopt);
}

// A combination held down repeats its key; it was pressed once, and presses once.
TEST_F(LinuxHotKeysTest, AHeldCombinationPressesOnce) {
    LinuxHotKeys hotKeys(connection);
    int pressed = 0;
    QObject::connect(&hotKeys, &HotKeys::pressed, [&pressed](quint32, quint32) { ++pressed; });
    ASSERT_EQ(hotKeys.registerHotKey(kK, kControlOption, {kSignature, 1}), HotKeys::Status::registered);
    // Repeats begin 100 ms after the press, 50 a second.
    ASSERT_EQ(QProcess::execute(QStringLiteral("xset"), {QStringLiteral("r"), QStringLiteral("rate"),
                                                         QStringLiteral("100"), QStringLiteral("50")}),
              0);
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"),
                                {QStringLiteral("keydown"), QStringLiteral("ctrl+alt+k")}),
              0);
    // The press arrives (a loaded machine may take a while), then its repeats do not count.
    EXPECT_TRUE(waitUntil([&] { return pressed >= 1; }));
    EXPECT_FALSE(waitUntil([&] { return pressed > 1; }, 600));
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("ctrl+alt+k")}),
        0);
    EXPECT_EQ(pressed, 1);
    // Pressed again, it presses again.
    press(QStringLiteral("ctrl+alt+k"));
    EXPECT_TRUE(waitUntil([&] { return pressed == 2; }));
    QProcess::execute(QStringLiteral("xset"), {QStringLiteral("r"), QStringLiteral("rate")});
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

// A keycode the keyboard map leaves without a symbol; 0 when there is none.
int freeKeycode() {
    QProcess xmodmap;
    xmodmap.start(QStringLiteral("xmodmap"), {QStringLiteral("-pke")});
    xmodmap.waitForFinished();
    for (const QByteArray& line : xmodmap.readAllStandardOutput().split('\n')) {
        // "keycode 200 =" with nothing after it.
        if (line.startsWith("keycode") && line.trimmed().endsWith('=')) {
            return line.mid(7).trimmed().split(' ').value(0).toInt();
        }
    }
    return 0;
}

void mapKeycode(int keycode, const QString& keysyms) {
    EXPECT_EQ(QProcess::execute(QStringLiteral("xmodmap"),
                                {QStringLiteral("-e"), QStringLiteral("keycode ") + QString::number(keycode) +
                                                           QStringLiteral(" = ") + keysyms}),
              0);
}

// After a change of the keyboard map every shortcut is grabbed again: one that another program
// took meanwhile (here on the key the new map gives to K as well) is reported lost, not kept.
TEST_F(LinuxHotKeysTest, AShortcutTakenWhileTheMapChangesIsReportedLost) {
    const int spare = freeKeycode();
    ASSERT_NE(spare, 0);
    LinuxHotKeys hotKeys(connection);
    QList<quint32> lost;
    QObject::connect(&hotKeys, &HotKeys::lost, [&lost](quint32, quint32 id) { lost << id; });
    ASSERT_EQ(hotKeys.registerHotKey(kK, kControlOption, {kSignature, 1}), HotKeys::Status::registered);
    ASSERT_EQ(hotKeys.registerHotKey(kJ, kControlOption, {kSignature, 2}), HotKeys::Status::registered);
    // Another program grabs Ctrl+Alt on the spare key (F20 for now), which then types K too.
    mapKeycode(spare, QStringLiteral("F20"));
    ASSERT_TRUE(
        waitUntil([&] { return grabInAnotherClient(0xffd1, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1); }));
    mapKeycode(spare, QStringLiteral("k K"));
    const bool reported = waitUntil([&] { return !lost.isEmpty(); });
    mapKeycode(spare, QString());
    letOtherClientGo();
    ASSERT_TRUE(reported);
    EXPECT_EQ(lost, QList<quint32>{1});
    // The other shortcut still works; the lost one is no registration any more.
    QList<quint32> pressed;
    QObject::connect(&hotKeys, &HotKeys::pressed, [&pressed](quint32, quint32 id) { pressed << id; });
    press(QStringLiteral("ctrl+alt+j"));
    EXPECT_TRUE(waitUntil([&] { return pressed == QList<quint32>{2}; }));
    EXPECT_FALSE(hotKeys.unregisterHotKey({kSignature, 1}));
}

// Keys typed into a browser (its tab keys) are found on the keyboard map, which is read once and
// again only when the server announces a new one.
TEST_F(LinuxHotKeysTest, KeyPressesReadTheKeyboardMapOnceAndAgainAfterAChange) {
    constexpr quint32 kShift = 0xffe1;
    constexpr quint32 kF20 = 0xffd1;
    const int spare = freeKeycode();
    ASSERT_NE(spare, 0);
    X11KeyPresses keys(connection);
    ASSERT_TRUE(keys.available());
    ASSERT_TRUE(keys.press({}, kShift));
    const quint64 before = X11Connection::roundTrips();
    EXPECT_TRUE(keys.press({}, kShift));
    EXPECT_FALSE(keys.press({}, kF20));
    EXPECT_EQ(X11Connection::roundTrips(), before);

    mapKeycode(spare, QStringLiteral("F20"));
    const bool followed = waitUntil([&] { return keys.press({}, kF20); });
    mapKeycode(spare, QString());
    EXPECT_TRUE(followed);
    EXPECT_TRUE(waitUntil([&] { return !keys.press({}, kF20); }));
}

} // namespace
