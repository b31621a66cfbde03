#include "Settings/UpdateController.h"

#include "ManualScheduler.h"
#include "Qt/QtUpdateAlert.h"
#include "SimulatedUpdater.h"

#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

// A controller over a scripted updater, counting how often the application was brought forward.
struct UpdaterWorld {
    ManualScheduler scheduler;
    SimulatedUpdater *updater = nullptr;
    std::vector<QString> events;  // activations and alerts, in order
    std::unique_ptr<UpdateController> controller;

    explicit UpdaterWorld(const std::function<void(SimulatedUpdater &)> &script = {}) {
        auto simulated = std::make_unique<SimulatedUpdater>(scheduler);
        updater = simulated.get();
        if (script) script(*updater);
        updater->setAlertPresenter([this](const SimulatedUpdater::Alert &alert, std::function<void()> dismissed) {
            events.push_back(QStringLiteral("alert: ") + alert.message);
            dismiss = std::move(dismissed);
        });
        controller = std::make_unique<UpdateController>(std::move(simulated), [this] { events.push_back("activate"); });
    }
    std::function<void()> dismiss;
    long activations() const { return std::count(events.begin(), events.end(), QStringLiteral("activate")); }
};

TEST(UpdateController, StartsTheUpdaterAndMirrorsItWithoutWritingToIt) {
    const QDateTime checked(QDate(2026, 1, 2), QTime(9, 30), Qt::UTC);
    struct Case {
        bool checks, downloads, allows;
        std::optional<QDateTime> lastCheck;
    };
    const Case cases[] = {{false, false, false, std::nullopt}, {true, false, true, checked}, {true, true, true, checked}};
    for (const Case &c : cases) {
        UpdaterWorld world([&](SimulatedUpdater &u) {
            u.setAutomaticallyChecksForUpdates(c.checks);
            u.setAutomaticallyDownloadsUpdates(c.downloads);
            u.setAllowsAutomaticUpdates(c.allows);
            if (c.lastCheck) {
                u.start();
                u.beginCheck();
                u.endCheck(c.lastCheck);
            }
        });
        const int scriptedWrites = 2;
        EXPECT_TRUE(world.updater->isStarted());
        EXPECT_EQ(world.updater->settingWrites(), scriptedWrites);
        const auto &u = *world.controller;
        EXPECT_EQ(u.checksAutomatically(), c.checks);
        EXPECT_EQ(u.downloadsAutomatically(), c.downloads);
        EXPECT_EQ(u.allowsAutomaticDownloads(), c.allows);
        EXPECT_EQ(u.lastCheck(), c.lastCheck);
        EXPECT_TRUE(u.canCheck());
    }
}

TEST(UpdateController, WritesASettingToTheUpdaterOnlyWhenItDiffers) {
    UpdaterWorld world([](SimulatedUpdater &u) { u.setAutomaticallyChecksForUpdates(true); });
    const int before = world.updater->settingWrites();
    QSignalSpy checksChanged(world.controller.get(), &UpdateController::checksAutomaticallyChanged);

    world.controller->setChecksAutomatically(true);
    EXPECT_EQ(world.updater->settingWrites(), before);
    world.controller->setChecksAutomatically(false);
    EXPECT_EQ(world.updater->settingWrites(), before + 1);
    EXPECT_FALSE(world.updater->automaticallyChecksForUpdates());
    EXPECT_EQ(checksChanged.count(), 1);

    world.controller->setDownloadsAutomatically(true);
    world.controller->setDownloadsAutomatically(true);
    EXPECT_EQ(world.updater->settingWrites(), before + 2);
    EXPECT_TRUE(world.updater->automaticallyDownloadsUpdates());

    world.controller->refreshFromUpdater();
    EXPECT_EQ(world.updater->settingWrites(), before + 2);
}

