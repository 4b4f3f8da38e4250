#pragma once

#include "Platform/Clock.h"
#include "Services/Restore/RestoreWait.h"

#include <functional>

#include <qcoro/qcorotask.h>

// The restore's steps whose outcome can be read back are tried up to three times: run, checked,
// and while the check fails, paused and run again. What an attempt did may still come to show (a
// window that maps late, a record that catches up): the check is read again through the pause,
// which ends as soon as it holds, and then the step is not run again. Running out of attempts is
// not an error: the last attempt's outcome stands.
class BoundedRetry {
public:
    BoundedRetry() = delete;

    static constexpr int attempts = 3;
    // The pause after attempt n (1-based): 100 ms, then 200 ms, growing to at most 800 ms.
    static Clock::Duration pause(int attempt);
    // How often the check is read through a pause.
    static constexpr Clock::Duration checkStep{50};

    template <typename T>
    static QCoro::Task<T> run(std::function<QCoro::Task<T>(int attempt)> operation,
                              std::function<QCoro::Task<bool>(const T& outcome)> check) {
        for (int attempt = 1;; ++attempt) {
            T outcome = co_await operation(attempt);
            const std::function<QCoro::Task<bool>()> shows = [&check, &outcome] { return check(outcome); };
            if (co_await shows() || attempt >= attempts) {
                co_return outcome;
            }
            if (co_await heldWithin(shows, pause(attempt))) {
                co_return outcome;
            }
        }
    }

    // Whether check holds at a read every checkStep through d (the last one at its end); false
    // at once when the restore is stopping.
    static QCoro::Task<bool> heldWithin(std::function<QCoro::Task<bool>()> check, Clock::Duration d);
    // A check whose answer is known at once.
    static QCoro::Task<bool> ready(bool value);
    // A stand-in outcome for steps whose result is read back from the desktop.
    static QCoro::Task<bool> done(QCoro::Task<void> step);
};
