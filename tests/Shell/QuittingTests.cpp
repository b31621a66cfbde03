#include "AppWorld.h"

#include "Ondrake/Sidebar/SidebarTabList.h"
#include "Ondrake/Sidebar/SidebarView.h"
#include "Qt/SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <random>

namespace ondrake {
namespace {

using test::AppWorld;
using test::page;

// The guard as the running instance holds it: later launches are told to reopen for as long as it
// answers. Notes what the browser had been asked when it stopped answering.
class RecordingGuard final : public InstanceGuard {
public:
    explicit RecordingGuard(const SimulatedScriptEngine &engine) : engine_(engine) {}

    Claim claim() override { return Claim::first; }
    void setReopenHandler(std::function<void()> handler) override { reopen_ = std::move(handler); }
    void stopAnswering() override {
        if (!answering_) return;
        answering_ = false;
        eventsWhenStopped_ = engine_.receivedEvents().size();
    }

    // A later launch: reopens this instance while it answers, else waits for it to end.
    void launch() {
        if (!answering_) return;
        ++reopens_;
        if (reopen_) reopen_();
    }
    bool isAnswering() const { return answering_; }
    int reopens() const { return reopens_; }
    std::size_t eventsWhenStopped() const { return eventsWhenStopped_; }

private:
    const SimulatedScriptEngine &engine_;
    std::function<void()> reopen_;
    bool answering_ = true;
    int reopens_ = 0;
    std::size_t eventsWhenStopped_ = 0;
};

QString handlerOf(const AppleEvent &event) {
    return event.parameter(QStringLiteral("snam")).value_or(AppleEventDescriptor()).stringValue().value_or(QString()).toLower();
}

// How many of the browser's events from `from` on called one of `handlers`.
int callsSince(const SimulatedScriptEngine &engine, std::size_t from, const QStringList &handlers) {
    const auto events = engine.receivedEvents();
    int calls = 0;
    for (std::size_t i = from; i < events.size(); ++i)
        if (handlers.contains(handlerOf(events[i]))) ++calls;
    return calls;
}
const QStringList kMovesAside{QStringLiteral("reservespace"), QStringLiteral("setleftedge")};
const QStringList kPutsBack{QStringLiteral("restorewindowbounds")};

// The ways a person quits: the status menu's item, and its key where the sidebar has the keyboard.
struct QuitWay {
    const char *name;
    std::function<void(AppWorld &)> quit;
};
const QuitWay kQuitWays[] = {
    {"from the menu", [](AppWorld &w) { ASSERT_TRUE(w.statusItem.choose({"Quit Ondrake"})); }},
    {"with Ctrl+Q",
     [](AppWorld &w) {
         QWidget *list = w.app().sidebarView()->tabList();
         QApplication::setActiveWindow(list->window());
         QTest::keyClick(list, Qt::Key_Q, Qt::ControlModifier);
     }},
};

// Windows reaching into the sidebar's room at the screen's left edge, each moved aside once it
// has been in front.
std::vector<std::int64_t> openWindowsInTheRoom(AppWorld &world, int count) {
    std::vector<std::int64_t> ids{world.openBrowser({page("Alpha")}, {40, 25, 1040, 875})};
    for (int i = 1; i < count; ++i) {
        SimulatedSafari::Window w;
        w.bounds = {60.0 + 20 * i, 60, 1060, 860};
        w.tabs = {page(QStringLiteral("Page %1").arg(i))};
        ids.push_back(world.safari.addWindow(std::move(w)));
    }
    return ids;
}
void bringEachToTheFront(AppWorld &world, const std::vector<std::int64_t> &ids) {
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        world.safari.bringToFront(*it);
        world.step(0.5);
    }
}

TEST(Quitting, LaterLaunchesAreNoLongerAnsweredFromTheMomentAQuitBegins) {
    for (const auto &way : kQuitWays) {
        for (const int windows : {1, 2}) {
            SCOPED_TRACE(testing::Message() << way.name << ", " << windows << " window(s) to put back");
            AppWorld world;
            const auto ids = openWindowsInTheRoom(world, windows);
            RecordingGuard guard(world.engine);
            world.launch().answerLaterLaunches(guard);
            bringEachToTheFront(world, ids);
            for (const auto id : ids) ASSERT_GE(world.browserWindow(id)->bounds.left, 300) << "moved aside";

            const auto before = world.engine.receivedEvents().size();
            const auto gate = world.engine.holdNext(QStringLiteral("restoreWindowBounds"));
            way.quit(world);
            ASSERT_TRUE(gate->waitUntilReached());
            EXPECT_FALSE(guard.isAnswering()) << "while the windows are on their way back";
            EXPECT_EQ(guard.eventsWhenStopped(), before) << "before the browser was asked anything";
            EXPECT_EQ(callsSince(world.engine, before, kPutsBack), 1);

            // A launch meanwhile waits for this instance to end: nothing shows the sidebar again.
            guard.launch();
            world.scheduler.runUntilIdle();
            EXPECT_EQ(guard.reopens(), 0);
            gate->open();
            world.settle();
            EXPECT_EQ(world.application.terminationRequests(), 1);
            EXPECT_EQ(world.browserWindow(ids.front())->bounds.left, 40);
        }
    }
}

// A launch while a quit from the menu puts a moved window back, through the guard the program
// uses: it is not told to reopen, waits for the quitting instance to end, then runs in its place.
TEST(Quitting, ALaunchDuringAMenuQuitWaitsForItAndRunsInItsPlace) {
    AppWorld world;
    const auto id = world.openBrowser({page("Alpha")}, {40, 25, 1040, 875});
    QTemporaryDir runtime;
    const QString socket = QDir(runtime.path()).filePath(QStringLiteral("app.instance"));
    const QString lock = QDir(runtime.path()).filePath(QStringLiteral("records.lock"));
    auto running = std::make_unique<SingleInstance>(socket, lock);
    ASSERT_EQ(running->claim(), InstanceGuard::Claim::first);
    auto &app = world.launch();
    app.answerLaterLaunches(*running);
    world.step(0.5);
    ASSERT_EQ(world.browserWindow(id)->bounds.left, 300);

    const auto gate = world.engine.holdNext(QStringLiteral("restoreWindowBounds"));
    ASSERT_TRUE(world.statusItem.choose({"Quit Ondrake"}));
    ASSERT_TRUE(gate->waitUntilReached());
    world.scheduler.runUntilIdle();

    // The launch finds nobody answering and waits for the instance's lock. Then the window comes
    // back and the quitting instance ends, as its process would.
    LogCapture log;
    bool windowBackBeforeTheEnd = false;
    QTimer ending;
    QObject::connect(&ending, &QTimer::timeout, [&] {
        if (!log.contains(QStringLiteral("Waiting for the instance that holds %1 to end").arg(lock))) return;
        ending.stop();
        gate->open();
        world.settle();
        windowBackBeforeTheEnd = world.browserWindow(id)->bounds.left == 40;
        EXPECT_EQ(world.application.terminationRequests(), 1);
        app.applicationWillTerminate();
        running.reset();
    });
    ending.start(1);
    SingleInstance later(socket, lock);
    EXPECT_EQ(later.claim(), InstanceGuard::Claim::first) << "it runs in the quitting one's place";
    ending.stop();
    gate->open();
    EXPECT_TRUE(later.isListening());
    EXPECT_TRUE(windowBackBeforeTheEnd);
    EXPECT_FALSE(log.contains(QStringLiteral("A later launch asked this instance to reopen")));
    world.settle();
    EXPECT_EQ(world.browserWindow(id)->bounds.left, 40) << "and stays back";
    EXPECT_EQ(world.application.terminationRequests(), 1);
}

// What could move a window aside while a quit puts the windows back, each tried in that moment.
TEST(Quitting, NothingMovesAWindowAsideWhileAQuitPutsItBack) {
    struct Case {
        const char *name;
        std::function<void(AppWorld &, AppDelegate &)> act;
    };
    const Case cases[] = {
        {"the application reopened", [](AppWorld &, AppDelegate &app) { app.applicationShouldHandleReopen(); }},
        {"Show Sidebar chosen", [](AppWorld &w, AppDelegate &) { w.statusItem.choose({"Show Sidebar"}); }},
        {"the sidebar hidden and shown",
         [](AppWorld &w, AppDelegate &) {
             w.statusItem.choose({"Hide Sidebar"});
             w.statusItem.choose({"Show Sidebar"});
         }},
        {"compact mode left, giving the room back",
         [](AppWorld &w, AppDelegate &app) {
             w.defaults.setBool(AppDelegate::kExpandSafariWhenCompactKey, true);
             app.toggleCompactMode();
         }},
        {"the window tracked on", [](AppWorld &w, AppDelegate &) { w.scheduler.advance(Seconds(1)); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AppWorld world;
        const auto ids = openWindowsInTheRoom(world, 2);
        auto &app = world.launch();
        bringEachToTheFront(world, ids);
        const auto moved = world.browserWindow(ids.front())->bounds;
        ASSERT_GE(moved.left, 300);

        // The first window goes back while the second waits its turn.
        const auto gate = world.engine.holdNext(QStringLiteral("restoreWindowBounds"));
        const auto quitAt = world.engine.receivedEvents().size();
        app.quit();
        ASSERT_TRUE(gate->waitUntilReached());
        c.act(world, app);
        world.scheduler.runUntilIdle();
        gate->open();
        world.settle();
        c.act(world, app);
        world.step(1);

        EXPECT_EQ(callsSince(world.engine, quitAt, kMovesAside), 0);
        EXPECT_EQ(world.browserWindow(ids[0])->bounds, (SimulatedSafari::Bounds{40, 25, 1040, 875}));
        EXPECT_EQ(world.browserWindow(ids[1])->bounds, (SimulatedSafari::Bounds{80, 60, 1060, 860}));
        EXPECT_EQ(world.application.terminationRequests(), 1);
    }
}

TEST(Quitting, AWindowBeingMovedAsideAsTheQuitBeginsIsPutBackToo) {
    AppWorld world;
    const auto ids = openWindowsInTheRoom(world, 2);
    world.launch();
    world.step(0.5);
    ASSERT_EQ(world.browserWindow(ids[0])->bounds.left, 300);
    ASSERT_EQ(world.browserWindow(ids[1])->bounds.left, 80) << "not yet in front";

    // The second window comes to the front; the browser has not yet answered the move.
    const auto gate = world.engine.holdNext(QStringLiteral("reserveSpace"));
    world.safari.bringToFront(ids[1]);
    for (int tick = 0; tick < 10 && !gate->hasBeenReached(); ++tick) {
        world.scheduler.advance(Seconds(0.05));
        world.scheduler.runUntilIdle();
    }
    ASSERT_TRUE(gate->waitUntilReached());
    ASSERT_TRUE(world.statusItem.choose({"Quit Ondrake"}));
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.application.terminationRequests(), 0);
    gate->open();
    world.settle();
    EXPECT_EQ(world.browserWindow(ids[1])->bounds.left, 80) << "its move answered, then undone";
    EXPECT_EQ(world.browserWindow(ids[0])->bounds.left, 40);
    EXPECT_EQ(world.application.terminationRequests(), 1);
}

// Whatever the sidebar is doing when a quit begins and whatever is asked of it while the quit
// puts the windows back, no window is moved aside after the quit began and, once the application
// has asked to end, every window stands where it was opened. Only the sidebar moves windows here,
// so where they were opened is where each belongs.
TEST(Quitting, EveryWindowIsBackWhateverHappensAroundAQuit) {
    constexpr int kRounds = 40;
    std::mt19937 random(20260611);
    const auto chance = [&](double p) { return std::bernoulli_distribution(p)(random); };
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    int windowsMovedAtQuit = 0;
    int heldRestores = 0;
    int heldMoves = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        AppWorld world;
        world.defaults.setBool(AppDelegate::kExpandSafariWhenCompactKey, chance(0.5));
        std::map<std::int64_t, SimulatedSafari::Bounds> opened;
        const int windowCount = between(1, 3);
        for (int i = 0; i < windowCount; ++i) {
            const double left = between(0, 500);
            const SimulatedSafari::Bounds bounds{left, double(between(25, 100)), left + between(500, 900), 850};
            const auto id = i == 0 ? world.openBrowser({page("Alpha")}, bounds) : [&] {
                SimulatedSafari::Window w;
                w.bounds = bounds;
                w.tabs = {page(QStringLiteral("Page %1").arg(i))};
                return world.safari.addWindow(std::move(w));
            }();
            opened[id] = bounds;
        }
        RecordingGuard guard(world.engine);
        auto &app = world.launch();
        app.answerLaterLaunches(guard);

        std::vector<std::shared_ptr<SimulatedScriptEngine::Gate>> gates;
        const auto isHeld = [&] { return !gates.empty(); };
        // Time passes; while the browser is held, nothing waits for its answers.
        const auto pass = [&](double seconds) {
            if (isHeld()) {
                world.scheduler.advance(Seconds(seconds));
                world.scheduler.runUntilIdle();
            } else {
                world.step(seconds);
            }
        };
        const auto act = [&] {
            switch (between(0, 6)) {
            case 0: guard.launch(); break;
            case 1: app.applicationShouldHandleReopen(); break;
            case 2: world.statusItem.choose({chance(0.5) ? "Hide Sidebar" : "Show Sidebar"}); break;
            case 3: app.toggleCompactMode(); break;
            case 4: {
                auto it = opened.begin();
                std::advance(it, between(0, int(opened.size()) - 1));
                world.safari.bringToFront(it->first);
                break;
            }
            default: break;
            }
            pass(between(0, 3) * 0.25);
        };

        for (int i = between(0, 6); i > 0; --i) act();
        // Sometimes a move is on its way as the quit begins; then the browser may hear of moves
        // asked for before the quit after it began.
        const bool moveOnItsWay = chance(0.3);
        if (moveOnItsWay) {
            gates.push_back(world.engine.holdNext(QStringLiteral("reserveSpace")));
            world.safari.bringToFront(std::prev(opened.end())->first);
            pass(0.25);
            if (gates.back()->hasBeenReached()) ++heldMoves;
        }
        for (const auto &[id, bounds] : opened)
            if (world.browserWindow(id)->bounds != bounds) ++windowsMovedAtQuit;

        const auto quitAt = world.engine.receivedEvents().size();
        if (!isHeld() && chance(0.7)) {
            gates.push_back(world.engine.holdNext(QStringLiteral("restoreWindowBounds")));
            ++heldRestores;
        }
        const int reopensBefore = guard.reopens();
        if (chance(0.5)) world.statusItem.choose({"Quit Ondrake"});
        else app.quit();
        for (int i = between(0, 6); i > 0; --i) act();
        for (const auto &gate : gates) gate->open();
        gates.clear();
        for (int i = between(0, 4); i > 0; --i) act();
        for (int i = 0; i < 10 && world.application.terminationRequests() == 0; ++i) world.step(1);

        EXPECT_EQ(world.application.terminationRequests(), 1);
        EXPECT_EQ(guard.reopens(), reopensBefore) << "no launch reopened it once it quit";
        if (!moveOnItsWay) {
            EXPECT_EQ(callsSince(world.engine, quitAt, kMovesAside), 0);
        }
        for (const auto &[id, bounds] : opened)
            EXPECT_EQ(world.browserWindow(id)->bounds, bounds) << "window " << id;
    }
    std::printf("Quits tried: %d; windows moved aside as they began: %d; quits held putting a window back: %d; "
                "with a move on its way: %d\n",
                kRounds, windowsMovedAtQuit, heldRestores, heldMoves);
}

}  // namespace
}  // namespace ondrake
