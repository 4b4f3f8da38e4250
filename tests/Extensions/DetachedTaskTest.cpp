#include "Extensions/DetachedTask.h"

#include "Platform/Clock.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/TestPlatform.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace std::chrono_literals;

// Fails as told: before its first wait, after it, with something that is no std::exception, or not.
QCoro::Task<void> work(int kind, std::shared_ptr<bool> finished) {
    if (kind == 0) {
        throw std::runtime_error("at once");
    }
    co_await Platform::current().clock->sleep(1s);
    if (kind == 1) {
        throw std::runtime_error("after a wait");
    }
    if (kind == 2) {
        throw 42;
    }
    *finished = true;
}

TEST(DetachedTask, WhatEscapesADetachedCoroutineIsPrinted) {
    struct Case {
        int kind;
        QStringList printed;
        bool finished;
    };
    const QList<Case> cases{
        {0, {"[Owner] The job ended unexpectedly: at once"}, false},
        {1, {"[Owner] The job ended unexpectedly: after a wait"}, false},
        {2, {"[Owner] The job ended unexpectedly: unknown error"}, false},
        {3, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        TestPlatform platform;
        DiagnosticsCapture diagnostics;
        auto finished = std::make_shared<bool>(false);
        DetachedTask::start("Owner", "The job", work(c.kind, finished));
        // The caller goes on at once; the rest runs by itself.
        EXPECT_EQ(diagnostics.lines(), c.kind == 0 ? c.printed : QStringList());
        EXPECT_TRUE(platform.clock().runUntilDone(platform.clock().sleep(2s)));
        EXPECT_EQ(diagnostics.lines(), c.printed);
        EXPECT_EQ(*finished, c.finished);
    }
}

} // namespace
