#include "Shell/ExtensionBridge.h"

#include "Async.h"
#include "AtomicFile.h"
#include "Log.h"
#include "ManualScheduler.h"
#include "NativeMessaging.h"
#include "PrivateSessionBus.h"
#include "Qt/DBusNamedNotifier.h"
#include "SimulatedNamedNotifier.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <deque>

#include <sys/stat.h>

using namespace ondrake;

namespace {

const QString kProgram = QStringLiteral(ONDRAKE_EXTENSION_PROGRAM);

ExtensionState sampleState(const QDateTime &at, qint64 tabID = 1) {
    return {1, at, {{tabID, 4, QStringLiteral("Tab"), QUrl(QStringLiteral("https://example.com/")), true, false}}, 4};
}

// A bridge over a temporary home, its notifications through the simulated centre, on virtual time.
class ExtensionBridgeTest : public ::testing::Test {
protected:
    QString folder() const { return *OndrakeExtensionProtocol::exchangeDirectory(false, tmp.paths().home); }
    QString file() const { return QDir(folder()).filePath(OndrakeExtensionProtocol::stateFileName); }
    void writeBytes(const QByteArray &bytes) { ASSERT_TRUE(AtomicFile::write(file(), bytes)); }
    void write(const ExtensionState &state) { writeBytes(*state.encoded()); }
    // What the handler does after each write; the bridge's read on its own thread is waited for.
    void notify() {
        notifier.post(OndrakeExtensionProtocol::stateChangedNotification);
        settle(scheduler);
    }
    std::optional<ExtensionState> held() const {
        return bridge.state() ? std::optional(*bridge.state()) : std::nullopt;
    }
    // Waits, through the event loop, until the folder watch has had the bridge read `count` states.
    bool publishedAtLeast(qsizetype count) {
        return QTest::qWaitFor([&] {
            settle(scheduler);
            return published.count() >= count;
        }, 10000);
    }

