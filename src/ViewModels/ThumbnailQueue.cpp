#include "ViewModels/ThumbnailQueue.h"

#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Services/Desktop/WindowScreenshotService.h"

#include <coroutine>
#include <deque>

namespace {

struct Line {
    bool busy = false;
    int pending = 0;
    std::deque<std::coroutine_handle<>> waiting;
};

Line& line() {
    static Line instance;
    return instance;
}

// Waits until no other capture runs; the line is then this caller's until release().
struct Turn {
    bool await_ready() const noexcept {
        if (line().busy) {
            return false;
        }
        line().busy = true;
        return true;
    }
    void await_suspend(std::coroutine_handle<> handle) const { line().waiting.push_back(handle); }
    void await_resume() const noexcept {}
};

// Hands the line to the next caller, which keeps it busy.
void release() {
    Line& l = line();
    if (l.waiting.empty()) {
        l.busy = false;
        return;
    }
    const std::coroutine_handle<> next = l.waiting.front();
    l.waiting.pop_front();
    next.resume();
}

} // namespace

QCoro::Task<std::optional<QImage>> ThumbnailQueue::capture(qint32 pid, qint64 windowIndex, double maxSize,
                                                           const QPointer<QObject>& owner) {
    ++line().pending;
    co_await Turn{};
    // The event loop's turn between two captures (held across the wait, as a test may replace
    // the platform meanwhile). Handing on the line therefore never runs a chain of captures at once.
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    co_await clock->sleep(Clock::Duration::zero());
    std::optional<QImage> picture;
    if (owner) {
        picture = co_await WindowScreenshotService::captureWindowThumbnail(pid, windowIndex, maxSize);
    }
    --line().pending;
    release();
    co_return picture;
}

int ThumbnailQueue::pending() {
    return line().pending;
}
