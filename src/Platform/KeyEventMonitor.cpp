#include "Platform/KeyEventMonitor.h"

#include "Platform/KeyCodeTable.h"

#include <QCoreApplication>
#include <QKeyEvent>

KeyEventMonitor::KeyEventMonitor(QObject* parent)
    : QObject(parent) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
    }
}

KeyEventMonitor::~KeyEventMonitor() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
    }
}

bool KeyEventMonitor::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride) {
        // Claimed, so no application shortcut fires; the press itself follows and is eaten below.
        event->accept();
        return true;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) {
        return false;
    }
    // A key event travels from the window to the focused control: it is read once, at the window.
    if (!watched->isWindowType()) {
        return true;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const quint32 modifiers = KeyCodeTable::classicModifiers(key->modifiers());
    if (KeyCodeTable::isModifierKey(key->key())) {
        emit modifiersChanged(modifiers);
    } else if (type == QEvent::KeyPress) {
        std::optional<quint32> keysym;
        if (key->nativeVirtualKey() != 0) {
            keysym = key->nativeVirtualKey();
        } else {
            keysym = KeyCodeTable::keysymForQtKey(key->key(), key->modifiers().testFlag(Qt::KeypadModifier));
        }
        emit keyPressed(keysym ? KeyCodeTable::keyCodeForKeysym(*keysym) : std::nullopt, modifiers);
    }
    return true;
}
