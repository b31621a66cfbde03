#include "BrowserTestWorld.h"

#include "Browser/BrowserURL.h"
#include "Browser/SafariController.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using namespace ondrake;
using namespace ondrake::test;

namespace {

using D = AppleEventDescriptor;

D texts(const QStringList &items) {
    auto list = D::list();
    for (const auto &i : items) list.appendItem(D::fromString(i));
    return list;
}

D windowItem(int id, int index, int current, const QStringList &titles, const QStringList &urls) {
    return D::list({D::fromInt32(id), D::fromInt32(index), D::fromInt32(current), texts(titles), texts(urls)});
}

struct ControllerWorld : BrowserWorld {
    SafariController controller{engine, scheduler, workspace};

    template<typename T>
    SafariControllerError errorOf(QCoro::Task<T> task) {
        try {
            run(std::move(task));
        } catch (const SafariControllerError &e) {
            return e;
        }
        ADD_FAILURE() << "no error";
        return SafariControllerError::automationFailure("none");
    }
    std::vector<AppleEvent> eventsFor(const QString &handler) const {
        std::vector<AppleEvent> out;
        for (const auto &e : engine.receivedEvents())
            if (e.parameter("snam")->stringValue() == handler.toLower()) out.push_back(e);
        return out;
    }
    static std::vector<QString> ids(const std::vector<SafariWindow> &windows) {
        std::vector<QString> out;
        for (const auto &w : windows)
            for (const auto &t : w.tabs) out.push_back(t.id);
        return out;
    }
};

TEST(SafariController, SnapshotGivesSessionIdsAndActiveTabs) {
    ControllerWorld world;
    world.safari.launch();
    auto front = BrowserWorld::window(10, {"a", "b"});
    front.currentTab = 2;
    world.safari.addWindow(front);
    world.safari.addWindow(BrowserWorld::window(11, {"c"}));
    const auto windows = world.run(world.controller.snapshot());
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(ControllerWorld::ids(windows), (std::vector<QString>{"tab-0", "tab-1", "tab-2"}));
    EXPECT_TRUE(windows[0].isFrontmost);
    EXPECT_FALSE(windows[1].isFrontmost);
    EXPECT_TRUE(windows[0].tabs[1].isActive);
    EXPECT_FALSE(windows[0].tabs[0].isActive);
    EXPECT_EQ(windows[0].tabs[1].url, QUrl("https://b.example/"));
    EXPECT_EQ(windows[1].index, 2);
    for (const auto &w : windows)
        for (const auto &t : w.tabs) EXPECT_FALSE(t.parentID.has_value());
    EXPECT_EQ(world.controller.capabilities().rawValue, 0x2C3E3);
}

TEST(SafariController, ParsesSnapshotRepliesDefensively) {
    LogCapture logs;
    const Logger log(QStringLiteral("Safari"));
    auto reply = D::list({
        windowItem(5, 1, 1, {"a", "b", "c"}, {"https://a/", "https://b/"}),     // uneven: two tabs
        windowItem(5, 2, 1, {"dup"}, {"https://dup/"}),                        // same id again
        D::list({D::fromInt32(6), D::fromInt32(3), D::fromInt32(0), texts({"x"})}),  // four elements
        windowItem(7, 4, 0, {"t"}, {}),                                        // titles, no URLs
        windowItem(7, 5, 1, {"late"}, {"https://late/"}),                      // id 7 was taken
        D::list({D::fromInt32(8), D::fromInt32(6), D::fromInt32(1), D::list({D::fromInt32(3), D()}),
                 D::list({D(), D::fromString("https://z/")})}),                // non-text items
    });
    const auto windows = SafariController::parseSnapshot(reply, log);
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0].id, 5);
    EXPECT_EQ(windows[0].tabs, (std::vector<SafariSnapshot::RawTab>{{1, "a", "https://a/"}, {2, "b", "https://b/"}}));
    EXPECT_EQ(windows[1].id, 8);
    EXPECT_EQ(windows[1].tabs, (std::vector<SafariSnapshot::RawTab>{{1, "", ""}, {2, "", "https://z/"}}));
    EXPECT_TRUE(logs.contains("Snapshot named window 5 twice; keeping the first"));
    EXPECT_TRUE(logs.contains("Snapshot named window 7 twice; keeping the first"));
    EXPECT_TRUE(SafariController::parseSnapshot(D::list(), log).empty());
    EXPECT_TRUE(SafariController::parseSnapshot(D(), log).empty());
}

