#include "ModelTestSupport.h"

#include "Ondrake/Model/AdvancedFlag.h"
#include "UserDefaults.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace ondrake;

namespace {

const AdvancedFlag &flag(const char *key) {
    const auto &all = AdvancedFlag::all();
    const auto it = std::find_if(all.begin(), all.end(), [&](const auto &f) { return f.key == QLatin1String(key); });
    EXPECT_NE(it, all.end()) << key;
    return *it;
}

TEST(AdvancedFlag, TheTableHoldsTheEightKeysInOrder) {
    QStringList keys;
    for (const auto &f : AdvancedFlag::all()) keys << f.key;
    EXPECT_EQ(keys, (QStringList{"SidebarSeamStrength", "SidebarSeamWidth", "SidebarWindowScope", "SidebarEdgeBehavior",
                                 "ImmersiveTrackingMode", "ImmersiveSettleDelay", "ImmersiveFadeDuration",
                                 "SafariWindowSampleRate"}));
    EXPECT_EQ(std::get<AdvancedFlag::Number>(flag("SafariWindowSampleRate").kind),
              (AdvancedFlag::Number{30.0, 30.0, 120.0, 30.0, AdvancedFlag::Unit::hertz}));
    QStringList trackingModes;
    for (const auto &o : std::get<AdvancedFlag::Options>(flag("ImmersiveTrackingMode").kind).options)
        trackingModes << o.rawValue;
    EXPECT_EQ(trackingModes, (QStringList{"hideWhileMoving", "follow", "followPredicted"}));
}

TEST(AdvancedFlag, ReadsNumbersClampedWithTheDefaultForNothingUsable) {
    struct Case {
        const char *key;
        std::optional<QVariant> stored;
        double value;
        bool modified;
    };
    const Case cases[] = {
        {"SafariWindowSampleRate", std::nullopt, 30.0, false},
        {"SafariWindowSampleRate", 500, 120.0, true},
        {"SafariWindowSampleRate", 30, 30.0, false},
        {"SafariWindowSampleRate", 10, 30.0, false},
        {"SafariWindowSampleRate", QStringLiteral("60"), 60.0, true},
        {"SafariWindowSampleRate", QStringLiteral("fast"), 30.0, false},
        {"SidebarSeamWidth", std::numeric_limits<double>::quiet_NaN(), 8.0, false},
        {"SidebarSeamWidth", std::numeric_limits<double>::infinity(), 8.0, false},
        {"ImmersiveFadeDuration", 0, 0.0, true},
        {"ImmersiveSettleDelay", 0, 0.04, true},
        {"SidebarSeamStrength", true, 1.0, false},
        {"SidebarWindowScope", 3, 0.0, false},
    };
    for (const auto &c : cases) {
        UserDefaults defaults;
        if (c.stored) defaults.setObject(QString::fromLatin1(c.key), *c.stored);
        const auto &f = flag(c.key);
        EXPECT_DOUBLE_EQ(f.numberValue(defaults), c.value) << c.key << " " << (c.stored ? c.stored->toString().toStdString() : "-");
        EXPECT_EQ(f.isModified(defaults), c.modified) << c.key << " " << (c.stored ? c.stored->toString().toStdString() : "-");
    }
}

TEST(AdvancedFlag, AnOptionIsModifiedOnlyWhenItIsAKnownOtherChoice) {
    struct Case {
        QVariant stored;
        bool modified;
    };
    const Case cases[] = {
        {QStringLiteral("allWindows"), true},
        {QStringLiteral("activeWindow"), false},
        {QStringLiteral("someWindows"), false},
        {QStringLiteral("AllWindows"), false},
        {42, false},
        {QVariantList{QStringLiteral("allWindows")}, true},
    };
    for (const auto &c : cases) {
        UserDefaults defaults;
        defaults.setObject(QStringLiteral("SidebarWindowScope"), c.stored);
        EXPECT_EQ(flag("SidebarWindowScope").isModified(defaults), c.modified) << c.stored.toString().toStdString();
    }
    EXPECT_FALSE(flag("SidebarWindowScope").isModified(UserDefaults()));
}

TEST(AdvancedFlag, FormatsValuesInTheirUnit) {
    using Unit = AdvancedFlag::Unit;
    EXPECT_EQ(AdvancedFlag::format(Unit::percent, 0.05), QStringLiteral("5%"));
    EXPECT_EQ(AdvancedFlag::format(Unit::percent, 1.0), QStringLiteral("100%"));
    EXPECT_EQ(AdvancedFlag::format(Unit::milliseconds, 0.04), QStringLiteral("40 ms"));
    EXPECT_EQ(AdvancedFlag::format(Unit::milliseconds, 0.12), QStringLiteral("120 ms"));
    EXPECT_EQ(AdvancedFlag::format(Unit::hertz, 30.0), QStringLiteral("30 Hz"));
    EXPECT_EQ(AdvancedFlag::format(Unit::points, 8.4), QStringLiteral("8 pt"));
}

TEST(AdvancedFlag, SearchesTextsButNeverKeysOrRawValues) {
    const QStringList terms = flag("SidebarEdgeBehavior").searchTerms();
    ASSERT_EQ(terms.size(), 7);
    EXPECT_EQ(terms[0], QStringLiteral("sidebar.docking.at-screen-edge"));
    EXPECT_EQ(terms[3], QStringLiteral("Move Safari's window"));
    EXPECT_EQ(terms[5], QStringLiteral("Let the sidebar slide off screen"));
    EXPECT_FALSE(terms.contains(QStringLiteral("SidebarEdgeBehavior")));
    EXPECT_FALSE(terms.contains(QStringLiteral("moveSafari")));
    EXPECT_EQ(flag("SidebarSeamWidth").searchTerms().size(), 3);
}

}  // namespace
