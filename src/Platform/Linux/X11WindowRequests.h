#pragma once

#include "Platform/Clock.h"

#include <xcb/xcb.h>

#include <QList>
#include <QRect>

#include <memory>

class X11Windows;

// Requests to the window manager that a script waits for: each is asked for, then the windows are
// read back on the clock until the change shows or the time is up. A manager may round a size or
// refuse a request, so a time-out is no error: the script goes on with what the manager made.
class X11WindowRequests {
public:
    X11WindowRequests(std::shared_ptr<X11Windows> windows, std::shared_ptr<Clock> clock);

    // How far apart two frames are: the differences of their positions and sizes, added up.
    static int distance(const QRect& a, const QRect& b);

    // Gives the window frame (root coordinates) and waits up to a second until its frame is no
    // further than tolerance from it, or the window is gone.
    QCoro::Task<void> setFrame(xcb_window_t window, QRect frame, int tolerance);
    // Asks each window to close and waits up to timeout until none of them is managed any more.
    QCoro::Task<void> close(QList<xcb_window_t> windows, Clock::Duration timeout);

private:
    std::shared_ptr<X11Windows> m_windows;
    std::shared_ptr<Clock> m_clock;
};
