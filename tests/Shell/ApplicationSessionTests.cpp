#include "AppWorld.h"

#include <gtest/gtest.h>

namespace ondrake {
namespace {

using test::AppWorld;
using test::page;

// The browser as a person leaves it between two starts of the application: one window of tabs
// by title, in order, the first one current.
void relaunchBrowser(AppWorld &world, const std::vector<SimulatedSafari::Tab> &tabs) {
    world.safari.launch();
    SimulatedSafari::Window w;
    w.id = 1001;
    w.bounds = {400, 25, 1400, 875};
    w.tabs = tabs;
    world.safari.setWindows({w});
    world.safari.activate();
    world.settle();
}

const SafariTab &tabTitled(TabStore &store, const QString &title) {
    for (const auto &w : store.windows())
        for (const auto &t : w.tabs)
            if (t.title == title) return t;
    throw std::logic_error("no tab titled " + title.toStdString());
}

std::vector<QString> browserTitles(const AppWorld &world) {
    std::vector<QString> titles;
    for (const auto &w : world.safari.windows())
        for (const auto &t : w.tabs) titles.push_back(t.title);
    return titles;
}

// Moves `child` right after `parent` and nests it there, as a drag in the sidebar does.
void nest(AppWorld &world, const QString &child, const QString &parent) {
    auto &store = world.store();
    const auto c = tabTitled(store, child);
    const auto p = tabTitled(store, parent);
    std::int64_t count = 0;
    for (const auto &w : store.windows())
        if (w.safariID == c.windowID) count = std::int64_t(w.tabs.size());
    runToCompletion(world.scheduler, store.adapter().moveTabs({c.windowID, c.index, 1, p.index + 1, c.url->toString(),
                                                               count, c.id, p.id}));
    world.poll();
}

TEST(ApplicationSession, AnOrganisationMadeInOneSessionIsThereInTheNext) {
    AppWorld world;
    auto &app = world.launch();
    EXPECT_TRUE(world.panel().isVisible()) << "shown while the browser is not running";
    EXPECT_EQ(world.store().state(), SidebarState::safariNotRunning());

    // The browser starts with a window of three tabs; the sidebar docks beside it.
    relaunchBrowser(world, {page("Alpha"), page("Beta"), page("Gamma")});
    world.step(1);
    ASSERT_EQ(world.store().state(), SidebarState::ready());
    EXPECT_EQ(world.store().windows().front().tabs.size(), 3u);
    EXPECT_EQ(world.panel().frame().right(), 400);

    // Tabs open: a link from Alpha's page lands right after it, nested under it; the user opens
    // Delta and drags it under Beta; Gamma is closed in the browser.
    world.safari.update([](std::vector<SimulatedSafari::Window> &windows) {
        auto &tabs = windows.front().tabs;
        tabs.insert(tabs.begin() + 1, page("Reference"));
    });
    world.step(1);
    EXPECT_EQ(tabTitled(world.store(), "Reference").parentID, tabTitled(world.store(), "Alpha").id);
    world.safari.update([](std::vector<SimulatedSafari::Window> &windows) { windows.front().tabs.push_back(page("Delta")); });
    world.step(1);
    nest(world, "Delta", "Beta");
    world.safari.update([](std::vector<SimulatedSafari::Window> &windows) {
        auto &tabs = windows.front().tabs;
        std::erase_if(tabs, [](const SimulatedSafari::Tab &t) { return t.title == "Gamma"; });
    });
    world.step(1);
    EXPECT_EQ(browserTitles(world), (std::vector<QString>{"Alpha", "Reference", "Beta", "Delta"}));
    EXPECT_EQ(tabTitled(world.store(), "Delta").parentID, tabTitled(world.store(), "Beta").id);

    // The user collapses Beta: Delta leaves the visible order.
    world.store().toggleCollapsed(tabTitled(world.store(), "Beta").id);
    const auto order = world.store().displayOrder();
    EXPECT_EQ(std::count(order.begin(), order.end(), tabTitled(world.store(), "Delta").id), 0);

    // The user groups Beta.
    world.store().flags().setOverride(true, FeatureFlag::tabGroups());
    ASSERT_TRUE(world.store().createGroup(QStringLiteral("Reading"), {tabTitled(world.store(), "Beta")}));

    // Closing Alpha with its nested tabs, chosen in the menu.
    ASSERT_TRUE(world.statusItem.choose({"When Closing a Tab", "Close Its Nested Tabs Too"}));
    world.store().select(tabTitled(world.store(), "Alpha").id, SidebarModifiers::none());
    app.handleKeyCommand(SidebarKeyCommand::closeSelection);
    world.step(1);
    EXPECT_EQ(browserTitles(world), (std::vector<QString>{"Beta", "Delta"}));
    EXPECT_EQ(world.statusItem.open()->item(QStringList{"Recently Closed"})->submenu->titles(),
              QStringList{"Alpha + 1 more"});

    // Hidden and shown again from the menu.
    ASSERT_TRUE(world.statusItem.choose({"Hide Sidebar"}));
    world.step(1);
    EXPECT_FALSE(world.panel().isVisible());
    ASSERT_TRUE(world.statusItem.choose({"Show Sidebar"}));
    world.step(1);
    EXPECT_TRUE(world.panel().isVisible());

    // Quit: the application asks to end; the main loop then runs the termination.
    ASSERT_TRUE(world.statusItem.choose({"Quit Ondrake"}));
    world.settle();
    ASSERT_EQ(world.application.terminationRequests(), 1);
    app.applicationWillTerminate();

    // Next day: the browser starts again with the same pages, under new session ids, and flat.
    world.safari.quit();
    world.settle();
    relaunchBrowser(world, {page("Beta"), page("Delta")});
    world.launch();
    world.step(1);
    auto &store = world.store();
    EXPECT_EQ(tabTitled(store, "Delta").parentID, tabTitled(store, "Beta").id) << "the tree reattaches";
    EXPECT_EQ(store.groupName(tabTitled(store, "Beta").id), QStringLiteral("Reading"));
    EXPECT_EQ(store.settings().parentCloseBehavior, ParentCloseBehavior::parentAndDescendants);
    ASSERT_EQ(store.recentlyClosed().batches.size(), 1u);
    EXPECT_EQ(store.recentlyClosed().batches.front().title(), QStringLiteral("Alpha + 1 more"));
    const auto *beta = store.record(tabTitled(store, "Beta").id);
    ASSERT_NE(beta, nullptr);
    EXPECT_FALSE(beta->closedAt);
}

}  // namespace
}  // namespace ondrake
