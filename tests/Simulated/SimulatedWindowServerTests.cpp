#include "ManualScheduler.h"
#include "SimulatedFrameClock.h"
#include "SimulatedWindowServer.h"
#include "SimulatedWorkspace.h"

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

struct ServerWorld {
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    SimulatedWindowServer server{safari, workspace};

    std::int64_t browserWindow(SimulatedSafari::Bounds bounds) {
        SimulatedSafari::Window w;
        w.bounds = bounds;
        w.tabs = {{QStringLiteral("A"), QStringLiteral("https://a.example/")}};
        return safari.addWindow(w);
    }
    std::int64_t otherWindow(std::int64_t pid) {
        WindowInfo info;
        info.layer = 0;
        info.bounds = QRectF(0, 0, 500, 500);
        info.ownerProcessID = pid;
        info.isOnScreen = true;
        return server.addWindow(info);
    }
    std::vector<std::int64_t> onScreenNumbers() const {
        std::vector<std::int64_t> out;
        const auto list = server.onScreenWindows();
        for (const auto &w : list.value()) out.push_back(*w.number);
        return out;
    }
};

TEST(SimulatedWindowServer, ListsTheBrowsersWindowsWithItsIdsBoundsAndProcess) {
    ServerWorld world;
    const auto pid = world.safari.launch();
    const auto id = world.browserWindow({100, 25, 900, 625});
    const auto list = world.server.onScreenWindows();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 1u);
    EXPECT_EQ((*list)[0].number, id);
    EXPECT_EQ((*list)[0].ownerProcessID, pid);
    EXPECT_EQ((*list)[0].layer, 0);
    EXPECT_EQ((*list)[0].bounds, QRectF(100, 25, 800, 600));

    // A minimised window is off screen but still answers on its own.
    world.safari.update([](auto &windows) { windows.front().minimised = true; });
    EXPECT_TRUE(world.server.onScreenWindows()->empty());
    EXPECT_FALSE(world.server.window(id)->isOnScreen);

    world.safari.quit();
    EXPECT_FALSE(world.server.window(id));
    world.server.setListUnreadable(true);
    EXPECT_FALSE(world.server.onScreenWindows());
}

TEST(SimulatedWindowServer, KeepsOneStackAcrossApplications) {
    ServerWorld world;
    world.safari.launch();
    const auto editor = world.workspace.launch(QStringLiteral("com.example.Editor"));
    const auto first = world.browserWindow({100, 25, 900, 625});
    const auto other = world.otherWindow(editor);
    // A new window takes a slot in front; the browser's own order fills the slots its windows hold,
    // and it added this one behind its others.
    const auto second = world.browserWindow({200, 25, 900, 625});
    EXPECT_EQ(world.onScreenNumbers(), (std::vector<std::int64_t>{first, other, second}));
    world.safari.bringToFront(second);
    EXPECT_EQ(world.onScreenNumbers(), (std::vector<std::int64_t>{second, other, first}));
    world.safari.bringToFront(first);
    EXPECT_EQ(world.onScreenNumbers(), (std::vector<std::int64_t>{first, other, second}));

    world.server.orderFront(other);
    EXPECT_EQ(world.onScreenNumbers(), (std::vector<std::int64_t>{other, first, second}));
    world.server.orderFront(second);
    EXPECT_EQ(world.onScreenNumbers(), (std::vector<std::int64_t>{second, other, first}));
    EXPECT_EQ(world.safari.windows().front().id, second);

    // Activating an application brings all its windows forward.
    world.workspace.activate(QStringLiteral("com.apple.Safari"));
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.onScreenNumbers(), (std::vector<std::int64_t>{second, first, other}));

    world.server.orderBelow(other, second);
    EXPECT_EQ(world.onScreenNumbers(), (std::vector<std::int64_t>{second, other, first}));
    world.safari.update([&](auto &windows) { std::erase_if(windows, [&](const auto &w) { return w.id == second; }); });
    EXPECT_EQ(world.onScreenNumbers(), (std::vector<std::int64_t>{other, first}));
    world.server.removeWindow(other);
    EXPECT_EQ(world.onScreenNumbers(), (std::vector<std::int64_t>{first}));
}

TEST(SimulatedFrameClock, FramesFollowTheScreensRateAndStopWithTheScreen) {
    ManualScheduler scheduler;
    SimulatedScreens screens;
    SimulatedFrameClock clock(scheduler, screens);
    std::vector<double> targets;
    int lost = 0;
    auto link = clock.makeDisplayLink(
        SimulatedScreens::standardScreen(), [&](double t) { targets.push_back(t); }, [&] { ++lost; });
    ASSERT_TRUE(link);
    scheduler.advance(Seconds(0.1));
    ASSERT_EQ(targets.size(), 6u);  // 60 Hz
    EXPECT_NEAR(targets[0], 2.0 / 60, 1e-9);  // the first frame, shown one period after it fires

    auto faster = SimulatedScreens::standardScreen();
    faster.refreshRate = 120;
    screens.setScreens({faster});
    targets.clear();
    scheduler.advance(Seconds(0.1));
    EXPECT_GE(targets.size(), 11u);

    screens.setScreens({});
    scheduler.advance(Seconds(0.1));
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(link->isValid());
    const auto framesWhenLost = targets.size();
    scheduler.advance(Seconds(0.1));
    EXPECT_EQ(targets.size(), framesWhenLost);

    // No link for a screen that is not attached; a destroyed link never calls back.
    EXPECT_FALSE(clock.makeDisplayLink(SimulatedScreens::standardScreen(), [](double) {}, [] {}));
    screens.setScreens({SimulatedScreens::standardScreen()});
    auto second = clock.makeDisplayLink(SimulatedScreens::standardScreen(), [&](double) { ADD_FAILURE(); }, [] {});
    screens.setScreens({});
    second.reset();
    scheduler.advance(Seconds(0.1));
    EXPECT_EQ(clock.liveLinkCount(), 1);
}

}  // namespace
