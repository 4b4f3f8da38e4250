#include "Services/Coordination/GlobalHotkeyManager.h"
#include "Platform/Simulated/SimulatedHotKeys.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/QtPrinters.h"

#include <QSignalSpy>

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

constexpr quint32 kCmd = GlobalKeyShortcut::commandFlag;
constexpr quint32 kCmdShift = GlobalKeyShortcut::commandFlag | GlobalKeyShortcut::shiftFlag;

GlobalKeyShortcut shortcut(quint32 keyCode, quint32 modifiers, const QString& text = QStringLiteral("⌘K")) {
    return {keyCode, modifiers, text};
}

class GlobalHotkeyManagerTest : public ::testing::Test {
protected:
    std::shared_ptr<SimulatedHotKeys> keys = std::make_shared<SimulatedHotKeys>();
    GlobalHotkeyManager manager{keys};
    QUuid a = QUuid::createUuid();
    QUuid b = QUuid::createUuid();
    QList<QUuid> triggered;

    void SetUp() override {
        manager.setOnHotkeyTriggered([this](const QUuid& id) { triggered << id; });
    }
    // Presses the keys and lets the event loop deliver the callback.
    bool press(quint32 keyCode, quint32 modifiers) {
        const bool held = keys->press(keyCode, modifiers);
        QCoreApplication::sendPostedEvents();
        return held;
    }
    QList<quint32> liveIDs() const {
        QList<quint32> ids;
        for (const auto& r : keys->registrations()) {
            EXPECT_EQ(r.id.signature, 0x4F52444Cu);
            ids << r.id.id;
        }
        return ids;
    }
};

TEST_F(GlobalHotkeyManagerTest, IdsStartAtOneAndAreUsedUpByFailedAttempts) {
    keys->setForcedStatus(HotKeys::Status::unavailable);
    EXPECT_FALSE(manager.registerShortcut(shortcut(40, kCmd), a));
    keys->setForcedStatus(HotKeys::Status::registered);
    EXPECT_TRUE(manager.registerShortcut(shortcut(40, kCmd), a));
    EXPECT_EQ(liveIDs(), QList<quint32>{2});
    // The same shortcut again for the same workspace: a fresh registration with a new id.
    EXPECT_TRUE(manager.registerShortcut(shortcut(40, kCmd), a));
    EXPECT_EQ(liveIDs(), QList<quint32>{3});
    EXPECT_EQ(manager.nextHotkeyID(), 4u);
}

TEST_F(GlobalHotkeyManagerTest, PressCallsBackWithTheWorkspaceAfterThePress) {
    ASSERT_TRUE(manager.registerShortcut(shortcut(40, kCmd), a));
    ASSERT_TRUE(manager.registerShortcut(shortcut(41, kCmdShift), b));
    EXPECT_TRUE(keys->press(41, kCmdShift));
    EXPECT_TRUE(triggered.isEmpty()) << "the callback waits for the event loop";
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(triggered, QList<QUuid>{b});

    EXPECT_FALSE(press(41, kCmd)) << "other modifiers are another key";
    manager.unregister(b);
    EXPECT_FALSE(press(41, kCmdShift));
    EXPECT_TRUE(press(40, kCmd));
    EXPECT_EQ(triggered, (QList<QUuid>{b, a}));
}

// Equal keys are one hot key whatever the recorder wrote as their text.
TEST_F(GlobalHotkeyManagerTest, AnotherWorkspacesKeysAreRefusedAndLeaveBothAsTheyWere) {
    ASSERT_TRUE(manager.registerShortcut(shortcut(40, kCmd, "⌘K"), a));
    ASSERT_TRUE(manager.registerShortcut(shortcut(41, kCmd), b));
    EXPECT_FALSE(manager.registerShortcut(shortcut(40, kCmd, "⌘k"), b));
    EXPECT_EQ(manager.isShortcutTaken(shortcut(40, kCmd, "other text"), b), a);
    EXPECT_EQ(manager.isShortcutTaken(shortcut(40, kCmd), a), std::nullopt) << "its own shortcut";
    EXPECT_EQ(manager.registeredShortcut(a), shortcut(40, kCmd, "⌘K"));
    EXPECT_EQ(manager.registeredShortcut(b), shortcut(41, kCmd));
    EXPECT_EQ(liveIDs(), (QList<quint32>{1, 2}));
}

TEST_F(GlobalHotkeyManagerTest, KeysTheSystemRefusesKeepThePreviousHotKey) {
    ASSERT_TRUE(manager.registerShortcut(shortcut(40, kCmd), a));
    keys->setHeldElsewhere(12, kCmd, true);
    EXPECT_FALSE(manager.registerShortcut(shortcut(12, kCmd), a));
    EXPECT_EQ(manager.registeredShortcut(a), shortcut(40, kCmd));
    EXPECT_TRUE(press(40, kCmd));
    EXPECT_EQ(triggered, QList<QUuid>{a});
    // With nothing to put back, the workspace is left without a hot key.
    EXPECT_FALSE(manager.registerShortcut(shortcut(12, kCmd), b));
    EXPECT_EQ(manager.registeredShortcut(b), std::nullopt);
}

