#include "SettingsTestWorld.h"

#include "Ondrake/Settings/AppearanceSettings.h"
#include "Ondrake/Settings/AppearanceSettingsView.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QStyleOptionViewItem>

#include <limits>

using namespace ondrake;
using namespace ondrake::test;

namespace {

TEST(AppearanceSettings, ThePickerListsEveryThemeOnceByFamily) {
    const auto sections = themePickerSections();
    ASSERT_EQ(sections.size(), 3u);
    EXPECT_EQ(sections[0].header, QString());
    EXPECT_EQ(sections[1].header, QStringLiteral("Pastel"));
    EXPECT_EQ(sections[2].header, QStringLiteral("MacBook Neo"));
    std::vector<SidebarThemeChoice> listed;
    for (const auto &s : sections) listed.insert(listed.end(), s.choices.begin(), s.choices.end());
    EXPECT_EQ(listed, std::vector<SidebarThemeChoice>(kAllSidebarThemeChoices.begin(), kAllSidebarThemeChoices.end()));
    for (const SidebarThemeChoice choice : kAllSidebarThemeChoices) EXPECT_FALSE(themeDescription(choice).isEmpty());
    EXPECT_EQ(themeDescription(SidebarThemeChoice::pastelMist), QStringLiteral("Soft periwinkle. The most neutral of the pastels."));
}

TEST(AppearanceSettings, PointsAreShownAsWholeNumbersTruncated) {
    const std::pair<double, const char *> cases[] = {
        {20, "20 pt"}, {63.7, "63 pt"}, {47.999, "47 pt"}, {0, "0 pt"}, {-0.5, "0 pt"},
        {std::numeric_limits<double>::quiet_NaN(), "0 pt"}};
    for (const auto &[points, text] : cases) EXPECT_EQ(wholePointsText(points), QString::fromUtf8(text)) << points;
}

// The pane, driven as a user would.
struct AppearancePane {
    SettingsWorld world;
    std::unique_ptr<AppearanceSettingsView> view;

    explicit AppearancePane(std::optional<SettingsPanelGeometry> geometry = std::nullopt) {
        view = std::make_unique<AppearanceSettingsView>(*world.store, world.defaults, geometry.value_or(world.geometry()));
        view->show();
    }
    template<typename T>
    T *find(const char *name) {
        return view->findChild<T *>(QString::fromLatin1(name));
    }
};

TEST(AppearanceSettingsView, FirstLaunchShowsTheSystemThemeAndNoExpansion) {
    AppearancePane pane;
    EXPECT_EQ(pane.find<QComboBox>("theme")->currentText(), QStringLiteral("System"));
    EXPECT_EQ(pane.find<QLabel>("themeDescription")->text(), QStringLiteral("Follows the desktop's light/dark appearance automatically."));
    EXPECT_FALSE(pane.find<QCheckBox>("expandSafari")->isChecked());
    EXPECT_FALSE(pane.find<QCheckBox>("rail")->isChecked());
    EXPECT_EQ(pane.find<QLabel>("cornerRadiusValue")->text(), QStringLiteral("20 pt"));
    EXPECT_EQ(pane.find<QLabel>("railWidthValue")->text(), QStringLiteral("64 pt"));
    for (QWidget *control : pane.view->findChildren<QWidget *>()) {
        if (control->focusPolicy() == Qt::NoFocus) continue;
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    }
    saveScreenshot(*pane.view, QStringLiteral("settings-appearance"));
}

TEST(AppearanceSettingsView, PickingAThemeStoresItsCaseNameAndTheDescriptionFollows) {
    AppearancePane pane;
    pane.world.defaults.setString(QStringLiteral("SidebarTheme"), QStringLiteral("highContrast"));
    auto *picker = pane.find<QComboBox>("theme");
    EXPECT_EQ(picker->currentText(), QStringLiteral("High Contrast"));
    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_Down);  // over the "Pastel" heading
    EXPECT_EQ(pane.world.defaults.stringForKey(QStringLiteral("SidebarTheme")), QStringLiteral("pastelMist"));
    EXPECT_EQ(picker->currentText(), QStringLiteral("Mist"));
    EXPECT_EQ(pane.find<QLabel>("themeDescription")->text(),
              QStringLiteral("Soft periwinkle. The most neutral of the pastels."));
}

