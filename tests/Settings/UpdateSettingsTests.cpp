#include "SettingsTestWorld.h"

#include "Ondrake/Settings/UpdateSettings.h"
#include "Ondrake/Settings/UpdateSettingsView.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace ondrake;
using namespace ondrake::test;

namespace {

const QString kWillNotContact = QStringLiteral(
    "Ondrake will not contact the update feed on its own. Use Check Now, or the Ondrake menu in the system tray, to "
    "look for an update by hand.");

TEST(UpdateSettings, FeedAndLastCheckTexts) {
    EXPECT_EQ(feedText(std::nullopt), QStringLiteral("None — this build cannot update"));
    EXPECT_EQ(feedText(QUrl(QStringLiteral("https://updates.example/appcast feed.xml"))),
              QStringLiteral("https://updates.example/appcast%20feed.xml"));

    const QDateTime checked(QDate(2026, 1, 5), QTime(15, 4), Qt::UTC);
    EXPECT_EQ(lastCheckText(std::nullopt), QStringLiteral("Never checked"));
    EXPECT_EQ(lastCheckText(checked, QLocale::c(), QTimeZone::utc()), QStringLiteral("Last checked 5 Jan 2026 15:04"));
    EXPECT_TRUE(lastCheckText(checked, QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc())
                    .startsWith(QStringLiteral("Last checked Jan 5, 2026 3:04")));
    EXPECT_EQ(lastCheckText(checked, QLocale::c(), QTimeZone(3600)), QStringLiteral("Last checked 5 Jan 2026 16:04"));
}

TEST(UpdateSettings, TheVersionRowMarksWhatTheInformationLacks) {
    const QString shortKey = QStringLiteral("CFBundleShortVersionString"), buildKey = QStringLiteral("CFBundleVersion");
    struct Case {
        std::optional<QVariantMap> info;
        QString expected;
    };
    const std::vector<Case> cases = {
        {QVariantMap{{shortKey, "1.4"}, {buildKey, "212"}}, QStringLiteral("1.4 (212)")},
        {QVariantMap{{shortKey, "1.4"}}, QStringLiteral("1.4 (—)")},
        {QVariantMap{{shortKey, 14}, {buildKey, "212"}}, QStringLiteral("— (212)")},
        {QVariantMap{}, QStringLiteral("— (—)")},
        {std::nullopt, QStringLiteral("— (—)")},
    };
    for (const Case &c : cases) EXPECT_EQ(versionText(c.info), c.expected);
    EXPECT_TRUE(versionText(applicationInfoDictionary()).endsWith(QStringLiteral(" (—)")));
}

TEST(UpdateSettings, CheckNowAsksTheUpdaterAtTheMomentOfTheClick) {
    SettingsWorld world;
    world.updater->beginCheck();
    EXPECT_FALSE(checkForUpdatesNow(*world.updater));
    EXPECT_EQ(world.updater->checkRequests(), 0);
    world.updater->endCheck();
    EXPECT_TRUE(checkForUpdatesNow(*world.updater));
    EXPECT_TRUE(world.updater->isChecking());
}

// The pane over the simulated updater, shown.
struct UpdatesPane {
    SettingsWorld world;
    std::unique_ptr<UpdateSettingsView> view;

