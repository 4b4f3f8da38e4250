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

TEST_F(ShortcutRecorderModelTest, DisplayTextsReadAsOnLinux) {
    struct Case {
        quint32 modifiers;
        quint32 keyCode;
        const char* text;
    };
    for (const Case& c : {Case{kShift, 0, "Shift+A"},
                          Case{kCommand | kOption | kControl | kShift, 40, "Super+Ctrl+Alt+Shift+K"},
                          Case{kControl | kOption, 18, "Ctrl+Alt+1"}, Case{kCommand, 49, "Super+Space"},
                          Case{kControl, 96, "Ctrl+F5"}, Case{kOption, 121, "Alt+Page Down"},
                          Case{kOption | kCommand, 123, "Super+Alt+Left"}, Case{kControl, 82, "Ctrl+0"},
                          Case{kShift, 36, "Shift+Return"}, Case{kControl, 51, "Ctrl+Backspace"},
                          Case{kControl, 117, "Ctrl+Delete"}, Case{kShift, 53, "Shift+Esc"}}) {
        EXPECT_EQ(ShortcutRecorderModel::createDisplayString(c.modifiers, c.keyCode),
                  QString::fromUtf8(c.text));
    }
    hotKeys().setKeyName(12, QStringLiteral("a")); // an AZERTY layout names the Q key A
    EXPECT_EQ(ShortcutRecorderModel::keyCodeToString(12), "A");
}

TEST_F(ShortcutRecorderModelTest, RecordsAndRegistersTheFirstKeyWithAModifier) {
    recorder.toggleRecording();
    recorder.setPressedModifiers(kCommand | kOption);
    EXPECT_EQ(recorder.modifiersText(), "Super+Alt+");
    recorder.handleKeyEvent(122, 0);                 // F1 alone
    recorder.handleKeyEvent(std::nullopt, kCommand); // a key outside the table
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(assigned.isEmpty());

    recorder.handleKeyEvent(0, kShift | kControl);
    const GlobalKeyShortcut expected{0, kShift | kControl, QStringLiteral("Ctrl+Shift+A")};
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
    const GlobalKeyShortcut own{41, kCommand, QStringLiteral("Super+;")};
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
    EXPECT_EQ(recorder.modifiersText(), "Ctrl+");
    QCoreApplication::sendEvent(&window, &shiftA);
    EXPECT_EQ(lastWritten(), (GlobalKeyShortcut{0, kShift | kControl, QStringLiteral("Ctrl+Shift+A")}));
    EXPECT_FALSE(recorder.isRecording());
}

TEST_F(ShortcutRecorderModelTest, EscapeAloneEndsTheRecordingWithoutAChange) {
    const GlobalKeyShortcut stored{40, kCommand, QStringLiteral("⌘K")};
    ASSERT_TRUE(hotkeys.registerShortcut(stored, workspace));
    recorder.setShortcut(stored);
    // A shortcut stored elsewhere keeps its own text.
    EXPECT_EQ(recorder.shortcutText(), "⌘K");
    recorder.toggleRecording();
    recorder.handleKeyEvent(ShortcutRecorderModel::escapeKeyCode, 0);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(assigned.isEmpty());
    EXPECT_EQ(hotkeys.registeredShortcut(workspace), stored);
}

TEST_F(ShortcutRecorderModelTest, WhileRecordingOrdellasHotKeysAreSetAside) {
    const QUuid other = QUuid::createUuid();
    const GlobalKeyShortcut held{18, kControl | kOption, QStringLiteral("Ctrl+Alt+1")};
    ASSERT_TRUE(hotkeys.registerShortcut(held, other));
    const GlobalKeyShortcut own{19, kControl | kOption, QStringLiteral("Ctrl+Alt+2")};
    ASSERT_TRUE(hotkeys.registerShortcut(own, workspace));
    recorder.setShortcut(own);

    recorder.toggleRecording();
    // The chord reaches the recorder, not the other workspace's hot key...
    EXPECT_FALSE(hotKeys().press(18, kControl | kOption));
    EXPECT_FALSE(hotKeys().press(19, kControl | kOption));
    recorder.handleKeyEvent(18, kControl | kOption);
    // ...which refuses it and ends; both hot keys are back.
    ASSERT_EQ(assigned.size(), 1);
    EXPECT_FALSE(assigned[0][0].toBool());
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(hotKeys().press(18, kControl | kOption));
    EXPECT_TRUE(hotKeys().press(19, kControl | kOption));

    // A new chord recorded meanwhile is checked with the system and works once recording ends.
    recorder.toggleRecording();
    recorder.handleKeyEvent(20, kControl | kOption);
    EXPECT_EQ(lastWritten(), (GlobalKeyShortcut{20, kControl | kOption, QStringLiteral("Ctrl+Alt+3")}));
    EXPECT_TRUE(hotKeys().press(20, kControl | kOption));
    EXPECT_FALSE(hotKeys().press(19, kControl | kOption));
    EXPECT_TRUE(hotKeys().press(18, kControl | kOption));

    // A recorder that goes away mid-recording puts them back as well.
    {
        ShortcutRecorderModel gone(hotkeys);
        gone.toggleRecording();
        EXPECT_FALSE(hotKeys().press(18, kControl | kOption));
    }
    EXPECT_TRUE(hotKeys().press(18, kControl | kOption));
}
