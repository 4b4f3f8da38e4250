#pragma once

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <memory>
#include <utility>

// Runs work on a thread of the global pool: reading and decoding what another program or the user
// hands in (a browser's record, an import) can take seconds on crafted input, and the main thread
// answers the window and the socket meanwhile. work must touch nothing the main thread uses.
class WorkerTask {
public:
    WorkerTask() = delete;

    template <typename Work> static auto run(Work work) -> QFuture<decltype(work())> {
        using Result = decltype(work());
        auto promise = std::make_shared<QPromise<Result>>();
        QFuture<Result> future = promise->future();
        promise->start();
        QThreadPool::globalInstance()->start([promise, work = std::move(work)]() mutable {
            promise->addResult(work());
            promise->finish();
        });
        return future;
    }
};
