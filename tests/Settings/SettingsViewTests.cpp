#include "SettingsTestWorld.h"

#include "Ondrake/Settings/AppearanceSettings.h"
#include "Ondrake/Settings/SettingsView.h"
#include "Ondrake/Settings/UpdateSettings.h"
#include "Shell/SecondaryWindows.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QTabBar>

using namespace ondrake;
using namespace ondrake::test;

namespace {

struct SettingsWindow {
    SettingsWorld world;
    SettingsView view{*world.store, *world.updates, world.defaults, world.geometry()};
    SettingsWindow() { view.show(); }
};

TEST(SettingsView, ShowsTheFourPanesInOrderFeaturesFirst) {
    SettingsWindow window;
    QStringList labels, names;
    for (int i = 0; i < window.view.count(); ++i) {
        labels << window.view.tabText(i);
        names << window.view.widget(i)->objectName();
        EXPECT_FALSE(window.view.tabIcon(i).isNull()) << i;
    }
    EXPECT_EQ(labels, (QStringList{"Features", "Appearance", "Updates", "Advanced"}));
    EXPECT_EQ(names, (QStringList{"features", "appearance", "updates", "advanced"}));
    EXPECT_EQ(window.view.currentIndex(), 0);
}

TEST(SettingsView, IsAsWideAsAPaneAndAsTallAsTheOneShown) {
    SettingsWindow window;
    std::set<std::pair<int, int>> margins;
    for (int i = 0; i < window.view.count(); ++i) {
        window.view.setCurrentIndex(i);
        QWidget *pane = window.view.currentWidget();
        EXPECT_EQ(pane->width(), 380) << i;
        QSize paneHint = pane->sizeHint().expandedTo(pane->minimumSize()).boundedTo(pane->maximumSize());
        if (pane->hasHeightForWidth()) paneHint.setHeight(std::min(pane->heightForWidth(380), pane->maximumHeight()));
        const QSize hint = window.view.sizeHint();
        margins.insert({hint.width() - paneHint.width(), hint.height() - paneHint.height()});
        saveScreenshot(window.view, QStringLiteral("settings-pane-%1").arg(pane->objectName()));
    }
    // What the tabs add around a pane is the same for every pane: the hint follows the pane shown.
    ASSERT_EQ(margins.size(), 1u);
    EXPECT_LE(margins.begin()->first, 8);
}

TEST(SettingsView, EveryControlTakesKeyboardFocusAndHasAName) {
    SettingsWindow window;
    int controls = 0;
    for (int i = 0; i < window.view.count(); ++i) {
        for (QWidget *w : window.view.widget(i)->findChildren<QWidget *>()) {
            const bool interactive = qobject_cast<QAbstractButton *>(w) || w->inherits("QComboBox")
                                     || w->inherits("QAbstractSlider") || w->inherits("QLineEdit");
            if (!interactive || w->inherits("QScrollBar")) continue;
            ++controls;
            EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus) << w->objectName().toStdString();
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
    EXPECT_GT(controls, 25);
    EXPECT_TRUE(window.view.tabBar()->focusPolicy() & Qt::TabFocus);
}

// Everything the window says, on every pane, including the texts it swaps in.
QStringList everyText(SettingsView &view) {
    QStringList texts;
    for (int i = 0; i < view.count(); ++i) {
        for (QWidget *w : view.widget(i)->findChildren<QWidget *>()) {
            texts << w->toolTip() << w->accessibleName();
            if (auto *label = qobject_cast<QLabel *>(w)) texts << label->text();
            if (auto *button = qobject_cast<QAbstractButton *>(w)) texts << button->text();
            if (auto *combo = qobject_cast<QComboBox *>(w))
                for (int item = 0; item < combo->count(); ++item) texts << combo->itemText(item);
        }
    }
    for (const auto choice : kAllSidebarThemeChoices) texts << themeDescription(choice);
    texts << automaticChecksNote(true) << automaticChecksNote(false);
    return texts;
}

TEST(SettingsView, ItsTextsNameThisDesktopsKeysMenuAndAppearance) {
    SettingsWindow window;
    const QStringList texts = everyText(window.view);
    const QStringList otherPlatform{QStringLiteral("macOS"), QStringLiteral("menu bar"), QStringLiteral("⌘"),
                                    QStringLiteral("⇧"), QStringLiteral("⌥"), QStringLiteral("⌃"),
                                    QStringLiteral("System Settings"), QStringLiteral("System Preferences"),
                                    QStringLiteral("Finder"), QStringLiteral("the Dock")};
    for (const auto &text : texts)
        for (const auto &word : otherPlatform)
            EXPECT_FALSE(text.contains(word, Qt::CaseInsensitive)) << text.toStdString();

    EXPECT_TRUE(texts.contains(QStringLiteral("Collapses the sidebar to icons only. Toggle with Ctrl+Shift+C, the Ondrake "
                                              "menu in the system tray, or the arrow at the top of the sidebar.")));
    EXPECT_EQ(themeDescription(SidebarThemeChoice::system),
              QStringLiteral("Follows the desktop's light/dark appearance automatically."));
}

}  // namespace

namespace {

TEST(SettingsView, ItsWindowTakesTheHeightOfThePaneShown) {
    SettingsWorld world;
    SecondaryWindows windows([] {});
    windows.setContent(SecondaryWindows::Kind::settings, [&] {
        return std::make_unique<SettingsView>(*world.store, *world.updates, world.defaults, world.geometry());
    });
    QWidget *window = windows.open(SecondaryWindows::Kind::settings);
    auto *view = window->findChild<SettingsView *>();
    ASSERT_NE(view, nullptr);
    const QSize features = window->size();
    view->setCurrentIndex(3);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(window->width(), features.width());
    EXPECT_NE(window->height(), features.height());
    EXPECT_EQ(window->size(), view->sizeHint());
    saveScreenshot(*window, QStringLiteral("settings-window-advanced"));
}

}  // namespace