// The updater may change a setting itself (its update window offers automatic downloads) while
// the mirror still holds the old value: writing the other setting must not put it back.
TEST(UpdateController, ASettingWritesOnlyItsOwnTwin) {
    struct Case {
        const char *name;
        std::function<void(SimulatedUpdater &)> behindTheBack;
        std::function<void(UpdateController &)> write;
        bool checks, downloads;  // the updater's settings afterwards
    };
    const std::vector<Case> cases = {
        {"downloads changed by the updater, checks written",
         [](SimulatedUpdater &u) { u.setAutomaticallyDownloadsUpdates(true); },
         [](UpdateController &c) { c.setChecksAutomatically(true); }, true, true},
        {"checks changed by the updater, downloads written",
         [](SimulatedUpdater &u) { u.setAutomaticallyChecksForUpdates(true); },
         [](UpdateController &c) { c.setDownloadsAutomatically(true); }, true, true},
    };
    for (const Case &c : cases) {
        UpdaterWorld world([](SimulatedUpdater &u) { u.setAllowsAutomaticUpdates(true); });
        c.behindTheBack(*world.updater);
        const int before = world.updater->settingWrites();
        c.write(*world.controller);
        EXPECT_EQ(world.updater->automaticallyChecksForUpdates(), c.checks) << c.name;
        EXPECT_EQ(world.updater->automaticallyDownloadsUpdates(), c.downloads) << c.name;
        EXPECT_EQ(world.updater->settingWrites(), before + 1) << c.name;
    }
}

TEST(UpdateController, CanCheckFollowsTheUpdaterWhileACheckRuns) {
    UpdaterWorld world([](SimulatedUpdater &u) { u.setFeedURL(QUrl(QStringLiteral("https://updates.example/feed.xml"))); });
    QSignalSpy canCheckChanged(world.controller.get(), &UpdateController::canCheckChanged);
    const QDateTime finished(QDate(2026, 3, 4), QTime(12, 0), Qt::UTC);

    world.updater->checkForUpdates();
    EXPECT_FALSE(world.controller->canCheck());
    world.updater->checkForUpdates();  // ignored while one runs
    EXPECT_TRUE(world.updater->isChecking());
    world.updater->endCheck(finished);
    EXPECT_TRUE(world.controller->canCheck());
    EXPECT_EQ(world.controller->lastCheck(), finished);
    EXPECT_EQ(canCheckChanged.count(), 2);
}

TEST(UpdateController, BringsTheApplicationForwardOnlyForWhatTheUserAskedFor) {
    struct Case {
        const char *name;
        std::function<void(SimulatedUpdater &)> act;
        long activations;
    };
    const std::vector<Case> cases = {
        {"update from a check the user started", [](SimulatedUpdater &u) { u.showUpdate({true}); }, 1},
        {"update from a scheduled check", [](SimulatedUpdater &u) { u.showUpdate({false}); }, 0},
    };
    for (const Case &c : cases) {
        UpdaterWorld world;
        c.act(*world.updater);
        EXPECT_EQ(world.activations(), c.activations) << c.name;
    }
}

TEST(UpdateController, ACheckWithoutAFeedSaysSoInAnAlertThatComesToTheFront) {
    UpdaterWorld world;
    EXPECT_EQ(world.updater->feedURL(), std::nullopt);
    world.updater->checkForUpdates();
    EXPECT_FALSE(world.controller->canCheck());
    world.scheduler.runUntilIdle();
    ASSERT_EQ(world.events.size(), 2u);
    EXPECT_EQ(world.events[0], QStringLiteral("activate"));
    EXPECT_TRUE(world.events[1].contains(QStringLiteral("No update source is configured")));
    EXPECT_FALSE(world.controller->canCheck());

    world.dismiss();
    world.dismiss();
    EXPECT_TRUE(world.controller->canCheck());
    EXPECT_EQ(world.controller->lastCheck(), std::nullopt);
}

TEST(UpdateController, LogsTheFeedItStartedWith) {
    for (const auto &[feed, expected] : std::vector<std::pair<std::optional<QUrl>, QString>>{
             {std::nullopt, "Updater started. Feed: none"},
             {QUrl(QStringLiteral("https://updates.example/a b.xml")),
              "Updater started. Feed: https://updates.example/a%20b.xml"}}) {
        LogCapture log;
        UpdaterWorld world([&](SimulatedUpdater &u) { u.setFeedURL(feed); });
        EXPECT_EQ(log.messages(QStringLiteral("updates")), std::vector<QString>{expected});
    }
}

TEST(UpdateAlert, ShowsTheMessageUntilTheUserClosesIt) {
    int dismissed = 0;
    messageBoxAlertPresenter()(SimulatedUpdater::noUpdateSourceAlert(), [&] { ++dismissed; });
    QMessageBox *box = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible()) box = b;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), SimulatedUpdater::noUpdateSourceAlert().message);
    EXPECT_EQ(dismissed, 0);
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    EXPECT_EQ(dismissed, 1);
}

}  // namespace
