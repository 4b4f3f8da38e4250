#include "Extensions/DetachedTask.h"

#include "Platform/Diagnostics.h"

#include <exception>

namespace {

void report(const QString& owner, const QString& what, const QString& reason) {
    Diagnostics::print(QStringLiteral("[") + owner + QStringLiteral("] ") + what +
                       QStringLiteral(" ended unexpectedly: ") + reason);
}

// Awaits the task and keeps what escapes it from vanishing with the detached frame.
QCoro::Task<void> guarded(QString owner, QString what, QCoro::Task<void> task) {
    try {
        co_await std::move(task);
    } catch (const std::exception& error) {
        report(owner, what, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        report(owner, what, QStringLiteral("unknown error"));
    }
}

} // namespace

void DetachedTask::start(const QString& owner, const QString& what, QCoro::Task<void> task) {
    // The returned task is dropped: its coroutine runs on by itself.
    guarded(owner, what, std::move(task));
}
