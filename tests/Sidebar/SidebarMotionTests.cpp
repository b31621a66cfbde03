#include "ListWorld.h"
#include "ViewWorld.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include <functional>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// How much is drawn in a rect: the summed distance of its pixels from the fill behind the list.
double ink(const QImage &image, const QRect &rect, const QColor &fill) {
    double total = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            total += std::abs(c.red() - fill.red()) + std::abs(c.green() - fill.green()) + std::abs(c.blue() - fill.blue());
        }
    return total;
}

struct Motion {
    ListWorld world;
    Motion() { world.list->setScheduler(&world.scheduler); }
    double inkAt(const QRect &viewportBand) const {
        return ink(world.grab(), QRect(world.inHost(viewportBand.topLeft()), viewportBand.size()), world.host->fill());
    }
};

// Each change, and the tab whose row shows it: a row that comes in fades in where it lands; a row
// below rows that went slides up from where it stood.
struct ChangeCase {
    const char *name;
    std::function<void(ListWorld &)> change;
    std::function<QString(ListWorld &)> watched;
};

QString fixed(const char *id) { return QString::fromLatin1(id); }

TEST(SidebarMotion, RowsOfAChangeSettleOverAFifteenthOfASecondAndAFrame) {
    const std::vector<ChangeCase> cases = {
        {"a subtree unfolds", [](ListWorld &w) { w.store->toggleCollapsed(fixed("r2")); }, [](ListWorld &) { return fixed("r2a"); }},
        {"a subtree folds", [](ListWorld &w) { w.store->toggleCollapsed(fixed("r1")); }, [](ListWorld &) { return fixed("r2"); }},
        {"a window folds", [](ListWorld &w) { w.store->toggleWindowCollapsed(1); }, [](ListWorld &) { return fixed("w1"); }},
        {"a group folds",
         [](ListWorld &w) { w.store->updateBook([&](TabRecordBook &book) { book.groups[w.work.id].isCollapsed = true; }); },
         [](ListWorld &) { return fixed("r1"); }},
        {"a poll brings a tab",
         [](ListWorld &w) {
             auto windows = w.browser->windows();
             windows.front().tabs.push_back(tab("n1", 1, 11));
             w.browser->setWindows(std::move(windows));
             w.poll();
         },
         [](ListWorld &) { return fixed("n1"); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Motion m;
        ListWorld &world = m.world;
        const QString before = c.watched(world);
        const std::optional<QRect> oldBand = world.rowOf(before) >= 0 ? std::optional(world.band(before)) : std::nullopt;
        c.change(world);
        world.settle();
        const QString id = c.watched(world);
        ASSERT_GE(world.rowOf(id), 0);
        const QRect band = world.band(id);
        ASSERT_TRUE(world.list->isChanging());
        EXPECT_EQ(world.list->changeProgress(), 0);

        const double start = m.inkAt(band);
        const double startOld = oldBand ? m.inkAt(*oldBand) : 0;
        world.scheduler.advance(Seconds(0.05));
        const double progress = world.list->changeProgress();
        const double middle = m.inkAt(band);
        world.scheduler.advance(Seconds(0.12));
        EXPECT_FALSE(world.list->isChanging());
        EXPECT_EQ(world.list->changeProgress(), 1);
        const double end = m.inkAt(band);
        saveScreenshot(world.grab(), QStringLiteral("sidebar-motion-") + QString::fromLatin1(c.name).replace(' ', '-'));

        // Eased out: well past a third of the way at a third of the time.
        EXPECT_GT(progress, 0.5);
        EXPECT_LT(progress, 1);
        ASSERT_GT(end, 0);
        EXPECT_NE(middle, end);
        if (oldBand && *oldBand != band) {
            // A row that slides stands where it stood when the change began.
            EXPECT_NEAR(startOld, end, end * 0.2);
        } else {
            EXPECT_LT(start, end * 0.1) << "a row that comes in is not there when the change begins";
            EXPECT_GT(middle, start);
        }
    }
}

TEST(SidebarMotion, NothingMovesWithoutAChangeOfTheWindowsOrAFold) {
    const std::vector<std::pair<const char *, std::function<void(ListWorld &)>>> cases = {
        {"a poll that changes nothing", [](ListWorld &w) { w.poll(); }},
        {"a selection", [](ListWorld &w) { w.store->select(fixed("r3"), SidebarModifiers::none()); }},
        {"another arrangement", [](ListWorld &w) { w.store->setViewMode(SidebarViewMode::age); }},
        {"a search",
         [](ListWorld &w) {
             w.store->toggleSearch();
             w.store->setSearchQuery(fixed("r1"));
         }},
        {"a fold of a tab without nested tabs", [](ListWorld &w) { w.store->toggleCollapsed(fixed("r3")); }},
    };
    for (const auto &[name, change] : cases) {
        SCOPED_TRACE(name);
        Motion m;
        change(m.world);
        m.world.settle();
        EXPECT_FALSE(m.world.list->isChanging());
    }
}

TEST(SidebarMotion, ATitleChangingMidwayLeavesTheRunningChangeAlone) {
    Motion m;
    ListWorld &world = m.world;
    world.store->toggleCollapsed(fixed("r1"));
    world.settle();
    world.scheduler.advance(Seconds(0.05));
    const double progress = world.list->changeProgress();
    auto windows = world.browser->windows();
    windows.front().tabs.back().title = QStringLiteral("Renamed");
    world.browser->setWindows(std::move(windows));
    world.poll();
    world.settle();
    EXPECT_TRUE(world.list->isChanging());
    EXPECT_GE(world.list->changeProgress(), progress);
    world.scheduler.advance(Seconds(0.12));
    EXPECT_FALSE(world.list->isChanging());
}

TEST(SidebarMotion, AFoldDuringADragShowsAtOnceAndADragEndsAChange) {
    Motion m;
    ListWorld &world = m.world;
    auto *viewport = world.list->viewport();
    const QPoint from = world.band(fixed("r3")).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(0, 20));
    ASSERT_TRUE(world.list->drag());
    world.store->toggleCollapsed(fixed("r1"));
    world.settle();
    EXPECT_FALSE(world.list->isChanging());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, from);

    world.store->toggleCollapsed(fixed("r1"));
    world.settle();
    ASSERT_TRUE(world.list->isChanging());
    const QPoint grip = world.band(fixed("w1")).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, grip);
    QTest::mouseMove(viewport, grip + QPoint(0, 20));
    ASSERT_TRUE(world.list->drag());
    EXPECT_FALSE(world.list->isChanging());
    EXPECT_EQ(world.list->changeProgress(), 1);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, grip);
}