    explicit UpdatesPane(const std::function<void(SimulatedUpdater &)> &script = {}) {
        if (script) script(*world.updater);
        view = std::make_unique<UpdateSettingsView>(*world.updates,
                                                    QVariantMap{{QStringLiteral("CFBundleShortVersionString"), "2.0"}});
        view->show();
    }
    template<typename T>
    T *find(const char *name) {
        return view->findChild<T *>(QString::fromLatin1(name));
    }
};

TEST(UpdateSettingsView, TheAutomaticCheckSwitchWritesTheUpdaterAndItsNoteFollows) {
    UpdatesPane pane;
    auto *checks = pane.find<QCheckBox>("checksAutomatically");
    auto *note = pane.find<QLabel>("checksNote");
    EXPECT_FALSE(checks->isChecked());
    EXPECT_EQ(note->text(), kWillNotContact);

    clickToggle(checks);
    EXPECT_TRUE(pane.world.updater->automaticallyChecksForUpdates());
    EXPECT_EQ(note->text(), automaticChecksNote(true));
    clickToggle(checks);
    EXPECT_FALSE(pane.world.updater->automaticallyChecksForUpdates());
    EXPECT_EQ(note->text(), kWillNotContact);
    EXPECT_EQ(pane.world.updater->settingWrites(), 2);
}

TEST(UpdateSettingsView, BackgroundDownloadsCanOnlyBeSwitchedWhereTheUpdaterAllowsThem) {
    UpdatesPane without([](SimulatedUpdater &u) { u.setAutomaticallyDownloadsUpdates(true); });
    auto *downloads = without.find<QCheckBox>("downloadsAutomatically");
    EXPECT_TRUE(downloads->isChecked());
    EXPECT_FALSE(downloads->isEnabled());
    clickToggle(downloads);
    EXPECT_TRUE(without.world.updater->automaticallyDownloadsUpdates());

    UpdatesPane with([](SimulatedUpdater &u) { u.setAllowsAutomaticUpdates(true); });
    clickToggle(with.find<QCheckBox>("downloadsAutomatically"));
    EXPECT_TRUE(with.world.updater->automaticallyDownloadsUpdates());
}

TEST(UpdateSettingsView, CheckNowIsDisabledWhileACheckRunsAndSaysThereIsNoFeed) {
    UpdatesPane pane;
    auto *checkNow = pane.find<QPushButton>("checkNow");
    EXPECT_EQ(pane.find<QLabel>("lastCheck")->text(), QStringLiteral("Never checked"));
    EXPECT_EQ(pane.find<QLabel>("version")->text(), QStringLiteral("2.0 (—)"));
    EXPECT_EQ(pane.find<QLineEdit>("feed")->text(), QStringLiteral("None — this build cannot update"));
    saveScreenshot(*pane.view, QStringLiteral("settings-updates"));

    QTest::mouseClick(checkNow, Qt::LeftButton);
    EXPECT_FALSE(checkNow->isEnabled());
    SimulatedUpdater::Alert shown;
    std::function<void()> dismiss;
    pane.world.updater->setAlertPresenter([&](const SimulatedUpdater::Alert &a, std::function<void()> done) {
        shown = a;
        dismiss = std::move(done);
    });
    pane.world.scheduler.runUntilIdle();
    EXPECT_EQ(shown, SimulatedUpdater::noUpdateSourceAlert());
    EXPECT_EQ(pane.world.activations, 1);
    dismiss();
    EXPECT_TRUE(checkNow->isEnabled());
    EXPECT_EQ(pane.find<QLabel>("lastCheck")->text(), QStringLiteral("Never checked"));
}

TEST(UpdateSettingsView, ShowsAFeedWithItsEndInView) {
    const QString feed = QStringLiteral("https://updates.example/a/very/long/path/that/goes/on/and/on/for/a/while/appcast.xml");
    UpdatesPane pane([&](SimulatedUpdater &u) { u.setFeedURL(QUrl(feed)); });
    auto *field = pane.find<QLineEdit>("feed");
    EXPECT_EQ(field->text(), feed);
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_EQ(field->cursorPosition(), feed.size());
}

TEST(UpdateSettingsView, ShowingThePaneReadsTheUpdaterAfresh) {
    UpdatesPane pane;
    pane.view->hide();
    pane.world.updater->setAutomaticallyChecksForUpdates(true);  // behind the controller's back
    pane.view->show();
    EXPECT_TRUE(pane.find<QCheckBox>("checksAutomatically")->isChecked());
    EXPECT_TRUE(pane.world.updates->checksAutomatically());
}

}  // namespace
