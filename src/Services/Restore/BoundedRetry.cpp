#include "Services/Restore/BoundedRetry.h"

#include <algorithm>

Clock::Duration BoundedRetry::pause(int attempt) {
    return Clock::Duration(std::min(100 << std::clamp(attempt - 1, 0, 3), 800));
}

QCoro::Task<bool> BoundedRetry::ready(bool value) {
    co_return value;
}

QCoro::Task<bool> BoundedRetry::done(QCoro::Task<void> step) {
    co_await std::move(step);
    co_return true;
}