TEST(SidebarMotion, AWheelTakesOverFromAnEasedScroll) {
    ListWorld world({280, 120});
    world.list->setScheduler(&world.scheduler);
    auto *bar = world.list->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    ASSERT_TRUE(world.list->scrollToTab(fixed("w2"), SidebarTabList::PositionAtCenter, Seconds(0.15)));
    EXPECT_EQ(bar->value(), 0);
    world.scheduler.advance(Seconds(0.05));
    ASSERT_TRUE(world.list->isScrolling());
    const int reached = bar->value();
    EXPECT_GT(reached, 0);
    QWheelEvent wheel(QPointF(10, 10), world.list->viewport()->mapToGlobal(QPointF(10, 10)), {}, QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(world.list->viewport(), &wheel);
    EXPECT_FALSE(world.list->isScrolling());
    const int afterWheel = bar->value();
    EXPECT_LT(afterWheel, reached);
    world.scheduler.advance(Seconds(0.2));
    EXPECT_EQ(bar->value(), afterWheel);

    // Without a clock the list jumps.
    world.list->setScheduler(nullptr);
    ASSERT_TRUE(world.list->scrollToTab(fixed("w2"), SidebarTabList::PositionAtCenter, Seconds(0.15)));
    EXPECT_GT(bar->value(), reached);
}

// MARK: The status line

TEST(SidebarMotion, TheStatusLineFadesInAndOutWithTheSummary) {
    ViewWorld world;
    auto &view = *world.view;
    const auto statusInk = [&] {
        // The left half: the seam shades the panel's trailing edge.
        const QLabel *label = view.statusLabel();
        const QRect rect(label->mapTo(&view, QPoint(0, 0)), QSize(label->width() / 2, label->height()));
        const QImage image = world.grab();
        return ink(image, rect, image.pixelColor(rect.topLeft()));
    };
    world.store->announce(QStringLiteral("Pinned in Sidebar"));
    world.settle();
    EXPECT_TRUE(view.statusLabel()->isVisible());
    EXPECT_EQ(view.statusOpacity(), 0);
    EXPECT_EQ(statusInk(), 0);
    world.scheduler.advance(Seconds(0.05));
    const double fadingIn = view.statusOpacity();
    const double inkFadingIn = statusInk();
    world.scheduler.advance(Seconds(0.12));
    EXPECT_EQ(view.statusOpacity(), 1);
    const double full = statusInk();
    EXPECT_GT(fadingIn, 0.5);
    EXPECT_LT(fadingIn, 1);
    EXPECT_GT(inkFadingIn, 0);
    EXPECT_LT(inkFadingIn, full);

    // A new summary on a standing line only changes the words.
    world.store->announce(QStringLiteral("Unpinned"));
    world.settle();
    EXPECT_EQ(view.statusOpacity(), 1);
    EXPECT_EQ(view.statusLabel()->text(), QStringLiteral("Unpinned"));

    // Going, the last words stay while they fade.
    world.store->announce(std::nullopt);
    world.settle();
    EXPECT_TRUE(view.statusLabel()->isVisible());
    EXPECT_EQ(view.statusLabel()->text(), QStringLiteral("Unpinned"));
    world.scheduler.advance(Seconds(0.05));
    EXPECT_GT(view.statusOpacity(), 0);
    EXPECT_LT(view.statusOpacity(), 0.5);
    // Coming back before it is gone fades it in again from there.
    world.store->announce(QStringLiteral("Pinned in Sidebar"));
    world.settle();
    const double resumed = view.statusOpacity();
    world.scheduler.advance(Seconds(0.05));
    EXPECT_GT(view.statusOpacity(), resumed);
    world.scheduler.advance(Seconds(0.12));
    EXPECT_EQ(view.statusOpacity(), 1);

    world.store->announce(std::nullopt);
    world.settle();
    world.scheduler.advance(Seconds(0.17));
    EXPECT_FALSE(view.statusLabel()->isVisible());
    EXPECT_EQ(view.statusOpacity(), 0);
}

TEST(SidebarMotion, TheCompactRailTakesTheStatusLineAtOnce) {
    ViewWorld world;
    auto &view = *world.view;
    world.store->announce(QStringLiteral("Pinned in Sidebar"));
    world.settle();
    world.store->setCompact(true);
    world.settle();
    EXPECT_FALSE(view.statusLabel()->isVisible());
    world.store->setCompact(false);
    world.settle();
    EXPECT_TRUE(view.statusLabel()->isVisible());
    EXPECT_EQ(view.statusOpacity(), 1);
}

}  // namespace
