#include "SettingsTestWorld.h"

#include "Ondrake/Settings/AdvancedSettings.h"
#include "Ondrake/Settings/AdvancedSettingsView.h"
#include "Ondrake/Settings/TunableScale.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <cmath>
#include <limits>

using namespace ondrake;
using namespace ondrake::test;

namespace {

const AdvancedFlag &flag(const QString &key) {
    const auto &all = AdvancedFlag::all();
    return *std::find_if(all.begin(), all.end(), [&](const AdvancedFlag &f) { return f.key == key; });
}

std::vector<QString> listedKeys(const QString &query) {
    std::vector<QString> keys;
    for (const AdvancedFlag *f : listedAdvancedFlags(query)) keys.push_back(f->key);
    return keys;
}

const QString kStrength = QStringLiteral("SidebarSeamStrength");
const QString kSeamWidth = QStringLiteral("SidebarSeamWidth");
const QString kScope = QStringLiteral("SidebarWindowScope");
const QString kSettle = QStringLiteral("ImmersiveSettleDelay");
const QString kRate = QStringLiteral("SafariWindowSampleRate");

TEST(AdvancedSettings, TheSearchMatchesEveryWordInTheShownTextsOnly) {
    const std::vector<QString> all = listedKeys({});
    ASSERT_EQ(all.size(), 8u);
    struct Case {
        QString query;
        std::vector<QString> expected;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("   "), all},
        {QStringLiteral("seam EDGE"), {kStrength, kSeamWidth}},
        {QStringLiteral("  séam\tedge "), {kStrength, kSeamWidth}},
        {QStringLiteral("seam\u00a0edge\u2003"), {kStrength, kSeamWidth}},  // any white space parts words
        {QStringLiteral("hz sample"), {kRate}},
        {QStringLiteral("predicting"), {QStringLiteral("ImmersiveTrackingMode")}},  // an option's title
        {QStringLiteral("SidebarSeamStrength"), {}},                               // keys are not searched
        {QStringLiteral("followPredicted"), {}},                                   // nor raw values
        {QStringLiteral("seam hz"), {}},
    };
    for (const Case &c : cases) EXPECT_EQ(listedKeys(c.query), c.expected) << c.query.toStdString();
    EXPECT_EQ(advancedNoMatchText(QStringLiteral("SidebarSeamStrength")),
              QStringLiteral("No flags match “SidebarSeamStrength”."));
}

TEST(AdvancedSettings, ARowShowsTheStoredValueAsTheFlagReadsIt) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        QString key;
        std::optional<QVariant> stored;
        bool modified;
        QString valueText;  // number flags
        QString selected;   // options flags
    };
    const std::vector<Case> cases = {
        {kStrength, std::nullopt, false, QStringLiteral("100%"), {}},
        {kStrength, 5.0, true, QStringLiteral("200%"), {}},
        {kStrength, nan, false, QStringLiteral("100%"), {}},
        {kStrength, 1.0, false, QStringLiteral("100%"), {}},
        {kSettle, 0.2, true, QStringLiteral("200 ms"), {}},
        {kRate, 10.0, false, QStringLiteral("30 Hz"), {}},  // clamps to the default
        {kScope, std::nullopt, false, {}, QStringLiteral("activeWindow")},
        {kScope, QStringLiteral("allWindows"), true, {}, QStringLiteral("allWindows")},
        {kScope, QStringLiteral("someWindows"), false, {}, QStringLiteral("activeWindow")},
        {kScope, QVariantList{QStringLiteral("allWindows")}, true, {}, QStringLiteral("activeWindow")},
    };
    for (const Case &c : cases) {
        UserDefaults defaults;
        if (c.stored) defaults.setObject(c.key, *c.stored);
        const AdvancedFlagRow row = advancedFlagRow(flag(c.key), defaults);
        const std::string name = c.key.toStdString() + " " + (c.stored ? c.stored->toString().toStdString() : "-");
        EXPECT_EQ(row.isModified, c.modified) << name;
        EXPECT_EQ(row.valueText, c.valueText) << name;
        EXPECT_EQ(row.selectedRawValue, c.selected) << name;
        if (!c.selected.isEmpty()) {
            const auto &options = std::get<AdvancedFlag::Options>(flag(c.key).kind).options;
            const auto &shown = *std::find_if(options.begin(), options.end(),
                                              [&](const auto &o) { return o.rawValue == c.selected; });
            EXPECT_EQ(row.optionSummary, shown.summary) << name;
        }
    }
}

