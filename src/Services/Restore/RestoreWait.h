#pragma once

#include "Platform/Clock.h"

#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>

class RestoreRequest;

// The restore engine's waits, all on the current platform's Clock. Deadlines are monotonic, so a
// change of the wall clock neither cuts a wait short nor stretches it. A wait given the restore
// request it serves ends at once when the request has been asked to stop: a step that starts
// programs (a launch, documents, new windows) winds down without sitting out its pauses when the
// restore will be reported as cancelled. The short waits of placing and stacking windows are given
// none: they run to their bounds, and nothing is placed once the request stopped.
class RestoreWait {
public:
    RestoreWait() = delete;

    // The request a wait serves, when it ends early once the request is asked to stop.
    using Request = std::shared_ptr<RestoreRequest>;

    // Sleeps d; false when it ended early because the request is stopping.
    static QCoro::Task<bool> pause(Clock::Duration d, Request request = {});
    // What a wait reads when it looks, asked for a little before each look (a fifth of the pause,
    // at most 20 ms): the answers come while it pauses, and the look takes them as the windows
    // stood then.
    using AskAhead = std::function<void()>;
    // Sleeps d, asking ahead before its end; false when it ended early as above.
    static QCoro::Task<bool> pause(Clock::Duration d, AskAhead askAhead, Request request = {});
    // Checks at once, then after every step until the check holds or timeout has passed, and
    // once more at the deadline. A time-out is not an error: the answer is then false. A
    // time-out of 0 or less checks once.
    static QCoro::Task<bool> pollUntil(std::function<bool()> check, Clock::Duration timeout,
                                       Clock::Duration step, AskAhead askAhead = {}, Request request = {});
    // The same, looking first after one step: for a change just asked of the window manager,
    // which cannot show before the manager has had its turn (a look at once would only read many
    // windows for nothing while the manager is busy carrying the requests out).
    static QCoro::Task<bool> pollAfter(std::function<bool()> check, Clock::Duration timeout,
                                       Clock::Duration step, AskAhead askAhead = {}, Request request = {});
    static QCoro::Task<bool> pollUntilAsync(std::function<QCoro::Task<bool>()> check, Clock::Duration timeout,
                                            Clock::Duration step, Request request = {});

    static constexpr Clock::Duration ms(int milliseconds) { return Clock::Duration(milliseconds); }
};
