#include "BrowserTestWorld.h"

#include "Browser/AppleScriptRunner.h"
#include "Browser/SafariScript.h"

#include <gtest/gtest.h>

#include <thread>

using namespace ondrake;
using namespace ondrake::test;

namespace {

SafariControllerError errorOf(BrowserWorld &world, QCoro::Task<AppleEventDescriptor> task) {
    try {
        world.run(std::move(task));
    } catch (const SafariControllerError &e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return SafariControllerError::automationFailure("none");
}

TEST(AppleScriptRunner, BuildsTheSubroutineEvent) {
    const auto bare = AppleScriptRunner::subroutineEvent("getSnapshot", {});
    EXPECT_EQ(bare.eventClass, "ascr");
    EXPECT_EQ(bare.eventID, "psbr");
    EXPECT_EQ(bare.target, (ProcessSerialNumber{0, 2}));
    EXPECT_EQ(bare.returnID, -1);
    EXPECT_EQ(bare.transactionID, 0);
    EXPECT_EQ(bare.parameter("snam")->stringValue(), "getsnapshot");
    EXPECT_FALSE(bare.parameter(AppleEvent::keyDirectObject).has_value());

    const auto withArgs = AppleScriptRunner::subroutineEvent(
        "isWindowZoomed", {AppleEventDescriptor::fromInt32(7), AppleEventDescriptor::fromString("x")});
    EXPECT_EQ(withArgs.parameter("snam")->stringValue(), "iswindowzoomed");
    const auto direct = withArgs.parameter(AppleEvent::keyDirectObject);
    ASSERT_TRUE(direct.has_value());
    EXPECT_EQ(direct->numberOfItems(), 2);
    EXPECT_EQ(direct->atIndex(1)->int32Value(), 7);
    EXPECT_EQ(direct->atIndex(2)->stringValue(), "x");
}

TEST(AppleScriptRunner, MapsScriptErrors) {
    struct Case {
        std::optional<std::int64_t> number;
        std::optional<QString> message;
        SafariControllerError expected;
    };
    const Case cases[] = {
        {-600, "x", SafariControllerError::safariNotRunning()},
        {-609, {}, SafariControllerError::safariNotRunning()},
        {-1743, {}, SafariControllerError::permissionDenied()},
        {-1744, {}, SafariControllerError::permissionDenied()},
        {-10004, {}, SafariControllerError::permissionDenied()},
        {-1719, {}, SafariControllerError::tabNotFound()},
        {-1728, {}, SafariControllerError::tabNotFound()},
        {-1712, "AppleEvent timed out.", SafariControllerError::automationFailure("Safari did not respond in time")},
        {-2700, "Boom.", SafariControllerError::automationFailure("Boom. (-2700)")},
        {{}, {}, SafariControllerError::automationFailure("Unknown AppleScript error (0)")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AppleScriptRunner::mapError({c.number, c.message}), c.expected) << c.number.value_or(0);
}

TEST(AppleScriptRunner, RunsHandlersOnItsOwnThreadAndMapsTheirErrors) {
    BrowserWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(5, {"a", "b"}));
    AppleScriptRunner runner(safariScriptSource(), world.engine, world.scheduler);

    const auto reply = world.run(runner.call("isWindowZoomed", {AppleEventDescriptor::fromInt32(5)}));
    EXPECT_EQ(reply.int32Value(), 0);
    const auto snapshot = world.run(runner.call("getSnapshot"));
    EXPECT_EQ(snapshot.numberOfItems(), 1);
    const auto events = world.engine.receivedEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[1].parameter(AppleEvent::keyDirectObject).has_value());

    world.engine.failNext("getSnapshot", {-1712, "AppleEvent timed out."});
    EXPECT_EQ(errorOf(world, runner.call("getSnapshot")),
              SafariControllerError::automationFailure("Safari did not respond in time"));
    world.engine.failNext("getSnapshot", {-1743, {}});
    EXPECT_EQ(errorOf(world, runner.call("getSnapshot")), SafariControllerError::permissionDenied());
    EXPECT_EQ(world.engine.compileCount(), 1);  // compiled once, reused
}

TEST(AppleScriptRunner, AFailedCompileFailsEveryCallAndIsRetried) {
    BrowserWorld world;
    world.safari.launch();
    LogCapture logs;
    AppleScriptRunner runner(safariScriptSource(), world.engine, world.scheduler);
    world.engine.setCompileError(ScriptErrorInfo{-2741, "Expected end of line."});
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(errorOf(world, runner.call("getSnapshot")),
                  SafariControllerError::automationFailure("Script failed to compile: Expected end of line."));
    EXPECT_EQ(world.engine.compileCount(), 2);
    EXPECT_TRUE(logs.contains("Safari script failed to compile: Expected end of line."));
    const auto entries = logs.entries();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const LogEntry &e) {
        return e.category == "AppleScript" && e.level == LogLevel::fault;
    }));

    world.engine.setCompileError(ScriptErrorInfo{{}, {}});
    EXPECT_EQ(errorOf(world, runner.call("getSnapshot")),
              SafariControllerError::automationFailure("Script failed to compile: unknown error"));

    world.engine.setCompileError(std::nullopt);
    world.run(runner.call("getSnapshot"));
    world.run(runner.call("getSnapshot"));
    EXPECT_EQ(world.engine.compileCount(), 4);
}