TEST(AdvancedSettings, DescribesDefaultsAndCountsChanges) {
    EXPECT_EQ(advancedFlagRow(flag(kStrength), UserDefaults()).resetHelp, QStringLiteral("Restore the default (100%)"));
    EXPECT_EQ(advancedFlagRow(flag(kScope), UserDefaults()).resetHelp,
              QStringLiteral("Restore the default (Only the window you are in)"));
    EXPECT_EQ(advancedOptionEntries(flag(kScope)),
              (std::vector<AdvancedOptionEntry>{{"activeWindow", "Only the window you are in (Default)"},
                                                {"allWindows", "Every window, in a fixed order"}}));
    EXPECT_EQ(advancedFooterText(0, 8), QStringLiteral("8 flags, all at their defaults"));
    EXPECT_EQ(advancedFooterText(2, 8), QStringLiteral("2 of 8 changed from default"));
    EXPECT_NE(advancedIntroText(true), advancedIntroText(false));
    EXPECT_TRUE(advancedIntroText(false).contains(QStringLiteral("Immersive Mode is currently switched off")));
}

TEST(AdvancedSettings, WritingTheDefaultRemovesTheKeyAndResetAllClearsEveryFlag) {
    UserDefaults defaults;
    chooseAdvancedOption(flag(kScope), QStringLiteral("allWindows"), defaults);
    EXPECT_EQ(defaults.stringForKey(kScope), QStringLiteral("allWindows"));
    chooseAdvancedOption(flag(kScope), QStringLiteral("activeWindow"), defaults);
    EXPECT_FALSE(defaults.objectForKey(kScope));

    for (const AdvancedFlag &f : AdvancedFlag::all()) defaults.setObject(f.key, QStringLiteral("x"));
    defaults.setBool(QStringLiteral("SidebarIsCompact"), true);
    resetAllAdvancedFlags(defaults);
    EXPECT_EQ(defaults.dictionaryRepresentation().keys(), QStringList{QStringLiteral("SidebarIsCompact")});
}

// Slider positions stand for lower bound + k × step computed afresh, so coming back to the
// default's position gives the default exactly and the key goes, however the slider got there.
TEST(TunableScale, EveryPositionStandsForAValueOnTheGridAndTheDefaultsIsExact) {
    for (const AdvancedFlag &f : AdvancedFlag::all()) {
        const auto *number = std::get_if<AdvancedFlag::Number>(&f.kind);
        if (!number) continue;
        const TunableScale scale(*number);
        const std::string name = f.key.toStdString();
        EXPECT_EQ(scale.maximumTick(), int(std::lround((number->upperBound - number->lowerBound) / number->step))) << name;
        EXPECT_EQ(scale.value(scale.defaultTick()), number->defaultValue) << name;
        EXPECT_EQ(scale.value(0), number->lowerBound) << name;
        EXPECT_EQ(scale.value(scale.maximumTick()), number->upperBound) << name;
        for (int k = 0; k <= scale.maximumTick(); ++k) {
            const double v = scale.value(k);
            EXPECT_EQ(scale.tick(v), k) << name << " " << k;
            EXPECT_NEAR(v, number->lowerBound + k * number->step, 1e-9) << name << " " << k;
        }
        EXPECT_EQ(scale.value(-3), number->lowerBound) << name;
        EXPECT_EQ(scale.tick(std::numeric_limits<double>::quiet_NaN()), scale.defaultTick()) << name;
    }
    const TunableScale strength(std::get<AdvancedFlag::Number>(flag(kStrength).kind));
    EXPECT_EQ(strength.value(3), 0.15);  // not 0.15000000000000002
    EXPECT_EQ(strength.value(21), 1.05);
}

