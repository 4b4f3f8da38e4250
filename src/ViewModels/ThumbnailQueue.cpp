#include "ViewModels/ThumbnailQueue.h"

#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Services/Desktop/WindowScreenshotService.h"

#include <coroutine>
#include <deque>
#include <memory>

namespace {

// The captures of one clock. A fresh platform (a test's) starts a fresh line, so captures that
// its predecessor left waiting for ever cannot hold up the new one.
struct Line {
    std::weak_ptr<Clock> clock;
    bool busy = false;
    int pending = 0;
    std::deque<std::coroutine_handle<>> waiting;
};

std::shared_ptr<Line>& currentLine() {
    static std::shared_ptr<Line> line;
    return line;
}

std::shared_ptr<Line> lineForCurrentClock() {
    const std::shared_ptr<Clock>& clock = Platform::current().clock;
    std::shared_ptr<Line>& line = currentLine();
    if (!line || line->clock.lock() != clock) {
        line = std::make_shared<Line>();
        line->clock = clock;
    }
    return line;
}

// Waits until no other capture of the line runs; the line is then this caller's until release().
// Holds a plain pointer: the awaiting coroutine keeps the line alive.
struct Turn {
    Line* line;

    bool await_ready() const noexcept {
        if (line->busy) {
            return false;
        }
        line->busy = true;
        return true;
    }
    void await_suspend(std::coroutine_handle<> handle) const { line->waiting.push_back(handle); }
    void await_resume() const noexcept {}
};

// Hands the line to the next caller, which keeps it busy.
void release(Line& line) {
    if (line.waiting.empty()) {
        line.busy = false;
        return;
    }
    const std::coroutine_handle<> next = line.waiting.front();
    line.waiting.pop_front();
    next.resume();
}

} // namespace

QCoro::Task<std::optional<QImage>> ThumbnailQueue::capture(qint32 pid, qint64 windowIndex, double maxSize,
                                                           const QPointer<QObject>& owner) {
    const std::shared_ptr<Line> line = lineForCurrentClock();
    // Held across the waits: the platform may be replaced meanwhile.
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    ++line->pending;
    co_await Turn{line.get()};
    // The event loop's turn between two captures; handing on the line therefore never runs a chain
    // of captures at once.
    co_await clock->sleep(Clock::Duration::zero());
    std::optional<QImage> picture;
    if (owner) {
        picture = co_await WindowScreenshotService::captureWindowThumbnail(pid, windowIndex, maxSize);
    }
    --line->pending;
    release(*line);
    co_return picture;
}

int ThumbnailQueue::pending() {
    const std::shared_ptr<Line>& line = currentLine();
    return line && line->clock.lock() == Platform::current().clock ? line->pending : 0;
}
