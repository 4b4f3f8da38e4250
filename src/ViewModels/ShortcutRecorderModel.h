#pragma once

#include "Models/GlobalKeyShortcut.h"

#include <QObject>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

class GlobalHotkeyManager;
class KeyEventMonitor;

// The rules of the shortcut recorder: the one place where a GlobalKeyShortcut is built. While it
// records, every key press of the application comes here; the first key held with Command, or
// with Shift, Control or Option, becomes the shortcut (key code, classic modifier mask, display
// text), unless another workspace holds those keys or the system refuses them. It also removes a
// shortcut. The shortcut it shows is the one its owner hands in (the workspace's); a recorded or
// removed shortcut goes out through shortcutWritten, and every accepted key press through
// shortcutAssigned. While it records, Ordella's own hot keys are set aside, so a chord another
// workspace holds reaches the recorder (and is refused) instead of restoring that workspace.
class ShortcutRecorderModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(bool hasShortcut READ hasShortcut NOTIFY shortcutChanged)
    Q_PROPERTY(QString shortcutText READ shortcutText NOTIFY shortcutChanged)
    Q_PROPERTY(QString modifiersText READ modifiersText NOTIFY pressedModifiersChanged)
    Q_PROPERTY(bool showsRemoveButton READ showsRemoveButton NOTIFY stateChanged)

public:
    // The classic key code of Escape, which ends a recording when pressed alone.
    static constexpr quint32 escapeKeyCode = 53;

    explicit ShortcutRecorderModel(QObject* parent = nullptr);
    explicit ShortcutRecorderModel(GlobalHotkeyManager& hotkeys, QObject* parent = nullptr);
    ~ShortcutRecorderModel() override;

    const std::optional<GlobalKeyShortcut>& shortcut() const { return m_shortcut; }
    void setShortcut(const std::optional<GlobalKeyShortcut>& shortcut);
    const QUuid& workspaceID() const { return m_workspaceID; }
    void setWorkspaceID(const QUuid& id) { m_workspaceID = id; }

    bool isRecording() const { return m_isRecording; }
    // The shortcut shown: the workspace's, unless the system does not hold it (it does nothing).
    std::optional<GlobalKeyShortcut> shownShortcut() const;
    bool hasShortcut() const { return shownShortcut().has_value(); }
    QString shortcutText() const;
    quint32 pressedModifiers() const { return m_pressedModifiers; }
    // The names of the modifiers held while recording ("Ctrl+Alt+").
    QString modifiersText() const { return modifierNames(m_pressedModifiers); }
    bool showsRemoveButton() const { return hasShortcut() && !m_isRecording; }

    // The recorder button: starts a recording, or ends the running one without a change.
    Q_INVOKABLE void toggleRecording();
    // Ends a recording without a change (also when the recorder goes away, its window hides or
    // loses the focus, or Escape is pressed alone).
    Q_INVOKABLE void stopRecording();
    // The remove button: writes no shortcut, then drops the workspace's hot key.
    Q_INVOKABLE void removeShortcut();

    // One key press while recording: a classic key code (nothing for a key that cannot be part of a
    // shortcut) and the classic modifier mask held with it.
    void handleKeyEvent(std::optional<quint32> keyCode, quint32 modifiers);
    void setPressedModifiers(quint32 modifiers);

    // The keys as a Linux user reads them: the modifiers' names (Super for Command, Ctrl, Alt for
    // Option, Shift), each followed by "+", then the key's name ("Ctrl+Alt+1").
    static QString createDisplayString(quint32 modifiers, quint32 keyCode);
    // The fixed name of a special key, else the upper-cased character of the keyboard layout,
    // else nothing.
    static QString keyCodeToString(quint32 keyCode);
    // What the key types on the current layout without modifiers; nothing when it types nothing.
    static std::optional<QString> keyCodeToCharacter(quint32 keyCode);
    static QString modifierNames(quint32 modifiers);

signals:
    // The shortcut to store for the workspace: a recorded and registered one, or none when removed.
    void shortcutWritten(const std::optional<GlobalKeyShortcut>& shortcut);
    // For every key press that passed the modifier rule: whether the shortcut was assigned.
    void shortcutAssigned(bool assigned);
    void shortcutChanged();
    void isRecordingChanged();
    void pressedModifiersChanged();
    void stateChanged();

private:
    GlobalHotkeyManager& m_hotkeys;
    std::optional<GlobalKeyShortcut> m_shortcut;
    QUuid m_workspaceID;
    bool m_isRecording = false;
    quint32 m_pressedModifiers = 0;
    std::unique_ptr<KeyEventMonitor> m_eventMonitor;
};
