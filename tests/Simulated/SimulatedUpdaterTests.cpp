#include "SimulatedUpdater.h"

#include "ManualScheduler.h"
#include "UserDefaults.h"

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

TEST(SimulatedUpdater, KeepsTheUserSettingsAcrossLaunches) {
    ManualScheduler scheduler;
    UserDefaults defaults;
    {
        SimulatedUpdater first(scheduler, &defaults);
        EXPECT_FALSE(first.automaticallyChecksForUpdates());
        first.setAutomaticallyChecksForUpdates(true);
        first.setAutomaticallyDownloadsUpdates(true);
    }
    SimulatedUpdater second(scheduler, &defaults);
    EXPECT_TRUE(second.automaticallyChecksForUpdates());
    EXPECT_TRUE(second.automaticallyDownloadsUpdates());
}

TEST(SimulatedUpdater, HasNoFeedAndNothingToDownload) {
    ManualScheduler scheduler;
    SimulatedUpdater updater(scheduler);
    EXPECT_EQ(updater.feedURL(), std::nullopt);
    EXPECT_FALSE(updater.allowsAutomaticUpdates());
    EXPECT_FALSE(updater.canCheckForUpdates());  // not started
    updater.start();
    EXPECT_TRUE(updater.canCheckForUpdates());
}

TEST(SimulatedUpdater, ACheckWithNobodyToTellEndsAtOnce) {
    ManualScheduler scheduler;
    SimulatedUpdater updater(scheduler);
    updater.start();
    updater.checkForUpdates();
    EXPECT_TRUE(updater.isChecking());
    scheduler.runUntilIdle();
    EXPECT_FALSE(updater.isChecking());
    EXPECT_EQ(updater.lastUpdateCheckDate(), std::nullopt);
}

TEST(SimulatedUpdater, AnAlertDueAfterTheUpdaterWentIsDropped) {
    ManualScheduler scheduler;
    int shown = 0;
    {
        SimulatedUpdater updater(scheduler);
        updater.setAlertPresenter([&](const SimulatedUpdater::Alert &, std::function<void()>) { ++shown; });
        updater.start();
        updater.checkForUpdates();
    }
    scheduler.runUntilIdle();
    EXPECT_EQ(shown, 0);
}

}  // namespace