TEST(AppearanceSettingsView, SlidersWriteThroughTheShellAndShowWhatItKept) {
    AppearancePane pane;
    auto *radius = pane.find<QSlider>("cornerRadius");
    radius->setFocus();
    QTest::keyClick(radius, Qt::Key_End);
    EXPECT_EQ(pane.world.cornerRadiusWrites, std::vector<double>{40});
    EXPECT_EQ(pane.find<QLabel>("cornerRadiusValue")->text(), QStringLiteral("40 pt"));
    EXPECT_EQ(radius->maximum(), 40);

    auto *rail = pane.find<QSlider>("railWidth");
    EXPECT_EQ(rail->minimum(), 48);
    EXPECT_EQ(rail->maximum(), 120);
    pane.world.compactWidth = 63.7;
    rail->setFocus();
    QTest::keyClick(rail, Qt::Key_Home);
    EXPECT_EQ(pane.world.compactWidthWrites, std::vector<double>{48});
    EXPECT_EQ(pane.find<QLabel>("railWidthValue")->text(), QStringLiteral("48 pt"));
}

TEST(AppearanceSettingsView, WithoutAPanelTheSlidersSpringBack) {
    AppearancePane pane{SettingsPanelGeometry{}};
    auto *radius = pane.find<QSlider>("cornerRadius");
    radius->setFocus();
    QTest::keyClick(radius, Qt::Key_Right);
    EXPECT_EQ(radius->value(), 20);
    EXPECT_EQ(pane.find<QLabel>("cornerRadiusValue")->text(), QStringLiteral("20 pt"));
}

TEST(AppearanceSettingsView, TheRailSwitchSetsTheStoresCompactFlag) {
    AppearancePane pane;
    auto *rail = pane.find<QCheckBox>("rail");
    clickToggle(rail);
    EXPECT_TRUE(pane.world.store->isCompact());
    EXPECT_TRUE(pane.world.defaults.boolForKey(QStringLiteral("SidebarIsCompact")));
    pane.world.store->setCompact(false);
    EXPECT_FALSE(rail->isChecked());
    EXPECT_FALSE(pane.world.defaults.boolForKey(QStringLiteral("SidebarIsCompact")));
}

TEST(AppearanceSettingsView, TheExpansionSwitchOnlyStoresItsSetting) {
    AppearancePane pane;
    clickToggle(pane.find<QCheckBox>("expandSafari"));
    EXPECT_TRUE(pane.world.defaults.boolForKey(QStringLiteral("SidebarExpandSafariWhenCompact")));
    EXPECT_FALSE(pane.world.store->isCompact());
    EXPECT_TRUE(pane.world.compactWidthWrites.empty());
    pane.world.defaults.setBool(QStringLiteral("SidebarExpandSafariWhenCompact"), false);
    EXPECT_FALSE(pane.find<QCheckBox>("expandSafari")->isChecked());
}

}  // namespace

namespace {

TEST(AppearanceSettingsView, ThePickersEntriesAndSectionHeadersAreShownWhole) {
    AppearancePane pane;
    auto *picker = pane.find<QComboBox>("theme");
    picker->showPopup();
    QAbstractItemView *list = picker->view();
    ASSERT_TRUE(list->isVisible());
    QStringList texts;
    // A row is shown whole when drawing it wider changes nothing in the room it has.
    const auto drawn = [&](const QModelIndex &index, int width) {
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.rect = QRect(0, 0, width, list->visualRect(index).height());
        QImage image(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        list->itemDelegate()->paint(&painter, option, index);
        return image;
    };
    const int width = list->viewport()->width();
    for (int row = 0; row < picker->count(); ++row) {
        const QModelIndex index = picker->model()->index(row, 0);
        texts << index.data().toString();
        EXPECT_EQ(drawn(index, width), drawn(index, width + 200).copy(0, 0, width, list->visualRect(index).height()))
            << texts.back().toStdString();
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("MacBook Neo")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Pastel")));
    saveScreenshot(list->window()->grab().toImage(), QStringLiteral("settings-appearance-theme-picker"));
    picker->hidePopup();
}

}  // namespace
