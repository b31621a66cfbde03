#include "AppWorld.h"

#include "Shell/SidebarKeyEvents.h"

#include "Ondrake/Sidebar/CommandPaletteView.h"
#include "Ondrake/Sidebar/SidebarIconButton.h"
#include "Ondrake/Sidebar/SidebarSearchField.h"
#include "Ondrake/Sidebar/SidebarTabList.h"
#include "Ondrake/Sidebar/SidebarView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

namespace ondrake {
namespace {

using test::AppWorld;
using test::recordFile;
using test::page;

// A status item that notes whether the sidebar's panel existed when its menu was installed.
class WitnessStatusItem final : public StatusItem {
public:
    std::function<bool()> panelExists;
    std::optional<bool> panelExistedAtInstall;
    bool isAvailable() const override { return true; }
    void setImage(const QIcon &, const QString &) override {}
    void setMenu(std::shared_ptr<MenuModel>) override { panelExistedAtInstall = panelExists(); }
    void performClick() override {}
};

// A window list that notes what the tracker knew of the panel when it first looked.
class WitnessWindowList final : public WindowList {
public:
    explicit WitnessWindowList(const WindowList &inner) : inner_(inner) {}
    std::function<std::optional<std::int64_t>()> sidebarNumber;
    mutable std::optional<std::optional<std::int64_t>> sidebarNumberAtFirstScan;
    std::optional<std::vector<WindowInfo>> onScreenWindows() const override {
        if (!sidebarNumberAtFirstScan) sidebarNumberAtFirstScan = sidebarNumber();
        return inner_.onScreenWindows();
    }
    std::optional<WindowInfo> window(std::int64_t number) const override { return inner_.window(number); }

private:
    const WindowList &inner_;
};

TEST(AppDelegate, ConstructionStartsNothingAndLaunchWiresTheGraphInOrder) {
    AppWorld world;
    world.openBrowser({page("Alpha"), page("Beta")});
    WitnessStatusItem statusItem;
    WitnessWindowList windowList(world.windowServer);
    auto platform = world.platform();
    AppDelegate *delegate = nullptr;
    AppDelegate::Platform changed{platform.scheduler, platform.workspace, windowList, platform.screens,
                                  platform.pointer, platform.frameClock, platform.defaults, platform.paths,
                                  platform.scriptEngine, platform.privacy, platform.accessibility, platform.http, platform.notifier,
                                  statusItem, platform.dialogs, platform.application, platform.makeUpdater, platform.environment,
                                  platform.linkPanel};
    world.delegate = std::make_unique<AppDelegate>(changed);
    delegate = world.delegate.get();
    statusItem.panelExists = [&] { return delegate->windowController() != nullptr; };
    windowList.sidebarNumber = [&] { return delegate->tracker().sidebarWindowNumber(); };

    world.step(2);
    EXPECT_FALSE(delegate->isLaunched());
    EXPECT_TRUE(delegate->tracker().isIdle());
    EXPECT_FALSE(delegate->extensionBridge().isRunning());
    EXPECT_FALSE(windowList.sidebarNumberAtFirstScan) << "nothing measured before launch";
    EXPECT_EQ(delegate->store().state(), SidebarState::loading()) << "nothing polled before launch";

    delegate->applicationDidFinishLaunching();
    world.settle();
    EXPECT_EQ(statusItem.panelExistedAtInstall, false) << "the status item comes before the panel";
    ASSERT_TRUE(windowList.sidebarNumberAtFirstScan);
    EXPECT_EQ(*windowList.sidebarNumberAtFirstScan, delegate->windowController()->panel().windowNumber());
    EXPECT_TRUE(delegate->extensionBridge().isRunning());
    EXPECT_TRUE(delegate->poller()->isRunning());
    EXPECT_FALSE(delegate->tracker().isIdle());
    EXPECT_TRUE(world.panel().isVisible());
    EXPECT_EQ(delegate->store().state(), SidebarState::ready());
    EXPECT_EQ(world.application.activationCount(), 0) << "launching does not take the focus";
}

TEST(AppDelegate, TerminationReplacesThePendingSaveWithOneAtOnceAndStopsEverything) {
    AppWorld world;
    world.openBrowser({page("Alpha"), page("Beta")});
    // A site that never answers keeps its icon's request waiting.
    world.http->hold(QUrl(QStringLiteral("https://alpha.example/favicon.ico")));
    auto &app = world.launch();
    ASSERT_TRUE(world.store().hasPendingSave()) << "the first poll made records";
    EXPECT_TRUE(recordFile(world).isEmpty());
    ASSERT_TRUE(world.store().faviconLoader().isInFlight(QStringLiteral("alpha.example")));

    app.applicationWillTerminate();
    EXPECT_FALSE(world.store().hasPendingSave());
    EXPECT_EQ(recordFile(world).value(QStringLiteral("records")).toArray().size(), 2);
    EXPECT_FALSE(app.poller()->isRunning());
    EXPECT_TRUE(app.tracker().isIdle());
    EXPECT_FALSE(app.extensionBridge().isRunning());
    EXPECT_TRUE(world.http->isClosed());
    world.settle();
    EXPECT_FALSE(world.store().faviconLoader().isInFlight(QStringLiteral("alpha.example")))
        << "the waiting request ended with the application";

    // Nothing wakes up afterwards.
    const int before = world.engine.receivedEvents().size();
    world.workspace.launch(AppWorld::kEditor);
    world.activate(AppWorld::kEditor);
    world.activate(AppWorld::kBrowser);
    world.step(5);
    EXPECT_EQ(int(world.engine.receivedEvents().size()), before);
    EXPECT_TRUE(app.tracker().isIdle());
}

// The application goes while the browser is still answering: at a quit during a poll or while a
// window is being put back. What the answer resumes must find the store and the controller gone.
TEST(AppDelegate, AnAnswerArrivingAfterTheApplicationWentTouchesNothing) {
    struct InFlight {
        const char *handler;
        std::function<QCoro::Task<>(AppWorld &, std::int64_t window)> start;
    };
    const std::vector<InFlight> cases{
        {"getSnapshot", [](AppWorld &w, std::int64_t) { return w.store().requestRefresh(); }},
        {"restoreWindowBounds", [](AppWorld &w, std::int64_t) { return w.store().restoreDisplacedWindows(); }},
        {"isWindowZoomed",
         [](AppWorld &w, std::int64_t window) -> QCoro::Task<> { co_await w.store().isWindowZoomed(window); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.handler);
        AppWorld world;
        const auto id = world.openBrowser({page("Alpha")}, {40, 25, 1040, 875});
        world.launch();
        world.step(0.5);
        ASSERT_EQ(world.browserWindow(id)->bounds.left, 300) << "moved aside for the sidebar";

        const auto gate = world.engine.holdNext(QString::fromLatin1(c.handler));
        auto result = observe(c.start(world, id));
        ASSERT_TRUE(gate->waitUntilReached());
        gate->open();  // answered at once, but heard only once the application has gone
        world.delegate.reset();
        world.settle();

        ASSERT_TRUE(result->done);
        EXPECT_FALSE(result->error);
    }
}

// The delegate's own work that outlives it: putting windows back for a hide, a quit waiting on
// that, and a crumb's tab being activated.
TEST(AppDelegate, ItsOwnWorkAnsweredAfterTheApplicationWentTouchesNothing) {
    struct InFlight {
        const char *handler;
        std::function<void(AppDelegate &)> start;
    };
    const std::vector<InFlight> cases{
        {"restoreWindowBounds", [](AppDelegate &app) { app.hideSidebar(); }},
        {"restoreWindowBounds",
         [](AppDelegate &app) {
             app.hideSidebar();
             app.quit();
         }},
        {"activateTab",
         [](AppDelegate &app) { app.activateCrumbTab(app.store().windows().front().tabs.front().id); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.handler);
        AppWorld world;
        world.openBrowser({page("Alpha"), page("Beta")}, {40, 25, 1040, 875});
        auto &app = world.launch();
        world.step(0.5);
        ASSERT_FALSE(app.store().windows().empty());

        const auto gate = world.engine.holdNext(QString::fromLatin1(c.handler));
        c.start(app);
        ASSERT_TRUE(gate->waitUntilReached());
        gate->open();
        world.delegate.reset();
        world.settle();
        EXPECT_EQ(world.application.terminationRequests(), 0);
    }
}

TEST(AppDelegate, ReopeningWantsTheSidebarBackAndActivatesTheBrowser) {
    AppWorld world;
    world.openBrowser({page("Alpha")});
    world.workspace.launch(AppWorld::kEditor);
    world.activate(AppWorld::kEditor);
    auto &app = world.launch();
    app.hideSidebar();
    world.settle();
    ASSERT_FALSE(world.panel().isVisible());

    EXPECT_TRUE(app.applicationShouldHandleReopen());
    world.settle();
    EXPECT_TRUE(world.presence().userWantsSidebar);
    EXPECT_TRUE(world.panel().isVisible());
    EXPECT_EQ(world.application.activatedOthers(), std::vector<QString>{AppWorld::kBrowser});
    EXPECT_TRUE(world.safari.isActive());

    world.safari.quit();
    world.settle();
    EXPECT_TRUE(app.applicationShouldHandleReopen()) << "answers yes with the browser gone too";
    EXPECT_EQ(world.application.activatedOthers().size(), 1u) << "and activates nothing";
}

TEST(AppDelegate, KeyCommandsActOnTheStore) {
    AppWorld world;
    world.openBrowser({page("Alpha"), page("Beta"), page("Gamma")});
    auto &app = world.launch();
    auto &store = world.store();

    app.handleKeyCommand(SidebarKeyCommand::selectAll);
    EXPECT_EQ(store.selection().ids.size(), 3);
    app.handleKeyCommand(SidebarKeyCommand::clearSelection);
    EXPECT_TRUE(store.selection().ids.empty());

    const int token = store.searchFocusToken();
    app.handleKeyCommand(SidebarKeyCommand::focusSearch);
    EXPECT_TRUE(store.isSearchActive());
    EXPECT_EQ(store.searchFocusToken(), token + 1);
    app.handleKeyCommand(SidebarKeyCommand::focusSearch);
    EXPECT_TRUE(store.isSearchActive()) << "focusing again keeps the field open";
    EXPECT_EQ(store.searchFocusToken(), token + 2);

    app.handleKeyCommand(SidebarKeyCommand::toggleCompactMode);
    EXPECT_TRUE(store.isCompact());
    app.handleKeyCommand(SidebarKeyCommand::toggleCompactMode);
    EXPECT_FALSE(store.isCompact());
}

TEST(AppDelegate, KeysPressedInTheKeyPanelBecomeCommands) {
    AppWorld world;
    world.openBrowser({page("Alpha"), page("Beta")});
    world.launch();
    auto &store = world.store();
    auto &controller = *world.app().windowController();
    world.panel().activateWindow();
    QApplication::setActiveWindow(&world.panel());
    ASSERT_TRUE(world.panel().isKeyWindow());

    QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"));
    EXPECT_TRUE(controller.handleKeyDown(selectAll));
    EXPECT_EQ(store.selection().ids.size(), 2);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_TRUE(controller.handleKeyDown(escape));
    EXPECT_TRUE(store.selection().ids.empty());
    EXPECT_FALSE(controller.handleKeyDown(escape)) << "Escape without a selection goes on to the view";
    QKeyEvent plain(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"));
    EXPECT_FALSE(controller.handleKeyDown(plain));
}

TEST(AppDelegate, ThePanelFollowsTheCompactFlagHoweverItChanges) {
    AppWorld world;
    world.openBrowser({page("Alpha")}, {40, 25, 1040, 875});
    world.defaults.setBool(AppDelegate::kExpandSafariWhenCompactKey, true);
    auto &app = world.launch();
    auto &controller = *app.windowController();
    const auto id = world.safari.windows().front().id;
    ASSERT_EQ(world.browserWindow(id)->bounds.left, 300) << "moved aside for the expanded sidebar";

    // Not through the view: straight on the store, as the menu, a key or the settings do.
    world.store().setCompact(true);
    world.settle();
    EXPECT_TRUE(controller.isCompact());
    world.step(0.1);
    EXPECT_EQ(world.panel().frame().width(), controller.compactWidth());
    EXPECT_EQ(world.browserWindow(id)->bounds.left, 64) << "the browser takes back the room";

    app.compactModeChanged(true);  // the view's own report of the same change adds nothing
    world.step(0.1);
    EXPECT_EQ(world.browserWindow(id)->bounds.left, 64);

    world.store().setCompact(false);
    world.step(0.1);
    EXPECT_FALSE(controller.isCompact());
    EXPECT_EQ(world.panel().frame().width(), controller.expandedWidth());
    EXPECT_EQ(world.browserWindow(id)->bounds.left, 300) << "expanding docks again";
}

TEST(AppDelegate, ThePanelTakesTheThemesAppearance) {
    struct Case {
        std::optional<QString> stored;
        std::optional<PanelAppearance> expected;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt},
        {QStringLiteral("dark"), PanelAppearance::dark},
        {QStringLiteral("neoCitrus"), PanelAppearance::light},
        {QStringLiteral("highContrast"), std::nullopt},
        {QStringLiteral("Dark"), std::nullopt},
    };
    for (const auto &c : cases) {
        AppWorld world;
        if (c.stored) world.defaults.setString(QStringLiteral("SidebarTheme"), *c.stored);
        auto &app = world.launch();
        EXPECT_EQ(world.panel().appearance(), c.expected) << c.stored.value_or(QStringLiteral("-")).toStdString();
        app.themeChanged(SidebarThemeChoice::oled);
        EXPECT_EQ(world.panel().appearance(), PanelAppearance::dark);
        app.themeChanged(SidebarThemeChoice::system);
        EXPECT_EQ(world.panel().appearance(), std::nullopt);
    }
}

TEST(AppDelegate, AWorkspaceNotificationFromAnotherThreadIsHandledOnTheMainThread) {
    AppWorld world;
    world.openBrowser({page("Alpha")});
    world.launch();
    world.step(1);
    LogCapture log;
    std::thread elsewhere([&] {
        Q_EMIT world.workspace.applicationLaunched(RunningApplication{AppWorld::kEditor, 900, false, false});
    });
    elsewhere.join();
    EXPECT_TRUE(log.messages(QStringLiteral("Sidebar")).empty()) << "nothing ran on the other thread";
    world.settle();
    const auto lines = log.messages(QStringLiteral("Sidebar"));
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.front().startsWith(QStringLiteral("Presence: activated=- "))) << lines.front().toStdString();
}

TEST(AppDelegate, OnlyAnActivationNamesTheApplicationPresenceIsEvaluatedFor) {
    enum class Event { activated, launched, terminated };
    const struct {
        Event event;
        QString named;
    } cases[] = {
        {Event::activated, AppWorld::kEditor},
        {Event::launched, QStringLiteral("-")},
        {Event::terminated, QStringLiteral("-")},
    };
    for (const auto &c : cases) {
        AppWorld world;
        world.openBrowser({page("Alpha")});
        world.launch();
        world.step(1);
        world.workspace.launch(AppWorld::kEditor);
        world.settle();
        LogCapture log;
        switch (c.event) {
        case Event::activated: world.workspace.activate(AppWorld::kEditor); break;
        case Event::launched: world.workspace.launch(QStringLiteral("com.example.Viewer")); break;
        case Event::terminated: world.workspace.terminate(AppWorld::kEditor); break;
        }
        world.settle();
        const auto lines = log.messages(QStringLiteral("Sidebar"));
        ASSERT_FALSE(lines.empty()) << int(c.event);
        EXPECT_TRUE(lines.front().startsWith(QStringLiteral("Presence: activated=%1 ").arg(c.named)))
            << lines.front().toStdString();
    }
}

TEST(AppDelegate, TheTrackerLearnsTheBrowsersOwnWindowIDs) {
    AppWorld world;
    const auto first = world.openBrowser({page("Alpha")});
    LogCapture log;
    auto &app = world.launch();
    EXPECT_EQ(app.tracker().knownSafariWindowIDs(), std::set<std::int64_t>{first});

    SimulatedSafari::Window second;
    second.tabs = {page("Beta")};
    const auto secondID = world.safari.addWindow(second);
    world.poll();
    EXPECT_EQ(app.tracker().knownSafariWindowIDs(), (std::set<std::int64_t>{first, secondID}));
    EXPECT_TRUE(log.contains(QStringLiteral("Safari's own window ids: %1,%2").arg(first).arg(secondID)));
}

TEST(SidebarKeyEvents, KeysAreReadWithoutTheirModifiers) {
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        bool hasSelection;
        std::optional<SidebarKeyCommand> expected;
    };
    const auto command = Qt::ControlModifier, shift = Qt::ShiftModifier;
    const Case cases[] = {
        {Qt::Key_A, command, QStringLiteral("\x01"), false, SidebarKeyCommand::selectAll},
        {Qt::Key_F, command, QStringLiteral("\x06"), false, SidebarKeyCommand::focusSearch},
        {Qt::Key_T, command | shift, QStringLiteral("\x14"), false, SidebarKeyCommand::reopenLastClosed},
        {Qt::Key_C, command | shift, QStringLiteral("\x03"), false, SidebarKeyCommand::toggleCompactMode},
        {Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"), true, SidebarKeyCommand::clearSelection},
        {Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\x08"), true, SidebarKeyCommand::closeSelection},
        {Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"), true, SidebarKeyCommand::closeSelection},
        {Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"), false, std::nullopt},
        {Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), false, std::nullopt},
        {Qt::Key_A, command | Qt::AltModifier, QStringLiteral("\x01"), false, std::nullopt},
    };
    for (const auto &c : cases) {
        const QKeyEvent event(QEvent::KeyPress, c.key, c.modifiers, c.text);
        EXPECT_EQ(sidebarKeyCommand(event, c.hasSelection), c.expected) << c.key;
    }
}

}  // namespace
}  // namespace ondrake

namespace ondrake {
namespace {

void writeExtensionState(test::AppWorld &world, const ExtensionState &state) {
    const auto folder = OndrakeExtensionProtocol::exchangeDirectory(true, world.folders.paths().home);
    QFile file(QDir(*folder).filePath(OndrakeExtensionProtocol::stateFileName));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(*state.encoded());
    file.close();
    world.notifier.post(OndrakeExtensionProtocol::stateChangedNotification);
    world.settle();
}

TEST(AppDelegate, TheImmersiveBarShowsTheFrontWindowsActiveTab) {
    test::AppWorld world;
    world.openBrowser({test::page("Alpha"), test::page("Beta"), test::page("Gamma")});
    world.safari.update([](std::vector<SimulatedSafari::Window> &windows) { windows.front().currentTab = 2; });
    auto &app = world.launch();
    world.step(1);
    EXPECT_EQ(app.overlayModel().title(), QStringLiteral("Beta"));
    ASSERT_FALSE(app.overlayModel().breadcrumb().crumbs.empty());
    EXPECT_EQ(app.overlayModel().breadcrumb().crumbs.back().title, QStringLiteral("Beta"));

    // While the extension's report is recent, its title of the active tab wins.
    ExtensionState state;
    state.updatedAt = world.scheduler.wallNow();
    state.tabs = {ExtensionTab{7, 1, QStringLiteral("Beta — as the extension sees it"), std::nullopt, true, false}};
    state.focusedWindowID = 1;
    writeExtensionState(world, state);
    EXPECT_EQ(app.overlayModel().title(), QStringLiteral("Beta — as the extension sees it"));
    world.scheduler.setWallNow(world.scheduler.wallNow().addSecs(20));
    app.refreshOverlay();
    EXPECT_EQ(app.overlayModel().title(), QStringLiteral("Beta")) << "a stale report no longer counts";

    world.safari.update([](std::vector<SimulatedSafari::Window> &windows) { windows.clear(); });
    world.poll();
    world.settle();
    EXPECT_EQ(app.overlayModel().title(), QString());
    EXPECT_TRUE(app.overlayModel().breadcrumb().crumbs.empty());
}

TEST(AppDelegate, ACrumbClickSelectsAndActivatesItsTab) {
    test::AppWorld world;
    const auto id = world.openBrowser({test::page("Alpha"), test::page("Beta")});
    auto &app = world.launch();
    const auto beta = world.store().windows().front().tabs.at(1);
    app.overlayModel().onActivateCrumb(beta.id);
    world.settle();
    EXPECT_EQ(world.browserWindow(id)->currentTab, 2);
    EXPECT_EQ(world.store().selection().ids, TextSet{beta.id});
    EXPECT_TRUE(app.tracker().orderingWatchUntil()) << "the raised window's ordering is watched";

    app.overlayModel().onActivateCrumb(QStringLiteral("tab-gone"));  // a tab that went does nothing
    world.settle();
    EXPECT_EQ(world.store().selection().ids, TextSet{beta.id});
}

TEST(AppDelegate, TheImmersiveCoordinatorFollowsTheFeatureAndHearsSamplesAndActivations) {
    test::AppWorld world;
    world.defaults.setBool(AppDelegate::kImmersiveModeKey, true);
    world.openBrowser({test::page("Alpha")});
    auto &app = world.launch();
    EXPECT_FALSE(app.immersive()->isEnabled()) << "the switch alone does not enable it";

    // The feature switched on in the settings turns the bar on, and off again.
    world.store().flags().setOverride(true, FeatureFlag::immersiveMode());
    world.settle();
    ASSERT_TRUE(app.immersive()->isEnabled());
    world.step(1);
    EXPECT_EQ(app.immersive()->lastSample(), app.tracker().lastSample());
    const int before = app.immersive()->evaluationCount();
    world.workspace.launch(test::AppWorld::kEditor);
    world.activate(test::AppWorld::kEditor);
    EXPECT_GT(app.immersive()->evaluationCount(), before);

    world.store().flags().setOverride(false, FeatureFlag::immersiveMode());
    world.settle();
    EXPECT_FALSE(app.immersive()->isEnabled());
}

}  // namespace
}  // namespace ondrake

namespace ondrake {
namespace {

void saveScreenshot(QWidget &widget, const QString &name) {
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

TEST(AppDelegate, ThePanelHostsTheSidebarAndHearsItsReports) {
    test::AppWorld world;
    world.openBrowser({test::page("Alpha"), test::page("Beta"), test::page("Gamma")});
    auto &app = world.launch();
    world.step(1);
    auto *view = app.sidebarView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->window(), &world.panel());
    QCoreApplication::processEvents();  // the list lays its rows out from the event loop
    ASSERT_NE(view->tabList(), nullptr);
    EXPECT_EQ(view->tabList()->model()->rowCount(), 3) << "the browser's three tabs";
    const QImage painted = world.panel().grab().toImage();
    EXPECT_EQ(painted.size(), world.panel().size());
    saveScreenshot(world.panel(), QStringLiteral("application-sidebar"));

    // The sidebar's own compact toggle narrows the panel.
    view->compactToggle()->click();
    world.step(0.1);
    EXPECT_TRUE(app.windowController()->isCompact());
    EXPECT_EQ(world.panel().frame().width(), app.windowController()->compactWidth());
    view->compactToggle()->click();
    world.step(0.1);
    EXPECT_FALSE(app.windowController()->isCompact());

    // While its search field has the focus the panel's key commands are off.
    world.panel().activateWindow();
    QApplication::setActiveWindow(&world.panel());
    world.store().focusSearch();
    view->searchField()->lineEdit()->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(app.windowController()->searchFieldIsFocused);
    QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"));
    EXPECT_FALSE(app.windowController()->handleKeyDown(selectAll));

    // Dragging the edge resizes the panel and docks again when it ends.
    app.sidebarResizeBegan();
    app.sidebarResize(-500);
    app.sidebarResizeEnded();
    world.step(0.1);
    EXPECT_EQ(world.panel().frame().width(), SidebarWindowController::kMinimumWidth);
    EXPECT_EQ(world.defaults.doubleForKey(SidebarWindowController::kWidthKey), SidebarWindowController::kMinimumWidth);
}

TEST(AppDelegate, TheCommandPaletteSearchesTheStoreAndClearsItsSearchWhenItCloses) {
    test::AppWorld world;
    world.openBrowser({test::page("Alpha"), test::page("Beta")});
    auto &app = world.launch();
    ASSERT_TRUE(world.statusItem.choose({"Command Palette…"}));
    QWidget *window = app.secondaryWindows().window(SecondaryWindows::Kind::commandPalette);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    auto *palette = window->findChild<CommandPaletteView *>();
    ASSERT_NE(palette, nullptr);

    QTest::keyClicks(palette->field(), QStringLiteral("bet"));
    EXPECT_EQ(world.store().searchQuery(), QStringLiteral("bet"));
    window->close();
    EXPECT_TRUE(world.store().searchQuery().isEmpty());

    // The bar's palette button opens the same window; the palette's own dismissal closes it.
    app.overlayModel().onCommandPalette();
    EXPECT_EQ(app.secondaryWindows().window(SecondaryWindows::Kind::commandPalette), window);
    EXPECT_TRUE(window->isVisible());
    QTest::keyClicks(palette->field(), QStringLiteral("alp"));
    QTest::keyClick(palette->field(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(world.store().searchQuery().isEmpty());
}

}  // namespace
}  // namespace ondrake
