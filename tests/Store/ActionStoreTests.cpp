#include "SimulatedBrowserStore.h"

#include "BrowserActions.h"
#include "TestSeed.h"

#include <iostream>
#include <random>

namespace ondrake {
namespace {

using test::Browser;
using test::Strip;

// What the sidebar shows of one tab: its record, lock, mark and the record it is nested under.
struct Kept {
    OndrakeID id;
    bool locked = false;
    bool important = false;
    std::optional<OndrakeID> parent;
    bool operator==(const Kept &) const = default;
};

std::vector<Kept> keptOf(const Browser &b, std::size_t window) {
    std::vector<Kept> out;
    for (const auto &tab : b.store->windows().at(window).tabs) {
        const auto id = b.store->ondrakeIDs().value(tab.id);
        const auto &record = b.store->records().at(id);
        out.push_back({id, record.locked, record.important, record.parentID});
    }
    return out;
}

void show(Browser &b, const std::vector<Strip> &strips) {
    b.safari.update([&](auto &windows) {
        for (std::size_t w = 0; w < strips.size(); ++w) {
            windows.at(w).tabs.clear();
            for (const auto &p : strips[w].pages) windows.at(w).tabs.push_back({p.title, p.url});
            windows.at(w).currentTab = std::int64_t(strips[w].active) + 1;
        }
    });
    b.poll();
}

// Locks one tab, marks another and nests a third under the tab before it, as a person does in
// the sidebar.
void organise(Browser &b, std::size_t window, std::mt19937 &random) {
    const auto count = b.store->windows().at(window).tabs.size();
    const auto tab = [&](std::size_t i) { return b.store->windows().at(window).tabs.at(i); };
    b.store->toggleLocked(tab(random() % count));
    b.store->toggleImportant(tab(random() % count));
    if (count < 2) return;
    const auto child = tab(1 + random() % (count - 1));
    runToCompletion(b.scheduler, b.controller->moveTabs({child.windowID, child.index, 1, child.index, absoluteText(child.url),
                                                         std::int64_t(count), child.id, tab(child.index - 2).id}));
    b.poll();
}

struct Tally {
    int actions = 0;
    int judged = 0;
    int wrong = 0;
    int nestingsKept = 0;
};

// Judges one window: a place every explanation pairs with one tab shows that tab with the
// place's record, lock and mark, and the nesting of a child that still stands right after its
// parent; a place every explanation closes (and drags nowhere, by `gone`) shows on no tab.
void judge(const std::vector<test::Origins> &explanations, const std::vector<Kept> &before, const std::vector<Kept> &after,
           Tally &tally, const std::string &what, const std::vector<bool> &gone = {}, const std::vector<Kept> &elsewhere = {}) {
    const auto agreed = test::agreedPlaces(explanations, before.size());
    for (std::size_t p = 0; p < before.size(); ++p) {
        if (!agreed[p] || (!*agreed[p] && !gone.empty() && !gone[p])) continue;
        ++tally.judged;
        bool wrong = false;
        if (const auto tab = *agreed[p]) {
            const auto &now = after[*tab];
            wrong = now.id != before[p].id || now.locked != before[p].locked || now.important != before[p].important;
            // A child right after its parent, both kept, stays nested.
            if (before[p].parent && p > 0 && before[p - 1].id == *before[p].parent && agreed[p - 1] && *agreed[p - 1] &&
                **agreed[p - 1] + 1 == *tab) {
                ++tally.nestingsKept;
                wrong = wrong || now.parent != before[p].parent;
            }
        } else {
            for (const auto *list : {&after, &elsewhere})
                for (const auto &k : *list) wrong = wrong || k.id == before[p].id;
        }
        tally.wrong += wrong;
        if (wrong && tally.wrong <= 5) ADD_FAILURE() << what << ": the place at " << p << " went wrong";
    }
}

// Random windows of pages shown more than once and once, through the store and the browser's
// controller: after two actions of a person in the browser, blocks of up to `largestBlock` tabs
// among them, wherever every explanation of the fewest actions agrees which tab stands at a
// place, that tab keeps the place's record with its lock and mark, and a nesting that still
// stands stays. Not where a tab opened onto the page of one closed, on windows too large to try
// a third action.
Tally oneWindow(std::uint32_t own, int rounds, test::StripShape shape, std::size_t largestBlock) {
    const test::Seed seed(own);
    std::mt19937 random(seed.value());
    Browser browser;
    browser.safari.addWindow(test::simWindow(test::pages({"Start"})));
    browser.start();
    browser.store->flags().setOverride(false, FeatureFlag::autoNestLinkedTabs());
    Tally tally;
    int fresh = 0;
    int wrongRounds = 0;
    for (int round = 0; round < rounds; ++round) {
        auto strip = test::randomStrip(random, fresh, shape);
        show(browser, {strip});
        organise(browser, 0, random);
        const auto before = keptOf(browser, 0);
        const auto was = strip;
        std::string made;
        for (int k = 0; k < 2; ++k)
            if (const auto action = test::act(random, strip, fresh, true, largestBlock)) made += (made.empty() ? "" : " + ") + *action;
        const auto owed = test::owedActions(was.pages, strip.from, strip.pages);
        if (made.empty() || (owed > 0 && strip.pages.size() > 8)) continue;
        show(browser, {strip});
        ++tally.actions;
        const auto all = test::originsOf(
            test::fewestExplanations(was.pages, was.active, strip.pages, strip.active, {2 + owed, false, largestBlock}));
        const auto after = keptOf(browser, 0);
        const auto wrongBefore = tally.wrong;
        judge(all, before, after, tally, made + ", round " + std::to_string(round));
        if (tally.wrong > wrongBefore && ++wrongRounds <= 8) {
            test::Origins given;
            for (const auto &k : after) {
                const auto at = std::find_if(before.begin(), before.end(), [&](const Kept &b) { return b.id == k.id; });
                given.push_back(at == before.end() ? std::nullopt : std::optional(std::size_t(at - before.begin())));
            }
            ADD_FAILURE() << made << ", round " << round << ": " << test::writtenRound(was, strip, all, given);
        }
    }
    std::cout << "  one window of " << shape.fewest << " to " << shape.most << " tabs: actions " << tally.actions << ", places judged "
              << tally.judged << ", nestings kept " << tally.nestingsKept << ", wrong " << tally.wrong << "\n";
    return tally;
}

TEST(ActionStore, RecordsLocksMarksAndNestingStayWhereEveryExplanationTells) {
    const auto tally = oneWindow(20261212, 1500, {2, 6, 2, 2}, 2);
    EXPECT_GT(tally.judged, 1500);
    EXPECT_EQ(tally.wrong, 0);
}

TEST(ActionStore, TheSameOnWindowsOfUpToTwentyFourTabsWithBlocksOfUpToSix) {
    const auto tally = oneWindow(20261220, 300, {8, 24, 3, 4}, 6);
    EXPECT_GT(tally.judged, 3000);
    EXPECT_EQ(tally.wrong, 0);
}

// The same for a tab dragged from one window to another, alone or beside one more action in
// either: where every way of reading both windows together tells which tab it was, it takes
// its record, lock and mark along.
TEST(ActionStore, ATabDraggedToAnotherWindowTakesItsRecordWhereBothWindowsTell) {
    const test::Seed seed(20261213);
    std::mt19937 random(seed.value());
    Browser browser;
    browser.safari.addWindow(test::simWindow(test::pages({"Start"})));
    browser.safari.addWindow(test::simWindow(test::pages({"Other"})));
    browser.start();
    browser.store->flags().setOverride(false, FeatureFlag::autoNestLinkedTabs());
    Tally tally;
    int followed = 0;
    int fresh = 0;
    for (int round = 0; round < 600; ++round) {
        auto [from, to] = test::randomPair(random, fresh, {2, 5, 2, 2});
        if (from.pages.size() < 2) continue;
        show(browser, {from, to});
        organise(browser, 0, random);
        organise(browser, 1, random);
        const auto beforeFrom = keptOf(browser, 0);
        const auto beforeTo = keptOf(browser, 1);
        const auto wasFrom = from;
        const auto wasTo = to;
        test::dragAcross(random, from, to);
        if (random() % 3 != 0) test::act(random, random() % 2 == 0 ? from : to, fresh, true);
        if (!test::stillThere(to)) continue;  // the dragged tab closed again where it went: read by no one
        show(browser, {from, to});
        const auto both = test::twoWindowsRead(wasFrom, from, wasTo, to);
        ++tally.actions;
        const auto afterFrom = keptOf(browser, 0);
        const auto afterTo = keptOf(browser, 1);
        const auto what = "round " + std::to_string(round);
        judge(both.left, beforeFrom, afterFrom, tally, what, both.goneForSure, afterTo);
        judge(both.came, beforeTo, afterTo, tally, what);
        for (std::size_t t = 0; t < both.dragged.size(); ++t)
            if (const auto p = both.dragged[t]) {
                ++followed;
                ++tally.judged;
                const auto &now = afterTo[t];
                const auto &was = beforeFrom[*p];
                const bool wrong = now.id != was.id || now.locked != was.locked || now.important != was.important;
                tally.wrong += wrong;
                if (wrong && tally.wrong <= 5) ADD_FAILURE() << what << ": the dragged tab lost its record";
            }
    }
    std::cout << "  two windows: actions " << tally.actions << ", places judged " << tally.judged << ", tabs followed across "
              << followed << ", wrong " << tally.wrong << "\n";
    EXPECT_GT(followed, 80);
    EXPECT_EQ(tally.wrong, 0);
}

// The named cases through the store: each labelled tab keeps its own record from poll to poll.
TEST(ActionStore, NamedCases) {
    for (const auto &c : test::namedCases()) {
        Browser browser;
        for (std::size_t w = 0; w < c.polls.front().size(); ++w) browser.safari.addWindow(test::simWindow(test::pages({"Start"})));
        browser.start();
        QHash<QString, OndrakeID> recordOf;  // label -> record
        QStringList wrong;
        for (const auto &poll : c.polls) {
            std::vector<std::vector<test::Written>> windows;
            for (const auto &text : poll) windows.push_back(test::written(text));
            browser.safari.update([&](auto &shown) {
                for (std::size_t w = 0; w < windows.size(); ++w) {
                    shown.at(w).tabs.clear();
                    for (const auto &t : windows[w]) {
                        shown.at(w).tabs.push_back({t.shows.title, t.shows.url});
                        if (t.active) shown.at(w).currentTab = std::int64_t(shown.at(w).tabs.size());
                    }
                }
            });
            browser.poll();
            QSet<OndrakeID> earlier(recordOf.begin(), recordOf.end());
            for (std::size_t w = 0; w < windows.size(); ++w)
                for (std::size_t t = 0; t < windows[w].size(); ++t) {
                    const auto &label = windows[w][t].label;
                    const auto id = browser.store->ondrakeIDs().value(browser.store->windows().at(w).tabs.at(t).id);
                    if (recordOf.contains(label) ? recordOf.value(label) != id : earlier.contains(id)) wrong << label;
                    recordOf.insert(label, id);
                }
        }
        EXPECT_EQ(wrong.join(QLatin1Char(' ')).toStdString(), "") << c.what;
    }
}

}  // namespace
}  // namespace ondrake