TEST_F(GlobalHotkeyManagerTest, RegisterAllTakesTheWorkspacesWithShortcutsInOrder) {
    Workspace first;
    first.id = a;
    first.globalShortcut = shortcut(40, kCmd);
    Workspace without;
    without.id = QUuid::createUuid();
    Workspace clash;
    clash.id = b;
    clash.globalShortcut = shortcut(40, kCmd, "⌘ K");
    manager.registerAll({first, without, clash});
    EXPECT_EQ(manager.registeredShortcut(a), shortcut(40, kCmd));
    EXPECT_EQ(manager.registeredShortcut(b), std::nullopt);
    EXPECT_EQ(liveIDs(), QList<quint32>{1});

    // A press whose id is no longer mapped does nothing; unregistering nothing changes nothing.
    manager.unregister(without.id);
    emit keys->pressed(GlobalHotkeyManager::hotKeySignature, 7);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(triggered.isEmpty());
}

// A hot key another program takes later (when the keyboard map changes) goes the way of a refused
// one: the manager drops it, keeps it as lost, says so, and forgets it once the workspace has a
// shortcut again. A shortcut refused at start-up is lost the same way.
TEST_F(GlobalHotkeyManagerTest, AHotKeyTakenLaterIsDroppedAndSaidSo) {
    DiagnosticsCapture diagnostics;
    QSignalSpy changes(&manager, &GlobalHotkeyManager::lostShortcutChanged);
    ASSERT_TRUE(manager.registerShortcut(shortcut(40, kCmd), a));
    ASSERT_TRUE(manager.registerShortcut(shortcut(41, kCmdShift, "⌘⇧J"), b));
    keys->takeOver(40, kCmd);
    EXPECT_EQ(manager.registeredShortcut(a), std::nullopt);
    EXPECT_EQ(manager.lostShortcut(a), shortcut(40, kCmd));
    EXPECT_EQ(manager.registeredShortcut(b), shortcut(41, kCmdShift, "⌘⇧J"));
    EXPECT_EQ(manager.lostShortcut(b), std::nullopt);
    EXPECT_EQ(diagnostics.lines(),
              QStringList{"[GlobalHotkeyManager.keyboardMapChanged] The shortcut ⌘K of workspace " +
                          a.toString(QUuid::WithoutBraces).toUpper() +
                          " is not held (another program took its keys): it does nothing until it is "
                          "assigned again"});
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0][0].value<QUuid>(), a);
    EXPECT_FALSE(press(40, kCmd));
    EXPECT_TRUE(triggered.isEmpty());

    // Still held elsewhere: a new attempt fails and the loss stands; once free, it is forgotten.
    EXPECT_FALSE(manager.registerShortcut(shortcut(40, kCmd), a));
    EXPECT_EQ(manager.lostShortcut(a), shortcut(40, kCmd));
    keys->setHeldElsewhere(40, kCmd, false);
    EXPECT_TRUE(manager.registerShortcut(shortcut(40, kCmd), a));
    EXPECT_EQ(manager.lostShortcut(a), std::nullopt);
    EXPECT_EQ(changes.size(), 2);

    // Refused at start-up.
    keys->setHeldElsewhere(12, kCmd, true);
    Workspace refused;
    refused.id = QUuid::createUuid();
    refused.globalShortcut = shortcut(12, kCmd, "⌘Q");
    manager.registerAll({refused});
    EXPECT_EQ(manager.lostShortcut(refused.id), shortcut(12, kCmd, "⌘Q"));
    EXPECT_TRUE(diagnostics.lines().last().startsWith("[GlobalHotkeyManager.registerAll] The shortcut ⌘Q"));
    EXPECT_TRUE(diagnostics.lines().last().contains("(the system refused its keys)"));
    manager.unregister(refused.id);
    EXPECT_EQ(manager.lostShortcut(refused.id), std::nullopt);
}

} // namespace

TEST_F(GlobalHotkeyManagerTest, SuspendedHotKeysLetTheKeysThroughUntilTheLastResume) {
    ASSERT_TRUE(manager.registerShortcut(shortcut(1, kCmd), a));
    ASSERT_TRUE(manager.registerShortcut(shortcut(2, kCmd), b));
    manager.suspend();
    manager.suspend();
    EXPECT_TRUE(keys->registrations().isEmpty());
    EXPECT_FALSE(press(1, kCmd));
    // Changes made meanwhile are checked with the system at once and take effect later.
    keys->setHeldElsewhere(3, kCmd, true);
    EXPECT_FALSE(manager.registerShortcut(shortcut(3, kCmd), a));
    EXPECT_TRUE(manager.registerShortcut(shortcut(4, kCmd), a));
    EXPECT_TRUE(keys->registrations().isEmpty());
    manager.resume();
    EXPECT_FALSE(press(4, kCmd));

    // Another program takes b's keys while they are set aside: b loses its hot key.
    keys->setHeldElsewhere(2, kCmd, true);
    manager.resume();
    EXPECT_FALSE(manager.isSuspended());
    EXPECT_TRUE(press(4, kCmd));
    EXPECT_FALSE(press(1, kCmd));
    EXPECT_EQ(manager.registeredShortcut(b), std::nullopt);
    EXPECT_EQ(manager.lostShortcut(b), shortcut(2, kCmd));
    EXPECT_EQ(triggered, QList<QUuid>{a});
    manager.resume(); // one too many changes nothing
    EXPECT_EQ(keys->registrations().size(), 1);
}
