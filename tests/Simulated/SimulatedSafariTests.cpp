#include "ManualScheduler.h"
#include "SimulatedSafari.h"
#include "SimulatedWorkspace.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using namespace ondrake;

namespace {

struct BrowserWorld {
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    std::int64_t window = 0;
    int changes = 0;

    BrowserWorld() {
        safari.launch();
        SimulatedSafari::Window w;
        w.bounds = {100, 25, 900, 625};
        w.tabs = {{QStringLiteral("One"), QStringLiteral("https://one.example/")},
                  {QStringLiteral("Two"), QStringLiteral("https://two.example/")}};
        window = safari.addWindow(w);
        safari.addWindow(w);
        safari.setChangeObserver([this] { ++changes; });
    }
};

TEST(SimulatedSafari, TellsItsObserverOfEveryChangeWhoeverMakesIt) {
    const struct {
        const char *name;
        std::function<void(BrowserWorld &)> change;
    } cases[] = {
        {"a window added", [](BrowserWorld &w) { w.safari.addWindow({}); }},
        {"windows replaced", [](BrowserWorld &w) { w.safari.setWindows({}); }},
        {"an update", [](BrowserWorld &w) { w.safari.update([](auto &windows) { windows.pop_back(); }); }},
        {"a window brought to the front", [](BrowserWorld &w) { w.safari.bringToFront(w.window); }},
        {"hidden", [](BrowserWorld &w) { w.safari.setHidden(true); }},
        {"quit", [](BrowserWorld &w) { w.safari.quit(); }},
        {"the script activates a tab", [](BrowserWorld &w) { w.safari.activateTab(w.window, 2, QStringLiteral("https://two.example/"), false); }},
        {"the script closes a tab", [](BrowserWorld &w) { w.safari.closeTab(w.window, 1, QStringLiteral("https://one.example/")); }},
        {"the script opens a tab", [](BrowserWorld &w) { w.safari.openTab(w.window, QStringLiteral("https://three.example/")); }},
        {"the script moves a window's edge", [](BrowserWorld &w) { w.safari.setLeftEdge(300); }},
        {"the script's thread", [](BrowserWorld &w) {
             std::thread script([&] { w.safari.openTab(w.window, QStringLiteral("https://four.example/")); });
             script.join();
         }},
    };
    for (const auto &c : cases) {
        BrowserWorld world;
        c.change(world);
        EXPECT_GE(world.changes, 1) << c.name;
    }

    // Reading tells nothing; an observer let go hears nothing more.
    BrowserWorld world;
    world.safari.windows();
    world.safari.getSnapshot();
    EXPECT_EQ(world.changes, 0);
    world.safari.setChangeObserver(nullptr);
    world.safari.bringToFront(world.window);
    EXPECT_EQ(world.changes, 0);
}

TEST(SimulatedSafari, AnObserverMayReadTheBrowserItIsToldAbout) {
    BrowserWorld world;
    std::size_t seen = 0;
    // Called outside the browser's lock, so reading back does not deadlock.
    world.safari.setChangeObserver([&] { seen = world.safari.windows().size(); });
    world.safari.addWindow({});
    EXPECT_EQ(seen, 3u);
}

}  // namespace
