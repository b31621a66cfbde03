#include "Sync/RefreshCoalescer.h"
#include "Sync/TabPoller.h"

#include "Async.h"
#include "ManualScheduler.h"
#include "SimulatedWorkspace.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace ondrake {
namespace {

const QString kSafari = QStringLiteral("com.apple.Safari");

// A store whose refresh passes count themselves and, while `hold` is set, wait to be let go.
class FakeStore final : public PolledStore {
public:
    SidebarState state() const override { return state_; }
    QCoro::Task<> requestRefresh() override { return coalescer.request(); }

    QCoro::Task<> pass() {
        ++passes;
        if (failNext) {
            failNext = false;
            throw std::runtime_error("broken pass");
        }
        if (hold) {
            gates.emplace_back();
            co_await gates.back();
        }
    }

    SidebarState state_ = SidebarState::ready();
    RefreshCoalescer coalescer{[this] { return pass(); }};
    int passes = 0;
    bool hold = false;
    bool failNext = false;
    std::vector<Deferred<>> gates;
};

struct PollerWorld {
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    FakeStore store;
    std::int64_t ownPid = workspace.launch(QStringLiteral("com.ondrake.Ondrake"));
    TabPoller poller{store, scheduler, workspace, ownPid};

    PollerWorld() { scheduler.runUntilIdle(); }
    // Lets `n` timer ticks pass.
    void ticks(int n) { scheduler.advance(TabPoller::kInterval * n); }
};

TEST(TabPoller, DivisorsByStateAndFrontApplication) {
    struct Case {
        SidebarState state;
        bool front;
        int divisor;
    };
    const Case cases[] = {
        {SidebarState::loading(), true, 1},           {SidebarState::ready(), true, 1},
        {SidebarState::loading(), false, 4},          {SidebarState::ready(), false, 4},
        {SidebarState::safariNotRunning(), true, 3},  {SidebarState::safariNotRunning(), false, 3},
        {SidebarState::permissionRequired(), true, 4}, {SidebarState::failed(QStringLiteral("x")), true, 4},
    };
    for (const auto &c : cases) EXPECT_EQ(TabPoller::divisor(c.state, c.front), c.divisor);
}

TEST(TabPoller, PollsAsOftenAsStateAndFrontApplicationAllow) {
    struct Case {
        const char *name;
        SidebarState state;
        QString front;  // empty: nothing in front
        int refreshesIn12Ticks;
    };
    const Case cases[] = {
        {"ready, browser in front", SidebarState::ready(), kSafari, 12},
        {"loading, the app itself in front", SidebarState::loading(), QStringLiteral("com.ondrake.Ondrake"), 12},
        {"ready, another application in front", SidebarState::ready(), QStringLiteral("com.other.Editor"), 3},
        {"ready, nothing in front", SidebarState::ready(), QString(), 3},
        {"browser not running", SidebarState::safariNotRunning(), QString(), 4},
        {"permission missing", SidebarState::permissionRequired(), kSafari, 3},
        {"failed", SidebarState::failed(QStringLiteral("boom")), kSafari, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PollerWorld world;
        world.workspace.launch(kSafari);
        world.workspace.launch(QStringLiteral("com.other.Editor"));
        if (!c.front.isEmpty()) world.workspace.activate(c.front);
        world.scheduler.runUntilIdle();  // heard while stopped: ignored
        world.store.state_ = c.state;
        world.poller.start();
        world.scheduler.runUntilIdle();
        EXPECT_EQ(world.store.passes, 1);  // at once
        world.ticks(12);
        EXPECT_EQ(world.store.passes, 1 + c.refreshesIn12Ticks);
        EXPECT_EQ(world.poller.tickCount(), 12);
    }
}

TEST(TabPoller, StartsOnceAndRestartsAfterStop) {
    PollerWorld world;
    world.store.state_ = SidebarState::safariNotRunning();
    world.poller.start();
    world.poller.start();
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.store.passes, 1);
    world.ticks(2);
    EXPECT_EQ(world.store.passes, 1);
    world.poller.stop();
    EXPECT_FALSE(world.poller.isRunning());
    world.ticks(10);
    EXPECT_EQ(world.store.passes, 1);
    EXPECT_EQ(world.poller.tickCount(), 2);

    // The count goes on: the next multiple of 3 is the first tick after the restart.
    world.poller.start();
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.store.passes, 2);
    world.ticks(1);
    EXPECT_EQ(world.store.passes, 3);
}

