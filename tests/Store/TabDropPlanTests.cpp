#include "Store/TabDropPlan.h"

#include "Browser/BrowserURL.h"
#include "Store/SidebarLayout.h"

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

// The window's section when the tabs named are shown in another section.
SafariWindow sectionOf(const SafariWindow &w, const TextSet &elsewhere) {
    const auto sections = SidebarLayout::sections(
        {w}, {}, [&](const SafariTab &tab) { return elsewhere.contains(tab.id); },
        [](const SafariTab &) { return std::optional<TabGroupID>(); });
    return sections.windows.empty() ? SafariWindow{} : sections.windows.front();
}

// The window's tab order once every move of the plan is made, each checked against its guards
// the way the browser checks them; "refused" when one does not hold.
QString browserAfter(const SafariWindow &w, const TabDropPlan &plan) {
    std::vector<SafariTab> tabs = w.tabs;
    auto moves = plan.leadingMoves;
    moves.push_back(plan.move);
    for (const auto &m : moves) {
        const auto n = std::int64_t(tabs.size());
        if (m.windowID != w.safariID || m.expectedTabCount != n || m.count < 1 || m.fromIndex < 1 ||
            m.fromIndex - 1 + m.count > n || m.toIndex < 1 || m.toIndex - 1 + m.count > n ||
            absoluteText(tabs[std::size_t(m.fromIndex - 1)].url) != m.expectedURL ||
            tabs[std::size_t(m.fromIndex - 1)].id != m.tabID)
            return QStringLiteral("refused");
        const auto first = tabs.begin() + (m.fromIndex - 1);
        std::vector<SafariTab> block(first, first + m.count);
        tabs.erase(first, first + m.count);
        tabs.insert(tabs.begin() + (m.toIndex - 1), block.begin(), block.end());
    }
    QStringList ids;
    for (const auto &tab : tabs) ids << tab.id;
    return ids.join(u' ');
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

// One of a plan's leading moves.
struct Step {
    std::int64_t fromIndex;
    std::int64_t count;
    std::int64_t toIndex;
    QString tabID;
    std::optional<QString> newParentID;
    bool operator==(const Step &) const = default;
    friend std::ostream &operator<<(std::ostream &os, const Step &s) {
        return os << s.tabID.toStdString() << " " << s.fromIndex << "+" << s.count << " to " << s.toIndex << " under "
                  << s.newParentID.value_or("-").toStdString();
    }
};

// a, b under a, c under b, d, e under d, f.
const SafariWindow kTree = window({{"a"}, {"b", "a"}, {"c", "b"}, {"d"}, {"e", "d"}, {"f"}});

TEST(TabDropPlan, Drags) {
    struct Case {
        const char *what;
        TextSet collapsed;
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

// Rows out of step with the window or the section, or a tab that is not where the rows say:
// no plan, so the drop does nothing rather than something the rows did not show.
TEST(TabDropPlan, RefusesWhatDoesNotAddUp) {
    const SafariWindow flat = window({{"x"}, {"y"}});
    const SafariWindow nested = window({{"a"}, {"b", "a"}, {"c"}});
    const struct {
        const char *what;
        SafariWindow window;
        SafariWindow section;
        std::vector<TabTreeRow> rows;
        const char *dragged;
        int rowOffset;
        int depthOffset;
    } cases[] = {
        {"no rows", kTree, kTree, {}, "a", 0, 0},
        {"no row one level up above the landing place", flat, flat, rows(flat, {{"x", 1}, {"y", 0}}), "y", 0, 1},
        {"rows deeper than the section nests them", flat, flat, rows(flat, {{"x", 1}, {"y", 0}}), "y", 0, 2},
        {"not in the window", window({{"x"}, {"z"}}), flat, rows(flat, {{"x", 0}, {"y", 0}}), "y", 0, 0},
        {"not in the section", flat, sectionOf(flat, {"y"}), rows(flat, {{"x", 0}, {"y", 0}}), "y", -1, 0},
        // The section still shows b under c, but b hangs under a and moves with it.
        {"under its own child", nested, nested, rows(nested, {{"a", 0}, {"c", 0}, {"b", 1}}), "a", 2, 2},
        {"under a tab beside its own child", nested, nested, rows(nested, {{"a", 0}, {"c", 0}, {"b", 1}}), "a", 2, 1},
        {"in front of a tab that moves with it", nested, nested, rows(nested, {{"c", 0}, {"b", 0}, {"a", 0}}), "a", -1, 0},
        {"leaving a tab that moves with it behind", nested, nested, rows(nested, {{"c", 0}, {"b", 0}, {"a", 0}}), "a", -2, 0},
    };
    for (const auto &c : cases)
        EXPECT_FALSE(TabDropPlan::make(c.dragged, c.window, c.section, c.rows, c.rowOffset, c.depthOffset)) << c.what;
}

// What moves in the browser is what the rows show moving: the dragged tab and the section's tabs
// nested under it. Tabs the pinned and group sections show ("p", "q", "h") keep their order,
// also where they are nested in the dragged tab's family; a tab of theirs whose parent leaves
// stays nested under the nearest ancestor it still stands beside, and a tab the section drew
// at the top level stays there.
TEST(TabDropPlan, MovesWhatTheRowsShow) {
    const struct {
        const char *what;
        SafariWindow window;
        TextSet elsewhere;
        const char *dragged;
        int rowOffset;
        int depthOffset;
        std::vector<Step> leading;
        Landing landing;
        const char *browser;
    } cases[] = {
        {"a pinned tab in the family stays, and so does the row nested under it",
         window({{"a"}, {"b"}, {"p", "b"}, {"c", "p"}}), {"p"}, "b", -1, 0, {}, Landing{2, 1, 1, std::nullopt, 0, 0, true},
         "b a p c"},
        {"pinned tabs between the block's tabs keep their order",
         window({{"a"}, {"q"}, {"b"}, {"p", "b"}, {"c", "b"}}), {"p", "q"}, "b", -1, 0, {{5, 1, 4, "c", "b"}},
         Landing{3, 2, 1, std::nullopt, 0, 0, true}, "b c a q p"},
        {"a pinned tab whose parent leaves stays under its grandparent",
         window({{"p"}, {"b", "p"}, {"h", "b"}, {"c", "p"}}), {"h"}, "b", 1, -1, {{3, 1, 3, "h", "p"}},
         Landing{2, 1, 4, std::nullopt, 2, 0, true}, "p h c b"},
        {"a row drawn at the top level stays there beside its parent",
         window({{"a"}, {"q", "a"}, {"x", "q"}, {"y", "a"}}), {"q"}, "a", 1, 0, {{4, 1, 4, "y", std::nullopt}},
         Landing{1, 1, 3, std::nullopt, 1, 0, true}, "q x a y"},
        {"back in its place past a pinned tab: nothing moves",
         window({{"a"}, {"b"}, {"p", "b"}, {"c", "b"}}), {"p"}, "b", 0, 0, {}, Landing{2, 2, 2, std::nullopt, 1, 0, false},
         "a b p c"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const SafariWindow section = sectionOf(c.window, c.elsewhere);
        const auto plan = TabDropPlan::make(c.dragged, c.window, section, TabTreeRow::rows({}, section), c.rowOffset,
                                            c.depthOffset);
        ASSERT_TRUE(plan);
        std::vector<Step> leading;
        for (const auto &m : plan->leadingMoves) leading.push_back({m.fromIndex, m.count, m.toIndex, m.tabID, m.newParentID});
        EXPECT_EQ(leading, c.leading);
        EXPECT_EQ(landing(plan), c.landing);
        QStringList unmoved;
        for (const auto &tab : c.window.tabs) unmoved << tab.id;
        EXPECT_EQ(plan->changesAnything ? browserAfter(c.window, *plan) : unmoved.join(u' '), QString::fromUtf8(c.browser));
    }
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
        const SafariWindow section = sectionOf(c.window, {"h"});
        EXPECT_EQ(landing(TabDropPlan::make(c.dragged, c.window, section, TabTreeRow::rows({}, section), c.rowOffset,
                                            c.depthOffset)),
                  c.expected)
            << c.what;
    }
}

// Random windows whose tabs stand beside their parents, as the browser's tree keeps them, with
// some tabs shown in other sections and some folded away, and random drags. Every move holds
// against the browser's guards in turn, the section's tabs end up in the order the drop shows,
// the other sections' tabs keep theirs, and a drop that leaves the rows as they were moves
// nothing. (How the browser's tree then nests them is checked through the store.)
TEST(TabDropPlan, RandomDropsMoveTheSectionsTabsAsShownAndNoOtherTab) {
    std::mt19937 random(20260412);
    const auto chance = [&](int percent) { return int(random() % 100) < percent; };
    int checked = 0;
    for (int round = 0; round < 4000; ++round) {
        const int n = 1 + int(random() % 12);
        SafariWindow whole = window({});
        std::vector<QString> spine;  // the last tab and its ancestors, root first
        for (int i = 0; i < n; ++i) {
            const QString id = QStringLiteral("t%1").arg(i);
            std::optional<QString> parent;
            if (!spine.empty() && chance(60)) {
                spine.resize(1 + random() % spine.size());
                parent = spine.back();
            } else {
                spine.clear();
            }
            spine.push_back(id);
            whole.tabs.push_back(SafariTab{.id = id, .windowID = whole.safariID, .index = i + 1, .title = id,
                                           .url = parseURL(QStringLiteral("https://%1.example/").arg(id)),
                                           .parentID = parent});
        }
        TextSet elsewhere, collapsed;
        for (const auto &tab : whole.tabs) {
            if (chance(30)) elsewhere.insert(tab.id);
            if (chance(15)) collapsed.insert(tab.id);
        }
        const SafariWindow section = sectionOf(whole, elsewhere);
        if (section.tabs.empty()) continue;
        const auto rows = TabTreeRow::rows(collapsed, section);
        const std::size_t d = random() % rows.size();
        const QString dragged = rows[d].tab.id;
        const auto plan = TabDropPlan::make(dragged, whole, section, rows, int(random() % 21) - 10, int(random() % 7) - 3);
        ASSERT_TRUE(plan) << round;
        ++checked;

        // The section's tabs, folded ones with the row above them, in the order the drop shows.
        std::vector<QStringList> shownRows;
        for (const auto &tab : section.tabs) {
            const bool isRow = std::any_of(rows.begin(), rows.end(), [&](const TabTreeRow &r) { return r.tab.id == tab.id; });
            if (isRow || shownRows.empty()) shownRows.push_back({});
            shownRows.back() << tab.id;
        }
        std::size_t blockEnd = d + 1;
        while (blockEnd < rows.size() && rows[blockEnd].depth > rows[d].depth) ++blockEnd;
        std::vector<QStringList> block(shownRows.begin() + std::ptrdiff_t(d), shownRows.begin() + std::ptrdiff_t(blockEnd));
        shownRows.erase(shownRows.begin() + std::ptrdiff_t(d), shownRows.begin() + std::ptrdiff_t(blockEnd));
        shownRows.insert(shownRows.begin() + plan->insertionRow, block.begin(), block.end());
        QStringList promised, elsewhereBefore;
        for (const auto &row : shownRows) promised << row;
        for (const auto &tab : whole.tabs)
            if (elsewhere.contains(tab.id)) elsewhereBefore << tab.id;

        QStringList before;
        for (const auto &tab : section.tabs) before << tab.id;
        EXPECT_EQ(plan->changesAnything, promised != before || plan->move.newParentID != rows[d].tab.parentID) << round;
        if (!plan->changesAnything) continue;
        const QString after = browserAfter(whole, *plan);
        ASSERT_NE(after, QStringLiteral("refused")) << round;
        QStringList shownAfter, elsewhereAfter;
        for (const auto &id : after.split(u' ')) (elsewhere.contains(id) ? elsewhereAfter : shownAfter) << id;
        EXPECT_EQ(shownAfter, promised) << round;
        EXPECT_EQ(elsewhereAfter, elsewhereBefore) << round;
    }
    EXPECT_GT(checked, 3000);
}

}  // namespace
