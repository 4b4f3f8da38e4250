#pragma once

#include "Platform/Clock.h"

#include <qcoro/qcorotask.h>

#include <functional>

// The restore engine's waits, all on the current platform's Clock. Deadlines are monotonic, so a
// change of the wall clock neither cuts a wait short nor stretches it. Once the running restore
// has been asked to stop, every wait ends at once: a restore that will be reported as cancelled
// winds down without sitting out its pauses.
class RestoreWait {
public:
    RestoreWait() = delete;

    // Whether the running restore has been asked to stop.
    static bool stopRequested();
    // Sleeps d; false when it ended early because the restore is stopping.
    static QCoro::Task<bool> pause(Clock::Duration d);
    // What a wait reads when it looks, asked for a little before each look (a fifth of the pause,
    // at most 20 ms): the answers come while it pauses, and the look takes them as the windows
    // stood then.
    using AskAhead = std::function<void()>;
    // Sleeps d, asking ahead before its end; false when it ended early as above.
    static QCoro::Task<bool> pause(Clock::Duration d, AskAhead askAhead);
    // Checks at once, then after every step until the check holds or timeout has passed, and
    // once more at the deadline. A time-out is not an error: the answer is then false. A
    // time-out of 0 or less checks once.
    static QCoro::Task<bool> pollUntil(std::function<bool()> check, Clock::Duration timeout,
                                       Clock::Duration step, AskAhead askAhead = {});
    // The same, looking first after one step: for a change just asked of the window manager,
    // which cannot show before the manager has had its turn (a look at once would only read many
    // windows for nothing while the manager is busy carrying the requests out).
    static QCoro::Task<bool> pollAfter(std::function<bool()> check, Clock::Duration timeout,
                                       Clock::Duration step, AskAhead askAhead = {});
    static QCoro::Task<bool> pollUntilAsync(std::function<QCoro::Task<bool>()> check, Clock::Duration timeout,
                                            Clock::Duration step);

    static constexpr Clock::Duration ms(int milliseconds) { return Clock::Duration(milliseconds); }
};
