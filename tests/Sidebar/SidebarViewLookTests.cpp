#include "ViewWorld.h"

#include "Ondrake/Sidebar/SidebarIconButton.h"
#include "Ondrake/Sidebar/SidebarSearchField.h"
#include "Ondrake/Sidebar/SidebarTabList.h"

#include <QLineEdit>
#include <QVBoxLayout>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// The sidebar in a panel that lays it out and takes the rail's width in compact mode, as the
// shell's panel does one turn after the mode changed.
struct PanelWorld : ReadsWorld {
    ShellCalls shell;
    QWidget panel;
    SidebarView *view;
    int width;

    explicit PanelWorld(int expandedWidth) : ReadsWorld(ViewWorld::session()), width(expandedWidth) {
        view = new SidebarView(*store, shell.callbacks(), {scheduler, defaults, privacy});
        auto *layout = new QVBoxLayout(&panel);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        panel.setPalette(lightPalette());
        panel.resize(width, 520);
        panel.show();
        settle();
    }
    void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            scheduler.runUntilIdle();
        }
    }
    void setCompact(bool compact) {
        store->setCompact(compact);
        settle();
        panel.resize(compact ? 64 : width, 520);
        settle();
    }
    void toggleSearch() {
        store->toggleSearch();
        settle();
    }
    QImage grab() { return panel.grab().toImage(); }
};

// Width of the ink inside `area`: from the first to the last column holding a pixel that is not
// the surface behind it.
int paintedWidth(const QImage &image, const QRect &area) {
    const QColor surface = mostCommonColor(image, area);
    int first = -1;
    int last = -1;
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y)
            if (contrastRatio(QColor::fromRgb(image.pixel(x, y)), surface) > 1.2) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return first < 0 ? 0 : last - first + 1;
}

QRect areaOf(const QWidget *widget, const QWidget *in) { return QRect(widget->mapTo(in, QPoint(0, 0)), widget->size()); }

TEST(SidebarViewLook, TheHeaderTitleKeepsItsWidthThroughSearchAndCompactMode) {
    for (const int width : {200, 240, 300, 420, 600}) {
        SCOPED_TRACE(width);
        PanelWorld world(width);
        auto *title = world.view->titleLabel();
        const auto measure = [&] {
            EXPECT_TRUE(title->isVisible());
            return paintedWidth(world.grab(), areaOf(title, &world.panel));
        };
        const int first = measure();
        const QString shown = title->shownText();
        // With room for it the whole title leads the header; at the narrowest only the room cuts it.
        const int whole = title->fontMetrics().horizontalAdvance(title->text());
        if (width >= 240) {
            EXPECT_EQ(shown.toStdString(), "Safari");
        }
        EXPECT_GT(first, 0);
        EXPECT_LE(first, whole);
        EXPECT_EQ(title->x(), 0);
        for (int round = 0; round < 10; ++round) {
            world.toggleSearch();
            ASSERT_FALSE(title->isVisible());
            world.toggleSearch();
            EXPECT_EQ(measure(), first) << "after search, round " << round;
            EXPECT_EQ(title->shownText().toStdString(), shown.toStdString());
            world.setCompact(true);
            world.setCompact(false);
            EXPECT_EQ(measure(), first) << "after compact mode, round " << round;
            EXPECT_EQ(title->shownText().toStdString(), shown.toStdString());
        }
        saveScreenshot(world.grab(), QStringLiteral("sidebar-look-title-%1").arg(width));
    }
}

}  // namespace

namespace {

// Whether anything in `area` is drawn in the accent: the focus frame is, nothing else there is.
bool showsAccent(const QImage &image, const QRect &area, const QColor &accent) {
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (colorNear(QColor::fromRgb(image.pixel(x, y)), accent, 24)) return true;
    return false;
}

TEST(SidebarViewLook, AClickLeavesNoFocusFrameTheKeyboardKeepsItsPlace) {
    PanelWorld world(280);
    auto &view = *world.view;
    auto *list = view.tabList();
    const QColor accent = view.environment().color(view.environment().theme().accent);
    // The first entry is the window's heading; the list's current entry is where a frame would go.
    list->setCurrentIndex(list->rowModel().index(0));
    const auto heading = [&] {
        return QRect(list->viewport()->mapTo(&world.panel, list->visualRect(list->rowModel().index(0)).topLeft()),
                     list->visualRect(list->rowModel().index(0)).size());
    };
    const auto frameOn = [&](const QRect &area) { return showsAccent(world.grab(), area, accent); };
    auto *rail = view.compactHeader()->findChild<SidebarIconButton *>();
    ASSERT_NE(rail, nullptr);

    struct Step {
        const char *what;
        std::function<void()> act;
        QWidget *focused;  // who holds the keyboard afterwards
        bool framed;       // and whether it shows
    };
    const std::vector<Step> steps = {
        {"click the compact toggle", [&] { QTest::mouseClick(view.compactToggle(), Qt::LeftButton); }, rail, false},
        {"click the rail's toggle", [&] { QTest::mouseClick(rail, Qt::LeftButton); }, view.compactToggle(), false},
        {"click the search button", [&] { QTest::mouseClick(view.searchButton(), Qt::LeftButton); },
         view.searchField()->lineEdit(), false},
        {"click the search's close button",
         [&] { QTest::mouseClick(view.searchField()->closeButton(), Qt::LeftButton); }, view.searchButton(), false},
        {"the compact key from the menu", [&] { world.store->setCompact(true); }, rail, false},
        {"Space on the rail's toggle after Tab",
         [&] {
             list->setFocus(Qt::MouseFocusReason);
             rail->setFocus(Qt::TabFocusReason);
             QTest::keyClick(rail, Qt::Key_Space);
         },
         view.compactToggle(), true},
        {"Escape out of the search", [&] {
             QTest::mouseClick(view.searchButton(), Qt::LeftButton);
             world.settle();
             QTest::keyClick(view.searchField()->lineEdit(), Qt::Key_Escape);
         },
         view.searchButton(), true},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        world.setCompact(world.store->isCompact());
        EXPECT_EQ(QApplication::focusWidget(), step.focused);
        EXPECT_FALSE(frameOn(heading())) << "a focus frame on the window's heading";
        if (auto *button = qobject_cast<SidebarIconButton *>(step.focused)) {
            EXPECT_EQ(frameOn(areaOf(button, &world.panel)), step.framed);
        }
    }
    saveScreenshot(world.grab(), QStringLiteral("sidebar-look-keyboard-focus"));
}

}  // namespace

