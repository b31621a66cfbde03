#include "Store/TabDropPlan.h"

#include "Browser/BrowserURL.h"

#include <QSet>

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <random>

using namespace ondrake;

namespace {

struct T {
    const char *id;
    const char *parent = nullptr;
};

SafariWindow window(std::initializer_list<T> tabs) {
    SafariWindow w;
    w.safariID = 7;
    w.index = 1;
    w.isFrontmost = true;
    for (const auto &t : tabs) {
        SafariTab tab;
        tab.id = t.id;
        tab.windowID = w.safariID;
        tab.index = std::int64_t(w.tabs.size()) + 1;
        tab.title = t.id;
        tab.url = parseURL(QStringLiteral("https://%1.example/").arg(t.id));
        if (t.parent) tab.parentID = QString(t.parent);
        w.tabs.push_back(tab);
    }
    return w;
}

// Rows made by hand, for sections that disagree with the window.
std::vector<TabTreeRow> rows(const SafariWindow &w, std::initializer_list<std::pair<const char *, int>> shown) {
    std::vector<TabTreeRow> out;
    for (const auto &[id, depth] : shown)
        for (const auto &tab : w.tabs)
            if (tab.id == id) out.push_back(TabTreeRow{.tab = tab, .depth = depth});
    return out;
}

// The parts of a plan that vary between drags.
struct Landing {
    std::int64_t fromIndex;
    std::int64_t count;
    std::int64_t toIndex;
    std::optional<QString> newParentID;
    int insertionRow;
    int depth;
    bool changesAnything;
    bool operator==(const Landing &) const = default;
    friend std::ostream &operator<<(std::ostream &os, const Landing &l) {
        return os << "from " << l.fromIndex << " count " << l.count << " to " << l.toIndex << " parent "
                  << l.newParentID.value_or("-").toStdString() << " row " << l.insertionRow << " depth " << l.depth
                  << (l.changesAnything ? " changes" : " unchanged");
    }
};

std::optional<Landing> landing(const std::optional<TabDropPlan> &plan) {
    if (!plan) return std::nullopt;
    return Landing{plan->move.fromIndex,       plan->move.count, plan->move.toIndex, plan->move.newParentID,
                   plan->insertionRow,         plan->depth,      plan->changesAnything};
}

// a, b under a, c under b, d, e under d, f.
const SafariWindow kTree = window({{"a"}, {"b", "a"}, {"c", "b"}, {"d"}, {"e", "d"}, {"f"}});

TEST(TabDropPlan, Drags) {
    struct Case {
        const char *what;
        QSet<QString> collapsed;
        const char *dragged;
        int rowOffset;
        int depthOffset;
        std::optional<Landing> expected;
    };
    const Case cases[] = {
        {"still: lands where it was", {}, "d", 0, 0, Landing{4, 2, 4, std::nullopt, 3, 0, false}},
        {"still, nested", {}, "c", 0, 0, Landing{3, 1, 3, "b", 2, 2, false}},
        {"up to the top with its nested tab", {}, "d", -3, 0, Landing{4, 2, 1, std::nullopt, 0, 0, true}},
        {"far up clamps to the top, at depth 0", {}, "c", -50, 5, Landing{3, 1, 1, std::nullopt, 0, 0, true}},
        {"down one row, counted without the block: lands inside d's children", {}, "a", 1, 0,
         Landing{1, 3, 2, "d", 1, 1, true}},
        {"far down appends the block", {}, "a", 40, 0, Landing{1, 3, 4, std::nullopt, 3, 0, true}},
        {"deeper: under the last top-level tab above", {}, "f", 0, 1, Landing{6, 1, 6, "d", 5, 1, true}},
        {"far right: one below the row above at most", {}, "f", 0, 9, Landing{6, 1, 6, "e", 5, 2, true}},
        {"shallower: next to its parent", {}, "c", 0, -1, Landing{3, 1, 3, "a", 2, 1, true}},
        {"far left: to the top level", {}, "c", 0, -9, Landing{3, 1, 3, std::nullopt, 2, 0, true}},
        {"above a nested row: no shallower than it", {}, "f", -1, -9, Landing{6, 1, 5, "d", 4, 1, true}},
        {"under a collapsed row: not into its hidden children", {"d"}, "f", 0, 3,
         Landing{6, 1, 6, std::nullopt, 4, 0, false}},
        {"a collapsed row takes its hidden tabs along", {"d"}, "d", -3, 0, Landing{4, 2, 1, std::nullopt, 0, 0, true}},
        {"below a collapsed row: after its hidden tabs", {"d"}, "b", 1, -1, Landing{2, 2, 4, std::nullopt, 2, 0, true}},
        {"offsets at the far ends of int, downward", {}, "c", INT_MAX, INT_MAX, Landing{3, 1, 6, "f", 5, 1, true}},
        {"offsets at the far ends of int, upward", {}, "c", INT_MIN, INT_MIN, Landing{3, 1, 1, std::nullopt, 0, 0, true}},
        {"not shown", {"a"}, "c", 0, 0, std::nullopt},
        {"unknown", {}, "zzz", 0, 0, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(landing(TabDropPlan::make(c.dragged, kTree, TabTreeRow::rows(c.collapsed, kTree), c.rowOffset,
                                            c.depthOffset)),
                  c.expected)
            << c.what;
}

TEST(TabDropPlan, CarriesTheGuardsOfTheMove) {
    const auto plan = TabDropPlan::make("d", kTree, TabTreeRow::rows({}, kTree), -3, 0);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->move, (SafariTabMove{.windowID = 7,
                                         .fromIndex = 4,
                                         .count = 2,
                                         .toIndex = 1,
                                         .expectedURL = "https://d.example/",
                                         .expectedTabCount = 6,
                                         .tabID = "d",
                                         .newParentID = std::nullopt}));

    SafariWindow noURL = kTree;
    noURL.tabs[3].url.reset();
    EXPECT_EQ(TabDropPlan::make("d", noURL, TabTreeRow::rows({}, noURL), -3, 0)->move.expectedURL, QString());
}

TEST(TabDropPlan, RefusesWhatDoesNotAddUp) {
    EXPECT_FALSE(TabDropPlan::make("a", kTree, {}, 0, 0)) << "no rows";

    const SafariWindow w = window({{"x"}, {"y"}});
    EXPECT_FALSE(TabDropPlan::make("y", w, rows(w, {{"x", 1}, {"y", 0}}), 0, 1))
        << "no row one level up above the landing place";
    EXPECT_TRUE(TabDropPlan::make("y", w, rows(w, {{"x", 1}, {"y", 0}}), 0, 2));

    const SafariWindow other = window({{"x"}, {"z"}});
    EXPECT_FALSE(TabDropPlan::make("y", other, rows(w, {{"x", 0}, {"y", 0}}), 0, 0)) << "not in the window";
}

// A section that does not show every tab of its window (the others are pinned or grouped): a
// tab nested by the drop must come to stand beside its new parent in the window, or the
// browser's tree would let go of it.
TEST(TabDropPlan, ANestedDropStandsBesideItsParentPastTabsTheSectionDoesNotShow) {
    struct Case {
        const char *what;
        SafariWindow window;
        const char *dragged;
        int rowOffset;
        int depthOffset;
        Landing expected;
    };
    const Case cases[] = {
        {"another tab between: the block goes before it", window({{"a"}, {"h"}, {"b"}}), "b", 0, 1,
         Landing{3, 1, 2, "a", 1, 1, true}},
        {"the parent's own nested tab between: the block goes after it", window({{"a"}, {"h", "a"}, {"b"}}), "b", 0, 1,
         Landing{3, 1, 3, "a", 1, 1, true}},
        {"up from below: right after the parent", window({{"a"}, {"h"}, {"b"}, {"c"}}), "c", -1, 1,
         Landing{4, 1, 2, "a", 1, 1, true}},
        {"to the top level: before the row below, as ever", window({{"a"}, {"h"}, {"b"}, {"c"}}), "c", -1, 0,
         Landing{4, 1, 3, std::nullopt, 1, 0, true}},
    };
    for (const auto &c : cases) {
        std::vector<TabTreeRow> shown;
        for (const auto &row : TabTreeRow::rows({}, c.window))
            if (row.tab.id != QStringLiteral("h")) shown.push_back(row);
        EXPECT_EQ(landing(TabDropPlan::make(c.dragged, c.window, shown, c.rowOffset, c.depthOffset)), c.expected) << c.what;
    }
}

// Sections that are out of step with the window must not nest a tab under its own subtree.
TEST(TabDropPlan, RefusesToNestIntoItsOwnSubtree) {
    const SafariWindow w = window({{"a"}, {"b", "a"}, {"c"}});
    // The section still shows b under c, but in the window b hangs under a and moves with it.
    const auto stale = rows(w, {{"a", 0}, {"c", 0}, {"b", 1}});
    EXPECT_FALSE(TabDropPlan::make("a", w, stale, 2, 2)) << "under its own child";
    EXPECT_TRUE(TabDropPlan::make("a", w, stale, 2, 1)) << "under c is fine";

    const auto reordered = rows(w, {{"c", 0}, {"b", 0}, {"a", 0}});
    EXPECT_FALSE(TabDropPlan::make("a", w, reordered, -1, 0)) << "in front of a tab that moves with it";
    EXPECT_TRUE(TabDropPlan::make("a", w, reordered, -2, 0));
}

// Random windows whose tabs stand beside their parents, as the browser's tree keeps them, with
// some tabs shown in other sections and some folded away, and random drags. The truth kept here:
// the section's rows end up in the order the drop shows, a drop that leaves them as they were
// moves nothing, and tabs the section does not show never come between the block and where it
// was put.
TEST(TabDropPlan, RandomDropsDoInTheBrowserWhatTheSectionShows) {
    std::mt19937 random(20260412);
    const auto chance = [&](int percent) { return int(random() % 100) < percent; };
    int checked = 0;
    for (int round = 0; round < 4000; ++round) {
        const int n = 1 + int(random() % 9);
        SafariWindow whole = window({});
        std::vector<QString> spine;  // the last tab and its ancestors, root first
        QHash<QString, QString> parentOf;
        for (int i = 0; i < n; ++i) {
            const QString id = QStringLiteral("t%1").arg(i);
            std::optional<QString> parent;
            if (!spine.empty() && chance(50)) {
                spine.resize(1 + random() % spine.size());
                parent = spine.back();
                parentOf.insert(id, *parent);
            } else {
                spine.clear();
            }
            spine.push_back(id);
            whole.tabs.push_back(SafariTab{.id = id, .windowID = whole.safariID, .index = i + 1, .title = id,
                                           .url = parseURL(QStringLiteral("https://%1.example/").arg(id)),
                                           .parentID = parent});
        }
        const auto isUnder = [&](QString id, const QString &ancestor) {
            while (parentOf.contains(id))
                if ((id = parentOf.value(id)) == ancestor) return true;
            return false;
        };
        SafariWindow section = whole;
        std::erase_if(section.tabs, [&](const SafariTab &) { return chance(30); });
        if (section.tabs.empty()) continue;
        QSet<QString> collapsed;
        for (const auto &tab : section.tabs)
            if (chance(15)) collapsed.insert(tab.id);
        const auto rows = TabTreeRow::rows(collapsed, section);
        const std::size_t d = random() % rows.size();
        const QString dragged = rows[d].tab.id;
        const auto plan = TabDropPlan::make(dragged, whole, rows, int(random() % 21) - 10, int(random() % 7) - 3);

        std::size_t blockEnd = d + 1;
        while (blockEnd < rows.size() && rows[blockEnd].depth > rows[d].depth) ++blockEnd;
        QStringList rowIDs, blockIDs, remainingIDs;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rowIDs << rows[i].tab.id;
            (i >= d && i < blockEnd ? blockIDs : remainingIDs) << rows[i].tab.id;
        }
        const auto shownOf = [&](const std::vector<SafariTab> &tabs, std::size_t first, std::size_t end) {
            QStringList ids;
            for (std::size_t i = first; i < end; ++i)
                if (rowIDs.contains(tabs[i].id)) ids << tabs[i].id;
            return ids;
        };
        // A tab shown elsewhere may carry shown tabs nested under it; the section then draws
        // them at the top level, and its block is not the browser's.
        const std::size_t from = std::size_t(std::find_if(whole.tabs.begin(), whole.tabs.end(),
                                                          [&](const SafariTab &t) { return t.id == dragged; })
                                             - whole.tabs.begin());
        std::size_t count = 1;
        while (from + count < whole.tabs.size() && isUnder(whole.tabs[from + count].id, dragged)) ++count;
        if (shownOf(whole.tabs, from, from + count) != blockIDs) continue;
        ++checked;
        ASSERT_TRUE(plan) << round;
        ASSERT_EQ(std::tuple(plan->move.fromIndex, plan->move.count), std::tuple(from + 1, count)) << round;

        std::vector<SafariTab> moved = whole.tabs;
        std::vector<SafariTab> block(moved.begin() + std::ptrdiff_t(from), moved.begin() + std::ptrdiff_t(from + count));
        moved.erase(moved.begin() + std::ptrdiff_t(from), moved.begin() + std::ptrdiff_t(from + count));
        const std::size_t to = std::size_t(plan->move.toIndex - 1);
        ASSERT_LE(to, moved.size()) << round;
        moved.insert(moved.begin() + std::ptrdiff_t(to), block.begin(), block.end());

        QStringList expected = remainingIDs;
        for (qsizetype i = 0; i < blockIDs.size(); ++i) expected.insert(plan->insertionRow + i, blockIDs[i]);
        EXPECT_EQ(shownOf(moved, 0, moved.size()), expected) << round;

        const bool samePlace = expected == rowIDs && plan->move.newParentID == rows[d].tab.parentID;
        EXPECT_EQ(plan->changesAnything, !samePlace) << round;
        if (samePlace) {
            EXPECT_EQ(plan->move.toIndex, plan->move.fromIndex) << round;
            continue;
        }
        // Below the last row, or nested under a new parent: between the row above and the block
        // stand only tabs nested under the one or the other, never someone else's.
        if (plan->insertionRow == 0 || (!plan->move.newParentID && plan->insertionRow < remainingIDs.size())) continue;
        const QString above = remainingIDs[plan->insertionRow - 1];
        std::size_t i = to;
        while (i > 0 && moved[i - 1].id != above) {
            --i;
            EXPECT_TRUE(isUnder(moved[i].id, above) || (plan->move.newParentID && isUnder(moved[i].id, *plan->move.newParentID)))
                << round << ": " << moved[i].id.toStdString() << " stands between " << above.toStdString() << " and "
                << dragged.toStdString();
        }
    }
    EXPECT_GT(checked, 2500);
}

}  // namespace