TEST(SafariController, ReadsResultWords) {
    struct Case {
        D reply;
        SafariControllerError expected;
        const char *log;
    };
    const Case cases[] = {
        {D::fromString("NOT_RUNNING"), SafariControllerError::safariNotRunning(), nullptr},
        {D::fromString("NO_WINDOW"), SafariControllerError::windowNotFound(),
         "Window vanished before addReadingListItem could run"},
        {D::fromString("NO_TAB"), SafariControllerError::tabNotFound(),
         "Tab moved or vanished before addReadingListItem could run"},
        {D::fromString("MAYBE"), SafariControllerError::automationFailure("Unexpected script result: MAYBE"), nullptr},
        {D(), SafariControllerError::automationFailure("Unexpected script result: "), nullptr},
    };
    for (const auto &c : cases) {
        ControllerWorld world;
        world.safari.launch();
        LogCapture logs;
        world.engine.replyNext("addReadingListItem", c.reply);
        EXPECT_EQ(world.errorOf(world.controller.addReadingListItem(QUrl("https://r.example/"), "R")), c.expected);
        if (c.log) {
            EXPECT_TRUE(logs.contains(c.log)) << c.log;
        }
    }
}

TEST(SafariController, EveryOperationButThreeNeedsSafariRunning) {
    ControllerWorld world;
    SafariTab tab;
    tab.windowID = 1;
    tab.index = 1;
    const auto notRunning = SafariControllerError::safariNotRunning();
    EXPECT_EQ(world.errorOf(world.controller.snapshot()), notRunning);
    EXPECT_EQ(world.errorOf(world.controller.activateTab(tab)), notRunning);
    EXPECT_EQ(world.errorOf(world.controller.closeTabs({})), notRunning);  // the check comes first
    EXPECT_EQ(world.errorOf(world.controller.moveTabs({})), notRunning);
    EXPECT_EQ(world.errorOf(world.controller.reserveSpace(1, 2)), notRunning);
    EXPECT_EQ(world.errorOf(world.controller.setLeftEdge(1)), notRunning);
    EXPECT_EQ(world.errorOf(world.controller.openTab({}, {})), notRunning);
    EXPECT_EQ(world.errorOf(world.controller.addReadingListItem(QUrl("https://a/"), "")), notRunning);
    EXPECT_EQ(world.errorOf(world.controller.setPinned(true, tab)),
              SafariControllerError::unsupported(BrowserCapabilities::pin));
    world.run(world.controller.restoreWindowBounds({}));
    EXPECT_EQ(world.run(world.controller.isWindowZoomed(1)), std::nullopt);
    EXPECT_TRUE(world.run(world.controller.takePendingLinkMoves()).empty());
    EXPECT_TRUE(world.engine.receivedEvents().empty());

    world.safari.launch();
    world.run(world.controller.closeTabs({}));
    EXPECT_TRUE(world.engine.receivedEvents().empty());
}

