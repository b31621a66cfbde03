#include "AppWorld.h"

#include "Shell/MenuKeyEquivalents.h"

#include "Ondrake/Sidebar/CommandPaletteView.h"
#include "Ondrake/Sidebar/SidebarSearchField.h"
#include "Ondrake/Sidebar/SidebarTabList.h"
#include "Ondrake/Sidebar/SidebarView.h"

#include <QApplication>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

namespace ondrake {
namespace {

using test::AppWorld;
using test::page;

TEST(KeyEquivalent, MatchesItsKeyWithExactlyItsModifiers) {
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
        EXPECT_EQ(c.key.matches(press), c.matches) << c.name;
    }
}

// The application launched over a browser with two tabs, its panel the key window.
struct KeyWorld {
    AppWorld world;
    AppDelegate *app = nullptr;

    KeyWorld() {
        world.openBrowser({page("Alpha"), page("Beta")});
        app = &world.launch();
        world.panel().activateWindow();
        QApplication::setActiveWindow(&world.panel());
    }
    QWidget *window(SecondaryWindows::Kind kind) const { return app->secondaryWindows().window(kind); }
    bool isShown(SecondaryWindows::Kind kind) const { return window(kind) && window(kind)->isVisible(); }
    CommandPaletteView *palette() const {
        QWidget *shown = window(SecondaryWindows::Kind::commandPalette);
        return shown ? shown->findChild<CommandPaletteView *>() : nullptr;
    }
    QStringList storeTitles() const {
        QStringList titles;
        for (const auto &w : app->store().windows())
            for (const auto &t : w.tabs) titles << t.title;
        return titles;
    }
    QStringList browserAddresses() const {
        QStringList addresses;
        for (const auto &w : world.safari.windows())
            for (const auto &t : w.tabs) addresses << t.url;
        return addresses;
    }
    // What a person's key press on `widget` does: the key exactly as the menu shows it.
    void press(QWidget *widget, const KeyEquivalent &key) {
        // The desktop gives the keyboard to the window in front.
        QApplication::setActiveWindow(widget->window());
        const QKeyCombination keys = key.sequence()[0];
        QTest::keyClick(widget, keys.key(), keys.keyboardModifiers());
        // No time passes: no poll of the timer's stands in for the key's own.
        world.settle();
    }
};

// What each key of the status menu does, as the user sees it afterwards.
struct KeyEffect {
    std::function<void(KeyWorld &)> prepare;
    std::function<void(KeyWorld &)> check;
};

std::map<QString, KeyEffect> keyEffects() {
    using Kind = SecondaryWindows::Kind;
    std::map<QString, KeyEffect> effects;
    effects[QStringLiteral("Command Palette…")] = {
        [](KeyWorld &) {},
        [](KeyWorld &w) {
            ASSERT_NE(w.palette(), nullptr);
            EXPECT_TRUE(w.isShown(Kind::commandPalette));
            EXPECT_TRUE(w.palette()->field()->text().isEmpty()) << "the key types nothing";
        }};
    effects[QStringLiteral("Settings…")] = {[](KeyWorld &) {},
                                            [](KeyWorld &w) { EXPECT_TRUE(w.isShown(Kind::settings)); }};
    effects[QStringLiteral("Compact Mode")] = {[](KeyWorld &) {}, [](KeyWorld &w) { EXPECT_TRUE(w.app->store().isCompact()); }};
    effects[QStringLiteral("Refresh")] = {
        // A tab the browser opened that no poll has seen yet.
        [](KeyWorld &w) {
            w.world.safari.update([](auto &windows) { windows.front().tabs.push_back(page("Gamma")); });
            w.world.settle();
            ASSERT_FALSE(w.storeTitles().contains(QStringLiteral("Gamma")));
        },
        [](KeyWorld &w) { EXPECT_TRUE(w.storeTitles().contains(QStringLiteral("Gamma"))); }};
    effects[QStringLiteral("Reopen Closed Tab")] = {
        [](KeyWorld &w) {
            auto &store = w.app->store();
            runToCompletion(w.world.scheduler, store.closeTabs({store.windows().front().tabs.back()}));
            w.world.step(1);
            ASSERT_EQ(w.browserAddresses(), QStringList{page("Alpha").url});
        },
        [](KeyWorld &w) {
            w.world.step(1);
            EXPECT_EQ(w.browserAddresses(), (QStringList{page("Alpha").url, page("Beta").url}));
        }};
    effects[QStringLiteral("Quit Ondrake")] = {
        [](KeyWorld &w) {
            ASSERT_TRUE(w.app->store().hasPendingSave());
            ASSERT_TRUE(test::recordFile(w.world).isEmpty());
        },
        [](KeyWorld &w) {
            ASSERT_EQ(w.world.application.terminationRequests(), 1);
            // What the main loop runs once the application ends.
            w.app->applicationWillTerminate();
            EXPECT_EQ(test::recordFile(w.world).value(QStringLiteral("records")).toArray().size(), 2)
                << "the final save";
        }};
    return effects;
}

TEST(MenuKeyEquivalents, EveryKeyTheStatusMenuShowsWorksInEveryWindowOfTheApplication) {
    using Kind = SecondaryWindows::Kind;
    struct Where {
        const char *name;
        // Opens the window and answers the widget that has the keyboard in it.
        std::function<QWidget *(KeyWorld &)> focus;
    };
    const Where places[] = {
        {"the sidebar", [](KeyWorld &w) -> QWidget * { return w.app->sidebarView()->tabList(); }},
        {"the settings window",
         [](KeyWorld &w) -> QWidget * {
             w.app->openSettings();
             QWidget *window = w.window(Kind::settings);
             return window && window->focusWidget() ? window->focusWidget() : window;
         }},
        {"the command palette",
         [](KeyWorld &w) -> QWidget * {
             w.app->openCommandPalette();
             return w.palette() ? w.palette()->field() : nullptr;
         }},
    };

    const auto effects = keyEffects();
    std::vector<const MenuItem *> withKeys;
    KeyWorld listing;
    for (const auto &item : listing.app->statusMenu()->items)
        if (!item.keyEquivalent.isEmpty()) withKeys.push_back(&item);
    ASSERT_EQ(withKeys.size(), 6u);

    for (const MenuItem *item : withKeys) {
        const auto effect = effects.find(item->title);
        ASSERT_NE(effect, effects.end()) << "no expectation for " << item->title.toStdString();
        for (const auto &place : places) {
            SCOPED_TRACE(item->title.toStdString() + " in " + place.name);
            KeyWorld w;
            effect->second.prepare(w);
            QWidget *target = place.focus(w);
            ASSERT_NE(target, nullptr);
            w.press(target, item->keyEquivalent);
            effect->second.check(w);
        }
    }
}

TEST(MenuKeyEquivalents, TheBrowsersOwnWindowsKeepTheirKeys) {
    KeyWorld w;
    QWidget browserWindow;
    browserWindow.show();
    for (const auto &item : w.app->statusMenu()->items) {
        if (item.keyEquivalent.isEmpty()) continue;
        w.press(&browserWindow, item.keyEquivalent);
    }
    EXPECT_FALSE(w.isShown(SecondaryWindows::Kind::commandPalette));
    EXPECT_FALSE(w.isShown(SecondaryWindows::Kind::settings));
    EXPECT_FALSE(w.app->store().isCompact());
    EXPECT_FALSE(w.app->isQuitting());
}

TEST(MenuKeyEquivalents, TheSettingsKeyShowsTheOneWindowTheMenuShows) {
    KeyWorld w;
    w.world.store().focusSearch();
    QLineEdit *field = w.app->sidebarView()->searchField()->lineEdit();
    field->setFocus();
    w.press(field, AppDelegate::kSettingsKey);
    QWidget *const opened = w.window(SecondaryWindows::Kind::settings);
    ASSERT_TRUE(opened && opened->isVisible());
    EXPECT_TRUE(field->text().isEmpty()) << "typing in the search field, the key still types nothing";

    opened->close();
    ASSERT_TRUE(w.world.statusItem.choose({"Settings…"}));
    EXPECT_EQ(w.window(SecondaryWindows::Kind::settings), opened);
    EXPECT_EQ(w.app->statusMenu()->item(QStringLiteral("Settings…"))->keyEquivalent, AppDelegate::kSettingsKey);
}

}  // namespace
}  // namespace ondrake
