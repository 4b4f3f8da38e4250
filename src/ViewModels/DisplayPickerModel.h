#pragma once

#include "Models/WorkspaceTrigger.h"
#include "Services/Coordination/DisplayMonitor.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <functional>

// The display picker of a new display trigger: the displays connected now, read afresh each time
// the picker opens, and a click on one of them made into a complete trigger (a new id, the kind of
// the picker, the display's identity and its name at that moment). The picker checks nothing
// against existing triggers and stays open after a choice.
class DisplayPickerModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString icon READ icon CONSTANT)
    Q_PROPERTY(QColor iconColor READ iconColor CONSTANT)
    // One entry per display: {"uuid": identity, "name": name}.
    Q_PROPERTY(QVariantList displays READ displays NOTIFY displaysChanged)
    Q_PROPERTY(bool isEmpty READ isEmpty NOTIFY displaysChanged)

public:
    enum class Kind { connected, disconnected };
    using Display = DisplayMonitor::ConnectedDisplay;
    using DisplaySource = std::function<QList<Display>()>;

    // Reads the displays the display monitor reports connected.
    explicit DisplayPickerModel(Kind kind, QObject* parent = nullptr);
    DisplayPickerModel(Kind kind, DisplaySource source, QObject* parent = nullptr);

    Kind kind() const { return m_kind; }
    QString title() const;
    QString icon() const;
    QColor iconColor() const;
    const QList<Display>& displayList() const { return m_displays; }
    QVariantList displays() const;
    bool isEmpty() const { return m_displays.isEmpty(); }

    // Reads the connected displays again.
    Q_INVOKABLE void refresh();
    // A click on the display at index of the list shown.
    Q_INVOKABLE void select(int index);

signals:
    void triggerChosen(const WorkspaceTrigger& trigger);
    void displaysChanged();

private:
    Kind m_kind;
    DisplaySource m_source;
    QList<Display> m_displays;
};
