#include "ModelTestSupport.h"

#include "Ondrake/Model/AppSettings.h"
#include "Ondrake/Model/FeatureFlags.h"

#include <vector>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// MARK: Application settings

TEST(AppSettings, ReadsOnlyTheExactStringAsTheWholeSubtree) {
    struct Case {
        const char *json;
        ParentCloseBehavior expected;
    };
    const Case cases[] = {
        {"{}", ParentCloseBehavior::parentOnly},
        {R"({"parentCloseBehavior": null})", ParentCloseBehavior::parentOnly},
        {R"({"parentCloseBehavior": "parentOnly"})", ParentCloseBehavior::parentOnly},
        {R"({"parentCloseBehavior": "parentAndDescendants"})", ParentCloseBehavior::parentAndDescendants},
        {R"({"parentCloseBehavior": "ParentAndDescendants"})", ParentCloseBehavior::parentOnly},
        {R"({"parentCloseBehavior": "everything", "other": 1})", ParentCloseBehavior::parentOnly},
    };
    for (const auto &c : cases) EXPECT_EQ(AppSettings::fromJson(jsonValue(c.json)).parentCloseBehavior, c.expected) << c.json;
}

TEST(AppSettings, FailsOnAWrongTypeAndWritesUnknownValuesBackAsParentOnly) {
    EXPECT_THROW(AppSettings::fromJson(jsonValue(R"({"parentCloseBehavior": 1})")), json::DecodingError);
    EXPECT_THROW(AppSettings::fromJson(jsonValue(R"("parentOnly")")), json::DecodingError);
    const auto settings = AppSettings::fromJson(jsonValue(R"({"parentCloseBehavior": "sometimes"})"));
    EXPECT_EQ(written(settings.toJson()), QStringLiteral("{\n  \"parentCloseBehavior\" : \"parentOnly\"\n}"));
    const AppSettings whole{ParentCloseBehavior::parentAndDescendants};
    EXPECT_EQ(AppSettings::fromJson(whole.toJson()), whole);
}

TEST(ParentCloseBehavior, CodesOnItsOwnAsItsCaseName) {
    for (const auto behavior : kAllParentCloseBehaviors) {
        EXPECT_EQ(parentCloseBehaviorFromString(toString(behavior)), behavior);
        EXPECT_EQ(parentCloseBehaviorFromJson(toString(behavior)), behavior);
    }
    EXPECT_EQ(parentCloseBehaviorFromString(u"parentonly"), std::nullopt);
    EXPECT_THROW(parentCloseBehaviorFromJson(QStringLiteral("sometimes")), json::DecodingError);
}

// MARK: Feature flags

TEST(FeatureFlag, ListsTheSixFlagsInOrderWithTheirDefaults) {
    std::vector<std::pair<QString, bool>> keys;
    for (const auto &flag : FeatureFlag::all()) keys.emplace_back(flag.key, flag.defaultValue);
    const std::vector<std::pair<QString, bool>> expected = {
        {QStringLiteral("tabGroups"), false},         {QStringLiteral("snoozeAndReminders"), false},
        {QStringLiteral("pinnedTabs"), true},         {QStringLiteral("closedTabHistory"), true},
        {QStringLiteral("autoNestLinkedTabs"), false}, {QStringLiteral("immersiveMode"), false},
    };
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(FeatureFlag::autoNestLinkedTabs().summary,
              QStringLiteral("Move a tab opened by a website's own \"open in new tab\" button next to the tab it came "
                             "from, so it can be nested."));
    EXPECT_EQ(FeatureFlags::environmentVariable(FeatureFlag::autoNestLinkedTabs()),
              QStringLiteral("ONDRAKE_FEATURE_AUTONESTLINKEDTABS"));
}

TEST(FeatureFlags, TheEnvironmentWinsOnlyWithAWordItKnows) {
    struct Case {
        const char *value;
        std::optional<bool> expected;
    };
    const Case cases[] = {
        {"1", true},      {"true", true},    {"YES", true},  {"On", true},   {"0", false},  {"False", false},
        {"no", false},    {"OFF", false},    {"", {}},       {" 1", {}},     {"1 ", {}},    {"enabled", {}},
    };
    for (const auto &c : cases) {
        const FeatureFlags flags({{QStringLiteral("pinnedTabs"), true}},
                                 {{QStringLiteral("ONDRAKE_FEATURE_PINNEDTABS"), QString::fromLatin1(c.value)}});
        EXPECT_EQ(flags.environmentValue(FeatureFlag::pinnedTabs()), c.expected) << '"' << c.value << '"';
        EXPECT_EQ(flags.isEnabled(FeatureFlag::pinnedTabs()), c.expected.value_or(true)) << '"' << c.value << '"';
        // The environment never shows as an override.
        EXPECT_EQ(flags.overrides(), (FeatureOverrides{{QStringLiteral("pinnedTabs"), true}}));
    }
}

TEST(FeatureFlags, OverridesFallBackToDefaultsAndAlwaysNotify) {
    FeatureFlags flags({{QStringLiteral("tabGroups"), true}, {QStringLiteral("noSuchFlag"), true}}, {});
    EXPECT_EQ(flags.overrides(), (FeatureOverrides{{QStringLiteral("tabGroups"), true}}));
    std::vector<FeatureOverrides> notified;
    flags.setOnChange([&](const FeatureOverrides &overrides) {
        // A handler may call straight back in.
        EXPECT_EQ(flags.overrides(), overrides);
        notified.push_back(overrides);
    });

    EXPECT_TRUE(flags.isEnabled(FeatureFlag::tabGroups()));
    flags.setOverride(std::nullopt, FeatureFlag::tabGroups());
    EXPECT_FALSE(flags.isEnabled(FeatureFlag::tabGroups()));
    flags.setOverride(std::nullopt, FeatureFlag::tabGroups());
    flags.setOverride(false, FeatureFlag::closedTabHistory());
    EXPECT_FALSE(flags.isEnabled(FeatureFlag::closedTabHistory()));
    flags.replaceOverrides({{QStringLiteral("immersiveMode"), true}, {QStringLiteral("legacyThing"), false}});
    EXPECT_TRUE(flags.isEnabled(FeatureFlag::immersiveMode()));
    EXPECT_TRUE(flags.isEnabled(FeatureFlag::closedTabHistory()));

    const std::vector<FeatureOverrides> expected = {
        {},
        {},
        {{QStringLiteral("closedTabHistory"), false}},
        {{QStringLiteral("immersiveMode"), true}},
    };
    EXPECT_EQ(notified, expected);
}

TEST(FeatureFlags, AForcedFlagKeepsItsOverrideUnderneath) {
    FeatureFlags flags({}, {{QStringLiteral("ONDRAKE_FEATURE_TABGROUPS"), QStringLiteral("off")}});
    flags.setOverride(true, FeatureFlag::tabGroups());
    EXPECT_FALSE(flags.isEnabled(FeatureFlag::tabGroups()));
    EXPECT_EQ(flags.overrides(), (FeatureOverrides{{QStringLiteral("tabGroups"), true}}));
}

}  // namespace
