#include "ListWorld.h"

#include "Ondrake/Sidebar/SidebarListDrag.h"
#include "Ondrake/Sidebar/SidebarListGeometry.h"

#include <gtest/gtest.h>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// The list's content laid out as the list would, without a widget: the same world as the list
// tests, in a list 268 points wide.
struct PlainList : ListStoreWorld {
    static constexpr double kWidth = 268;
    SidebarRowModel model;
    SidebarRowDelegate::Style style;

    explicit PlainList(bool compact = false) {
        style.compact = compact;
        model.apply(content(compact));
    }
    SidebarListGeometry geometry() const { return {model, kWidth, style}; }
    int entryOf(const QString &key) const {
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.entry(row).key == key) return row;
        return -1;
    }
    QRectF band(const QString &key) const { return geometry().band(entryOf(key)); }
};

TEST(SidebarListGeometry, APointFindsTheEntryAndThePartItWouldPress) {
    using Part = SidebarListGeometry::Part;
    const PlainList list;
    const auto at = [&](const char *key, double x, double dy = 0) {
        const QRectF band = list.band(QString::fromLatin1(key));
        return QPointF(x, band.center().y() + dy);
    };
    const double right = PlainList::kWidth;
    const struct {
        const char *name;
        QPointF point;
        const char *entry;  // nullptr: empty space
        Part part;
        QString help;
    } cases[] = {
        {"a row's middle", at("r1", 120), "r1", Part::row, QStringLiteral("https://r1.example/")},
        {"a collapsed parent's chevron, where its favicon stood", at("r2", 8 + 6 + 8 + 8), "r2", Part::chevron,
         QStringLiteral("Show nested tabs")},
        {"an open parent's chevron, one step in", at("r1a", 11 + 8 + 6 + 8 + 8), "r1a", Part::chevron,
         QStringLiteral("Hide nested tabs")},
        {"the close button at the trailing edge", at("r3", right - 8 - 8), "r3", Part::close, QStringLiteral("Close tab")},
        {"a locked row has its lock there, not a close button", at("w2", right - 8 - 8), "w2", Part::row,
         QStringLiteral("Locked — won’t be closed from here")},
        {"the row's top edge", at("r1", 120, -14), "r1", Part::row, QStringLiteral("https://r1.example/")},
        {"the spacing under a row", at("r1", 120, 14), nullptr, Part::row, QString()},
        {"a window heading", at("window-2", 60), "window-2", Part::heading, QString()},
        {"the pinned heading", at("pinned", 60), "pinned", Part::heading, QStringLiteral("Pinned in Sidebar, 2 tabs")},
        {"right of the list", at("r1", right + 1), nullptr, Part::row, QString()},
        {"below the last entry", QPointF(60, list.model.contentHeight() + 3), nullptr, Part::row, QString()},
    };
    const SidebarListGeometry geometry = list.geometry();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto hit = geometry.hitAt(c.point);
        if (!c.entry) {
            EXPECT_FALSE(hit);
            EXPECT_EQ(geometry.entryAt(c.point), -1);
            EXPECT_FALSE(geometry.tabAt(c.point));
        } else {
            EXPECT_EQ(hit, (SidebarListGeometry::Hit{list.entryOf(QString::fromLatin1(c.entry)), c.part}));
            EXPECT_EQ(geometry.tabAt(c.point).has_value(), c.part != Part::heading);
        }
        EXPECT_EQ(geometry.helpAt(c.point).toStdString(), c.help.toStdString());
    }
    // A badge names its mark; beside it the row's help shows.
    const int r3 = list.entryOf(QStringLiteral("r3"));
    const auto badges = geometry.rowGeometry(r3, true).badges;
    ASSERT_EQ(badges.size(), 2u);
    EXPECT_EQ(geometry.helpAt(badges[0].center()), QStringLiteral("Important"));
    EXPECT_EQ(geometry.helpAt(badges[1].center()), QStringLiteral("Read later"));
    EXPECT_EQ(geometry.helpAt(badges[0].center() - QPointF(20, 0)), QStringLiteral("https://r3.example/"));
}