TEST(SafariController, ClosesPerWindowInDescendingOrder) {
    ControllerWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(9, {"a", "b", "c", "d", "e"}));
    world.safari.addWindow(BrowserWorld::window(4, {"p", "q"}));
    const auto windows = world.run(world.controller.snapshot());
    std::vector<SafariTab> chosen{windows[0].tabs[1], windows[0].tabs[4], windows[1].tabs[0], windows[0].tabs[2]};
    SafariTab gone;
    gone.windowID = 77;
    gone.index = 1;
    chosen.push_back(gone);
    LogCapture logs;
    world.run(world.controller.closeTabs(chosen));

    const auto events = world.eventsFor("closeTabs");
    ASSERT_EQ(events.size(), 3u);  // windows 4, 9, 77 in that order
    const auto args = [&](std::size_t i) { return *events[i].parameter(AppleEvent::keyDirectObject); };
    EXPECT_EQ(args(0).atIndex(1)->int32Value(), 4);
    EXPECT_EQ(args(1).atIndex(1)->int32Value(), 9);
    const auto indices = *args(1).atIndex(2);
    const auto urls = *args(1).atIndex(3);
    ASSERT_EQ(indices.numberOfItems(), 3);
    EXPECT_EQ(indices.atIndex(1)->int32Value(), 5);
    EXPECT_EQ(indices.atIndex(2)->int32Value(), 3);
    EXPECT_EQ(indices.atIndex(3)->int32Value(), 2);
    EXPECT_EQ(urls.atIndex(1)->stringValue(), "https://e.example/");
    EXPECT_EQ(urls.atIndex(3)->stringValue(), "https://b.example/");
    EXPECT_TRUE(logs.contains("Window 77 had already gone; nothing to close in it"));
    EXPECT_EQ(world.titles(9), (QStringList{"a", "d"}));
    EXPECT_EQ(world.titles(4), (QStringList{"q"}));

    world.engine.failNext("closeTabs", {-1743, {}});
    EXPECT_EQ(world.errorOf(world.controller.closeTabs({windows[1].tabs[1]})), SafariControllerError::permissionDenied());
}

TEST(SafariController, MovesAndRecordsTheNesting) {
    ControllerWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(3, {"a", "b", "c"}));
    auto windows = world.run(world.controller.snapshot());

    // Equal indices: a change of nesting only, no event.
    world.run(world.controller.moveTabs({3, 2, 1, 2, "", 3, "tab-1", QString("tab-0")}));
    EXPECT_TRUE(world.eventsFor("moveTabs").empty());
    windows = world.run(world.controller.snapshot());
    EXPECT_EQ(windows[0].tabs[1].parentID, "tab-0");

    world.run(world.controller.moveTabs({3, 3, 1, 2, "https://c.example/", 3, "tab-2", QString("tab-0")}));
    EXPECT_EQ(world.titles(3), (QStringList{"a", "c", "b"}));
    windows = world.run(world.controller.snapshot());
    EXPECT_EQ(windows[0].tabs[1].id, "tab-2");
    EXPECT_EQ(windows[0].tabs[1].parentID, "tab-0");

    // A refused move leaves the nesting as it was.
    EXPECT_EQ(world.errorOf(world.controller.moveTabs({3, 1, 1, 3, "", 9, "tab-0", QString("tab-1")})),
              SafariControllerError::tabNotFound());
    EXPECT_FALSE(world.controller.tree().parents().contains(u"tab-0"));
    EXPECT_EQ(world.errorOf(world.controller.moveTabs({8, 1, 1, 3, "", 3, "tab-0", {}})),
              SafariControllerError::windowNotFound());
}

TEST(SafariController, FrameReplies) {
    struct Case {
        const char *what;
        D reply;
        std::optional<SafariWindowFrameChange> expected;
    };
    const auto nine = [](int id) {
        std::vector<D> items{D::fromInt32(id)};
        for (int i = 1; i <= 8; ++i) items.push_back(D::fromDouble(i * 10.5));
        return items;
    };
    auto eight = nine(4);
    eight.pop_back();
    auto ten = nine(4);
    ten.push_back(D::fromInt32(0));
    auto missing = nine(4);
    missing[8] = D();
    const Case cases[] = {
        {"nine", D::list(nine(4)), SafariWindowFrameChange{4, {10.5, 21, 31.5, 42}, {52.5, 63, 73.5, 84}}},
        {"eight", D::list(eight), std::nullopt},
        {"ten", D::list(ten), std::nullopt},
        {"window 0", D::list(nine(0)), std::nullopt},
        {"empty", D::list(), std::nullopt},
        {"missing item", D::list(missing), SafariWindowFrameChange{4, {10.5, 21, 31.5, 42}, {52.5, 63, 73.5, 0}}},
    };
    for (const auto &c : cases) EXPECT_EQ(SafariController::parseFrameChange(c.reply), c.expected) << c.what;
}

