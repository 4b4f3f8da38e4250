#pragma once

#include <QList>
#include <QObject>

#include <xcb/xcb.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class X11Connection;

// Stacks the windows of a desktop not shown by lowering, for a manager that takes a request to raise
// such a window for an activation that brings it over to the desktop shown (xfwm4): every other
// window of its desktop lowered, front to back, leaves it in front of them and them in their
// order, as a raise would, and it is never shown on the way. The raises of a restore come back to
// back: the desktop's windows are lowered once for all of them, at the next turn of the event loop
// or before the stacking is read, whichever is first (lowering them for each raise would cost the
// square of their number). Main thread.
class X11LoweredStacking {
public:
    // sent is told the window in front once a lowering went to the manager.
    X11LoweredStacking(X11Connection& connection, std::function<void(xcb_window_t front)> sent);
    ~X11LoweredStacking();
    X11LoweredStacking(const X11LoweredStacking&) = delete;
    X11LoweredStacking& operator=(const X11LoweredStacking&) = delete;

    // Whether a raise on the desktop builds on the order the last raises asked for, which the
    // manager may not have carried out yet: raise() then needs the desktop's windows in any order,
    // otherwise front to back as they stand.
    bool building(quint32 desktop) const;
    // Raises window, one of windowsOfDesktop (those of its desktop, every desktop's left out).
    void raise(xcb_window_t window, quint32 desktop, const QList<xcb_window_t>& windowsOfDesktop);
    // Sends the lowering asked for, if it was not sent yet.
    void send();

private:
    // The order, front to back, the last raise asked of the windows of a desktop, and when.
    struct Order {
        quint32 desktop = 0;
        QList<xcb_window_t> frontToBack;
        std::chrono::steady_clock::time_point at;
        bool sent = false;
    };

    X11Connection& m_connection;
    std::function<void(xcb_window_t)> m_sent;
    std::optional<Order> m_order;
    // Holds the send at the next turn of the event loop, which is dropped with this object.
    std::unique_ptr<QObject> m_context;
};
