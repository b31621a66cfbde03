// The keyboard while a menu is open, and the rows' tool tips while the sidebar does not have the
// focus, on a desktop with a window manager and a system tray, pressed and pointed at as a person
// does. The steps run in the order they are written and share one desktop and one application.

#include "OndrakeProcess.h"
#include "TrayDesktop.h"

#include <QDir>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

namespace ondrake::test {
namespace {

constexpr int kFirstWindowTabs = 11;
constexpr int kCompactWidth = 64;

constexpr int kTabStripHeight = 30;

// How long a key that must do nothing is given to do something once the application has read it:
// what these keys do (a row closed, the sidebar narrowed) follows within some milliseconds, as the
// steps with the menus closed print.
constexpr Milliseconds kQuiet{1000};
// Longer than any desktop's double-click time.
constexpr Milliseconds kDoubleClickTime{800};
// Long enough for the keyboard to repeat a held key many times.
constexpr Milliseconds kHold{1500};

struct MenuKeyboardDesktop : TrayDesktop {
    std::unique_ptr<OndrakeProcess> app;
    XWindow sidebar = 0;
    XWindow browser = 0;
    std::optional<int> trayMenuLeft;  // once the tray's menu has opened
};

class MenuKeyboard : public TrayDesktopSuite<MenuKeyboardDesktop> {
protected:
    void SetUp() override {
        TrayDesktopSuite::SetUp();
        if (HasFatalFailure()) return;
        if (!desktop->app) {
            ASSERT_TRUE(start()) << "the application did not start with its status item in the tray";
        }
    }

    // The demo session shown, its first window in front with the sidebar beside it, the sidebar's
    // icon in the tray.
    static bool start() {
        auto &d = *desktop;
        d.app = std::make_unique<OndrakeProcess>(d.server, d.home.path());
        const auto shown = d.waitForDemo(*d.app);
        if (!shown) return false;
        d.sidebar = shown->sidebar;
        d.browser = shown->browser;
        return true;
    }

    static XInspector &x() { return desktop->x; }
    static const Hand &hand() { return desktop->hand; }
    static OndrakeProcess &app() { return *desktop->app; }
    static QRect panel() { return x().geometry(desktop->sidebar).value_or(QRect()); }
    static QPoint row(int index) { return panel().topLeft() + QPoint(150, kFirstRowCentre + index * kRowPitch); }
    static bool menuIsOpen() { return !desktop->popups.menus(app().processID()).empty(); }

    // The tabs of the browser's first window, counted as a person counts them: the lines that
    // end each tab in its tab strip, above and below the titles, darker than either side.
    static int tabs() {
        const auto window = x().geometry(desktop->browser);
        if (!window) return -1;
        const QImage shot = x().screenshot();
        const auto isLine = [&](int px, int py) {
            const int grey = qGray(shot.pixel(px, py));
            return grey + 10 <= std::min(qGray(shot.pixel(px - 3, py)), qGray(shot.pixel(px + 3, py)));
        };
        int count = 0;
        bool inLine = false;
        for (int px = window->left() + 3; px <= window->right() - 3; ++px) {
            const bool line = isLine(px, window->top() + 3) && isLine(px, window->top() + 26);
            if (line && !inLine) ++count;
            inLine = line;
        }
        return count;
    }
    // A selected row is drawn in the accent's tint, to its right end where no text reaches; a row
    // that is only hovered or only the browser's current tab is grey there.
    static bool looksSelected(int index) {
        const QPoint at(panel().right() - 24, row(index).y());
        const QRgb pixel = x().screenshot().pixel(at);
        return qBlue(pixel) - qRed(pixel) >= 12;
    }
    static bool isCompact() { return panel().width() == kCompactWidth; }

