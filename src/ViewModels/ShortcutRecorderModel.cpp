#include "ViewModels/ShortcutRecorderModel.h"

#include "Platform/HotKeys.h"
#include "Platform/KeyCodeTable.h"
#include "Platform/KeyEventMonitor.h"
#include "Platform/Platform.h"
#include "Services/Coordination/GlobalHotkeyManager.h"

ShortcutRecorderModel::ShortcutRecorderModel(QObject* parent)
    : ShortcutRecorderModel(GlobalHotkeyManager::shared(), parent) {
}

ShortcutRecorderModel::ShortcutRecorderModel(GlobalHotkeyManager& hotkeys, QObject* parent)
    : QObject(parent)
    , m_hotkeys(hotkeys) {
    connect(&m_hotkeys, &GlobalHotkeyManager::lostShortcutChanged, this, [this](const QUuid& id) {
        if (id == m_workspaceID) {
            emit shortcutChanged();
            emit stateChanged();
        }
    });
}

std::optional<GlobalKeyShortcut> ShortcutRecorderModel::shownShortcut() const {
    const std::optional<GlobalKeyShortcut> lost = m_hotkeys.lostShortcut(m_workspaceID);
    if (m_shortcut && lost && lost->keyCode == m_shortcut->keyCode &&
        lost->modifierFlags == m_shortcut->modifierFlags) {
        return std::nullopt;
    }
    return m_shortcut;
}

QString ShortcutRecorderModel::shortcutText() const {
    const std::optional<GlobalKeyShortcut> shown = shownShortcut();
    return shown ? shown->displayString : QString();
}

ShortcutRecorderModel::~ShortcutRecorderModel() {
    // A recorder that goes away while recording puts the hot keys back.
    stopRecording();
}

void ShortcutRecorderModel::setShortcut(const std::optional<GlobalKeyShortcut>& shortcut) {
    if (shortcut != m_shortcut) {
        m_shortcut = shortcut;
        emit shortcutChanged();
        emit stateChanged();
    }
}

void ShortcutRecorderModel::toggleRecording() {
    if (m_isRecording) {
        stopRecording();
        return;
    }
    m_isRecording = true;
    setPressedModifiers(0);
    // Ordella's own hot keys would take a chord another workspace holds before the recorder sees
    // it: they are set aside while it records.
    m_hotkeys.suspend();
    m_eventMonitor = std::make_unique<KeyEventMonitor>();
    connect(m_eventMonitor.get(), &KeyEventMonitor::keyPressed, this, &ShortcutRecorderModel::handleKeyEvent);
    connect(m_eventMonitor.get(), &KeyEventMonitor::modifiersChanged, this,
            &ShortcutRecorderModel::setPressedModifiers);
    emit isRecordingChanged();
    emit stateChanged();
}

void ShortcutRecorderModel::stopRecording() {
    if (!m_isRecording) {
        return;
    }
    m_isRecording = false;
    setPressedModifiers(0);
    m_hotkeys.resume();
    // Destroyed later: the monitor may be in the middle of reporting the press that ends this.
    if (m_eventMonitor) {
        m_eventMonitor.release()->deleteLater();
    }
    emit isRecordingChanged();
    emit stateChanged();
}

void ShortcutRecorderModel::removeShortcut() {
    emit shortcutWritten(std::nullopt);
    m_hotkeys.unregister(m_workspaceID);
}

void ShortcutRecorderModel::setPressedModifiers(quint32 modifiers) {
    if (modifiers != m_pressedModifiers) {
        m_pressedModifiers = modifiers;
        emit pressedModifiersChanged();
    }
}

void ShortcutRecorderModel::handleKeyEvent(std::optional<quint32> keyCode, quint32 modifiers) {
    if (!m_isRecording || !keyCode) {
        return;
    }
    if (*keyCode == escapeKeyCode && modifiers == 0) {
        stopRecording();
        return;
    }
    // Command, or any of Shift, Control and Option: a key without one is no shortcut.
    const quint32 held = modifiers & (GlobalKeyShortcut::commandFlag | GlobalKeyShortcut::shiftFlag |
                                      GlobalKeyShortcut::controlFlag | GlobalKeyShortcut::optionFlag);
    if (held == 0) {
        return;
    }
    const GlobalKeyShortcut recorded{*keyCode, held, createDisplayString(held, *keyCode)};
    if (m_hotkeys.isShortcutTaken(recorded, m_workspaceID)) {
        emit shortcutAssigned(false);
    } else if (m_hotkeys.registerShortcut(recorded, m_workspaceID)) {
        emit shortcutWritten(recorded);
        emit shortcutAssigned(true);
    } else {
        emit shortcutAssigned(false);
    }
    stopRecording();
}

QString ShortcutRecorderModel::modifierNames(quint32 modifiers) {
    // The order Qt and the desktops write them in, each followed by the "+" that joins the key.
    QString text;
    if (modifiers & GlobalKeyShortcut::commandFlag) {
        text += QStringLiteral("Super+");
    }
    if (modifiers & GlobalKeyShortcut::controlFlag) {
        text += QStringLiteral("Ctrl+");
    }
    if (modifiers & GlobalKeyShortcut::optionFlag) {
        text += QStringLiteral("Alt+");
    }
    if (modifiers & GlobalKeyShortcut::shiftFlag) {
        text += QStringLiteral("Shift+");
    }
    return text;
}

QString ShortcutRecorderModel::createDisplayString(quint32 modifiers, quint32 keyCode) {
    return modifierNames(modifiers) + keyCodeToString(keyCode);
}

QString ShortcutRecorderModel::keyCodeToString(quint32 keyCode) {
    if (const KeyCodeTable::Key* key = KeyCodeTable::key(keyCode); key && !key->name.isEmpty()) {
        return key->name;
    }
    return keyCodeToCharacter(keyCode).value_or(QString()).toUpper();
}

std::optional<QString> ShortcutRecorderModel::keyCodeToCharacter(quint32 keyCode) {
    const std::shared_ptr<HotKeys> hotKeys = Platform::current().hotKeys;
    if (!hotKeys) {
        return std::nullopt;
    }
    std::optional<QString> name = hotKeys->keyName(keyCode);
    if (!name || name->isEmpty()) {
        return std::nullopt;
    }
    return name;
}
