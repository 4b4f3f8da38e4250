#include "Services/Scripting/ScriptQueue.h"

#include "Platform/Platform.h"
#include "Support/TestPlatform.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Answers each script with its own text after the delay set for it; "hang" never answers.
class DelayedRunner : public ScriptRunner {
public:
    explicit DelayedRunner(VirtualClock& clock)
        : m_clock(clock) {}

    std::map<QString, Clock::Duration> delays;
    QStringList started;

    QCoro::Task<ScriptResult> run(QString source) override {
        started << QStringLiteral("%1@%2").arg(source, QString::number(m_clock.elapsed().count()));
        const Clock::Duration delay = delays.count(source) ? delays[source] : 0ms;
        co_await m_clock.sleep(delay);
        co_return ScriptResult::answer(ScriptDescriptor::text(source));
    }

private:
    VirtualClock& m_clock;
};

struct Outcome {
    QString answer; // "timeout" when nothing came
    qint64 at = 0;
};

QCoro::Task<Outcome> call(ScriptQueue* queue, VirtualClock* clock, Clock::Duration after, QString source) {
    co_await clock->sleep(after);
    const auto result = co_await queue->run(source);
    Outcome o;
    o.answer = !result              ? QStringLiteral("timeout")
               : result->descriptor ? result->descriptor->stringValue().value_or(QString())
                                    : QString();
    o.at = clock->elapsed().count();
    co_return o;
}

QCoro::Task<QList<Outcome>> callAll(ScriptQueue* q, VirtualClock* c,
                                    QList<std::pair<Clock::Duration, QString>> calls) {
    std::vector<QCoro::Task<Outcome>> tasks;
    for (auto& [after, source] : calls) {
        tasks.push_back(call(q, c, after, source));
    }
    QList<Outcome> outcomes;
    for (auto& t : tasks) {
        outcomes.append(co_await std::move(t));
    }
    co_return outcomes;
}

} // namespace

// One script at a time, in call order. A hung script times out for its caller but keeps the
// queue: scripts queued behind it wait, then run once it really ends; one whose caller gave up
// before its turn never runs.
TEST(ScriptQueue, OverrunningScriptHoldsTheQueue) {
    TestPlatform tp;
    auto runner = std::make_shared<DelayedRunner>(tp.clock());
    tp.platform().scriptRunner = runner;
    runner->delays = {{"slow", 15s}, {"second", 1s}, {"behind", 0ms}, {"third", 0ms}};
    ScriptQueue queue(10s);
    auto outcomes = tp.clock().runUntilDone(
        callAll(&queue, &tp.clock(), {{0ms, "slow"}, {1s, "behind"}, {12s, "second"}, {12s, "third"}}));
    ASSERT_TRUE(outcomes);
    EXPECT_EQ((*outcomes)[0].answer, "timeout");
    EXPECT_EQ((*outcomes)[0].at, 10000);
    // Called at 1 s, still waiting behind "slow" when its own 10 s ran out: dropped.
    EXPECT_EQ((*outcomes)[1].answer, "timeout");
    EXPECT_EQ((*outcomes)[1].at, 11000);
    // Called at 12 s, starts when "slow" ends at 15 s and answers at 16 s, within its time-out.
    EXPECT_EQ((*outcomes)[2].answer, "second");
    EXPECT_EQ((*outcomes)[2].at, 16000);
    EXPECT_EQ((*outcomes)[3].answer, "third");
    EXPECT_EQ((*outcomes)[3].at, 16000);
    EXPECT_EQ(runner->started, (QStringList{"slow@0", "second@15000", "third@16000"}));
    EXPECT_FALSE(queue.isBusy());
}

TEST(ScriptQueue, NewRunnerGetsAFreshQueueAndNoRunnerMakesNoScript) {
    TestPlatform tp;
    ScriptQueue queue(5s);
    auto none = tp.clock().runUntilDone(queue.run("x"));
    ASSERT_TRUE(none && *none);
    EXPECT_FALSE((*none)->descriptor);
    EXPECT_FALSE((*none)->error);

    auto hung = std::make_shared<DelayedRunner>(tp.clock());
    hung->delays = {{"x", 1h}};
    tp.platform().scriptRunner = hung;
    EXPECT_TRUE(tp.clock().runUntilDone(callAll(&queue, &tp.clock(), {{0ms, "x"}})));
    EXPECT_TRUE(queue.isBusy());

    auto fresh = std::make_shared<DelayedRunner>(tp.clock());
    tp.platform().scriptRunner = fresh;
    EXPECT_FALSE(queue.isBusy());
    auto outcomes = tp.clock().runUntilDone(callAll(&queue, &tp.clock(), {{0ms, "y"}}));
    ASSERT_TRUE(outcomes);
    EXPECT_EQ((*outcomes)[0].answer, "y");
}
