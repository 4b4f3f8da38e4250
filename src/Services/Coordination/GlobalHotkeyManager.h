#pragma once

#include "Models/GlobalKeyShortcut.h"
#include "Models/Workspace.h"
#include "Platform/HotKeys.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QUuid>

#include <functional>
#include <map>
#include <memory>
#include <optional>

// Gives each workspace with a keyboard shortcut a system-wide hot key and turns a press of it into
// one callback with the workspace's id. The one owner of the hot-key registrations: at most one
// per workspace, each under its own id (signature "ORDL", numbers from 1, never reused). Two
// shortcuts are the same hot key when key code and modifiers agree; the display text is only how
// the recorder wrote them. A workspace's shortcut that cannot be held (refused at start-up, or
// taken by another program when the keyboard map changed) is dropped, kept as lost until the
// workspace is given a shortcut again, announced and printed, so that no view shows a shortcut
// that does nothing. Main thread.
class GlobalHotkeyManager : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(const QUuid& workspaceID)>;

    // The four bytes of "ORDL", the first one most significant.
    static constexpr quint32 hotKeySignature =
        (quint32('O') << 24) | (quint32('R') << 16) | (quint32('D') << 8) | quint32('L');

    // Registers through hotKeys (none: every registration fails).
    explicit GlobalHotkeyManager(std::shared_ptr<HotKeys> hotKeys, QObject* parent = nullptr);

    // The process-wide manager on the current platform's hot keys, made on first use.
    static GlobalHotkeyManager& shared();

    // Gives the workspace this shortcut as its hot key, replacing the one it had. False when
    // another workspace holds the same keys (nothing changes) or the system refuses them (the
    // workspace keeps its previous hot key when that can be registered again).
    bool registerShortcut(const GlobalKeyShortcut& shortcut, const QUuid& workspaceID);
    // Drops the workspace's hot key, if it has one, and forgets a lost one.
    void unregister(const QUuid& workspaceID);
    // The other workspace that holds a hot key on the same keys, ignoring excluding.
    std::optional<QUuid> isShortcutTaken(const GlobalKeyShortcut& shortcut, const QUuid& excluding) const;
    // Registers the shortcut of every workspace that has one, in list order; answers are dropped.
    void registerAll(const QList<Workspace>& workspaces);

    // Sets every hot key aside (the keys reach the focused window instead) until as many resume()
    // calls as suspend() calls were made; registrations made meanwhile are checked with the system
    // and take effect then. A hot key the system refuses when it is put back is lost.
    void suspend();
    void resume();
    bool isSuspended() const { return m_suspensions > 0; }

    // Called with the workspace id of a pressed hot key, from the event loop after the press.
    void setOnHotkeyTriggered(Callback callback) { m_onHotkeyTriggered = std::move(callback); }

    // The shortcut registered for the workspace, if any.
    std::optional<GlobalKeyShortcut> registeredShortcut(const QUuid& workspaceID) const;
    // The id the next registration attempt will use.
    quint32 nextHotkeyID() const { return m_nextHotkeyID; }
    // The workspace's shortcut that could not be held, until it is given one again.
    std::optional<GlobalKeyShortcut> lostShortcut(const QUuid& workspaceID) const;

signals:
    // The workspace's shortcut was lost, or a lost one was replaced or removed.
    void lostShortcutChanged(const QUuid& workspaceID);

private:
    struct Registration {
        HotKeys::HotKeyID hotKeyID;
        GlobalKeyShortcut shortcut;
    };

    static bool sameKeys(const GlobalKeyShortcut& a, const GlobalKeyShortcut& b);
    bool tryRegister(const GlobalKeyShortcut& shortcut, const QUuid& workspaceID);
    void dropRegistration(const QUuid& workspaceID);
    void handlePressed(quint32 signature, quint32 id);
    void handleLost(quint32 signature, quint32 id);
    void markLost(const QUuid& workspaceID, const GlobalKeyShortcut& shortcut, const QString& when,
                  const QString& why);
    void forgetLost(const QUuid& workspaceID);

    std::shared_ptr<HotKeys> m_hotKeys;
    // Ordered by id so that look-ups through the list are stable.
    std::map<QUuid, Registration> m_registeredHotkeys;
    Callback m_onHotkeyTriggered;
    quint32 m_nextHotkeyID = 1;
    int m_suspensions = 0;
    QHash<quint32, QUuid> m_hotkeyIDToWorkspace;
    QHash<QUuid, GlobalKeyShortcut> m_lostShortcuts;
};
