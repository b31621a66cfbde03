#include "Async.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <thread>

using namespace ondrake;
using namespace std::chrono_literals;

namespace {

QCoro::Task<int> addAfter(Scheduler &s, Deferred<int> first, int second) {
    const int a = co_await first;
    co_await s.sleep(2s);
    co_return a + second;
}

TEST(Async, DeferredHoldsATaskUntilResolved) {
    ManualScheduler s;
    Deferred<int> first;
    auto result = observe(addAfter(s, first, 2));
    s.advance(10s);
    EXPECT_FALSE(result->done);
    first.resolve(40);
    s.advance(1.9s);
    EXPECT_FALSE(result->done);
    s.advance(0.1s);
    ASSERT_TRUE(result->done);
    EXPECT_EQ(*result->value, 42);
}

TEST(Async, DeferredFailureReachesTheAwaiter) {
    ManualScheduler s;
    Deferred<int> first;
    auto result = observe(addAfter(s, first, 2));
    first.fail(std::runtime_error("boom"));
    ASSERT_TRUE(result->done);
    EXPECT_THROW(std::rethrow_exception(result->error), std::runtime_error);
}

// Operations that start and end in any order, some ending after their owner went: a wait ends
// exactly when the last operation under way at that moment, or started while it waits, has ended.
TEST(Async, AWaitForOperationsInFlightEndsWithTheLastOfThem) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        auto operations = std::make_unique<OperationsInFlight>();
        std::vector<std::optional<OperationsInFlight::Ticket>> tickets;
        for (int i = std::uniform_int_distribution(0, 3)(random); i > 0; --i) tickets.emplace_back(operations->begin());
        auto waited = observe(operations->idle());
        int running = int(tickets.size());
        EXPECT_EQ(waited->done, running == 0);
        while (running > 0) {
            if (operations && std::bernoulli_distribution(0.2)(random)) {
                tickets.emplace_back(operations->begin());
                ++running;
            }
            if (std::bernoulli_distribution(0.1)(random)) operations.reset();
            auto &ending = tickets[std::uniform_int_distribution<std::size_t>(0, tickets.size() - 1)(random)];
            if (!ending) continue;
            ending.reset();
            --running;
            EXPECT_EQ(waited->done, running == 0) << "round " << round << ", " << running << " still running";
        }
    }
}

TEST(Async, RunToCompletionAdvancesVirtualTime) {
    ManualScheduler s;
    Deferred<int> first;
    first.resolve(1);
    EXPECT_EQ(runToCompletion(s, addAfter(s, first, 1)), 2);
    EXPECT_DOUBLE_EQ(s.now(), 2.0);
}

TEST(Async, RunToCompletionReportsATaskThatCanNeverFinish) {
    ManualScheduler s;
    Deferred<int> never;
    EXPECT_THROW(runToCompletion(s, addAfter(s, never, 1)), std::logic_error);
    never.resolve(0);  // lets the abandoned frame finish, so nothing leaks
    s.advance(5s);
}

QCoro::Task<int> fromWorker(ManualScheduler &s) {
    Deferred<int> answer;
    std::thread worker([work = s.beginExternalWork(), answer]() mutable {
        work.complete([answer]() mutable { answer.resolve(7); });
    });
    worker.detach();
    co_return co_await answer;
}

TEST(Async, RunToCompletionWaitsForAnotherThread) {
    ManualScheduler s;
    EXPECT_EQ(runToCompletion(s, fromWorker(s)), 7);
}

QCoro::Task<> failing() {
    throw std::runtime_error("disk full");
    co_return;
}

TEST(Async, DetachedFailuresAreLogged) {
    LogCapture capture;
    startDetached(failing(), Logger(QStringLiteral("TabStore")), QStringLiteral("Saving"));
    EXPECT_TRUE(capture.contains(QStringLiteral("Saving failed: disk full")));
}

TEST(Async, SleepCancelledWithItsFrameNeverResumes) {
    ManualScheduler s;
    int resumed = 0;
    {
        Scheduler::SleepAwaiter awaiter = s.sleep(1s);
        awaiter.await_suspend(std::noop_coroutine());
        EXPECT_EQ(s.pendingCount(), 1u);
    }
    s.advance(5s);
    EXPECT_EQ(resumed, 0);
    EXPECT_EQ(s.pendingCount(), 0u);
}

}  // namespace