    test::TemporaryPaths tmp;
    ManualScheduler scheduler;
    SimulatedNamedNotifier notifier{scheduler};
    ExtensionBridge bridge{tmp.paths(), notifier, scheduler};
    QSignalSpy published{&bridge, &ExtensionBridge::stateChanged};
    const QDateTime now = scheduler.wallNow();
};

TEST_F(ExtensionBridgeTest, StartsNothingUntilStartedAndStartsOnce) {
    EXPECT_FALSE(bridge.isRunning());
    EXPECT_FALSE(bridge.isRegistered());
    EXPECT_EQ(bridge.watchedDescriptor(), -1);
    EXPECT_FALSE(bridge.state());

    bridge.stop();  // not running: nothing to do
    write(sampleState(now));
    bridge.start();
    bridge.start();
    settle(scheduler);
    EXPECT_TRUE(bridge.isRunning());
    EXPECT_EQ(notifier.observerCount(OndrakeExtensionProtocol::stateChangedNotification), 1);
    EXPECT_TRUE(bridge.isWatching());
    EXPECT_EQ(published.count(), 1);  // read once at start
    EXPECT_EQ(held(), sampleState(now));

    bridge.stop();
    EXPECT_FALSE(bridge.isRunning());
    EXPECT_FALSE(bridge.isWatching());
    EXPECT_EQ(notifier.observerCount(OndrakeExtensionProtocol::stateChangedNotification), 0);
    write(sampleState(now, 2));
    notify();
    EXPECT_EQ(held(), sampleState(now));  // stopped: deaf to the handler
}

TEST_F(ExtensionBridgeTest, PublishesOnlyAcceptableChangedStates) {
    bridge.start();
    const QByteArray tab = R"({"safariTabID":1,"safariWindowID":4,"title":"Tab","active":true,"pinned":false})";
    const auto file = [&](const char *version, const QByteArray &tabJson) {
        return QByteArray(R"({"version":)") + version + R"(,"updatedAt":1000,"tabs":[)" + tabJson + "]}";
    };
    struct Step {
        const char *name;
        std::function<void()> change;
        bool publishes;
        std::optional<qint64> version;  // of the state held afterwards
    };
    const std::vector<Step> steps = {
        {"first state", [&] { writeBytes(file("1", tab)); }, true, 1},
        {"identical rewrite", [&] { writeBytes(file("1", tab)); }, false, 1},
        {"newer version", [&] { writeBytes(file("2", tab)); }, false, 1},
        {"older version", [&] { writeBytes(file("0", tab)); }, true, 0},
        {"tab without active", [&] { writeBytes(file("1", R"({"safariTabID":1,"safariWindowID":4,"title":"T","pinned":false})")); }, false, 0},
        {"not JSON", [&] { writeBytes("{\"version\":"); }, false, 0},
        {"file deleted", [&] { QFile::remove(this->file()); }, false, 0},
        {"changed tab", [&] { writeBytes(file("1", QByteArray(tab).replace("\"Tab\"", "\"Other\""))); }, true, 1},
    };
    for (const auto &step : steps) {
        const qsizetype before = published.count();
        const LogCapture log;
        step.change();
        notify();
        EXPECT_EQ(published.count() - before, step.publishes ? 1 : 0) << step.name;
        ASSERT_TRUE(bridge.state()) << step.name;
        EXPECT_EQ(bridge.state()->version, step.version) << step.name;
        if (QByteArray(step.name) == "newer version")
            EXPECT_EQ(log.messages(QStringLiteral("extension")),
                      std::vector<QString>{QStringLiteral("Ignoring extension state at version 2")});
        else
            EXPECT_TRUE(log.entries().empty()) << step.name;
    }
    EXPECT_EQ(bridge.state()->tabs.at(0).title, "Other");
    EXPECT_EQ(published.constLast().at(0).value<ExtensionState>(), *bridge.state());
}

TEST_F(ExtensionBridgeTest, AFileLargerThanAnyMessageIsNotReadAndSaidOnce) {
    const qint64 limit = OndrakeExtensionProtocol::maximumMessageLength;
    // Written as the handler writes, without waiting for the disk.
    const auto writePadded = [&](const ExtensionState &state, qint64 size) {
        const QByteArray bytes = *state.encoded();
        ASSERT_TRUE(QDir().mkpath(folder()));
        ASSERT_TRUE(AtomicFile::replaceUnsynced(file(), bytes + QByteArray(size - bytes.size(), ' ')));
    };
    bridge.start();
    const LogCapture log;
    writePadded(sampleState(now, 1), limit);
    notify();
    EXPECT_EQ(held(), sampleState(now, 1)) << "as large as a message may be";

    writePadded(sampleState(now, 2), limit + 1);
    notify();
    notify();
    EXPECT_EQ(held(), sampleState(now, 1));
    const std::vector<QString> refused{
        QStringLiteral("Ignoring an extension state file of 67108865 bytes; the limit is 67108864")};
    EXPECT_EQ(log.messages(QStringLiteral("extension")), refused) << "one line for the file, however often it is read";
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].level, LogLevel::error);

    write(sampleState(now, 3));
    notify();
    EXPECT_EQ(held(), sampleState(now, 3));
    EXPECT_EQ(log.entries().size(), 1u);
}