TEST(AppleScriptRunner, ScriptTextMustDeclareEveryServedHandler) {
    BrowserWorld world;
    world.safari.launch();
    auto broken = safariScriptSource();
    broken.replace("on moveTabs(wid, f, c, d, expectedURL, expectedCount)", "on moveTabs(wid, f, c, d, expectedURL)");
    AppleScriptRunner runner(broken, world.engine, world.scheduler);
    const auto error = errorOf(world, runner.call("getSnapshot"));
    EXPECT_TRUE(error.message().startsWith("Script failed to compile: ")) << error.message().toStdString();

    world.engine.setScriptCreationFails(true);
    AppleScriptRunner uncreatable(safariScriptSource(), world.engine, world.scheduler);
    EXPECT_EQ(errorOf(world, uncreatable.call("getSnapshot")),
              SafariControllerError::automationFailure("Could not create the Safari script"));
}

TEST(AppleScriptRunner, AnswersInTheOrderAsked) {
    BrowserWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(1, {"a"}));
    AppleScriptRunner runner(safariScriptSource(), world.engine, world.scheduler);
    std::vector<int> order;
    auto first = observe(runner.call("isWindowZoomed", {AppleEventDescriptor::fromInt32(1)}));
    auto second = observe(runner.call("isWindowZoomed", {AppleEventDescriptor::fromInt32(2)}));
    auto third = observe(runner.call("getSnapshot"));
    while (!(first->done && second->done && third->done)) {
        world.scheduler.waitForExternalWork();
        world.scheduler.runUntilIdle();
    }
    EXPECT_EQ(first->value->int32Value(), 0);
    EXPECT_EQ(second->value->int32Value(), -1);
    EXPECT_EQ(third->value->numberOfItems(), 1);
    const auto events = world.engine.receivedEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].parameter("snam")->stringValue(), "getsnapshot");
}

TEST(AppleScriptRunner, DestroyingItFailsQueuedCallsExactlyOnce) {
    BrowserWorld world;
    world.safari.launch();
    auto runner = std::make_unique<AppleScriptRunner>(safariScriptSource(), world.engine, world.scheduler);
    const auto gate = world.engine.holdNext("getSnapshot");
    auto busy = observe(runner->call("getSnapshot"));
    ASSERT_TRUE(gate->waitUntilReached());
    std::vector<std::shared_ptr<TaskResult<AppleEventDescriptor>>> queued;
    for (int i = 0; i < 3; ++i) queued.push_back(observe(runner->call("getSnapshot")));

    // Let the held handler go only once the queued calls have been failed, so none of them runs.
    // The opener waits for the first completion posted, so nothing else may be waiting then
    // (Safari's launch posted the workspace's notice).
    world.scheduler.runUntilIdle();
    std::thread opener([&] {
        world.scheduler.waitForExternalWork();
        gate->open();
    });
    runner.reset();
    opener.join();
    world.scheduler.runUntilIdle();

    ASSERT_TRUE(busy->done);
    EXPECT_FALSE(busy->error);
    for (const auto &q : queued) {
        ASSERT_TRUE(q->done);
        try {
            std::rethrow_exception(q->error);
        } catch (const SafariControllerError &e) {
            EXPECT_EQ(e, SafariControllerError::automationFailure("Runner deallocated"));
        }
    }
    EXPECT_EQ(world.engine.receivedEvents().size(), 1u);
    EXPECT_EQ(world.scheduler.externalWorkInFlight(), 0);
}

}  // namespace

namespace {

TEST(AppleScriptRunner, ScriptEngineRefusesWhatTheScriptDoesNotServe) {
    BrowserWorld world;
    world.safari.launch();
    AppleScriptRunner runner(safariScriptSource(), world.engine, world.scheduler);
    const auto unknown = errorOf(world, runner.call("navigate", {AppleEventDescriptor::fromString("x")}));
    EXPECT_TRUE(unknown.message().endsWith("(-1708)")) << unknown.message().toStdString();
    const auto arity = errorOf(world, runner.call("getSnapshot", {AppleEventDescriptor::fromInt32(1)}));
    EXPECT_TRUE(arity.message().endsWith("(-1721)")) << arity.message().toStdString();
}

}  // namespace
