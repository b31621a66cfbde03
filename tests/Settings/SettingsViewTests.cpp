#include "SettingsTestWorld.h"

#include "Ondrake/Settings/SettingsView.h"
#include "Shell/SecondaryWindows.h"

#include <QAbstractButton>
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