    // The tab strip of the browser's first window, as it looks: which tabs it has, which is current.
    // Only the part left of where the tray's menu opens, which looks the same with the menu open.
    static QImage browserStrip() {
        const auto window = x().geometry(desktop->browser);
        if (!window) return {};
        const int right = std::min(window->right() + 1, desktop->trayMenuLeft.value_or(window->right() + 1));
        return x().screenshot().copy(window->left(), window->top(), right - window->left(), kTabStripHeight);
    }
    // The row alone selected, as the sidebar shows it, and the sidebar the key window.
    static bool selectOnly(int index) {
        return focusSidebar() && hand().key(QStringLiteral("Escape"))
               && waitUntil([&] { return !looksSelected(index); }, kSettle) && hand().controlClick(row(index))
               && waitUntil([&] { return looksSelected(index); }, kSettle);
    }
    // The row's menu, opened by a right click on it.
    static bool openRowMenu(int index) {
        return hand().click(row(index), 3) && waitUntil(menuIsOpen, kSettle);
    }
    // The tray's menu, opened by a click on the icon. Two clicks on it in quick succession are a
    // double click, which opens nothing: a click waits out the last one's double-click time.
    static bool openTrayMenu() {
        static QElapsedTimer lastClick;
        if (lastClick.isValid()) waitUntil([] { return lastClick.elapsed() > kDoubleClickTime.count(); }, kSettle);
        lastClick.start();
        if (!hand().click(desktop->tray.iconCentre(0)) || !waitUntil(menuIsOpen, kSettle)) return false;
        for (const auto &menu : desktop->popups.menus(app().processID()))
            desktop->trayMenuLeft = std::min(menu.left(), desktop->trayMenuLeft.value_or(menu.left()));
        return true;
    }
    // A click on the sidebar's empty space below its rows makes it the key window.
    static bool focusSidebar() {
        const auto p = panel();
        return hand().click(QPoint(p.center().x(), p.bottom() - 120))
               && waitUntil([] { return x().activeWindow() == desktop->sidebar; }, kSettle);
    }
    // Whether the open menu has read every key pressed before: a Down after them moves its
    // highlight, which it does only once it has read them, in order.
    static bool menuHasReadTheKeys() {
        const auto menus = desktop->popups.menus(app().processID());
        if (menus.empty()) return false;
        const QImage before = x().screenshot().copy(menus.front());
        return hand().key(QStringLiteral("Down"))
               && waitUntil([&] { return x().screenshot().copy(menus.front()) != before; }, kSettle);
    }
    // Waits out the quiet span, and answers whether `unchanged` held all through it.
    static bool holdsFor(Milliseconds span, const std::function<bool()> &unchanged) {
        bool held = true;
        waitUntil(
            [&] {
                held = held && unchanged();
                return false;
            },
            span);
        return held && unchanged();
    }
    static void saveScreenshot(const QString &name) {
        const QString dir = QStringLiteral(ONDRAKE_SCREENSHOT_DIR);
        QDir().mkpath(dir);
        x().screenshot().save(dir + QStringLiteral("/menu-keyboard-") + name + QStringLiteral(".png"));
    }
};

TEST_F(MenuKeyboard, WithTheMenusClosedTheSidebarsKeysAct) {
    // What the keys do that must do nothing while a menu is open: Escape clears the selection,
    // Ctrl+Shift+C narrows and widens the sidebar, Delete closes the selected tab and Ctrl+Shift+T
    // brings it back.
    ASSERT_EQ(tabs(), kFirstWindowTabs);
    ASSERT_TRUE(selectOnly(10));
    qint64 slowest = 0;
    const auto timed = [&](const QString &key, const std::function<bool()> &done) {
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(hand().key(key));
        EXPECT_TRUE(waitUntil(done, kSettle)) << key.toStdString();
        slowest = std::max(slowest, clock.elapsed());
    };
    timed(QStringLiteral("Escape"), [] { return !looksSelected(10); });
    timed(QStringLiteral("ctrl+shift+c"), isCompact);
    timed(QStringLiteral("ctrl+shift+c"), [] { return panel().width() == kExpandedWidth; });
    ASSERT_TRUE(selectOnly(10));
    timed(QStringLiteral("Delete"), [] { return tabs() == kFirstWindowTabs - 1; });
    timed(QStringLiteral("ctrl+shift+t"), [] { return tabs() == kFirstWindowTabs; });
    EXPECT_FALSE(menuIsOpen());
    std::printf("With the menus closed each key acted within %lld ms at the slowest\n", slowest);
}

TEST_F(MenuKeyboard, WhileARowsMenuIsOpenTheKeysAreTheMenus) {
    // A closed tab to reopen, so that a reopening would show.
    ASSERT_TRUE(selectOnly(10));
    ASSERT_TRUE(hand().key(QStringLiteral("Delete")));
    ASSERT_TRUE(waitUntil([] { return tabs() == kFirstWindowTabs - 1; }, kSettle));

    ASSERT_TRUE(selectOnly(9));
    ASSERT_TRUE(openRowMenu(9));
    saveScreenshot(QStringLiteral("row-menu"));
    const QImage strip = browserStrip();
    for (const auto *key : {"Delete", "ctrl+shift+c", "ctrl+shift+t", "ctrl+a"}) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(hand().key(QString::fromLatin1(key)));
        ASSERT_TRUE(menuHasReadTheKeys());
        EXPECT_TRUE(holdsFor(kQuiet, [&] { return menuIsOpen() && browserStrip() == strip && !isCompact(); }))
            << "menu open " << menuIsOpen() << ", tabs " << tabs() << ", width " << panel().width();
    }

