#include "Services/Coordination/GlobalHotkeyManager.h"

#include "Platform/Diagnostics.h"
#include "Platform/Platform.h"

GlobalHotkeyManager::GlobalHotkeyManager(std::shared_ptr<HotKeys> hotKeys, QObject* parent)
    : QObject(parent)
    , m_hotKeys(std::move(hotKeys)) {
    if (m_hotKeys) {
        connect(m_hotKeys.get(), &HotKeys::pressed, this, &GlobalHotkeyManager::handlePressed);
        connect(m_hotKeys.get(), &HotKeys::lost, this, &GlobalHotkeyManager::handleLost);
    }
}

GlobalHotkeyManager& GlobalHotkeyManager::shared() {
    // Never destroyed: the hot keys stay registered for the life of the process.
    static GlobalHotkeyManager* instance = new GlobalHotkeyManager(Platform::current().hotKeys);
    return *instance;
}

bool GlobalHotkeyManager::sameKeys(const GlobalKeyShortcut& a, const GlobalKeyShortcut& b) {
    return a.keyCode == b.keyCode && a.modifierFlags == b.modifierFlags;
}

bool GlobalHotkeyManager::registerShortcut(const GlobalKeyShortcut& shortcut, const QUuid& workspaceID) {
    if (isShortcutTaken(shortcut, workspaceID)) {
        return false;
    }
    const std::optional<GlobalKeyShortcut> previous = registeredShortcut(workspaceID);
    dropRegistration(workspaceID);
    if (tryRegister(shortcut, workspaceID)) {
        forgetLost(workspaceID);
        return true;
    }
    // Refused by the system: a workspace must not lose the hot key it had over a failed change.
    if (previous) {
        tryRegister(*previous, workspaceID);
    }
    return false;
}

bool GlobalHotkeyManager::tryRegister(const GlobalKeyShortcut& shortcut, const QUuid& workspaceID) {
    // The id is used up even when the registration fails, so ids are never given out twice.
    const HotKeys::HotKeyID hotKeyID{hotKeySignature, m_nextHotkeyID++};
    if (!m_hotKeys || m_hotKeys->registerHotKey(shortcut.keyCode, shortcut.modifierFlags, hotKeyID) !=
                          HotKeys::Status::registered) {
        return false;
    }
    if (isSuspended()) {
        // Accepted by the system; it takes effect when the hot keys are put back.
        m_hotKeys->unregisterHotKey(hotKeyID);
    }
    m_registeredHotkeys[workspaceID] = {hotKeyID, shortcut};
    m_hotkeyIDToWorkspace.insert(hotKeyID.id, workspaceID);
    return true;
}

void GlobalHotkeyManager::suspend() {
    if (m_suspensions++ > 0 || !m_hotKeys) {
        return;
    }
    for (const auto& [workspaceID, registration] : m_registeredHotkeys) {
        m_hotKeys->unregisterHotKey(registration.hotKeyID);
    }
}

void GlobalHotkeyManager::resume() {
    if (m_suspensions == 0 || --m_suspensions > 0 || !m_hotKeys) {
        return;
    }
    QList<QUuid> refused;
    for (const auto& [workspaceID, registration] : m_registeredHotkeys) {
        if (m_hotKeys->registerHotKey(registration.shortcut.keyCode, registration.shortcut.modifierFlags,
                                      registration.hotKeyID) != HotKeys::Status::registered) {
            refused.append(workspaceID);
        }
    }
    for (const QUuid& workspaceID : refused) {
        const GlobalKeyShortcut shortcut = m_registeredHotkeys.at(workspaceID).shortcut;
        m_hotkeyIDToWorkspace.remove(m_registeredHotkeys.at(workspaceID).hotKeyID.id);
        m_registeredHotkeys.erase(workspaceID);
        markLost(workspaceID, shortcut, QStringLiteral("resume"),
                 QStringLiteral("another program took its keys while they were set aside"));
    }
}

void GlobalHotkeyManager::unregister(const QUuid& workspaceID) {
    dropRegistration(workspaceID);
    forgetLost(workspaceID);
}

