#include "AppWorld.h"

#include <gtest/gtest.h>

namespace ondrake {
namespace {

using test::AppWorld;
using test::page;

const QString kImmersiveOffTip = QStringLiteral("Turn on Immersive Mode in Settings → Feature Flags first.");
const QString kImmersiveTip =
    QStringLiteral("Draw an Ondrake bar over Safari’s tab row. Safari’s tabs are unchanged underneath.");

struct MenuWorld {
    AppWorld world;
    MenuWorld(bool immersiveFeature = false) {
        if (immersiveFeature) world.environment[QStringLiteral("ONDRAKE_FEATURE_IMMERSIVEMODE")] = QStringLiteral("1");
        world.openBrowser({page("Alpha"), page("Beta")});
        world.launch();
    }
    MenuModel &open() { return *world.statusItem.open(); }
    const MenuItem &item(const QStringList &path) {
        const auto *found = open().item(path);
        if (!found) throw std::logic_error("no menu item " + path.join(QStringLiteral(" → ")).toStdString());
        return *found;
    }
    bool choose(const QStringList &path) {
        const bool chosen = world.statusItem.choose(path);
        world.settle();
        return chosen;
    }
};

ClosedTabBatch batch(const QString &title, int extra = 0) {
    ClosedTabBatch b;
    b.closedAt = ManualScheduler::defaultWallStart();
    b.tabs.push_back(ClosedTab{OndrakeID(), QStringLiteral("https://closed.example/"), title});
    for (int i = 0; i < extra; ++i) b.tabs.push_back(ClosedTab{OndrakeID(), std::nullopt, QStringLiteral("more")});
    return b;
}

TEST(StatusMenu, ItemsKeysAndTheStatusItemsImage) {
    MenuWorld menu;
    EXPECT_EQ(menu.world.statusItem.accessibilityDescription(), QStringLiteral("Ondrake"));
    EXPECT_FALSE(menu.world.statusItem.image().isNull());

    EXPECT_EQ(menu.open().titles(),
              (QStringList{"Show Sidebar", "Hide Sidebar", "Compact Mode", "Immersive Mode", "Calibrate Tab Bar Overlay…",
                           "Command Palette…", "-", "Reopen Closed Tab", "Recently Closed", "Read Later", "-", "Export",
                           "Import…", "-", "When Closing a Tab", "-", "Refresh", "Settings…", "Check for Updates…", "-",
                           "Quit Ondrake"}));
    struct Key {
        QString title;
        KeyEquivalent key;
    };
    const Key keys[] = {
        {"Compact Mode", KeyEquivalent::commandShiftKey("c")},
        {"Command Palette…", KeyEquivalent::commandKey("k")},
        {"Reopen Closed Tab", KeyEquivalent::commandShiftKey("t")},
        {"Refresh", KeyEquivalent::commandKey("r")},
        {"Settings…", KeyEquivalent::commandKey(",")},
        {"Quit Ondrake", KeyEquivalent::commandKey("q")},
        {"Show Sidebar", KeyEquivalent::none()},
        {"Import…", KeyEquivalent::none()},
    };
    for (const auto &k : keys) EXPECT_EQ(menu.item({k.title}).keyEquivalent, k.key) << k.title.toStdString();
    for (const auto &title : {"Recently Closed", "Read Later", "Export", "When Closing a Tab"})
        EXPECT_TRUE(menu.item({title}).submenu) << title;
}

TEST(StatusMenu, ShowAndHideFollowTheUsersWish) {
    MenuWorld menu;
    auto &world = menu.world;
    EXPECT_FALSE(menu.item({"Show Sidebar"}).isEnabled);
    EXPECT_TRUE(menu.item({"Hide Sidebar"}).isEnabled);

    EXPECT_TRUE(menu.choose({"Hide Sidebar"}));
    EXPECT_FALSE(world.panel().isVisible());
    EXPECT_TRUE(menu.item({"Show Sidebar"}).isEnabled);
    EXPECT_FALSE(menu.item({"Hide Sidebar"}).isEnabled);
    EXPECT_FALSE(menu.choose({"Hide Sidebar"})) << "a disabled item cannot be chosen";

    world.application.activateIgnoringOtherApps();
    world.settle();
    EXPECT_TRUE(menu.choose({"Show Sidebar"}));
    EXPECT_TRUE(world.panel().isVisible());
    EXPECT_TRUE(world.safari.isActive()) << "showing brings the browser forward";
}

TEST(StatusMenu, CompactModeIsCheckedWithTheStoreAndTogglesIt) {
    MenuWorld menu;
    EXPECT_FALSE(menu.item({"Compact Mode"}).isChecked);
    EXPECT_TRUE(menu.choose({"Compact Mode"}));
    EXPECT_TRUE(menu.world.store().isCompact());
    EXPECT_TRUE(menu.world.defaults.boolForKey(TabStore::kCompactKey));
    EXPECT_TRUE(menu.item({"Compact Mode"}).isChecked);
    EXPECT_TRUE(menu.world.app().windowController()->isCompact());
}

TEST(StatusMenu, ImmersiveModeNeedsItsFeature) {
    {
        MenuWorld menu;
        menu.world.defaults.setBool(AppDelegate::kImmersiveModeKey, true);
        const auto &immersive = menu.item({"Immersive Mode"});
        EXPECT_FALSE(immersive.isEnabled);
        EXPECT_FALSE(immersive.isChecked) << "the switch alone does not turn it on";
        EXPECT_EQ(immersive.toolTip, kImmersiveOffTip);
        EXPECT_FALSE(menu.item({"Calibrate Tab Bar Overlay…"}).isEnabled);
        menu.world.app().flagsChanged();
        EXPECT_FALSE(menu.world.app().immersive()->isEnabled());
    }
    MenuWorld menu(true);
    auto &world = menu.world;
    EXPECT_TRUE(menu.item({"Immersive Mode"}).isEnabled);
    EXPECT_FALSE(menu.item({"Immersive Mode"}).isChecked);
    EXPECT_EQ(menu.item({"Immersive Mode"}).toolTip, kImmersiveTip);
    EXPECT_FALSE(menu.item({"Calibrate Tab Bar Overlay…"}).toolTip.isEmpty()) << "says why the bar is hidden";

    EXPECT_TRUE(menu.choose({"Immersive Mode"}));
    EXPECT_TRUE(world.defaults.boolForKey(AppDelegate::kImmersiveModeKey));
    EXPECT_EQ(world.privacy.accessibilityPromptCount(), 1);
    EXPECT_TRUE(world.app().immersive()->isEnabled());
    EXPECT_TRUE(menu.item({"Immersive Mode"}).isChecked);

    // With the bar on, hiding the sidebar keeps the tracker and the poller going.
    EXPECT_TRUE(menu.choose({"Hide Sidebar"}));
    EXPECT_FALSE(world.app().tracker().isIdle());
    EXPECT_TRUE(world.app().poller()->isRunning());

    EXPECT_TRUE(menu.choose({"Immersive Mode"}));
    EXPECT_FALSE(world.defaults.boolForKey(AppDelegate::kImmersiveModeKey));
    EXPECT_EQ(world.privacy.accessibilityPromptCount(), 1) << "no prompt when switching off";
    EXPECT_FALSE(world.app().immersive()->isEnabled());
    EXPECT_TRUE(world.app().tracker().isIdle());
    EXPECT_FALSE(world.app().poller()->isRunning());
}

TEST(StatusMenu, RecentlyClosedListsTheNewestBatchFirst) {
    MenuWorld menu;
    auto &world = menu.world;
    const auto &empty = *menu.item({"Recently Closed"}).submenu;
    ASSERT_EQ(empty.items.size(), 1u);
    EXPECT_EQ(empty.items.front().title, QStringLiteral("Nothing Closed Yet"));
    EXPECT_FALSE(empty.items.front().isEnabled);
    EXPECT_FALSE(menu.item({"Reopen Closed Tab"}).isEnabled);

    ClosedTabStack history;
    history.batches = {batch("Oldest"), batch("Middle", 2), batch("Newest")};
    world.store().setRecentlyClosed(history);
    const auto &listed = *menu.item({"Recently Closed"}).submenu;
    EXPECT_EQ(listed.titles(), (QStringList{"Newest", "Middle + 2 more", "Oldest"}));
    EXPECT_EQ(listed.items.front().representedObject.toUuid(), history.batches.back().id);
}

TEST(StatusMenu, WhenClosingATabChoosesTheBehaviour) {
    MenuWorld menu;
    auto &world = menu.world;
    const auto &closing = *menu.item({"When Closing a Tab"}).submenu;
    EXPECT_EQ(closing.titles(), (QStringList{"Close Only That Tab", "Close Its Nested Tabs Too"}));
    EXPECT_EQ(closing.items[0].toolTip, QStringLiteral("Nested tabs move up a level and stay open."));
    EXPECT_EQ(closing.items[1].toolTip, QStringLiteral("Nested tabs close with it. Locked and pinned ones are kept."));
    EXPECT_EQ(closing.items[1].representedObject, QVariant(QStringLiteral("parentAndDescendants")));
    const bool onlyByDefault = world.store().settings().parentCloseBehavior == ParentCloseBehavior::parentOnly;
    EXPECT_EQ(closing.items[0].isChecked, onlyByDefault);

    EXPECT_TRUE(menu.choose({"When Closing a Tab", "Close Its Nested Tabs Too"}));
    EXPECT_EQ(world.store().settings().parentCloseBehavior, ParentCloseBehavior::parentAndDescendants);
    EXPECT_TRUE(menu.item({"When Closing a Tab", "Close Its Nested Tabs Too"}).isChecked);
    EXPECT_FALSE(menu.item({"When Closing a Tab", "Close Only That Tab"}).isChecked);
    EXPECT_TRUE(world.store().hasPendingSave());

    // A stale or malformed argument does nothing.
    for (const QVariant &bad : {QVariant(QStringLiteral("closeEverything")), QVariant(3), QVariant()}) {
        world.app().setCloseBehavior(bad);
        EXPECT_EQ(world.store().settings().parentCloseBehavior, ParentCloseBehavior::parentAndDescendants);
    }
}

TEST(StatusMenu, ReadLaterAndExportListWhatTheStoreHolds) {
    MenuWorld menu;
    auto &world = menu.world;
    EXPECT_EQ(menu.item({"Read Later"}).submenu->titles(), QStringList{"Nothing Saved Yet"});
    EXPECT_EQ(menu.item({"Export", "Group"}).submenu->titles(), QStringList{"No Groups"});
    EXPECT_FALSE(menu.item({"Export", "Group", "No Groups"}).isEnabled);
    EXPECT_FALSE(menu.item({"Export", "Selected Tabs…"}).isEnabled) << "nothing selected";

    TabRecord named, untitled, byAddress;
    named.title = QStringLiteral("Reading");
    named.url = QStringLiteral("https://reading.example/");
    untitled.title = QString();
    byAddress.url = QStringLiteral("https://address.example/");
    int order = 0;
    for (auto *r : {&named, &untitled, &byAddress}) {
        r->readLater = true;
        r->addedToReadLaterAt = ManualScheduler::defaultWallStart().addSecs(order++);
    }
    TabGroup work{TabGroupID(), QStringLiteral("Work"), std::nullopt, {}, 1, false};
    TabGroup home{TabGroupID(), QStringLiteral("Home"), std::nullopt, {}, 0, false};
    auto book = world.store().book();
    book.merge({named, untitled, byAddress}, {work, home});
    world.store().setBook(book);

    const auto &readLater = *menu.item({"Read Later"}).submenu;
    EXPECT_EQ(readLater.titles(), (QStringList{"Reading", "Untitled", "https://address.example/"}));
    EXPECT_EQ(readLater.items[0].submenu->titles(),
              (QStringList{"Open", "Open and Mark Read", "Mark as Read", "Remove from Read Later"}));
    EXPECT_EQ(readLater.items[0].submenu->items[2].representedObject, QVariant(named.id.toString()));
    EXPECT_EQ(menu.item({"Export", "Group"}).submenu->titles(), (QStringList{"Home", "Work"}));
    EXPECT_EQ(menu.item({"Export"}).submenu->titles(),
              (QStringList{"Selected Tabs…", "Current Window…", "Group", "-", "All Ondrake Data…"}));
}

TEST(StatusMenu, RefreshPollsTheBrowser) {
    MenuWorld menu;
    auto &world = menu.world;
    world.safari.update([](std::vector<SimulatedSafari::Window> &windows) { windows.front().tabs.push_back(page("Gamma")); });
    EXPECT_TRUE(menu.choose({"Refresh"}));
    EXPECT_EQ(world.store().windows().front().tabs.size(), 3u);
}

TEST(StatusMenu, SettingsOpenOneWindowThatKeepsThePanelsGeometry) {
    MenuWorld menu;
    auto &world = menu.world;
    const int activations = world.application.activationCount();
    EXPECT_TRUE(menu.choose({"Settings…"}));
    QWidget *window = world.app().secondaryWindows().window(SecondaryWindows::Kind::settings);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(world.application.activationCount(), activations + 1) << "the application comes forward first";
    window->close();
    EXPECT_TRUE(menu.choose({"Settings…"}));
    EXPECT_EQ(world.app().secondaryWindows().window(SecondaryWindows::Kind::settings), window);
    EXPECT_TRUE(window->isVisible());
}

TEST(StatusMenu, CheckForUpdatesIsDisabledWhileACheckRuns) {
    MenuWorld menu;
    auto &world = menu.world;
    EXPECT_TRUE(menu.item({"Check for Updates…"}).isEnabled);
    EXPECT_TRUE(menu.item({"Check for Updates…"}).toolTip.isEmpty());
    world.updater->beginCheck();
    EXPECT_FALSE(menu.item({"Check for Updates…"}).isEnabled);
    EXPECT_EQ(menu.item({"Check for Updates…"}).toolTip, QStringLiteral("An update check is already in progress."));
    world.app().checkForUpdates();
    EXPECT_EQ(world.updater->checkRequests(), 0) << "no second check while one runs";
    world.updater->endCheck();
    EXPECT_TRUE(menu.choose({"Check for Updates…"}));
    EXPECT_EQ(world.updater->checkRequests(), 1);
    EXPECT_TRUE(menu.item({"Check for Updates…"}).isEnabled) << "the check without a feed has ended";
}

TEST(StatusMenu, CalibratingSwitchesTheBarOnAndKeepsOnlyWhatIsSaved) {
    MenuWorld menu(true);
    auto &world = menu.world;
    world.workspace.setInstalledApplicationVersion(AppWorld::kBrowser, QStringLiteral("17.4.1"));
    ASSERT_TRUE(menu.item({"Calibrate Tab Bar Overlay…"}).isEnabled);
    EXPECT_TRUE(menu.choose({"Calibrate Tab Bar Overlay…"}));
    auto &app = world.app();
    auto *coordinator = app.immersive();
    EXPECT_TRUE(world.defaults.boolForKey(AppDelegate::kImmersiveModeKey)) << "switched on as the toggle does";
    EXPECT_TRUE(coordinator->isEnabled());
    EXPECT_TRUE(coordinator->isCalibrating());
    QWidget *window = app.secondaryWindows().window(SecondaryWindows::Kind::calibration);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(app.calibrationModel().insets(), coordinator->calibrationSeed());
    EXPECT_FALSE(app.calibrationModel().hasStoredCalibration());

    // An edit is clamped into the live calibration; Save stores it and puts the window away.
    auto edited = app.calibrationModel().insets();
    edited.height = 10;
    app.calibrationModel().onEdit(edited);
    ASSERT_TRUE(coordinator->liveCalibration());
    EXPECT_EQ(coordinator->liveCalibration()->height, 16);
    app.calibrationModel().onSave();
    EXPECT_FALSE(coordinator->isCalibrating());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(app.calibrationModel().hasStoredCalibration());

    // Closing the window during a second calibration keeps what was stored.
    EXPECT_TRUE(menu.choose({"Calibrate Tab Bar Overlay…"}));
    EXPECT_TRUE(coordinator->isCalibrating());
    window->close();
    EXPECT_FALSE(coordinator->isCalibrating());
    EXPECT_FALSE(coordinator->liveCalibration());
    EXPECT_TRUE(coordinator->hasStoredCalibration());

    // Back to automatic forgets it; the window stays.
    EXPECT_TRUE(menu.choose({"Calibrate Tab Bar Overlay…"}));
    app.calibrationModel().onResetToAutomatic();
    EXPECT_FALSE(coordinator->hasStoredCalibration());
    EXPECT_FALSE(app.calibrationModel().hasStoredCalibration());
    EXPECT_TRUE(window->isVisible());
    app.calibrationModel().onCancel();
    EXPECT_FALSE(coordinator->hasStoredCalibration());
}

TEST(StatusMenu, QuitPutsTheWindowsBackBeforeTheApplicationEnds) {
    AppWorld world;
    const auto id = world.openBrowser({page("Alpha")}, {40, 25, 1040, 875});
    world.launch();
    world.step(0.5);
    ASSERT_EQ(world.browserWindow(id)->bounds.left, 300);

    const auto gate = world.engine.holdNext(QStringLiteral("restoreWindowBounds"));
    EXPECT_TRUE(world.statusItem.choose({"Quit Ondrake"}));
    ASSERT_TRUE(gate->waitUntilReached());
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.application.terminationRequests(), 0) << "not before the window is back";
    // A second Quit while the window is on its way back joins that restore rather than ending
    // the application at once.
    EXPECT_TRUE(world.statusItem.choose({"Quit Ondrake"}));
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.application.terminationRequests(), 0);

    gate->open();
    world.settle();
    EXPECT_EQ(world.browserWindow(id)->bounds.left, 40);
    EXPECT_EQ(world.application.terminationRequests(), 1);
}

TEST(StatusMenu, QuitWaitsForWindowsThatHidingIsStillPuttingBack) {
    AppWorld world;
    const auto id = world.openBrowser({page("Alpha")}, {40, 25, 1040, 875});
    auto &app = world.launch();
    world.step(0.5);
    const auto gate = world.engine.holdNext(QStringLiteral("restoreWindowBounds"));
    app.hideSidebar();
    ASSERT_TRUE(gate->waitUntilReached());
    app.quit();
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.application.terminationRequests(), 0);
    gate->open();
    world.settle();
    EXPECT_EQ(world.browserWindow(id)->bounds.left, 40);
    EXPECT_EQ(world.application.terminationRequests(), 1);
}

}  // namespace
}  // namespace ondrake