TEST(TunableScale, ASliderMovedAwayAndBackLeavesNothingStored) {
    for (const QString &key : {kStrength, kSeamWidth, kSettle, QStringLiteral("ImmersiveFadeDuration"), kRate}) {
        UserDefaults defaults;
        const auto &number = std::get<AdvancedFlag::Number>(flag(key).kind);
        const TunableScale scale(number);
        const int start = scale.defaultTick();
        const int away = start == scale.maximumTick() ? start - 1 : start + 1;
        setAdvancedNumberTick(flag(key), away, defaults);
        EXPECT_TRUE(flag(key).isModified(defaults)) << key.toStdString();
        setAdvancedNumberTick(flag(key), start, defaults);
        EXPECT_FALSE(defaults.objectForKey(key)) << key.toStdString();
    }
}

// The pane, driven as a user would.
struct AdvancedPane {
    SettingsWorld world;
    AdvancedSettingsView view{*world.store, world.defaults};

    AdvancedPane() { view.show(); }
    QWidget *row(const QString &key) { return view.findChild<QWidget *>(key); }
    template<typename T>
    T *in(const QString &key, const char *name) {
        return row(key)->findChild<T *>(QString::fromLatin1(name));
    }
    QString footer() { return view.findChild<QLabel *>(QStringLiteral("footer"))->text(); }
    std::vector<QString> visibleRows() {
        std::vector<QString> keys;
        for (const AdvancedFlag &f : AdvancedFlag::all())
            if (row(f.key)->isVisible()) keys.push_back(f.key);
        return keys;
    }
};

TEST(AdvancedSettingsView, ASliderStepsAwayAndBackByKeyboard) {
    AdvancedPane pane;
    auto *slider = pane.in<QSlider>(kStrength, "slider");
    auto *reset = pane.in<QPushButton>(kStrength, "reset");
    EXPECT_FALSE(reset->isVisible());
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(pane.world.defaults.objectForKey(kStrength), QVariant(1.05));
    EXPECT_EQ(pane.in<QLabel>(kStrength, "value")->text(), QStringLiteral("105%"));
    EXPECT_TRUE(reset->isVisible());
    EXPECT_EQ(reset->toolTip(), QStringLiteral("Restore the default (100%)"));
    EXPECT_EQ(pane.footer(), QStringLiteral("1 of 8 changed from default"));

    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_FALSE(pane.world.defaults.objectForKey(kStrength));
    EXPECT_FALSE(reset->isVisible());
    EXPECT_EQ(pane.footer(), QStringLiteral("8 flags, all at their defaults"));
    EXPECT_FALSE(pane.view.findChild<QPushButton *>(QStringLiteral("resetAll"))->isEnabled());
}

TEST(AdvancedSettingsView, AnOutOfRangeValueShowsClampedAndResetRemovesIt) {
    AdvancedPane pane;
    pane.world.defaults.setDouble(kStrength, 5);
    EXPECT_EQ(pane.in<QLabel>(kStrength, "value")->text(), QStringLiteral("200%"));
    EXPECT_EQ(pane.in<QSlider>(kStrength, "slider")->value(), 40);
    EXPECT_TRUE(pane.in<QLabel>(kStrength, "title")->font().bold());
    QTest::mouseClick(pane.in<QPushButton>(kStrength, "reset"), Qt::LeftButton);
    EXPECT_FALSE(pane.world.defaults.objectForKey(kStrength));
    EXPECT_FALSE(pane.in<QLabel>(kStrength, "title")->font().bold());
}

