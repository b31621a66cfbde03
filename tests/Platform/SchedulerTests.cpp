#include "ManualScheduler.h"
#include "Qt/QtScheduler.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <thread>

using namespace ondrake;
using namespace std::chrono_literals;

namespace {

TEST(ManualScheduler, FiresTimersInTimeOrderThenArmingOrder) {
    ManualScheduler s;
    std::string fired;
    auto c = s.after(3s, [&] { fired += 'c'; });
    auto a = s.after(1s, [&] { fired += 'a'; });
    auto b1 = s.after(2s, [&] { fired += 'b'; });
    auto b2 = s.after(2s, [&] { fired += 'B'; });
    s.advance(1.5s);
    EXPECT_EQ(fired, "a");
    EXPECT_DOUBLE_EQ(s.now(), 1.5);
    s.advance(10s);
    EXPECT_EQ(fired, "abBc");
    EXPECT_DOUBLE_EQ(s.now(), 11.5);
}

TEST(ManualScheduler, TheClockReadsTheTimerTimeInsideItsAction) {
    ManualScheduler s;
    double seen = -1;
    auto t = s.after(2s, [&] { seen = s.now(); });
    s.advance(5s);
    EXPECT_DOUBLE_EQ(seen, 2.0);
}

TEST(ManualScheduler, CancelledOrDroppedTimersNeverFire) {
    ManualScheduler s;
    int fired = 0;
    auto cancelled = s.after(1s, [&] { ++fired; });
    cancelled.cancel();
    EXPECT_FALSE(cancelled.isActive());
    { auto dropped = s.after(1s, [&] { ++fired; }); }
    auto replaced = s.after(1s, [&] { ++fired; });
    replaced = s.after(5s, [&] { fired += 10; });
    s.advance(2s);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(replaced.isActive());
    s.advance(5s);
    EXPECT_EQ(fired, 10);
    EXPECT_FALSE(replaced.isActive());
}

TEST(ManualScheduler, RepeatingTimerFiresEveryIntervalUntilCancelledFromItsOwnAction) {
    ManualScheduler s;
    std::vector<double> at;
    TimerHandle timer;
    timer = s.every(0.75s, [&] {
        at.push_back(s.now());
        if (at.size() == 3) timer.cancel();
    });
    s.advance(10s);
    ASSERT_EQ(at.size(), 3u);
    EXPECT_DOUBLE_EQ(at[0], 0.75);
    EXPECT_DOUBLE_EQ(at[1], 1.5);
    EXPECT_DOUBLE_EQ(at[2], 2.25);
    EXPECT_EQ(s.nextTimerTime(), std::nullopt);
}

TEST(ManualScheduler, PostsRunInOrderOnlyWhenRun) {
    ManualScheduler s;
    std::string order;
    s.post([&] {
        order += '1';
        s.post([&] { order += '3'; });
    });
    s.post([&] { order += '2'; });
    EXPECT_EQ(order, "");
    s.runUntilIdle();
    EXPECT_EQ(order, "123");
}

TEST(ManualScheduler, WallClockFollowsVirtualTime) {
    ManualScheduler s;
    const QDateTime start = s.wallNow();
    s.advance(90s);
    EXPECT_EQ(start.secsTo(s.wallNow()), 90);
    s.setWallNow(start.addDays(1));
    EXPECT_EQ(start.secsTo(s.wallNow()), 86400);
    EXPECT_DOUBLE_EQ(s.now(), 90);
}

TEST(ManualScheduler, WaitsForWorkOnAnotherThread) {
    ManualScheduler s;
    bool completed = false;
    ExternalWork work = s.beginExternalWork();
    EXPECT_EQ(s.externalWorkInFlight(), 1);
    std::thread worker([&s, w = std::move(work), &completed]() mutable { w.complete([&] { completed = true; }); });
    s.waitForExternalWork();
    s.runUntilIdle();
    worker.join();
    EXPECT_TRUE(completed);
    EXPECT_EQ(s.externalWorkInFlight(), 0);
}

TEST(ManualScheduler, DestroyingTheSchedulerFirstLeavesHandlesSafe) {
    TimerHandle handle;
    {
        ManualScheduler s;
        handle = s.after(1s, [] {});
    }
    handle.cancel();  // must not touch the scheduler that is gone
    SUCCEED();
}

TEST(QtScheduler, TimersAndPostsRunOnTheEventLoop) {
    QtScheduler s;
    std::string order;
    QEventLoop loop;
    auto late = s.after(0.02s, [&] {
        order += 'T';
        loop.quit();
    });
    auto never = s.after(0.001s, [&] { order += 'X'; });
    never.cancel();
    s.post([&] { order += 'P'; });
    std::thread([&s, &order] { s.post([&order] { order += 'Q'; }); }).join();
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);  // guard against a hang only
    loop.exec();
    EXPECT_EQ(order, "PQT");
    EXPECT_GT(s.now(), 0.0);
}

}  // namespace
