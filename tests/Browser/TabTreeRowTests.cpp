#include "Browser/TabTreeRow.h"

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

struct T {
    const char *id;
    const char *parent = nullptr;
    bool active = false;
};

SafariWindow win(std::initializer_list<T> tabs) {
    SafariWindow w;
    w.safariID = 1;
    std::int64_t i = 0;
    for (const auto &t : tabs) {
        SafariTab tab;
        tab.id = t.id;
        tab.windowID = 1;
        tab.index = ++i;
        if (t.parent) tab.parentID = QString(t.parent);
        tab.isActive = t.active;
        w.tabs.push_back(tab);
    }
    return w;
}

struct Row {
    QString id;
    int depth;
    bool hasChildren;
    bool isCollapsed;
    int hidden;
    bool hidesActive;
    bool operator==(const Row &) const = default;
};

std::vector<Row> summary(const std::vector<TabTreeRow> &rows) {
    std::vector<Row> out;
    for (const auto &r : rows)
        out.push_back({r.tab.id, r.depth, r.hasChildren, r.isCollapsed, r.hiddenDescendants, r.hidesActiveTab});
    return out;
}

TEST(TabTreeRow, Rows) {
    struct Case {
        const char *what;
        SafariWindow window;
        TextSet collapsed;
        std::vector<Row> expected;
    };
    const Case cases[] = {
        {"flat", win({{"a"}, {"b"}}), {}, {{"a", 0, false, false, 0, false}, {"b", 0, false, false, 0, false}}},
        {"nested",
         win({{"a"}, {"b", "a"}, {"c", "b"}, {"d"}}),
         {},
         {{"a", 0, true, false, 0, false}, {"b", 1, true, false, 0, false}, {"c", 2, false, false, 0, false},
          {"d", 0, false, false, 0, false}}},
        {"parent after the child, or elsewhere",
         win({{"c", "p"}, {"p"}, {"x", "elsewhere"}}),
         {},
         {{"c", 0, false, false, 0, false}, {"p", 0, true, false, 0, false}, {"x", 0, false, false, 0, false}}},
        {"collapsed hides its run",
         win({{"a"}, {"b", "a"}, {"c", "b"}, {"d"}}),
         {"a"},
         {{"a", 0, true, true, 2, false}, {"d", 0, false, false, 0, false}}},
        {"collapsed hiding the active tab",
         win({{"a"}, {"b", "a"}, {"c", "b", true}, {"d"}}),
         {"a"},
         {{"a", 0, true, true, 2, true}, {"d", 0, false, false, 0, false}}},
        {"collapsed id without children", win({{"a"}, {"b"}}), {"a", "zzz"},
         {{"a", 0, false, false, 0, false}, {"b", 0, false, false, 0, false}}},
        {"collapsed inside collapsed counts once",
         win({{"a"}, {"b", "a"}, {"c", "b"}, {"d", "a"}, {"e"}}),
         {"a", "b"},
         {{"a", 0, true, true, 3, false}, {"e", 0, false, false, 0, false}}},
        {"a run ends at the first shallower tab, which may start its own",
         win({{"a"}, {"b", "a"}, {"c"}, {"d", "c"}}),
         {"a", "c"},
         {{"a", 0, true, true, 1, false}, {"c", 0, true, true, 1, false}}},
        {"empty", win({}), {}, {}},
    };
    for (const auto &c : cases) EXPECT_EQ(summary(TabTreeRow::rows(c.collapsed, c.window)), c.expected) << c.what;
}

TEST(TabTreeRow, DepthsCoverHiddenTabs) {
    const auto depths = TabTreeRow::depths(win({{"a"}, {"b", "a"}, {"c", "b"}, {"d"}, {"e", "later"}, {"later"}}));
    EXPECT_EQ(depths, (TextMap<int>{{"a", 0}, {"b", 1}, {"c", 2}, {"d", 0}, {"e", 0}, {"later", 0}}));
    EXPECT_TRUE(TabTreeRow::depths(win({})).empty());
    // A repeated id takes the later value.
    EXPECT_EQ(TabTreeRow::depths(win({{"a"}, {"b", "a"}, {"b"}})).at("b"), 0);
}

}  // namespace
