#include "ManualScheduler.h"
#include "SimulatedNamedNotifier.h"

#include <gtest/gtest.h>

#include <thread>

using namespace ondrake;

namespace {

const QString kName = QStringLiteral("com.ondrake.Ondrake.state-changed");

TEST(SimulatedNamedNotifier, DeliversThroughTheMainQueueToObserversOfTheName) {
    ManualScheduler scheduler;
    SimulatedNamedNotifier notifier(scheduler);
    int heard = 0, other = 0;
    const auto a = notifier.observe(kName, [&] { ++heard; });
    const auto b = notifier.observe(QStringLiteral("other"), [&] { ++other; });

    std::thread([&] { notifier.post(kName); }).join();
    EXPECT_EQ(heard, 0);  // not on the posting thread
    scheduler.runUntilIdle();
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(notifier.posted(), QStringList{kName});
    EXPECT_EQ(notifier.observerCount(kName), 1);
}

TEST(SimulatedNamedNotifier, AnObservationEndedBeforeDeliveryHearsNothing) {
    ManualScheduler scheduler;
    SimulatedNamedNotifier notifier(scheduler);
    int heard = 0;
    auto observation = notifier.observe(kName, [&] { ++heard; });
    notifier.post(kName);
    observation.cancel();
    scheduler.runUntilIdle();
    EXPECT_EQ(heard, 0);
    EXPECT_EQ(notifier.observerCount(kName), 0);

    // An observation may outlive the notifier.
    auto notifierGone = std::make_unique<SimulatedNamedNotifier>(scheduler);
    auto late = notifierGone->observe(kName, [] {});
    notifierGone.reset();
    late.cancel();
}

}  // namespace
