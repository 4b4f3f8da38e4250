#include "ViewModels/ShortcutRecorderModel.h"
#include "Platform/Simulated/SimulatedHotKeys.h"
#include "Support/RowFixture.h"

#include <QKeyEvent>
#include <QSignalSpy>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

constexpr quint32 kCommand = GlobalKeyShortcut::commandFlag;
constexpr quint32 kShift = GlobalKeyShortcut::shiftFlag;
constexpr quint32 kOption = GlobalKeyShortcut::optionFlag;
constexpr quint32 kControl = GlobalKeyShortcut::controlFlag;

} // namespace

class ShortcutRecorderModelTest : public RowFixture {
protected:
    ShortcutRecorderModelTest()
        : recorder(hotkeys)
        , written(&recorder, &ShortcutRecorderModel::shortcutWritten)
        , assigned(&recorder, &ShortcutRecorderModel::shortcutAssigned) {
        recorder.setWorkspaceID(workspace);
    }

    std::optional<GlobalKeyShortcut> lastWritten() const {
        return written.isEmpty() ? std::nullopt : written.last()[0].value<std::optional<GlobalKeyShortcut>>();
    }

    QUuid workspace = QUuid::createUuid();
    ShortcutRecorderModel recorder;
    QSignalSpy written;
    QSignalSpy assigned;
};

TEST_F(ShortcutRecorderModelTest, DisplayTextsFollowTheClassicOrder) {
    struct Case {
        quint32 modifiers;
        quint32 keyCode;
        const char* text;
    };
    for (const Case& c : {Case{kShift, 0, "⇧A"}, Case{kCommand | kOption | kControl | kShift, 40, "⌘⌥⌃⇧K"},
                          Case{kCommand, 49, "⌘Space"}, Case{kControl, 96, "⌃F5"}, Case{kOption, 121, "⌥⇟"},
                          Case{kOption | kCommand, 123, "⌘⌥←"}, Case{kControl, 82, "⌃0"}}) {
        EXPECT_EQ(ShortcutRecorderModel::createDisplayString(c.modifiers, c.keyCode),
                  QString::fromUtf8(c.text));
    }
    hotKeys().setKeyName(12, QStringLiteral("a")); // an AZERTY layout names the Q key A
    EXPECT_EQ(ShortcutRecorderModel::keyCodeToString(12), "A");
}

TEST_F(ShortcutRecorderModelTest, RecordsAndRegistersTheFirstKeyWithAModifier) {
    recorder.toggleRecording();
    recorder.setPressedModifiers(kCommand | kOption);
    EXPECT_EQ(recorder.modifiersText(), "⌘⌥");
    recorder.handleKeyEvent(53, 0);                  // Escape alone
    recorder.handleKeyEvent(std::nullopt, kCommand); // a key outside the table
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(assigned.isEmpty());

    recorder.handleKeyEvent(0, kShift | kControl);
    const GlobalKeyShortcut expected{0, kShift | kControl, QStringLiteral("⌃⇧A")};
    EXPECT_EQ(lastWritten(), expected);
    ASSERT_EQ(assigned.size(), 1);
    EXPECT_TRUE(assigned[0][0].toBool());
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(recorder.modifiersText(), "");
    EXPECT_EQ(hotkeys.registeredShortcut(workspace), expected);
}

TEST_F(ShortcutRecorderModelTest, AShortcutOfAnotherWorkspaceIsRefused) {
    const GlobalKeyShortcut taken{40, kCommand, QStringLiteral("⌘K")};
    ASSERT_TRUE(hotkeys.registerShortcut(taken, QUuid::createUuid()));
    recorder.toggleRecording();
    recorder.handleKeyEvent(40, kCommand);
    EXPECT_TRUE(written.isEmpty());
    ASSERT_EQ(assigned.size(), 1);
    EXPECT_FALSE(assigned[0][0].toBool());
    EXPECT_FALSE(recorder.isRecording());

    // The workspace's own shortcut is not taken from itself.
    const GlobalKeyShortcut own{41, kCommand, QStringLiteral("⌘;")};
    ASSERT_TRUE(hotkeys.registerShortcut(own, workspace));
    recorder.setShortcut(own);
    recorder.toggleRecording();
    recorder.handleKeyEvent(41, kCommand);
    EXPECT_EQ(lastWritten(), own);
}

TEST_F(ShortcutRecorderModelTest, ARefusedRegistrationKeepsThePreviousShortcut) {
    const GlobalKeyShortcut previous{0, kCommand, QStringLiteral("⌘A")};
    ASSERT_TRUE(hotkeys.registerShortcut(previous, workspace));
    recorder.setShortcut(previous);
    hotKeys().setHeldElsewhere(11, kCommand, true);
    recorder.toggleRecording();
    recorder.handleKeyEvent(11, kCommand);
    EXPECT_TRUE(written.isEmpty());
    ASSERT_EQ(assigned.size(), 1);
    EXPECT_FALSE(assigned[0][0].toBool());
    EXPECT_EQ(recorder.shortcut(), previous);
    EXPECT_EQ(hotkeys.registeredShortcut(workspace), previous);
    EXPECT_TRUE(hotKeys().press(0, kCommand));
}

TEST_F(ShortcutRecorderModelTest, RemovingWritesNoShortcutAndDropsTheHotKey) {
    const GlobalKeyShortcut shortcut{0, kCommand, QStringLiteral("⌘A")};
    ASSERT_TRUE(hotkeys.registerShortcut(shortcut, workspace));
    recorder.setShortcut(shortcut);
    EXPECT_TRUE(recorder.showsRemoveButton());
    recorder.toggleRecording();
    EXPECT_FALSE(recorder.showsRemoveButton());
    recorder.toggleRecording(); // the button again: ends without a change
    EXPECT_TRUE(written.isEmpty());

    recorder.removeShortcut();
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(lastWritten(), std::nullopt);
    EXPECT_TRUE(assigned.isEmpty());
    EXPECT_FALSE(hotkeys.registeredShortcut(workspace));
}

TEST_F(ShortcutRecorderModelTest, WhileRecordingEveryKeyOfTheApplicationIsConsumed) {
    QWindow window;
    recorder.toggleRecording();
    // The desktop reports the modifiers held before the press; Qt adds the pressed one.
    QKeyEvent control(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
    QKeyEvent shiftA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier,
                     QStringLiteral("A"));
    QCoreApplication::sendEvent(&window, &control);
    EXPECT_TRUE(control.isAccepted());
    EXPECT_EQ(recorder.modifiersText(), "⌃");
    QCoreApplication::sendEvent(&window, &shiftA);
    EXPECT_EQ(lastWritten(), (GlobalKeyShortcut{0, kShift | kControl, QStringLiteral("⌃⇧A")}));
    EXPECT_FALSE(recorder.isRecording());
}