TEST(SafariController, ReservesSpaceAndPutsTheWindowBack) {
    ControllerWorld world;
    world.safari.launch();
    auto w = BrowserWorld::window(6, {"a"});
    w.bounds = {0, 25, 1000, 800};
    world.safari.addWindow(w);
    LogCapture logs;
    const auto change = world.run(world.controller.reserveSpace(300, 1440));
    ASSERT_TRUE(change.has_value());
    EXPECT_EQ(*change, (SafariWindowFrameChange{6, {0, 25, 1000, 800}, {300, 25, 1300, 800}}));
    EXPECT_TRUE(logs.contains("Moved Safari window 6 aside for the sidebar"));
    EXPECT_EQ(world.run(world.controller.reserveSpace(300, 1440)), std::nullopt);

    world.run(world.controller.restoreWindowBounds(*change));
    EXPECT_EQ(world.safari.window(6)->bounds, (SimulatedSafari::Bounds{0, 25, 1000, 800}));
    EXPECT_TRUE(logs.contains("Asked to restore Safari window 6"));
    const auto restore = world.eventsFor("restoreWindowBounds").back().parameter(AppleEvent::keyDirectObject);
    EXPECT_EQ(restore->atIndex(2)->doubleValue(), 300);  // applied first, then original
    EXPECT_EQ(restore->atIndex(6)->doubleValue(), 0);

    const auto edge = world.run(world.controller.setLeftEdge(200));
    ASSERT_TRUE(edge.has_value());
    EXPECT_EQ(edge->applied, (std::array<double, 4>{200, 25, 1000, 800}));
    EXPECT_TRUE(logs.contains("Repositioned Safari window 6's left edge"));
}

TEST(SafariController, ZoomAnswers) {
    struct Case {
        D reply;
        std::optional<bool> expected;
    };
    const Case cases[] = {{D::fromInt32(1), true}, {D::fromInt32(0), false}, {D::fromInt32(-1), std::nullopt},
                          {D::fromInt32(2), std::nullopt}, {D::list(), std::nullopt}};
    ControllerWorld world;
    world.safari.launch();
    for (const auto &c : cases) {
        world.engine.replyNext("isWindowZoomed", c.reply);
        EXPECT_EQ(world.run(world.controller.isWindowZoomed(1)), c.expected);
    }
    auto zoomed = BrowserWorld::window(2, {"a"});
    zoomed.zoomed = true;
    world.safari.addWindow(zoomed);
    EXPECT_EQ(world.run(world.controller.isWindowZoomed(2)), true);
    EXPECT_EQ(world.run(world.controller.isWindowZoomed(3)), std::nullopt);
}

TEST(SafariController, ActivatesSafariOnlyWhenItIsNotFrontmost) {
    ControllerWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(1, {"a", "b"}));
    const auto windows = world.run(world.controller.snapshot());
    world.run(world.controller.activateTab(windows[0].tabs[1]));
    EXPECT_TRUE(world.safari.isActive());
    EXPECT_EQ(world.safari.window(1)->currentTab, 2);
    world.run(world.controller.activateTab(windows[0].tabs[0]));
    const auto events = world.eventsFor("activateTab");
    ASSERT_EQ(events.size(), 2u);
    const auto args = [&](std::size_t i) { return *events[i].parameter(AppleEvent::keyDirectObject); };
    EXPECT_EQ(args(0).atIndex(3)->stringValue(), "https://b.example/");
    EXPECT_TRUE(args(0).atIndex(4)->booleanValue());
    EXPECT_FALSE(args(1).atIndex(4)->booleanValue());
}

TEST(SafariController, OpenedTabsStayAtTheRoot) {
    ControllerWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(1, {"a"}));
    world.run(world.controller.snapshot());
    LogCapture logs;
    world.run(world.controller.openTab(QUrl("https://n.example/"), 1));
    const auto windows = world.run(world.controller.snapshot());
    ASSERT_EQ(windows[0].tabs.size(), 2u);
    EXPECT_FALSE(windows[0].tabs[1].parentID.has_value());
    EXPECT_TRUE(logs.contains("Kept Ondrake-created tab tab-1 at the root"));

    world.run(world.controller.openTab({}, {}));
    const auto args = world.eventsFor("openTab").back().parameter(AppleEvent::keyDirectObject);
    EXPECT_EQ(args->atIndex(1)->int32Value(), 0);
    EXPECT_EQ(args->atIndex(2)->stringValue(), "");
    EXPECT_EQ(world.safari.windows().size(), 2u);
}

