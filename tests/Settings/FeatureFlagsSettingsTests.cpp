#include "SettingsTestWorld.h"

#include "Ondrake/Settings/FeatureFlagsSettings.h"
#include "Ondrake/Settings/FeatureFlagsSettingsView.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>

using namespace ondrake;
using namespace ondrake::test;

namespace {

const FeatureFlagRow &rowFor(const std::vector<FeatureFlagRow> &rows, const QString &key) {
    return *std::find_if(rows.begin(), rows.end(), [&](const FeatureFlagRow &r) { return r.flag.key == key; });
}

TEST(FeatureFlagsSettings, ShowsEachFlagAsTheEnvironmentAndOverridesLeaveIt) {
    const QString forcedOff = QStringLiteral(" Forced off by an environment variable for this launch.");
    const QString forcedOn = QStringLiteral(" Forced on by an environment variable for this launch.");
    struct Case {
        const char *name;
        Environment environment;
        FeatureOverrides overrides;
        QString key;
        bool on;
        bool forced;
        QString suffix;  // after the summary
    };
    const std::vector<Case> cases = {
        {"default on", {}, {}, QStringLiteral("pinnedTabs"), true, false, {}},
        {"default on too", {}, {}, QStringLiteral("closedTabHistory"), true, false, {}},
        {"default off", {}, {}, QStringLiteral("tabGroups"), false, false, {}},
        {"stored override", {}, {{QStringLiteral("tabGroups"), true}}, QStringLiteral("tabGroups"), true, false, {}},
        {"forced off beats a stored on", {{QStringLiteral("ONDRAKE_FEATURE_PINNEDTABS"), QStringLiteral("off")}},
         {{QStringLiteral("pinnedTabs"), true}}, QStringLiteral("pinnedTabs"), false, true, forcedOff},
        {"forced on in any case", {{QStringLiteral("ONDRAKE_FEATURE_IMMERSIVEMODE"), QStringLiteral("YES")}}, {},
         QStringLiteral("immersiveMode"), true, true, forcedOn},
        {"forced by 0", {{QStringLiteral("ONDRAKE_FEATURE_CLOSEDTABHISTORY"), QStringLiteral("0")}}, {},
         QStringLiteral("closedTabHistory"), false, true, forcedOff},
        {"an unknown word forces nothing", {{QStringLiteral("ONDRAKE_FEATURE_TABGROUPS"), QStringLiteral("maybe")}},
         {}, QStringLiteral("tabGroups"), false, false, {}},
        {"another flag's variable", {{QStringLiteral("ONDRAKE_FEATURE_TABGROUPS"), QStringLiteral("on")}}, {},
         QStringLiteral("pinnedTabs"), true, false, {}},
    };
    for (const Case &c : cases) {
        FeatureFlags flags(c.overrides, c.environment);
        const auto rows = featureFlagRows(flags);
        ASSERT_EQ(rows.size(), FeatureFlag::all().size()) << c.name;
        const auto &row = rowFor(rows, c.key);
        EXPECT_EQ(row.isOn, c.on) << c.name;
        EXPECT_EQ(row.isForced, c.forced) << c.name;
        EXPECT_EQ(row.description, row.flag.summary + c.suffix) << c.name;
    }
}

TEST(FeatureFlagsSettings, ASwitchLeavesAnOverrideEvenAtTheDefaultButNeverOnAForcedFlag) {
    FeatureFlags flags({}, {{QStringLiteral("ONDRAKE_FEATURE_PINNEDTABS"), QStringLiteral("on")}});
    int changes = 0;
    flags.setOnChange([&](const FeatureOverrides &) { ++changes; });
    setFeatureFlag(flags, FeatureFlag::tabGroups(), true);
    setFeatureFlag(flags, FeatureFlag::tabGroups(), false);
    setFeatureFlag(flags, FeatureFlag::pinnedTabs(), false);
    EXPECT_EQ(flags.overrides(), (FeatureOverrides{{QStringLiteral("tabGroups"), false}}));
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(flags.isEnabled(FeatureFlag::pinnedTabs()));
}

TEST(FeatureFlagsSettingsView, ClickingASwitchStoresTheOverrideAndTheStoreHearsOfIt) {
    SettingsWorld world;
    FeatureFlagsSettingsView view(*world.store);
    view.show();
    auto *groups = view.findChild<QCheckBox *>(QStringLiteral("tabGroups"));
    ASSERT_NE(groups, nullptr);
    EXPECT_FALSE(groups->isChecked());
    const int version = world.store->flagsVersion();

    clickToggle(groups);
    world.scheduler.runUntilIdle();
    EXPECT_TRUE(world.store->flags().isEnabled(FeatureFlag::tabGroups()));
    EXPECT_GT(world.store->flagsVersion(), version);

    groups->setFocus();
    QTest::keyClick(groups, Qt::Key_Space);
    EXPECT_EQ(world.store->flags().overrides().at(QStringLiteral("tabGroups")), false);
    EXPECT_FALSE(groups->isChecked());
}

TEST(FeatureFlagsSettingsView, AForcedFlagIsShownDisabledWithItsReason) {
    SettingsWorld world(Environment{{QStringLiteral("ONDRAKE_FEATURE_PINNEDTABS"), QStringLiteral("off")}});
    FeatureFlagsSettingsView view(*world.store);
    view.show();
    auto *pinned = view.findChild<QCheckBox *>(QStringLiteral("pinnedTabs"));
    auto *text = view.findChild<QLabel *>(QStringLiteral("pinnedTabs.description"));
    ASSERT_TRUE(pinned && text);
    EXPECT_FALSE(pinned->isChecked());
    EXPECT_FALSE(pinned->isEnabled());
    EXPECT_TRUE(text->text().endsWith(QStringLiteral(" Forced off by an environment variable for this launch.")));
    clickToggle(pinned);
    EXPECT_TRUE(world.store->flags().overrides().empty());
    saveScreenshot(view, QStringLiteral("settings-features-forced"));
}

TEST(FeatureFlagsSettingsView, FollowsAChangeMadeElsewhere) {
    SettingsWorld world;
    FeatureFlagsSettingsView view(*world.store);
    auto *immersive = view.findChild<QCheckBox *>(QStringLiteral("immersiveMode"));
    world.store->flags().setOverride(true, FeatureFlag::immersiveMode());
    world.scheduler.runUntilIdle();
    EXPECT_TRUE(immersive->isChecked());
}

}  // namespace
