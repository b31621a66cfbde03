#include "AppWorld.h"
#include "ShownText.h"

#include "Qt/QtStatusItem.h"

#include <QFile>
#include <QMenu>

#include <gtest/gtest.h>

namespace ondrake {
namespace {

using test::AppWorld;
using test::page;

const QString kImmersiveOffTip = QStringLiteral("Turn on Immersive Mode in Settings → Feature Flags first.");
const QString kImmersiveTip =
    QStringLiteral("Draw an Ondrake bar over Safari's tab row. Safari's tabs are unchanged underneath.");

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
    EXPECT_TRUE(menu.world.statusItem.image().isMask());

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

TEST(StatusMenu, ClosingTheCalibrationWindowFindsTheTabRowAfresh) {
    MenuWorld menu(true);
    auto &world = menu.world;
    world.privacy.setTrusted(true);
    const auto window = world.safari.windows().front().id;
    EXPECT_TRUE(menu.choose({"Calibrate Tab Bar Overlay…"}));
    auto *coordinator = world.app().immersive();
    ASSERT_TRUE(coordinator->isCalibrating());
    ASSERT_TRUE(coordinator->detection());

    // Safari puts its tabs into the toolbar as the window closes, before it says so: only a fresh
    // look at its window sees that.
    world.accessibility.setTabRowLayout(window, SimulatedAccessibility::TabRowLayout::insideToolbar);
    world.app().secondaryWindows().window(SecondaryWindows::Kind::calibration)->close();
    EXPECT_FALSE(coordinator->isCalibrating());
    EXPECT_FALSE(coordinator->liveCalibration());
    EXPECT_FALSE(coordinator->hasStoredCalibration());
    ASSERT_TRUE(coordinator->detection());
    EXPECT_EQ(coordinator->detection()->kind(), ImmersiveOverlayCoordinator::CachedDetection::Kind::unsupportedLayout);

    world.settle();
    world.activate(AppWorld::kBrowser);
    EXPECT_EQ(coordinator->hiddenReason(), OverlayHiddenReason::unsupportedTabLayout);
    EXPECT_FALSE(coordinator->overlay().panel().isVisible());
}

const SafariTab &tabTitled(TabStore &store, const QString &title) {
    for (const auto &w : store.windows())
        for (const auto &t : w.tabs)
            if (t.title == title) return t;
    throw std::logic_error("no tab titled " + title.toStdString());
}

QStringList browserAddresses(const AppWorld &world) {
    QStringList addresses;
    for (const auto &w : world.safari.windows())
        for (const auto &t : w.tabs) addresses << t.url;
    return addresses;
}

TEST(StatusMenu, ClosedTabsComeBackFromTheMenuAndTheKeys) {
    MenuWorld menu;
    auto &world = menu.world;
    auto &store = world.store();
    runToCompletion(world.scheduler, store.closeTabs({tabTitled(store, "Alpha")}));
    world.settle();
    store.select(tabTitled(store, "Beta").id, SidebarModifiers::none());
    world.app().handleKeyCommand(SidebarKeyCommand::closeSelection);
    world.step(1);
    ASSERT_EQ(browserAddresses(world), QStringList{});
    EXPECT_EQ(menu.item({"Recently Closed"}).submenu->titles(), (QStringList{"Beta", "Alpha"}));
    EXPECT_TRUE(menu.item({"Reopen Closed Tab"}).isEnabled);

    // The older batch, chosen by name.
    EXPECT_TRUE(menu.choose({"Recently Closed", "Alpha"}));
    world.step(1);
    EXPECT_EQ(browserAddresses(world), QStringList{test::page("Alpha").url});
    // The newest, from the key.
    world.app().handleKeyCommand(SidebarKeyCommand::reopenLastClosed);
    world.step(1);
    EXPECT_EQ(browserAddresses(world).size(), 2);
    EXPECT_EQ(menu.item({"Recently Closed"}).submenu->titles(), QStringList{"Nothing Closed Yet"});

    // A batch that left the history since the menu was built, or an argument of the wrong kind,
    // does nothing.
    world.app().reopenSpecific(QUuid::createUuid());
    world.app().reopenSpecific(QStringLiteral("not a batch"));
    world.step(1);
    EXPECT_EQ(browserAddresses(world).size(), 2);
}

TEST(StatusMenu, ReadLaterItemsOpenAndLeaveTheList) {
    MenuWorld menu;
    auto &world = menu.world;
    auto &store = world.store();
    const auto alpha = *store.record(tabTitled(store, "Alpha").id);
    const auto beta = *store.record(tabTitled(store, "Beta").id);
    for (const auto &id : {alpha.id, beta.id}) {
        runToCompletion(world.scheduler, store.commands().toggleReadLater(true, id));
        world.step(1);
    }
    ASSERT_EQ(menu.item({"Read Later"}).submenu->titles(), (QStringList{"Alpha", "Beta"}));

    EXPECT_TRUE(menu.choose({"Read Later", "Alpha", "Mark as Read"}));
    auto read = *store.book().record(alpha.id);
    EXPECT_FALSE(read.readLater);
    EXPECT_TRUE(read.readAt);
    EXPECT_EQ(menu.item({"Read Later"}).submenu->titles(), QStringList{"Beta"});

    EXPECT_TRUE(menu.choose({"Read Later", "Beta", "Remove from Read Later"}));
    const auto removed = *store.book().record(beta.id);
    EXPECT_FALSE(removed.readLater);
    EXPECT_FALSE(removed.readAt) << "left the list unread";

    runToCompletion(world.scheduler, store.commands().toggleReadLater(true, beta.id));
    world.settle();
    const auto tabs = browserAddresses(world).size();
    EXPECT_TRUE(menu.choose({"Read Later", "Beta", "Open and Mark Read"}));
    world.step(1);
    EXPECT_EQ(browserAddresses(world).size(), tabs + 1);
    EXPECT_TRUE(store.book().record(beta.id)->readAt);

    for (const QVariant &bad : {QVariant(QStringLiteral("nonsense")), QVariant(7), QVariant(alpha.id.toString() + "x")}) {
        world.app().markReadLater(bad);
        world.app().openReadLater(bad, true);
        world.app().removeReadLater(bad);
    }
    world.step(1);
    EXPECT_EQ(browserAddresses(world).size(), tabs + 1);
}

TEST(StatusMenu, ExportWritesTheChosenScopeAndSaysWhyWhenItCannot) {
    MenuWorld menu;
    auto &world = menu.world;
    const QString target = world.folders.root() + QStringLiteral("/Export.json");
    world.dialogs.answerPanel(target);
    EXPECT_TRUE(menu.choose({"Export", "Current Window…"}));
    const auto &panel = std::get<Dialogs::SavePanel>(world.dialogs.requests().back());
    EXPECT_EQ(panel, (Dialogs::SavePanel{"json", "Ondrake Export.json", "Export portable Ondrake tab data"}));
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto archive = OndrakeArchive::read(file.readAll(), world.scheduler.wallNow());
    EXPECT_EQ(archive.tabs.size(), 2u);
    file.close();

    world.dialogs.answerPanel(std::nullopt);  // cancelled
    EXPECT_TRUE(menu.choose({"Export", "All Ondrake Data…"}));
    EXPECT_TRUE(world.dialogs.alerts().empty());

    QFile blocker(world.folders.root() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    world.dialogs.answerPanel(blocker.fileName() + QStringLiteral("/Export.json"));
    EXPECT_TRUE(menu.choose({"Export", "All Ondrake Data…"}));
    ASSERT_EQ(world.dialogs.alerts().size(), 1u);
    EXPECT_TRUE(world.dialogs.alerts().front().message.startsWith(QStringLiteral("Couldn’t export Ondrake data: ")));
    EXPECT_GT(world.dialogs.alerts().front().message.size(), QStringLiteral("Couldn’t export Ondrake data: ").size());

    // A group's item carries its id; a malformed one exports nothing.
    world.store().flags().setOverride(true, FeatureFlag::tabGroups());
    const auto group = world.store().createGroup(QStringLiteral("Work"), {tabTitled(world.store(), "Alpha")});
    ASSERT_TRUE(group);
    QFile::remove(target);
    world.dialogs.answerPanel(target);
    EXPECT_TRUE(menu.choose({"Export", "Group", "Work"}));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(OndrakeArchive::read(file.readAll(), world.scheduler.wallNow()).tabs.size(), 1u);
    const auto requests = world.dialogs.requests().size();
    world.app().exportGroup(QStringLiteral("not-a-group"));
    EXPECT_EQ(world.dialogs.requests().size(), requests);
}

TEST(StatusMenu, TheTrayShowsTheUsersTitlesWithTheirAmpersands) {
    MenuWorld menu;
    auto &world = menu.world;
    auto &store = world.store();
    store.flags().setOverride(true, FeatureFlag::tabGroups());
    ASSERT_TRUE(store.createGroup(QStringLiteral("R&D"), {tabTitled(store, "Alpha")}));
    ASSERT_TRUE(store.createGroup(QStringLiteral("Tom & Jerry"), {tabTitled(store, "Beta")}));
    TabRecord saved;
    saved.title = QStringLiteral("Q&A");
    saved.readLater = true;
    saved.addedToReadLaterAt = ManualScheduler::defaultWallStart();
    auto book = store.book();
    book.merge({saved}, {});
    store.setBook(book);
    ClosedTabStack history;
    history.batches = {batch(QStringLiteral("Salt & Pepper"), 1)};
    store.setRecentlyClosed(history);

    QMenu tray;
    QtStatusItem::fill(tray, menu.open());
    const auto submenu = [&](const QStringList &path) {
        QMenu *at = &tray;
        for (const auto &entry : path)
            if (at) at = test::spokenSubmenu(*at, entry);
        if (!at) throw std::logic_error("no submenu " + path.join(QStringLiteral(" → ")).toStdString());
        return at;
    };
    EXPECT_EQ(test::spokenEntries(*submenu({"Recently Closed"})), QStringList{"Salt & Pepper + 1 more"});
    EXPECT_EQ(test::spokenEntries(*submenu({"Read Later"})), QStringList{"Q&A"});
    EXPECT_EQ(test::spokenEntries(*submenu({"Read Later", "Q&A"})).size(), 4);
    QMenu *groups = submenu({"Export", "Group"});
    ASSERT_EQ(test::spokenEntries(*groups), (QStringList{"R&D", "Tom & Jerry"}));

    // Choosing the entry read as "Tom & Jerry" exports that group.
    const QString target = world.folders.root() + QStringLiteral("/Cartoons.json");
    world.dialogs.answerPanel(target);
    groups->actions().at(1)->trigger();
    world.settle();
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto archive = OndrakeArchive::read(file.readAll(), world.scheduler.wallNow());
    ASSERT_EQ(archive.groups.size(), 1u);
    EXPECT_EQ(archive.groups.front().name, QStringLiteral("Tom & Jerry"));
}

TEST(StatusMenu, ImportAsksHowAndAppliesTheChoice) {
    MenuWorld menu;
    auto &world = menu.world;
    const QString path = world.folders.root() + QStringLiteral("/Export.json");
    world.dialogs.answerPanel(path);
    ASSERT_TRUE(menu.choose({"Export", "All Ondrake Data…"}));
    const auto groupsBefore = world.store().groups().size();

    world.dialogs.answerPanel(path);
    world.dialogs.answerAlert(3);  // Cancel
    EXPECT_TRUE(menu.choose({"Import…"}));
    const auto &panel = std::get<Dialogs::OpenPanel>(world.dialogs.requests().at(world.dialogs.requests().size() - 2));
    EXPECT_EQ(panel, (Dialogs::OpenPanel{"json", false, "Choose an Ondrake JSON export"}));
    const auto question = world.dialogs.alerts().back();
    EXPECT_EQ(question.message, QStringLiteral("Import Ondrake data"));
    EXPECT_EQ(question.informativeText, QStringLiteral("Choose how the 2 imported tab(s) should be applied."));
    EXPECT_EQ(question.buttons, (QStringList{"Merge", "Open as New Group", "Restore Complete Structure", "Cancel"}));
    EXPECT_EQ(world.store().groups().size(), groupsBefore);

    world.dialogs.answerPanel(path);
    world.dialogs.answerAlert(1);  // Open as New Group
    EXPECT_TRUE(menu.choose({"Import…"}));
    world.step(1);
    ASSERT_EQ(world.store().groups().size(), groupsBefore + 1);
    EXPECT_EQ(world.store().sortedGroups().back().name,
              AppDelegate::importedGroupName(world.scheduler.wallNow().toLocalTime().date(), QLocale()));

    QFile junk(world.folders.root() + QStringLiteral("/junk.json"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("{\"format\": \"something else\"}");
    junk.close();
    world.dialogs.answerPanel(junk.fileName());
    EXPECT_TRUE(menu.choose({"Import…"}));
    EXPECT_EQ(world.dialogs.alerts().back().message, QStringLiteral("This isn’t a supported Ondrake export."));
    EXPECT_EQ(world.store().groups().size(), groupsBefore + 1);
}

TEST(StatusMenu, AnImportedGroupIsNamedForTheDayInTheMediumStyle) {
    const QDate day(2026, 12, 8);
    EXPECT_EQ(AppDelegate::importedGroupName(day, QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("Imported Dec 8, 2026"));
    EXPECT_EQ(AppDelegate::importedGroupName(day, QLocale(QLocale::English, QLocale::UnitedKingdom)),
              QStringLiteral("Imported 8 Dec 2026"));
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