TEST(SafariController, AQuitForgetsTheSessionOnce) {
    ControllerWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(1, {"a", "b"}));
    EXPECT_EQ(ControllerWorld::ids(world.run(world.controller.snapshot())), (std::vector<QString>{"tab-0", "tab-1"}));
    world.safari.quit();
    EXPECT_EQ(world.errorOf(world.controller.snapshot()), SafariControllerError::safariNotRunning());
    EXPECT_FALSE(world.controller.identities().previousEntries(1).has_value());
    EXPECT_EQ(world.errorOf(world.controller.snapshot()), SafariControllerError::safariNotRunning());
    world.safari.launch();
    EXPECT_EQ(ControllerWorld::ids(world.run(world.controller.snapshot())), (std::vector<QString>{"tab-2", "tab-3"}));
    EXPECT_EQ(ControllerWorld::ids(world.run(world.controller.snapshot())), (std::vector<QString>{"tab-2", "tab-3"}));
}

TEST(SafariController, ARelaunchBetweenTwoPollsStartsANewSession) {
    ControllerWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(1, {"a", "b"}));
    world.run(world.controller.snapshot());
    world.run(world.controller.moveTabs({1, 2, 1, 2, "", 2, "tab-1", QString("tab-0")}));
    world.safari.quit();
    world.safari.launch();  // no poll saw it gone
    const auto windows = world.run(world.controller.snapshot());
    EXPECT_EQ(ControllerWorld::ids(windows), (std::vector<QString>{"tab-2", "tab-3"}));
    EXPECT_FALSE(windows[0].tabs[1].parentID.has_value());
    EXPECT_TRUE(world.controller.tree().parents().empty());
}

TEST(SafariController, HandsOutLinkMoveRequestsOnce) {
    ControllerWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(1, {"a", "b", "c"}));
    world.run(world.controller.snapshot());
    world.safari.update([](auto &windows) { windows[0].tabs.push_back({"link", "https://link.example/"}); });
    world.run(world.controller.snapshot());
    const auto moves = world.run(world.controller.takePendingLinkMoves());
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], (SafariTabMove{1, 4, 1, 2, "https://link.example/", 4, "tab-3", QString("tab-0")}));
    EXPECT_TRUE(world.run(world.controller.takePendingLinkMoves()).empty());
    world.run(world.controller.moveTabs(moves[0]));
    const auto windows = world.run(world.controller.snapshot());
    EXPECT_EQ(windows[0].tabs[1].id, "tab-3");
    EXPECT_EQ(windows[0].tabs[1].parentID, "tab-0");
}

TEST(SafariController, FindsTabsByTheAddressTextSafariReported) {
    // A parsed URL writes escapes its own way ("%7e" as "~", "%2f" as "%2F"); the script compares
    // texts, so it must get back what Safari reported.
    const auto world = [] {
        auto w = std::make_unique<ControllerWorld>();
        w->safari.launch();
        auto window = BrowserWorld::window(1, {"a", "b", "c"});
        window.tabs[0].url = "https://a.example/%7euser";
        window.tabs[1].url = "https://b.example/?next=%2fhome";
        w->safari.addWindow(window);
        return w;
    };
    {
        auto w = world();
        const auto windows = w->run(w->controller.snapshot());
        w->run(w->controller.activateTab(windows[0].tabs[0]));
        EXPECT_EQ(w->safari.window(1)->currentTab, 1);
        w->safari.update([](auto &all) { std::swap(all[0].tabs[0], all[0].tabs[2]); });  // found by its address
        w->run(w->controller.closeTabs({windows[0].tabs[0], windows[0].tabs[1]}));
        EXPECT_EQ(w->titles(1), (QStringList{"c"}));
    }
    {
        auto w = world();
        const auto windows = w->run(w->controller.snapshot());
        const auto &b = windows[0].tabs[1];
        w->run(w->controller.moveTabs({1, 2, 1, 1, absoluteText(b.url), 3, b.id, std::nullopt}));
        EXPECT_EQ(w->titles(1), (QStringList{"b", "a", "c"}));
    }
}

