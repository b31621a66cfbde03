#include "SimulatedBrowserStore.h"

#include "Browser/TabTreeRow.h"
#include "Store/TabDropPlan.h"

#include <map>
#include <random>

namespace ondrake {
namespace {

using test::Browser;
using test::page;
using test::simWindow;

// What the sidebar shows of one window and around it: the window section's rows ("t3" a row,
// ">t3" one level deeper, "t3+" a collapsed row), then the pinned section and each group's.
struct Shown {
    QStringList rows;
    QStringList pinned;
    std::vector<QStringList> groups;
    bool operator==(const Shown &) const = default;
    friend std::ostream &operator<<(std::ostream &os, const Shown &s) {
        os << "[" << s.rows.join(u' ').toStdString() << "] pinned [" << s.pinned.join(u' ').toStdString() << "]";
        for (const auto &g : s.groups) os << " group [" << g.join(u' ').toStdString() << "]";
        return os;
    }
};

QString rowText(const TabTreeRow &row, int depth) {
    return QString(depth, u'>') + row.tab.title + (row.isCollapsed ? QStringLiteral("+") : QString());
}

Shown shown(const TabStore &store) {
    const auto layout = store.layout();
    Shown s;
    for (const auto &window : layout.windows)
        for (const auto &row : TabTreeRow::rows(store.collapsedTabIDs(), window)) s.rows << rowText(row, row.depth);
    for (const auto &tab : layout.pinned) s.pinned << tab.title;
    for (const auto &group : layout.groups) {
        QStringList titles;
        for (const auto &tab : group.tabs) titles << tab.title;
        s.groups.push_back(titles);
    }
    return s;
}

// What the drop indicator promises: the dragged row and the rows shown under it taken out and
// put back before the remaining row at the plan's insertion row, the dragged row at the plan's
// depth and its rows as much deeper or shallower with it; every other row where and how it
// was, and every other section as it was.
Shown promise(const Shown &before, const std::vector<TabTreeRow> &rows, const QString &dragged, const TabDropPlan &plan) {
    const auto d = std::size_t(std::find_if(rows.begin(), rows.end(), [&](const TabTreeRow &r) { return r.tab.id == dragged; }) -
                               rows.begin());
    std::size_t end = d + 1;
    while (end < rows.size() && rows[end].depth > rows[d].depth) ++end;
    QStringList block, remaining;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i >= d && i < end) block << rowText(rows[i], rows[i].depth - rows[d].depth + plan.depth);
        else remaining << rowText(rows[i], rows[i].depth);
    }
    Shown promised = before;
    promised.rows = remaining;
    for (qsizetype i = 0; i < block.size(); ++i) promised.rows.insert(plan.insertionRow + i, block[i]);
    return promised;
}