    // Escape closes the menu, and only the menu.
    ASSERT_TRUE(hand().key(QStringLiteral("Escape")));
    EXPECT_TRUE(waitUntil([] { return !menuIsOpen(); }, kSettle));
    EXPECT_TRUE(holdsFor(kQuiet, [&] { return looksSelected(9) && browserStrip() == strip; })) << "the selection stays";
    EXPECT_FALSE(looksSelected(8)) << "Ctrl+A selected nothing";
    saveScreenshot(QStringLiteral("row-menu-closed"));
}

TEST_F(MenuKeyboard, WhileTheTraysMenuIsOpenTheKeysAreTheMenus) {
    // The tab closed in the last step is there to reopen.
    ASSERT_EQ(tabs(), kFirstWindowTabs - 1);
    ASSERT_TRUE(selectOnly(9));
    ASSERT_TRUE(openTrayMenu());
    saveScreenshot(QStringLiteral("tray-menu"));
    ASSERT_EQ(x().activeWindow(), desktop->sidebar) << "the sidebar keeps the keyboard while the menu is open";

    // A key that is no item's.
    const QImage strip = browserStrip();
    ASSERT_TRUE(hand().key(QStringLiteral("Delete")));
    ASSERT_TRUE(menuHasReadTheKeys());
    EXPECT_TRUE(holdsFor(kQuiet, [&] { return menuIsOpen() && browserStrip() == strip; }))
        << "menu open " << menuIsOpen() << ", tabs " << tabs();

    // Escape closes the menu, and only the menu.
    ASSERT_TRUE(hand().key(QStringLiteral("Escape")));
    EXPECT_TRUE(waitUntil([] { return !menuIsOpen(); }, kSettle));
    EXPECT_TRUE(holdsFor(kQuiet, [&] { return looksSelected(9) && browserStrip() == strip; })) << "the selection stays";

    // An item's key chooses the item, as a click on it would, and closes the menu.
    ASSERT_TRUE(openTrayMenu());
    ASSERT_TRUE(hand().key(QStringLiteral("ctrl+shift+t")));
    EXPECT_TRUE(waitUntil([] { return tabs() == kFirstWindowTabs && !menuIsOpen(); }, kSettle))
        << "menu open " << menuIsOpen() << ", tabs " << tabs();
    ASSERT_TRUE(openTrayMenu());
    ASSERT_TRUE(hand().key(QStringLiteral("ctrl+shift+c")));
    EXPECT_TRUE(waitUntil([] { return isCompact() && !menuIsOpen(); }, kSettle));
    ASSERT_TRUE(focusSidebar());
    ASSERT_TRUE(hand().key(QStringLiteral("ctrl+shift+c")));
    ASSERT_TRUE(waitUntil([] { return panel().width() == kExpandedWidth; }, kSettle));

    // Nothing is left to reopen: the menu shows the item disabled, and its key leaves the menu
    // as it is.
    ASSERT_TRUE(openTrayMenu());
    const QImage reopened = browserStrip();
    ASSERT_TRUE(hand().key(QStringLiteral("ctrl+shift+t")));
    ASSERT_TRUE(menuHasReadTheKeys());
    EXPECT_TRUE(holdsFor(kQuiet, [&] { return menuIsOpen() && browserStrip() == reopened; }))
        << "menu open " << menuIsOpen() << ", tabs " << tabs();
    saveScreenshot(QStringLiteral("tray-menu-disabled-key"));
    ASSERT_TRUE(hand().key(QStringLiteral("Escape")));
    EXPECT_TRUE(waitUntil([] { return !menuIsOpen(); }, kSettle));
}

TEST_F(MenuKeyboard, AHeldReopenKeyReopensOneTabInTheListAndInTheSearchField) {
    struct Place {
        const char *name;
        std::function<bool()> focus;
    };
    const Place places[] = {
        {"the tab list", [] { return focusSidebar(); }},
        {"the search field", [] { return focusSidebar() && hand().key(QStringLiteral("ctrl+f")); }},
    };
    for (const auto &place : places) {
        SCOPED_TRACE(place.name);
        // Two tabs closed one at a time: two to reopen, one a press.
        for (const int index : {9, 8}) {
            ASSERT_TRUE(selectOnly(index));
            const int count = tabs();
            ASSERT_TRUE(hand().key(QStringLiteral("Delete")));
            ASSERT_TRUE(waitUntil([&] { return tabs() == count - 1; }, kSettle));
        }
        ASSERT_TRUE(place.focus());
        const int count = tabs();
        ASSERT_TRUE(hand().keyDown(QStringLiteral("ctrl+shift+t")));
        waitUntil([] { return false; }, kHold);
        ASSERT_TRUE(hand().keyUp(QStringLiteral("ctrl+shift+t")));
        EXPECT_TRUE(waitUntil([&] { return tabs() == count + 1; }, kSettle)) << tabs() << " of " << count + 1;
        EXPECT_TRUE(holdsFor(kQuiet, [&] { return tabs() == count + 1; })) << tabs() << " of " << count + 1;
        // Out of the search, or the selection cleared.
        ASSERT_TRUE(hand().key(QStringLiteral("Escape")));
        ASSERT_TRUE(hand().key(QStringLiteral("Escape")));
    }
}

// The sidebar shows without taking the focus, and mostly stays without it: its rows' tool tips
// show all the same, in the full list and in the compact rail, where they are the only labels.
TEST_F(MenuKeyboard, RowsShowTheirToolTipsWhileTheSidebarDoesNotHaveTheFocus) {
    const auto toolTipNear = [](QPoint pointer) {
        for (const auto &tip : desktop->popups.toolTips(app().processID()))
            if (tip.adjusted(-40, -40, 40, 40).contains(pointer)) return true;
        return false;
    };
    const auto noToolTip = [] { return desktop->popups.toolTips(app().processID()).empty(); };
    struct Case {
        const char *name;
        bool compact;
        QPoint (*where)(int row);
    };
    const Case cases[] = {
        {"the list", false, [](int index) { return row(index); }},
        {"the compact rail", true, [](int index) { return QPoint(panel().center().x(), row(index).y()); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (isCompact() != c.compact) {
            ASSERT_TRUE(focusSidebar());
            ASSERT_TRUE(hand().key(QStringLiteral("ctrl+shift+c")));
            ASSERT_TRUE(waitUntil([&] { return isCompact() == c.compact; }, kSettle));
        }
        // A click into the browser's page: the browser has the focus, the sidebar stands beside it.
        const auto page = x().geometry(desktop->browser)->adjusted(40, 80, -40, -40);
        ASSERT_TRUE(hand().click(page.center()));
        ASSERT_TRUE(waitUntil([] { return x().activeWindow() == desktop->browser; }, kSettle));
        ASSERT_TRUE(waitUntil(noToolTip, kSettle));
        for (const int index : {3, 5}) {
            const QPoint at = c.where(index);
            ASSERT_TRUE(hand().point(at));
            EXPECT_TRUE(waitUntil([&] { return toolTipNear(at); }, kSettle)) << "row " << index;
            EXPECT_EQ(x().activeWindow(), desktop->browser) << "pointing takes no focus";
        }
        saveScreenshot(QStringLiteral("tool-tip-") + QString::fromLatin1(c.name).replace(QLatin1Char(' '), QLatin1Char('-')));
        ASSERT_TRUE(hand().point(page.center()));
        EXPECT_TRUE(waitUntil(noToolTip, kSettle));
    }
    ASSERT_TRUE(focusSidebar());
    ASSERT_TRUE(hand().key(QStringLiteral("ctrl+shift+c")));
    EXPECT_TRUE(waitUntil([] { return panel().width() == kExpandedWidth; }, kSettle));
}

}  // namespace
}  // namespace ondrake::test