void GlobalHotkeyManager::dropRegistration(const QUuid& workspaceID) {
    const auto it = m_registeredHotkeys.find(workspaceID);
    if (it == m_registeredHotkeys.end()) {
        return;
    }
    const HotKeys::HotKeyID hotKeyID = it->second.hotKeyID;
    m_registeredHotkeys.erase(it);
    if (m_hotKeys && !isSuspended()) {
        m_hotKeys->unregisterHotKey(hotKeyID);
    }
    m_hotkeyIDToWorkspace.removeIf([&](const auto& entry) { return entry.value() == workspaceID; });
}

std::optional<QUuid> GlobalHotkeyManager::isShortcutTaken(const GlobalKeyShortcut& shortcut,
                                                          const QUuid& excluding) const {
    for (const auto& [workspaceID, registration] : m_registeredHotkeys) {
        if (workspaceID != excluding && sameKeys(registration.shortcut, shortcut)) {
            return workspaceID;
        }
    }
    return std::nullopt;
}

void GlobalHotkeyManager::registerAll(const QList<Workspace>& workspaces) {
    for (const Workspace& workspace : workspaces) {
        if (workspace.globalShortcut && !registerShortcut(*workspace.globalShortcut, workspace.id)) {
            markLost(workspace.id, *workspace.globalShortcut, QStringLiteral("registerAll"),
                     isShortcutTaken(*workspace.globalShortcut, workspace.id)
                         ? QStringLiteral("another workspace has its keys")
                         : QStringLiteral("the system refused its keys"));
        }
    }
}

std::optional<GlobalKeyShortcut> GlobalHotkeyManager::registeredShortcut(const QUuid& workspaceID) const {
    const auto it = m_registeredHotkeys.find(workspaceID);
    return it == m_registeredHotkeys.end() ? std::nullopt : std::optional(it->second.shortcut);
}

std::optional<GlobalKeyShortcut> GlobalHotkeyManager::lostShortcut(const QUuid& workspaceID) const {
    const auto it = m_lostShortcuts.constFind(workspaceID);
    return it == m_lostShortcuts.cend() ? std::nullopt : std::optional(*it);
}

void GlobalHotkeyManager::handleLost(quint32 /*signature*/, quint32 id) {
    const auto it = m_hotkeyIDToWorkspace.constFind(id);
    if (it == m_hotkeyIDToWorkspace.cend()) {
        return;
    }
    const QUuid workspaceID = *it;
    const std::optional<GlobalKeyShortcut> shortcut = registeredShortcut(workspaceID);
    // The desktop holds nothing any more; the registration goes as a refused one would.
    m_registeredHotkeys.erase(workspaceID);
    m_hotkeyIDToWorkspace.removeIf([&](const auto& entry) { return entry.value() == workspaceID; });
    if (shortcut) {
        markLost(workspaceID, *shortcut, QStringLiteral("keyboardMapChanged"),
                 QStringLiteral("another program took its keys"));
    }
}

void GlobalHotkeyManager::markLost(const QUuid& workspaceID, const GlobalKeyShortcut& shortcut,
                                   const QString& when, const QString& why) {
    m_lostShortcuts.insert(workspaceID, shortcut);
    Diagnostics::print(QStringLiteral("[GlobalHotkeyManager.") + when + QStringLiteral("] The shortcut ") +
                       shortcut.displayString + QStringLiteral(" of workspace ") +
                       workspaceID.toString(QUuid::WithoutBraces).toUpper() +
                       QStringLiteral(" is not held (") + why +
                       QStringLiteral("): it does nothing until it is assigned again"));
    emit lostShortcutChanged(workspaceID);
}

void GlobalHotkeyManager::forgetLost(const QUuid& workspaceID) {
    if (m_lostShortcuts.remove(workspaceID) > 0) {
        emit lostShortcutChanged(workspaceID);
    }
}

void GlobalHotkeyManager::handlePressed(quint32 /*signature*/, quint32 id) {
    const auto it = m_hotkeyIDToWorkspace.constFind(id);
    if (it == m_hotkeyIDToWorkspace.cend()) {
        return;
    }
    // The callback runs once the press has been handled, from the event loop, with whatever
    // callback is set by then.
    const QUuid workspaceID = *it;
    QMetaObject::invokeMethod(
        this,
        [this, workspaceID] {
            if (m_onHotkeyTriggered) {
                m_onHotkeyTriggered(workspaceID);
            }
        },
        Qt::QueuedConnection);
}