TEST_F(ExtensionBridgeTest, FreshForLessThanFifteenSeconds) {
    EXPECT_FALSE(bridge.isFresh());  // nothing read yet
    write(sampleState(now));
    bridge.start();
    settle(scheduler);
    const std::vector<std::pair<qint64, bool>> ages = {{0, true}, {14'900, true}, {14'999, true}, {15'000, false},
                                                       {60'000, false}, {-30'000, true}};
    for (const auto &[ageMs, fresh] : ages) {
        scheduler.setWallNow(now.addMSecs(ageMs));
        EXPECT_EQ(bridge.isFresh(), fresh) << ageMs;
    }
}

TEST_F(ExtensionBridgeTest, ABridgeStartedBeforeTheFolderExistsWatchesItOnceNotified) {
    bridge.start();
    EXPECT_TRUE(bridge.isRegistered());
    EXPECT_FALSE(bridge.isWatching());
    EXPECT_FALSE(QFileInfo::exists(folder()));  // the application never makes it
    EXPECT_FALSE(bridge.state());

    write(sampleState(now));
    notify();
    EXPECT_TRUE(bridge.isWatching());
    EXPECT_EQ(held(), sampleState(now));
}

TEST_F(ExtensionBridgeTest, TheFolderWatchAloneDeliversANewFile) {
    ASSERT_TRUE(QDir().mkpath(folder()));
    bridge.start();
    ASSERT_TRUE(bridge.isWatching());
    write(sampleState(now, 9));  // no notification
    ASSERT_TRUE(publishedAtLeast(1));
    EXPECT_EQ(bridge.state()->tabs.at(0).safariTabID, 9);
}

TEST_F(ExtensionBridgeTest, AFolderMadeAnewIsWatchedAgain) {
    write(sampleState(now, 1));
    bridge.start();
    settle(scheduler);
    const int descriptor = bridge.watchedDescriptor();
    ASSERT_GE(descriptor, 0);
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bridge.isWatching(); }, 10000));
    EXPECT_EQ(bridge.state()->tabs.at(0).safariTabID, 1);  // a vanished file leaves the state as it was

    write(sampleState(now, 2));
    notify();
    EXPECT_TRUE(bridge.isWatching());
    EXPECT_EQ(bridge.state()->tabs.at(0).safariTabID, 2);
    write(sampleState(now, 3));  // and the new watch works without a notification
    ASSERT_TRUE(publishedAtLeast(3));
    EXPECT_EQ(bridge.state()->tabs.at(0).safariTabID, 3);
}

// Whatever lands in the shared folder must not hold up the application: a pipe in place of the file
// is passed over without waiting for a writer, and a regular file after it is read as usual.
TEST_F(ExtensionBridgeTest, APipeInPlaceOfTheFileIsPassedOver) {
    ASSERT_TRUE(QDir().mkpath(folder()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(file()).constData(), 0600), 0);
    bridge.start();
    settle(scheduler);
    EXPECT_FALSE(bridge.state());
    EXPECT_EQ(published.count(), 0);

    ASSERT_TRUE(QFile::remove(file()));
    write(sampleState(now));
    notify();
    EXPECT_EQ(held(), sampleState(now));
}

// The real handler program, started as the browser would start it, writing under the same home.
TEST_F(ExtensionBridgeTest, PicksUpTheHandlersFileThroughTheFolderWatch) {
    ASSERT_TRUE(QDir().mkpath(folder()));
    bridge.start();
    const QByteArray message =
        R"({"type":"state","focusedWindowId":2,"tabs":[{"safariTabId":11,"safariWindowId":2,"title":"Docs",)"
        R"("url":"https://example.com/docs","active":true,"pinned":true},{"safariTabId":12,"safariWindowId":3}]})";
    const auto run = test::runExtensionHandler(kProgram, test::framed(message), tmp.paths().home, test::kNoBus);
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_TRUE(publishedAtLeast(1));
    const auto state = bridge.state();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->focusedWindowID, 2);
    ASSERT_EQ(state->tabs.size(), 2u);
    EXPECT_EQ(state->tabs[0], (ExtensionTab{11, 2, "Docs", QUrl("https://example.com/docs"), true, true}));
    EXPECT_EQ(state->tabs[1], (ExtensionTab{12, 3, "", std::nullopt, false, false}));
    EXPECT_EQ(state->activeTab()->title, "Docs");
    EXPECT_LT(std::abs(state->updatedAt.msecsTo(QDateTime::currentDateTimeUtc())), 60'000);
}

// Holds each piece of the bridge's work until the test runs it; what the work hands back to the
// main thread is then the test's to deliver, so reads can finish in any order.
class HeldExecutor final : public ExtensionBridgeExecutor {
public:
    void run(Work work) override { held_.push_back(std::move(work)); }
    std::size_t size() const { return held_.size(); }
    Completion runOldest() {
        Work work = std::move(held_.front());
        held_.pop_front();
        return work();
    }
    void drain() {
        while (!held_.empty())
            if (auto completion = runOldest()) completion();
    }

private:
    std::deque<Work> held_;
};

class ExtensionBridgeOrderTest : public ExtensionBridgeTest {
protected:
    HeldExecutor executor;
    ExtensionBridge ordered{tmp.paths(), notifier, scheduler, executor};
    QSignalSpy orderedPublished{&ordered, &ExtensionBridge::stateChanged};
    std::optional<ExtensionState> orderedHeld() const {
        return ordered.state() ? std::optional(*ordered.state()) : std::nullopt;
    }
};