TEST(AdvancedSettingsView, ThePickerStoresAChoiceAndRemovesTheDefault) {
    AdvancedPane pane;
    auto *picker = pane.in<QComboBox>(kScope, "picker");
    EXPECT_EQ(picker->currentText(), QStringLiteral("Only the window you are in (Default)"));
    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_Down);
    EXPECT_EQ(pane.world.defaults.stringForKey(kScope), QStringLiteral("allWindows"));
    EXPECT_TRUE(pane.in<QLabel>(kScope, "optionSummary")->text().startsWith(QStringLiteral("Every window gets")));
    QTest::keyClick(picker, Qt::Key_Up);
    EXPECT_FALSE(pane.world.defaults.objectForKey(kScope));

    pane.world.defaults.setString(kScope, QStringLiteral("someWindows"));
    EXPECT_EQ(picker->currentIndex(), 0);
    EXPECT_FALSE(pane.in<QPushButton>(kScope, "reset")->isVisible());
    EXPECT_EQ(pane.footer(), QStringLiteral("8 flags, all at their defaults"));
}

TEST(AdvancedSettingsView, TypingFiltersTheListAndTheClearButtonEmptiesIt) {
    AdvancedPane pane;
    auto *search = pane.view.findChild<QLineEdit *>(QStringLiteral("search"));
    auto *clear = pane.view.findChild<QToolButton *>(QStringLiteral("clearSearch"));
    auto *noMatch = pane.view.findChild<QLabel *>(QStringLiteral("noMatch"));
    EXPECT_FALSE(clear->isVisible());

    QTest::keyClicks(search, QStringLiteral("seam EDGE"));
    EXPECT_EQ(pane.visibleRows(), (std::vector<QString>{kStrength, kSeamWidth}));
    EXPECT_TRUE(clear->isVisible());
    EXPECT_FALSE(noMatch->isVisible());

    search->clear();
    QTest::keyClicks(search, QStringLiteral("SidebarSeamStrength"));
    EXPECT_TRUE(pane.visibleRows().empty());
    EXPECT_TRUE(noMatch->isVisible());
    EXPECT_EQ(noMatch->text(), QStringLiteral("No flags match “SidebarSeamStrength”."));
    saveScreenshot(pane.view, QStringLiteral("settings-advanced-no-match"));

    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_TRUE(search->text().isEmpty());
    EXPECT_EQ(pane.visibleRows().size(), 8u);

    QTest::keyClicks(search, QStringLiteral("   "));
    EXPECT_EQ(pane.visibleRows().size(), 8u);
    EXPECT_TRUE(clear->isVisible());
}

TEST(AdvancedSettingsView, ResetAllClearsFlagsTheSearchHides) {
    AdvancedPane pane;
    pane.world.defaults.setDouble(kStrength, 0.5);
    pane.world.defaults.setString(kScope, QStringLiteral("allWindows"));
    EXPECT_EQ(pane.footer(), QStringLiteral("2 of 8 changed from default"));
    saveScreenshot(pane.view, QStringLiteral("settings-advanced-modified"));
    QTest::keyClicks(pane.view.findChild<QLineEdit *>(QStringLiteral("search")), QStringLiteral("hz"));
    QTest::mouseClick(pane.view.findChild<QPushButton *>(QStringLiteral("resetAll")), Qt::LeftButton);
    EXPECT_FALSE(pane.world.defaults.objectForKey(kStrength));
    EXPECT_FALSE(pane.world.defaults.objectForKey(kScope));
    EXPECT_EQ(pane.footer(), QStringLiteral("8 flags, all at their defaults"));
}

TEST(AdvancedSettingsView, TheIntroFollowsImmersiveMode) {
    AdvancedPane pane;
    auto *intro = pane.view.findChild<QLabel *>(QStringLiteral("intro"));
    EXPECT_EQ(intro->text(), advancedIntroText(false));
    pane.world.store->flags().setOverride(true, FeatureFlag::immersiveMode());
    pane.world.scheduler.runUntilIdle();
    EXPECT_EQ(intro->text(), advancedIntroText(true));
}

}  // namespace