// One window of the simulated browser under random nesting, pinning, grouping, folding and
// closing, and random drags of its rows carried out by the store: after each drop, and after
// the next poll, the sidebar shows what the indicator promised, and a drop that promised the
// rows as they were moved nothing in the browser.
TEST(TabDropPromise, RandomDropsEndWhereTheIndicatorShowed) {
    const struct {
        const char *name;
        bool pins;
        bool groups;
        bool closes;
    } worlds[] = {
        {"pinned tabs", true, false, false},
        {"grouped tabs", false, true, false},
        {"pinned and grouped tabs, tabs closed in the browser", true, true, true},
    };
    std::mt19937 random(20260611);
    const auto pick = [&](std::size_t n) { return std::size_t(random() % n); };
    const auto chance = [&](int percent) { return int(random() % 100) < percent; };
    for (const auto &kind : worlds) {
        SCOPED_TRACE(kind.name);
        int checked = 0, broken = 0, refused = 0;
        int nextPage = 0;
        for (int world = 0; world < 30; ++world) {
            Browser browser;
            std::vector<test::Page> pages;
            const std::size_t n = 5 + pick(6);
            for (std::size_t i = 0; i < n; ++i) pages.push_back(page(QStringLiteral("t%1").arg(nextPage++)));
            browser.safari.addWindow(simWindow(pages));
            browser.start();
            browser.poll();
            auto &store = *browser.store;
            std::vector<TabGroupID> groups;
            if (kind.groups) {
                store.flags().setOverride(true, FeatureFlag::tabGroups());
                for (int g = 0; g < 2; ++g) {
                    TabGroup made{.name = QStringLiteral("G%1").arg(g), .createdAt = browser.scheduler.wallNow(), .sortIndex = g};
                    store.updateBook([&](TabRecordBook &book) { book.groups[made.id] = made; });
                    groups.push_back(made.id);
                }
            }
            const auto change = [&](const SafariTab &tab, const std::function<void(TabRecord &)> &edit) {
                const auto id = store.ondrakeIDs().value(tab.id);
                store.updateBook([&](TabRecordBook &book) { edit(book.records.at(id)); });
            };
            // Nested as the browser's tree keeps tabs: each under the tab before it or one of
            // that tab's ancestors.
            std::vector<QString> spine;
            for (const auto &tab : store.windows().front().tabs) {
                if (!spine.empty() && chance(60)) {
                    spine.resize(1 + pick(spine.size()));
                    browser.nest(tab.title, spine.back());
                } else {
                    spine.clear();
                }
                spine.push_back(tab.title);
            }
            browser.poll();
            for (int step = 0; step < 50; ++step) {
                const auto tabs = store.windows().front().tabs;
                const auto &someone = tabs[pick(tabs.size())];
                const auto layout = store.layout();
                const auto rows = layout.windows.empty() ? std::vector<TabTreeRow>()
                                                         : TabTreeRow::rows(store.collapsedTabIDs(), layout.windows.front());
                const auto action = pick(20);
                if (action < 2 && kind.pins) {
                    change(someone, [](TabRecord &r) { r.pinned = !r.pinned; });
                } else if (action < 4 && kind.groups) {
                    const auto group = chance(30) ? std::optional<TabGroupID>() : std::optional(groups[pick(groups.size())]);
                    change(someone, [&](TabRecord &r) { r.groupID = group; });
                } else if (action < 6 && !rows.empty()) {
                    // Only a row with nested rows shows the fold.
                    const auto &row = rows[pick(rows.size())];
                    if (row.hasChildren) store.toggleCollapsed(row.tab.id);
                } else if (action < 7 && kind.closes && tabs.size() > 4) {
                    // Closed in the browser, and a fresh page opened at the end in its stead.
                    const auto at = std::size_t(someone.index - 1);
                    browser.safari.update([&](auto &windows) {
                        auto &t = windows.front().tabs;
                        t.erase(t.begin() + std::ptrdiff_t(at));
                        t.push_back(page(QStringLiteral("t%1").arg(nextPage++)));
                    });
                    browser.poll();
                } else if (!rows.empty()) {
                    const auto &draggedRow = rows[pick(rows.size())];
                    const QString dragged = draggedRow.tab.id;
                    const int rowOffset = int(pick(9)) - 4;
                    const int depthOffset = int(pick(7)) - 3;
                    const auto plan = TabDropPlan::make(dragged, store.windows().front(), layout.windows.front(), rows,
                                                        rowOffset, depthOffset);
                    if (!plan) {
                        ++refused;
                        continue;
                    }
                    const Shown before = shown(store);
                    const Shown promised = promise(before, rows, dragged, *plan);
                    const bool promisesChange = promised.rows != before.rows;
                    const auto order = browser.titles();
                    if (plan->changesAnything) runToCompletion(browser.scheduler, store.moveTabs(*plan));
                    browser.poll();
                    const Shown after = shown(store);
                    browser.poll();
                    ++checked;
                    if (after == promised && shown(store) == after && plan->changesAnything == promisesChange &&
                        (promisesChange || browser.titles() == order))
                        continue;
                    if (++broken <= 5)
                        ADD_FAILURE() << "world " << world << " step " << step << ": " << draggedRow.tab.title.toStdString()
                                      << " dragged by " << rowOffset << " rows and " << depthOffset << " levels\n before   "
                                      << before << "\n promised " << promised << "\n after    " << after;
                }
            }
        }
        std::cout << kind.name << ": " << checked << " drops checked, " << broken << " not as promised, " << refused
                  << " without a plan\n";
        EXPECT_EQ(broken, 0);
        EXPECT_GT(checked, 600);
        EXPECT_LT(refused, checked / 50);
    }
}

}  // namespace
}  // namespace ondrake
