#include "Services/Restore/RestoreWait.h"

#include "Platform/Platform.h"
#include "Services/Restore/RestoreRequest.h"

namespace {

bool stopping(const RestoreWait::Request& request) {
    return request && request->stopRequested();
}

} // namespace

QCoro::Task<bool> RestoreWait::pause(Clock::Duration d, Request request) {
    if (stopping(request)) {
        co_return false;
    }
    // Held for the whole sleep: a test may install another platform meanwhile.
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    co_await clock->sleep(d);
    co_return !stopping(request);
}

QCoro::Task<bool> RestoreWait::pause(Clock::Duration d, AskAhead askAhead, Request request) {
    const Clock::Duration lead = std::min(d / 5, ms(20));
    if (!askAhead || lead <= Clock::Duration::zero()) {
        co_return co_await pause(d, request);
    }
    if (!co_await pause(d - lead, request)) {
        co_return false;
    }
    askAhead();
    co_return co_await pause(lead, request);
}

QCoro::Task<bool> RestoreWait::pollUntil(std::function<bool()> check, Clock::Duration timeout,
                                         Clock::Duration step, AskAhead askAhead, Request request) {
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    const Clock::TimePoint deadline = clock->now() + timeout;
    while (clock->now() < deadline) {
        if (check()) {
            co_return true;
        }
        if (!co_await pause(
                std::min(step, std::chrono::duration_cast<Clock::Duration>(deadline - clock->now())),
                askAhead, request)) {
            break;
        }
    }
    co_return check();
}

QCoro::Task<bool> RestoreWait::pollAfter(std::function<bool()> check, Clock::Duration timeout,
                                         Clock::Duration step, AskAhead askAhead, Request request) {
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    const Clock::TimePoint deadline = clock->now() + timeout;
    if (!co_await pause(std::min(step, timeout), askAhead, request)) {
        co_return check();
    }
    co_return co_await pollUntil(std::move(check),
                                 std::chrono::duration_cast<Clock::Duration>(deadline - clock->now()), step,
                                 std::move(askAhead), std::move(request));
}

QCoro::Task<bool> RestoreWait::pollUntilAsync(std::function<QCoro::Task<bool>()> check,
                                              Clock::Duration timeout, Clock::Duration step,
                                              Request request) {
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    const Clock::TimePoint deadline = clock->now() + timeout;
    while (clock->now() < deadline) {
        if (co_await check()) {
            co_return true;
        }
        if (!co_await pause(
                std::min(step, std::chrono::duration_cast<Clock::Duration>(deadline - clock->now())),
                request)) {
            break;
        }
    }
    co_return co_await check();
}
