#include "Services/Restore/BoundedRetry.h"

#include <algorithm>

Clock::Duration BoundedRetry::pause(int attempt) {
    return Clock::Duration(std::min(100 << std::clamp(attempt - 1, 0, 3), 800));
}

QCoro::Task<bool> BoundedRetry::heldWithin(std::function<QCoro::Task<bool>()> check, Clock::Duration d) {
    for (Clock::Duration waited{0}; waited < d; waited += checkStep) {
        if (!co_await RestoreWait::pause(std::min(checkStep, d - waited))) {
            co_return false;
        }
        if (co_await check()) {
            co_return true;
        }
    }
    co_return false;
}

QCoro::Task<bool> BoundedRetry::ready(bool value) {
    co_return value;
}

QCoro::Task<bool> BoundedRetry::done(QCoro::Task<void> step) {
    co_await std::move(step);
    co_return true;
}