TEST(SafariController, ClampsIntegersTo32Bits) {
    EXPECT_EQ(SafariController::integer(5'000'000'000).int32Value(), 2147483647);
    EXPECT_EQ(SafariController::integer(-5'000'000'000).int32Value(), -2147483648);
    EXPECT_EQ(SafariController::integer(-3).int32Value(), -3);
}

// Each operation, started and then left behind by its controller, with what the script is asked.
struct Abandoned {
    const char *handler;
    std::function<QCoro::Task<>(SafariController &)> start;
};

std::vector<Abandoned> abandonedOperations() {
    SafariTab tab;
    tab.windowID = 1;
    tab.index = 2;
    tab.url = QUrl("https://b.example/");
    SafariWindowFrameChange change;
    change.windowID = 1;
    // Captureless lambdas: the coroutine frames must not hold on to the table.
    return {
        {"getSnapshot", [](SafariController &c) -> QCoro::Task<> { co_await c.snapshot(); }},
        {"activateTab", [tab](SafariController &c) { return c.activateTab(tab); }},
        {"closeTabs", [tab](SafariController &c) { return c.closeTab(tab); }},
        {"moveTabs", [](SafariController &c) { return c.moveTabs({1, 1, 1, 2, "https://a.example/", 2, "t", {}}); }},
        {"reserveSpace", [](SafariController &c) -> QCoro::Task<> { co_await c.reserveSpace(0, 300); }},
        {"setLeftEdge", [](SafariController &c) -> QCoro::Task<> { co_await c.setLeftEdge(300); }},
        {"restoreWindowBounds", [change](SafariController &c) { return c.restoreWindowBounds(change); }},
        {"isWindowZoomed", [](SafariController &c) -> QCoro::Task<> { co_await c.isWindowZoomed(1); }},
        {"openTab", [](SafariController &c) { return c.openTab(QUrl("https://c.example/"), 1); }},
        {"addReadingListItem", [](SafariController &c) { return c.addReadingListItem(QUrl("https://c.example/"), "c"); }},
    };
}

void expectControllerGone(const TaskResult<void> &result, const char *handler) {
    ASSERT_TRUE(result.done) << handler;
    try {
        std::rethrow_exception(result.error);
    } catch (const SafariControllerError &e) {
        EXPECT_EQ(e, SafariControllerError::automationFailure("Safari controller deallocated")) << handler;
    } catch (...) {
        ADD_FAILURE() << handler << ": no error, or not the controller's";
    }
}

TEST(SafariController, AnAnswerArrivingAfterTheControllerWentEndsTheOperationWithAnError) {
    for (const auto &op : abandonedOperations()) {
        for (const bool running : {true, false}) {
            SCOPED_TRACE(std::string(op.handler) + (running ? " running" : " queued"));
            BrowserWorld world;
            world.safari.launch();
            world.safari.addWindow(BrowserWorld::window(1, {"a", "b"}));
            world.scheduler.runUntilIdle();
            auto controller = std::make_unique<SafariController>(world.engine, world.scheduler, world.workspace);

            // Either the operation's own handler is in progress, or it waits behind one that is.
            const auto gate = world.engine.holdNext(running ? op.handler : "isWindowZoomed");
            auto blocker = running ? nullptr : observe(controller->isWindowZoomed(2).then([](auto) {}));
            auto result = observe(op.start(*controller));
            ASSERT_TRUE(gate->waitUntilReached());

            if (running) {
                gate->open();  // answered before the runner goes, resumed only after
                controller.reset();
            } else {
                // The queued call is failed first; then the held one may finish.
                std::thread opener([&] {
                    world.scheduler.waitForExternalWork();
                    gate->open();
                });
                controller.reset();
                opener.join();
            }
            settle(world.scheduler);

            expectControllerGone(*result, op.handler);
            if (blocker) expectControllerGone(*blocker, "isWindowZoomed");
            EXPECT_EQ(world.scheduler.externalWorkInFlight(), 0);
        }
    }
}

}  // namespace