// Rows of the pinned, group and window sections move once the pointer has travelled five
// points; headings and the rows of the other arrangements and of the search never do.
TEST(SidebarListDrag, StartsPastTheThresholdOnRowsOfTheTree) {
    const struct {
        const char *name;
        SidebarViewMode mode;
        QString query;
        const char *entry;
        QPointF travel;
        bool starts;
    } cases[] = {
        {"a window row, 4.9 points", SidebarViewMode::tree, {}, "r1", {0, 4.9}, false},
        {"a window row, 5 points", SidebarViewMode::tree, {}, "r1", {0, 5}, true},
        {"a window row, 5 points aslant", SidebarViewMode::tree, {}, "r1", {-3, 4}, true},
        {"a pinned row", SidebarViewMode::tree, {}, "p1", {0, -30}, true},
        {"a grouped row", SidebarViewMode::tree, {}, "g1", {20, 0}, true},
        {"a heading", SidebarViewMode::tree, {}, "window-1", {0, 30}, false},
        {"a row by domain", SidebarViewMode::domain, {}, "r1", {0, 30}, false},
        {"a search result", SidebarViewMode::tree, QStringLiteral("r1"), "r1", {0, 30}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PlainList list;
        list.store->setViewMode(c.mode);
        list.store->setSearchQuery(c.query);
        list.model.apply(list.content());
        const int entry = list.entryOf(QString::fromLatin1(c.entry));
        ASSERT_GE(entry, 0);
        const QPointF start = list.band(QString::fromLatin1(c.entry)).center();
        const auto drag = SidebarListDrag::begin(list.model, entry, start, start + c.travel);
        EXPECT_EQ(drag.has_value(), c.starts);
        if (drag) {
            EXPECT_EQ(drag->tabID, QString::fromLatin1(c.entry));
        }
    }
}

// While a row is carried, the lifted row follows the pointer; in a window section the drop
// indicator lies at the insertion row, counted from the first row, or the pin hint one row
// above it; a pinned row carried below its section dims.
TEST(SidebarListDrag, TheOverlayLiesWhereThePointerCarriesTheRow) {
    const struct {
        const char *name;
        bool compact;
        const char *tab;
        QPointF travel;
        std::optional<double> indicatorRows;  // from the first row, in pitches, less 1.5 points
        double indent;
        bool pinHint;
        double opacity;
    } cases[] = {
        {"two rows up and a step in", false, "r3", {12, -58}, 2, 22, false, 0.85},
        {"the same in the compact rail", true, "r3", {12, -58}, 2, 0, false, 0.85},
        {"still", false, "r3", {0, 6}, 4, 0, false, 0.85},
        {"above the first row", false, "r1", {0, -40}, std::nullopt, 0, true, 0.85},
        {"a pinned row below its section", false, "p2", {0, 20}, std::nullopt, 0, false, 0.425},
        {"a pinned row kept inside", false, "p2", {0, -20}, std::nullopt, 0, false, 0.85},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PlainList list(c.compact);
        const QString tab = QString::fromLatin1(c.tab);
        const QPointF start = list.band(tab).center();
        auto drag = SidebarListDrag::begin(list.model, list.entryOf(tab), start, start + c.travel);
        ASSERT_TRUE(drag);
        drag->moveTo(start + c.travel, list.model.content(), list.store->windows());
        const auto overlay = drag->overlay(list.geometry());

        EXPECT_EQ(overlay.liftedRow, list.band(tab).translated(c.travel));
        EXPECT_DOUBLE_EQ(overlay.liftedOpacity, c.opacity);
        const double firstRow = list.band(QStringLiteral("r1")).top();
        if (c.indicatorRows) {
            EXPECT_EQ(overlay.indicator, QRectF(c.indent, firstRow + *c.indicatorRows * 29 - 1.5,
                                                PlainList::kWidth - c.indent, 2));
        } else {
            EXPECT_FALSE(overlay.indicator);
        }
        EXPECT_EQ(overlay.pinHint, c.pinHint ? std::optional(QPointF(0, firstRow - 29)) : std::nullopt);
    }
}

}  // namespace
