#pragma once

#include "Platform/HotKeys.h"

#include <QHash>
#include <QList>
#include <QSet>

// The hot-key service of the simulated desktop. Tests press combinations, let "other programs"
// hold combinations, and give keys their layout names.
class SimulatedHotKeys : public HotKeys {
    Q_OBJECT
public:
    struct Registration {
        quint32 keyCode = 0;
        quint32 modifiers = 0;
        HotKeyID id;
        bool operator==(const Registration&) const = default;
    };

    using HotKeys::HotKeys;

    Status registerHotKey(quint32 keyCode, quint32 modifiers, HotKeyID id) override;
    bool unregisterHotKey(HotKeyID id) override;
    std::optional<QString> keyName(quint32 keyCode) const override;

    // The user presses the combination: pressed() is emitted for the registration that holds it.
    // False when no registration of this program holds it.
    bool press(quint32 keyCode, quint32 modifiers);
    // Another program takes or lets go of a combination; while it holds one, registering that
    // combination is refused and pressing it reaches no registration here.
    void setHeldElsewhere(quint32 keyCode, quint32 modifiers, bool held);
    // Another program takes a combination this one holds (as when the keyboard map changes): the
    // registration is dropped and reported lost.
    void takeOver(quint32 keyCode, quint32 modifiers);
    // Every registration is answered with status instead (registered: the normal behaviour).
    void setForcedStatus(Status status) { m_forcedStatus = status; }
    void setKeyName(quint32 keyCode, const QString& name) { m_keyNames.insert(keyCode, name); }

    // The live registrations, oldest first.
    const QList<Registration>& registrations() const { return m_registrations; }

private:
    static quint64 combination(quint32 keyCode, quint32 modifiers) {
        return (quint64(keyCode) << 32) | modifiers;
    }

    QList<Registration> m_registrations;
    QSet<quint64> m_heldElsewhere;
    QHash<quint32, QString> m_keyNames;
    Status m_forcedStatus = Status::registered;
};
