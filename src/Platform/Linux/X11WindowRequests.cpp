#include "Platform/Linux/X11WindowRequests.h"

#include "Platform/Linux/X11Windows.h"

#include <cstdlib>

X11WindowRequests::X11WindowRequests(std::shared_ptr<X11Windows> windows, std::shared_ptr<Clock> clock)
    : m_windows(std::move(windows))
    , m_clock(std::move(clock)) {
}

int X11WindowRequests::distance(const QRect& a, const QRect& b) {
    return std::abs(a.x() - b.x()) + std::abs(a.y() - b.y()) + std::abs(a.width() - b.width()) +
           std::abs(a.height() - b.height());
}

QCoro::Task<void> X11WindowRequests::setFrame(xcb_window_t window, QRect frame, int tolerance) {
    // The coroutine keeps what it uses after a wait.
    const std::shared_ptr<X11Windows> x11 = m_windows;
    const std::shared_ptr<Clock> clock = m_clock;
    x11->resizeFrame(window, frame.size());
    x11->moveFrame(window, frame.topLeft());
    // Named, not a temporary of the awaited expression: such temporaries do not survive the wait
    // with every compiler.
    const std::function<bool()> placed = [x11, window, frame, tolerance] {
        const std::optional<X11Client> now = x11->client(window);
        return !now || distance(now->frameRect(), frame) <= tolerance;
    };
    co_await clock->pollUntil(placed, Clock::seconds(1.0), Clock::Duration(20));
}

QCoro::Task<void> X11WindowRequests::close(QList<xcb_window_t> windows, Clock::Duration timeout) {
    const std::shared_ptr<X11Windows> x11 = m_windows;
    const std::shared_ptr<Clock> clock = m_clock;
    for (const xcb_window_t w : windows) {
        x11->close(w);
    }
    const std::function<bool()> gone = [x11, windows] {
        for (const xcb_window_t w : windows) {
            if (x11->client(w)) {
                return false;
            }
        }
        return true;
    };
    co_await clock->pollUntil(gone, timeout, Clock::Duration(20));
}