TEST_F(ExtensionBridgeOrderTest, AChangeDuringAReadIsReadOnceMoreAfterIt) {
    write(sampleState(now, 1));
    ordered.start();
    ASSERT_EQ(executor.size(), 1u);
    auto first = executor.runOldest();  // has read the first file
    write(sampleState(now, 2));
    for (int i = 0; i < 3; ++i) {  // the notification and the folder's events of one write
        notifier.post(OndrakeExtensionProtocol::stateChangedNotification);
        scheduler.runUntilIdle();
    }
    EXPECT_EQ(executor.size(), 0u) << "no second read while one is in progress";

    first();
    EXPECT_EQ(orderedHeld(), sampleState(now, 1));
    ASSERT_EQ(executor.size(), 1u) << "one more read, for the change the first may have missed";
    executor.runOldest()();
    EXPECT_EQ(orderedHeld(), sampleState(now, 2));
    EXPECT_EQ(orderedPublished.count(), 2);
    executor.drain();
    EXPECT_EQ(orderedPublished.count(), 2);
}

TEST_F(ExtensionBridgeOrderTest, AReadAskedForBeforeAStopNeverReplacesALaterState) {
    write(sampleState(now, 1));
    ordered.start();
    auto beforeStop = executor.runOldest();  // has read the first file
    ordered.stop();
    write(sampleState(now, 2));
    ordered.start();
    ASSERT_EQ(executor.size(), 1u);
    executor.runOldest()();
    EXPECT_EQ(orderedHeld(), sampleState(now, 2));

    beforeStop();  // the older read finishes last
    EXPECT_EQ(orderedHeld(), sampleState(now, 2));
    EXPECT_EQ(orderedPublished.count(), 1);

    executor.drain();
    write(sampleState(now, 3));
    notifier.post(OndrakeExtensionProtocol::stateChangedNotification);
    scheduler.runUntilIdle();
    executor.drain();
    EXPECT_EQ(orderedHeld(), sampleState(now, 3)) << "reads go on as before";
}

// The bridge goes away before its read reports back, on its own thread or on one the test holds.
TEST_F(ExtensionBridgeTest, ABridgeDestroyedMidReadLeavesNothingBehind) {
    ExtensionState large = sampleState(now);
    large.tabs.assign(5'000, large.tabs.front());
    write(large);
    {
        ExtensionBridge threaded(tmp.paths(), notifier, scheduler);
        threaded.start();
    }
    settle(scheduler);  // the read's completion finds no bridge
    EXPECT_EQ(scheduler.externalWorkInFlight(), 0);

    for (const bool workRanFirst : {false, true}) {
        HeldExecutor executor;
        ExtensionBridgeExecutor::Completion completion;
        {
            ExtensionBridge held(tmp.paths(), notifier, scheduler, executor);
            held.start();
            if (workRanFirst) completion = executor.runOldest();
        }
        if (!workRanFirst) completion = executor.runOldest();
        ASSERT_TRUE(completion) << workRanFirst;
        completion();
        EXPECT_EQ(executor.size(), 0u) << workRanFirst;
    }
}

TEST(ExtensionBridgeOverTheBus, HearsTheHandlerAndThenWatchesTheFolderItMade) {
    test::PrivateSessionBus bus;
    if (!bus.isRunning()) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
    test::TemporaryPaths tmp;
    ManualScheduler scheduler;
    DBusNamedNotifier notifier(bus.connect());
    ExtensionBridge bridge(tmp.paths(), notifier, scheduler);
    QSignalSpy published(&bridge, &ExtensionBridge::stateChanged);
    bridge.start();
    ASSERT_FALSE(bridge.isWatching());

    const auto run = test::runExtensionHandler(
        kProgram, test::framed(R"({"type":"state","tabs":[{"safariTabId":5,"safariWindowId":1}]})"), tmp.paths().home,
        bus.address());
    ASSERT_TRUE(run.finished);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        settle(scheduler);
        return published.count() > 0;
    }, 10000));
    EXPECT_EQ(bridge.state()->tabs.at(0).safariTabID, 5);
    EXPECT_TRUE(bridge.isWatching());
}

}  // namespace
