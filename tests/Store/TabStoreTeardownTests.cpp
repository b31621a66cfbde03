#include "StoreTestSupport.h"

namespace ondrake {
namespace {

using test::tab;
using test::window;
using Gate = std::optional<Deferred<>> test::FakeBrowser::*;

// An operation the store started and then left behind, held where it waits for the browser.
struct LeftBehind {
    const char *what;
    Gate gate;
    std::function<void(test::StoreWorld &, TabStore &)> prepare;
    std::function<QCoro::Task<>(test::StoreWorld &, TabStore &)> start;
};

int askedOfBrowser(const test::FakeBrowser &b) {
    return b.snapshotCount + int(b.moves.size() + b.closeRequests.size() + b.restoreRequests.size() +
                                 b.openRequests.size() + b.zoomQueries);
}

SafariWindowFrameChange moved(std::int64_t windowID) {
    return SafariWindowFrameChange{windowID, {0, 25, 1000, 800}, {300, 25, 1300, 800}};
}

void noPreparation(test::StoreWorld &, TabStore &) {}

void refreshed(test::StoreWorld &world, TabStore &store) { world.refresh(store); }

std::vector<LeftBehind> leftBehind() {
    return {
        {"a refresh waiting for the snapshot", &test::FakeBrowser::snapshotGate, noPreparation,
         [](auto &, TabStore &store) { return store.requestRefresh(); }},
        {"a refresh with another queued behind it", &test::FakeBrowser::snapshotGate, noPreparation,
         [](auto &, TabStore &store) {
             auto first = store.requestRefresh();
             observe(store.requestRefresh());
             return first;
         }},
        {"a refresh placing a reopened tab", &test::FakeBrowser::moveGate,
         [](test::StoreWorld &world, TabStore &store) {
             world.refresh(store);
             const auto ids = store.ondrakeIDs();
             store.addPendingRestores({PendingRestore{.ondrakeID = ids.value("c"),
                                                      .parentID = ids.value("a"),
                                                      .targetIndex = std::nullopt,
                                                      .attemptsRemaining = 8}});
         },
         [](auto &, TabStore &store) { return store.requestRefresh(); }},
        {"a drag's move", &test::FakeBrowser::moveGate, refreshed,
         [](auto &, TabStore &store) {
             TabDropPlan plan;
             plan.changesAnything = true;
             plan.move = {1, 3, 1, 1, "https://c.example/", 3, "c", std::nullopt};
             return store.moveTabs(plan);
         }},
        {"a close", &test::FakeBrowser::closeGate, refreshed,
         [](test::StoreWorld &world, TabStore &store) { return store.closeTabs({world.browser.windows[0].tabs[1]}); }},
        {"a close the browser then fails", &test::FakeBrowser::closeGate,
         [](test::StoreWorld &world, TabStore &store) {
             world.refresh(store);
             world.browser.onClose = [](const auto &) { throw SafariControllerError::automationFailure("gone"); };
         },
         [](test::StoreWorld &world, TabStore &store) { return store.closeTabs({world.browser.windows[0].tabs[1]}); }},
        {"a window moved aside", &test::FakeBrowser::frameGate,
         [](test::StoreWorld &world, TabStore &) { world.browser.nextFrameChange = moved(7); },
         [](auto &, TabStore &store) { return store.reserveSpace(0, 300); }},
        {"windows being put back", &test::FakeBrowser::frameGate,
         [](test::StoreWorld &world, TabStore &store) {
             for (const std::int64_t id : {7, 8}) {
                 world.browser.nextFrameChange = moved(id);
                 runToCompletion(world.scheduler, store.reserveSpace(0, 300));
             }
         },
         [](auto &, TabStore &store) { return store.restoreDisplacedWindows(); }},
    };
}

// The browser answers only after the store has gone: the operation must end without touching the
// store, and ask the browser nothing more.
TEST(TabStoreTeardown, AnOperationTheBrowserAnswersAfterTheStoreWentEndsQuietly) {
    for (const auto &op : leftBehind()) {
        SCOPED_TRACE(op.what);
        test::StoreWorld world;
        world.browser.windows = {window(1, {tab("a", 1, 1, true), tab("b", 1, 2), tab("c", 1, 3)})};
        auto store = world.makeStore();
        op.prepare(world, *store);

        auto &gate = world.browser.*op.gate;
        gate.emplace();
        auto result = observe(op.start(world, *store));
        world.scheduler.runUntilIdle();
        ASSERT_FALSE(result->done) << "held at the browser";
        ASSERT_EQ(gate->waiterCount(), 1u);

        store.reset();
        const int asked = askedOfBrowser(world.browser);
        auto held = *std::exchange(gate, std::nullopt);
        held.resolve();
        settle(world.scheduler);

        ASSERT_TRUE(result->done);
        EXPECT_FALSE(result->error);
        EXPECT_EQ(askedOfBrowser(world.browser), asked);
    }
}

}  // namespace
}  // namespace ondrake
