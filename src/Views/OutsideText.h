#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// What the views do with a text from outside (a workspace, application or display name, a window
// or tab title, a file name) before they show it: it is isolated, so that directional marks in it
// (a right-to-left override, say) never reorder the words around it.
class OutsideText : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    // Holds no state: each QML engine makes its own.
    using QObject::QObject;

    Q_INVOKABLE static QString shown(const QString& text);
};
