#include "AppWorld.h"

#include "Shell/ApplicationShortcut.h"

#include "Ondrake/Sidebar/CommandPaletteView.h"
#include "Ondrake/Sidebar/SidebarSearchField.h"
#include "Ondrake/Sidebar/SidebarTabList.h"
#include "Ondrake/Sidebar/SidebarView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace ondrake {
namespace {

using test::AppWorld;
using test::page;

TEST(ApplicationShortcut, MatchesItsKeyWithExactlyItsModifiers) {
    struct Case {
        const char *name;
        KeyEquivalent key;
        Qt::Key pressed;
        Qt::KeyboardModifiers modifiers;
        bool autoRepeat;
        bool matches;
    };
    const auto comma = KeyEquivalent::commandKey(QStringLiteral(","));
    const auto shiftC = KeyEquivalent::commandShiftKey(QStringLiteral("c"));
    const Case cases[] = {
        {"Control-comma", comma, Qt::Key_Comma, Qt::ControlModifier, false, true},
        {"comma alone", comma, Qt::Key_Comma, Qt::NoModifier, false, false},
        {"with Shift too", comma, Qt::Key_Comma, Qt::ControlModifier | Qt::ShiftModifier, false, false},
        {"with Alt too", comma, Qt::Key_Comma, Qt::ControlModifier | Qt::AltModifier, false, false},
        {"the Super key instead", comma, Qt::Key_Comma, Qt::MetaModifier, false, false},
        {"another key", comma, Qt::Key_Period, Qt::ControlModifier, false, false},
        {"held down", comma, Qt::Key_Comma, Qt::ControlModifier, true, false},
        {"from the keypad", comma, Qt::Key_Comma, Qt::ControlModifier | Qt::KeypadModifier, false, true},
        {"Control-Shift-C", shiftC, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, false, true},
        {"Control-C", shiftC, Qt::Key_C, Qt::ControlModifier, false, false},
        {"no key at all", KeyEquivalent::none(), Qt::Key_Comma, Qt::ControlModifier, false, false},
    };
    for (const auto &c : cases) {
        const QKeyEvent press(QEvent::KeyPress, c.pressed, c.modifiers, QString(), c.autoRepeat);
        EXPECT_EQ(ApplicationShortcut::matches(c.key, press), c.matches) << c.name;
    }
}

// The application launched over a browser with two tabs, its panel the key window.
struct ShortcutWorld {
    AppWorld world;
    AppDelegate *app = nullptr;

    ShortcutWorld() {
        world.openBrowser({page("Alpha"), page("Beta")});
        app = &world.launch();
        world.panel().activateWindow();
        QApplication::setActiveWindow(&world.panel());
    }
    QWidget *settings() const { return app->secondaryWindows().window(SecondaryWindows::Kind::settings); }
    bool settingsShown() const { return settings() && settings()->isVisible(); }
    SidebarView &view() const { return *app->sidebarView(); }
};

void pressSettingsKey(QWidget *widget) { QTest::keyClick(widget, Qt::Key_Comma, Qt::ControlModifier); }

TEST(ApplicationShortcut, ControlCommaOpensTheOneSettingsWindowFromTheSidebar) {
    ShortcutWorld w;
    ASSERT_FALSE(w.settingsShown());

    QTest::keyClick(w.view().tabList(), Qt::Key_Comma);
    EXPECT_FALSE(w.settingsShown()) << "a comma alone is not the command";

    const int activations = w.world.application.activationCount();
    pressSettingsKey(w.view().tabList());
    ASSERT_TRUE(w.settingsShown());
    QWidget *const opened = w.settings();
    EXPECT_EQ(w.world.application.activationCount(), activations + 1) << "the application comes forward with it";

    // With the search field typing, the key still opens the settings and types nothing.
    opened->close();
    w.world.store().focusSearch();
    QLineEdit *field = w.view().searchField()->lineEdit();
    field->setFocus();
    pressSettingsKey(field);
    EXPECT_TRUE(w.settingsShown());
    EXPECT_TRUE(field->text().isEmpty());

    // The status menu's entry shows the same window.
    opened->close();
    ASSERT_TRUE(w.world.statusItem.choose({"Settings…"}));
    EXPECT_EQ(w.settings(), opened);
    EXPECT_EQ(w.app->statusMenu()->item(QStringLiteral("Settings…"))->keyEquivalent, AppDelegate::kSettingsKey);
}

TEST(ApplicationShortcut, ControlCommaWorksInTheOtherWindowsButNotInTheBrowsers) {
    ShortcutWorld w;
    ASSERT_TRUE(w.world.statusItem.choose({"Command Palette…"}));
    QWidget *paletteWindow = w.app->secondaryWindows().window(SecondaryWindows::Kind::commandPalette);
    ASSERT_NE(paletteWindow, nullptr);
    auto *palette = paletteWindow->findChild<CommandPaletteView *>();
    ASSERT_NE(palette, nullptr);
    pressSettingsKey(palette->field());
    EXPECT_TRUE(w.settingsShown());

    // The settings window itself: the key keeps it in front rather than closing or duplicating it.
    QWidget *const opened = w.settings();
    pressSettingsKey(opened);
    EXPECT_EQ(w.settings(), opened);
    EXPECT_TRUE(w.settingsShown());

    // A window of the browser in this process is not the application's own.
    opened->close();
    QWidget browserWindow;
    browserWindow.show();
    pressSettingsKey(&browserWindow);
    EXPECT_FALSE(w.settingsShown());
}

}  // namespace
}  // namespace ondrake