namespace {

// The desktop's palette under the panel, and the panel's own on top for a theme with a fixed
// appearance, as the shell applies it after the sidebar was made.
QPalette panelPaletteFor(SidebarThemeChoice choice, ColorScheme desktop) {
    const QPalette system = desktop == ColorScheme::dark ? darkPalette() : lightPalette();
    return panelPalette(panelAppearance(choice)).resolve(system);
}

// How a text of `widget` stands out from what is painted behind it: its colour as the widget
// paints it, laid over the surface the grab shows there.
double textContrast(const QImage &image, const QWidget *widget, const QWidget *in) {
    const QColor surface = mostCommonColor(image, areaOf(widget, in));
    return contrastRatio(over(widget->palette().color(QPalette::WindowText), surface), surface);
}

// The strongest ink the grab shows inside a label's text box: what a user reads at 13 points.
double labelInkContrast(const QImage &image, const QLabel *label, const QWidget *in) {
    return inkContrast(image, QRect(label->mapTo(in, label->contentsRect().topLeft()), label->contentsRect().size()));
}

// The same for text the list paints itself: the strongest ink inside a row's title.
double rowContrast(const QImage &image, SidebarTabList *list, const QString &tabID, const QWidget *in) {
    const QRect row = list->visualRect(list->rowModel().index(list->rowModel().rowOfTab(tabID)));
    // The title starts after the dot and the favicon; its first letters are ink enough.
    return inkContrast(image, QRect(list->viewport()->mapTo(in, row.topLeft() + QPoint(46, 6)), QSize(40, row.height() - 12)));
}

TEST(SidebarViewLook, EveryTextContrastsWithItsSurfaceInEveryThemeAndScheme) {
    ViewWorld world;
    auto &view = *world.view;
    constexpr double body = 4.5;
    constexpr double muted = 3;
    for (const auto desktop : {ColorScheme::light, ColorScheme::dark}) {
        for (const auto choice : kAllSidebarThemeChoices) {
            const std::string name = toString(choice).toStdString() + (desktop == ColorScheme::dark ? " on a dark desktop" : "");
            SCOPED_TRACE(name);
            // The choice first, then the panel's palette: the order the shell applies them in.
            world.defaults.setString(QStringLiteral("SidebarTheme"), toString(choice));
            view.setPalette(panelPaletteFor(choice, desktop));
            world.store->select(QStringLiteral("a3"), SidebarModifiers::none());
            world.store->announce(QStringLiteral("Closed 2 tabs"));
            world.drain();  // the status line has faded in
            ASSERT_TRUE(view.statusLabel()->isVisible());
            QImage image = world.grab();
            EXPECT_GE(textContrast(image, view.titleLabel(), &view), body) << "title";
            EXPECT_GE(labelInkContrast(image, view.titleLabel(), &view), body) << "title as grabbed";
            EXPECT_GE(textContrast(image, view.statusLabel(), &view), muted) << "status line";
            EXPECT_GE(textContrast(image, view.countLabel(), &view), muted) << "tab count";
            EXPECT_GE(rowContrast(image, view.tabList(), QStringLiteral("a1"), &view), body) << "active row";
            EXPECT_GE(rowContrast(image, view.tabList(), QStringLiteral("a3"), &view), body) << "selected row";
            EXPECT_GE(rowContrast(image, view.tabList(), QStringLiteral("a2"), &view), body) << "row";
            saveScreenshot(image, QStringLiteral("sidebar-look-theme-%1-%2")
                                      .arg(toString(choice), desktop == ColorScheme::dark ? "dark" : "light"));

            world.store->select(QStringLiteral("a1"), SidebarModifiers::command());
            world.settle();
            image = world.grab();
            EXPECT_GE(textContrast(image, view.countLabel(), &view), muted) << "selection count";
            world.store->setCompact(true);
            world.settle();
            EXPECT_GE(textContrast(world.grab(), view.compactCountLabel(), &view), muted) << "rail count";
            world.store->setCompact(false);
            world.store->clearSelection();
            world.store->announce(std::nullopt);
        }
    }
}

}  // namespace
