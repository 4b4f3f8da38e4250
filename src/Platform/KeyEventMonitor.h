#pragma once

#include <QObject>

#include <optional>

// While it lives, every key press, key release and modifier change that reaches the application
// is consumed here and reported instead: no control of the application sees it. A key press
// reports the classic key code of its key (nothing for a key outside KeyCodeTable) and the classic
// modifier mask held with it; a press or release of a modifier key alone reports the modifiers
// held from then on.
class KeyEventMonitor : public QObject {
    Q_OBJECT
public:
    explicit KeyEventMonitor(QObject* parent = nullptr);
    ~KeyEventMonitor() override;

signals:
    void keyPressed(std::optional<quint32> keyCode, quint32 modifiers);
    void modifiersChanged(quint32 modifiers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
