#include "Platform/Simulated/SimulatedHotKeys.h"

#include "Platform/KeyCodeTable.h"

#include <algorithm>

HotKeys::Status SimulatedHotKeys::registerHotKey(quint32 keyCode, quint32 modifiers, HotKeyID id) {
    if (m_forcedStatus != Status::registered) {
        return m_forcedStatus;
    }
    const bool taken =
        m_heldElsewhere.contains(combination(keyCode, modifiers)) ||
        std::any_of(m_registrations.begin(), m_registrations.end(), [&](const Registration& r) {
            return r.id == id || (r.keyCode == keyCode && r.modifiers == modifiers);
        });
    if (taken) {
        return Status::refused;
    }
    m_registrations.append({keyCode, modifiers, id});
    return Status::registered;
}

bool SimulatedHotKeys::unregisterHotKey(HotKeyID id) {
    return m_registrations.removeIf([id](const Registration& r) { return r.id == id; }) > 0;
}

std::optional<QString> SimulatedHotKeys::keyName(quint32 keyCode) const {
    const auto it = m_keyNames.constFind(keyCode);
    if (it != m_keyNames.cend()) {
        return *it;
    }
    // Otherwise the simulated keyboard has a US layout.
    const KeyCodeTable::Key* key = KeyCodeTable::key(keyCode);
    return key && !key->character.isEmpty() ? std::optional<QString>(key->character) : std::nullopt;
}

bool SimulatedHotKeys::press(quint32 keyCode, quint32 modifiers) {
    if (m_heldElsewhere.contains(combination(keyCode, modifiers))) {
        return false;
    }
    for (const Registration& r : m_registrations) {
        if (r.keyCode == keyCode && r.modifiers == modifiers) {
            emit pressed(r.id.signature, r.id.id);
            return true;
        }
    }
    return false;
}

void SimulatedHotKeys::takeOver(quint32 keyCode, quint32 modifiers) {
    setHeldElsewhere(keyCode, modifiers, true);
    QList<HotKeyID> gone;
    m_registrations.removeIf([&](const Registration& r) {
        const bool taken = r.keyCode == keyCode && r.modifiers == modifiers;
        if (taken) {
            gone.append(r.id);
        }
        return taken;
    });
    for (const HotKeyID& id : gone) {
        emit lost(id.signature, id.id);
    }
}

void SimulatedHotKeys::setHeldElsewhere(quint32 keyCode, quint32 modifiers, bool held) {
    if (held) {
        m_heldElsewhere.insert(combination(keyCode, modifiers));
    } else {
        m_heldElsewhere.remove(combination(keyCode, modifiers));
    }
}