TEST(TabPoller, RequestsDuringARefreshFoldIntoOneMore) {
    PollerWorld world;
    world.workspace.launch(kSafari);
    world.workspace.activate(kSafari);
    world.scheduler.runUntilIdle();
    world.store.hold = true;
    world.poller.start();
    world.scheduler.runUntilIdle();
    ASSERT_EQ(world.store.passes, 1);
    EXPECT_TRUE(world.store.coalescer.isRefreshing());

    world.ticks(3);
    EXPECT_EQ(world.store.passes, 1);
    EXPECT_TRUE(world.store.coalescer.refreshQueued());

    world.store.gates[0].resolve();
    EXPECT_EQ(world.store.passes, 2);
    EXPECT_FALSE(world.store.coalescer.refreshQueued());
    world.store.hold = false;
    world.store.gates[1].resolve();
    EXPECT_EQ(world.store.passes, 2);
    EXPECT_FALSE(world.store.coalescer.isRefreshing());
}

TEST(TabPoller, ReactsToTheBrowserLaunchingActivatingAndQuitting) {
    PollerWorld world;
    world.store.state_ = SidebarState::safariNotRunning();
    world.poller.start();
    world.scheduler.runUntilIdle();
    ASSERT_EQ(world.store.passes, 1);

    world.workspace.launch(kSafari);
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.store.passes, 2);  // no tick has passed

    world.store.hold = true;
    world.workspace.activate(kSafari);
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.store.passes, 3);
    world.workspace.activate(QStringLiteral("com.ondrake.Ondrake"));
    world.workspace.activate(kSafari);  // while the refresh runs: folded
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.store.passes, 3);
    world.store.hold = false;
    world.store.gates[0].resolve();
    EXPECT_EQ(world.store.passes, 4);

    world.workspace.terminate(kSafari);
    world.scheduler.runUntilIdle();
    world.scheduler.advance(Seconds(0.149));
    EXPECT_EQ(world.store.passes, 4);
    world.scheduler.advance(Seconds(0.001));
    EXPECT_EQ(world.store.passes, 5);
}

TEST(TabPoller, IgnoresOtherApplicationsAndEverythingWhileStopped) {
    PollerWorld world;
    world.workspace.launch(kSafari);
    world.workspace.activate(kSafari);
    world.workspace.terminate(kSafari);
    world.scheduler.runUntilIdle();
    world.scheduler.advance(Seconds(1));
    EXPECT_EQ(world.store.passes, 0);

    world.store.state_ = SidebarState::safariNotRunning();
    world.poller.start();
    world.scheduler.runUntilIdle();
    ASSERT_EQ(world.store.passes, 1);
    world.workspace.launch(QStringLiteral("com.other.Editor"));
    world.workspace.activate(QStringLiteral("com.other.Editor"));
    world.workspace.terminate(QStringLiteral("com.other.Editor"));
    world.scheduler.runUntilIdle();
    world.scheduler.advance(Seconds(0.5));
    EXPECT_EQ(world.store.passes, 1);
}

TEST(TabPoller, NothingReachesAPollerThatIsGone) {
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    FakeStore store;
    {
        TabPoller poller{store, scheduler, workspace, 1};
        poller.start();  // its refresh is posted, not yet run
    }
    workspace.launch(kSafari);
    scheduler.runUntilIdle();
    scheduler.advance(Seconds(5));
    EXPECT_EQ(store.passes, 0);

    // The browser quits and the poller goes before the delayed refresh is due.
    {
        TabPoller poller{store, scheduler, workspace, 1};
        poller.start();
        scheduler.runUntilIdle();
        ASSERT_EQ(store.passes, 1);
        workspace.terminate(kSafari);
        scheduler.runUntilIdle();
    }
    scheduler.advance(Seconds(1));
    EXPECT_EQ(store.passes, 1);
}

TEST(RefreshCoalescer, AFailedPassDoesNotBlockLaterRefreshes) {
    ManualScheduler scheduler;
    FakeStore store;
    store.failNext = true;
    EXPECT_THROW(runToCompletion(scheduler, store.coalescer.request()), std::runtime_error);
    EXPECT_FALSE(store.coalescer.isRefreshing());
    runToCompletion(scheduler, store.coalescer.request());
    EXPECT_EQ(store.passes, 2);
}

}  // namespace
}  // namespace ondrake
