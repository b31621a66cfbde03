#include "SessionIdentities/TabIdentityRegistry.h"

#include "BrowserActions.h"
#include "TestSeed.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <random>

using namespace ondrake;
using test::Shows;

namespace {

using test::Origins;
using test::Strip;

// What a tally of judged places found.
struct Tally {
    int actions = 0;
    int judged = 0;
    int wrong = 0;
    int wrongRounds = 0;
    std::map<std::string, int> made;
};

SafariSnapshot::RawWindow rawWindow(std::int64_t id, const Strip &s) {
    SafariSnapshot::RawWindow w;
    w.id = id;
    w.index = id;
    w.currentTabIndex = std::int64_t(s.active) + 1;
    for (const auto &p : s.pages) w.tabs.push_back({std::int64_t(w.tabs.size()) + 1, p.title, p.url});
    return w;
}

// Where every explanation agrees on the tab a place went to, the registry must agree; where
// every one closes it (and, with `gone`, drags it to no other window), its id is nowhere.
// Answers the places judged and those it got wrong.
std::pair<int, int> judge(const std::vector<Origins> &explanations, std::size_t places, const std::vector<QString> &idsBefore,
                          const std::vector<SafariWindow> &now, std::size_t window, const std::vector<bool> &gone = {}) {
    int judged = 0;
    int wrong = 0;
    const auto agreed = test::agreedPlaces(explanations, places);
    for (std::size_t p = 0; p < places; ++p) {
        if (!agreed[p] || (!*agreed[p] && !gone.empty() && !gone[p])) continue;
        ++judged;
        if (const auto tab = *agreed[p]) {
            wrong += now[window].tabs[*tab].id != idsBefore[p];
        } else {
            for (const auto &w : now)
                for (const auto &t : w.tabs) wrong += t.id == idsBefore[p];
        }
    }
    return {judged, wrong};
}

std::vector<QString> idsOf(const SafariWindow &w) {
    std::vector<QString> ids;
    for (const auto &t : w.tabs) ids.push_back(t.id);
    return ids;
}

// A window as its pages' titles, the active one starred.
std::string described(const Strip &s) {
    std::string out;
    for (std::size_t t = 0; t < s.pages.size(); ++t)
        out += (t ? " " : "") + s.pages[t].title.toStdString() + (t == s.active ? "*" : "");
    return out;
}

void print(const char *what, const Tally &tally) {
    std::cout << "  " << what << ": actions " << tally.actions << ", places judged " << tally.judged << ", wrong "
              << tally.wrong << " (";
    const char *comma = "";
    for (const auto &[name, count] : tally.made) {
        std::cout << comma << name << " " << count;
        comma = ", ";
    }
    std::cout << ")\n";
}

// What a run of random windows does: how many actions a round takes, of blocks up to how large,
// and how many actions owed for tabs opened onto the pages of tabs closed a judged round may take.
struct Run {
    test::StripShape shape;
    int actions = 1;
    bool retitles = false;
    std::size_t largestBlock = 2;
    int owed = 2;
};

// The place of the first poll whose id each tab of this one carries.
Origins carried(const std::vector<QString> &idsBefore, const SafariWindow &given) {
    Origins out;
    for (const auto &t : given.tabs) {
        const auto at = std::find(idsBefore.begin(), idsBefore.end(), t.id);
        out.push_back(at == idsBefore.end() ? std::nullopt : std::optional(std::size_t(at - idsBefore.begin())));
    }
    return out;
}

// Random small windows seen at one poll and again after a few actions of a person in the
// browser: wherever every explanation of the fewest actions agrees which tab of the first poll
// stands at a place (or that it closed), the registry gives that tab its id there.
Tally oneWindow(std::uint32_t own, int rounds, Run run) {
    const auto [shape, actions, retitles, largestBlock, mostOwed] = run;
    const test::Seed seed(own);
    std::mt19937 random(seed.value());
    Tally tally;
    int fresh = 0;
    for (int round = 0; round < rounds; ++round) {
        auto strip = test::randomStrip(random, fresh, shape);
        TabIdentityRegistry registry;
        const auto first = registry.assign({rawWindow(1, strip)});
        const auto before = strip;
        std::string made;
        for (int k = 0; k < actions; ++k)
            if (const auto action = test::act(random, strip, fresh, actions > 1, largestBlock))
                made += (made.empty() ? "" : " + ") + *action;
        const auto owed = test::owedActions(before.pages, strip.from, strip.pages);
        if (made.empty() || owed > mostOwed) continue;
        if (retitles) test::retitleSome(random, strip, fresh);
        const auto second = registry.assign({rawWindow(1, strip)});
        // Blocks as large as a person's actions here make.
        const test::Rules rules{actions + owed, retitles, actions > 1 ? largestBlock : 64u};
        const auto all = test::originsOf(test::fewestExplanations(before.pages, before.active, strip.pages, strip.active, rules));
        if (all.empty()) ADD_FAILURE() << made << ": no explanation";
        const auto [judged, wrong] = judge(all, before.pages.size(), idsOf(first[0]), second, 0);
        ++tally.actions;
        ++tally.made[made];
        tally.judged += judged;
        tally.wrong += wrong;
        if (wrong > 0 && ++tally.wrongRounds <= 8)
            ADD_FAILURE() << made << ", round " << round << ": " << test::writtenRound(before, strip, all, carried(idsOf(first[0]), second[0]));
    }
    return tally;
}

TEST(ActionOracle, OneActionOnWindowsOfUpToTwentyTabs) {
    const auto small = oneWindow(20261210, 20000, {{}, 1});
    const auto large = oneWindow(20261214, 1500, {{8, 20, 3, 4}, 1});
    print("one action", small);
    print("one action, 8 to 20 tabs", large);
    EXPECT_GT(small.judged, 60000);
    EXPECT_GT(large.judged, 15000);
    EXPECT_EQ(small.wrong + large.wrong, 0);
}

TEST(ActionOracle, TwoActionsOfEveryKind) {
    const auto tally = oneWindow(20261215, 12000, {{2, 6, 2, 2}, 2});
    print("two actions", tally);
    EXPECT_GT(tally.judged, 12000);
    EXPECT_EQ(tally.wrong, 0);
}

// Two actions on windows of eight to twenty-four tabs, blocks of up to six among them. Not where
// a tab opened onto the page of one closed: a third action is too many to try on such windows.
TEST(ActionOracle, TwoActionsWithBlocksOnLargerWindows) {
    const auto tally = oneWindow(20261217, 800, {{8, 24, 3, 4}, 2, false, 6, 0});
    print("two actions, blocks of up to six, 8 to 24 tabs", tally);
    EXPECT_GT(tally.judged, 6000);
    EXPECT_EQ(tally.wrong, 0);
}

// Three actions on windows of three to six tabs: the close key three times, three links opened
// in the background after the active tab, or any three.
TEST(ActionOracle, ThreeActions) {
    const test::Seed seed(20261218);
    std::mt19937 random(seed.value());
    Tally tally;
    int fresh = 0;
    for (int round = 0; round < 1500; ++round) {
        auto strip = test::randomStrip(random, fresh, {3, 6, 2, 2});
        TabIdentityRegistry registry;
        const auto first = registry.assign({rawWindow(1, strip)});
        const auto before = strip;
        const auto kind = random() % 3;
        std::string made = kind == 0 ? "closed the active tab three times" : kind == 1 ? "opened three links in the background" : "";
        for (int k = 0; k < 3; ++k) {
            auto &s = strip;
            if (kind == 0 && s.pages.size() > 1) {
                s.pages.erase(s.pages.begin() + std::ptrdiff_t(s.active));
                s.from.erase(s.from.begin() + std::ptrdiff_t(s.active));
                s.active = std::min(s.active, s.pages.size() - 1);
            } else if (kind == 1) {
                const auto at = std::ptrdiff_t(s.active) + 1 + k;
                s.pages.insert(s.pages.begin() + at, test::randomPage(random, s, fresh));
                s.from.insert(s.from.begin() + at, std::nullopt);
            } else if (kind == 2) {
                if (const auto action = test::act(random, s, fresh)) made += (made.empty() ? "" : " + ") + *action;
            }
        }
        if (made.empty() || (kind == 0 && strip.pages.size() + 3 != before.pages.size())) continue;
        const auto second = registry.assign({rawWindow(1, strip)});
        const test::Rules rules{3 + test::owedActions(before.pages, strip.from, strip.pages), false, 2};
        const auto all = test::originsOf(test::fewestExplanations(before.pages, before.active, strip.pages, strip.active, rules));
        if (all.empty()) ADD_FAILURE() << made << ": no explanation";
        const auto [judged, wrong] = judge(all, before.pages.size(), idsOf(first[0]), second, 0);
        ++tally.actions;
        ++tally.made[kind == 2 ? "any three" : made];
        tally.judged += judged;
        tally.wrong += wrong;
        if (wrong > 0 && ++tally.wrongRounds <= 8)
            ADD_FAILURE() << made << ", round " << round << ": " << test::writtenRound(before, strip, all, carried(idsOf(first[0]), second[0]));
    }
    print("three actions", tally);
    EXPECT_GT(tally.judged, 3000);
    EXPECT_EQ(tally.wrong, 0);
}

// The explanations found by trying the last action only where the strips differ are every one
// found by trying it everywhere, with as many actions each, on windows small enough to try.
TEST(ActionOracle, TheLastActionIsTriedWhereverItCanExplain) {
    const test::Seed seed(20261219);
    std::mt19937 random(seed.value());
    int fresh = 0;
    int compared = 0;
    const auto sorted = [](std::vector<test::Explanation> found) {
        const auto key = [](const test::Explanation &e) { return std::tie(e.origins, e.actions, e.closedAlone, e.openedAlone); };
        std::sort(found.begin(), found.end(), [&](const auto &a, const auto &b) { return key(a) < key(b); });
        return found;
    };
    for (int round = 0; round < 500; ++round) {
        const int actions = 1 + round % 3;
        auto strip = test::randomStrip(random, fresh, {2, actions == 3 ? 4u : 8u, 2, 3});
        const auto before = strip;
        const bool retitles = round % 2 == 0;
        for (int k = 0; k < actions; ++k) test::act(random, strip, fresh, retitles, 4);
        if (retitles) test::retitleSome(random, strip, fresh);
        test::Rules rules{actions, retitles, round % 4 < 2 ? 2u : 64u};
        const auto pruned = test::explanations(before.pages, before.active, strip.pages, strip.active, rules);
        rules.bruteForce = true;
        const auto everywhere = test::explanations(before.pages, before.active, strip.pages, strip.active, rules);
        compared += !everywhere.empty();
        const auto same = sorted(pruned) == sorted(everywhere);
        EXPECT_TRUE(same) << "round " << round << ": " << described(before) << " -> " << described(strip);
        if (!same) break;
    }
    EXPECT_GT(compared, 400);
}

// A page retitles where it stands for nothing: one action beside any number of them.
TEST(ActionOracle, OneActionBesideRetitles) {
    const auto tally = oneWindow(20261216, 12000, {{2, 8, 2, 3}, 1, true});
    print("one action beside retitles", tally);
    EXPECT_GT(tally.judged, 30000);
    EXPECT_EQ(tally.wrong, 0);
}

// A tab dragged from one window to another, alone or beside one more action in either: the
// window it left reads as after a close, the one it went to as after an open. Where every way
// of reading both together tells which tab it was, it keeps its id.
TEST(ActionOracle, ATabDraggedToAnotherWindowBesideAnotherAction) {
    const test::Seed seed(20261211);
    std::mt19937 random(seed.value());
    Tally tally;
    int followed = 0;
    int fresh = 0;
    for (int round = 0; round < 6000; ++round) {
        auto [from, to] = test::randomPair(random, fresh, {2, 5, 2, 2});
        if (from.pages.size() < 2) continue;
        TabIdentityRegistry registry;
        const auto first = registry.assign({rawWindow(1, from), rawWindow(2, to)});
        const auto beforeFrom = from;
        const auto beforeTo = to;
        const bool front = test::dragAcross(random, from, to);
        std::string made = front ? "dragged to another window, in front" : "dragged to another window, behind";
        if (random() % 3 != 0)
            if (const auto action = test::act(random, random() % 2 == 0 ? from : to, fresh, true)) made += " + " + *action;
        if (!test::stillThere(to)) continue;  // the dragged tab closed again where it went: read by no one
        const auto second = registry.assign({rawWindow(1, from), rawWindow(2, to)});

        const auto both = test::twoWindowsRead(beforeFrom, from, beforeTo, to);
        const auto [judgedFrom, wrongFrom] = judge(both.left, beforeFrom.pages.size(), idsOf(first[0]), second, 0, both.goneForSure);
        const auto [judgedTo, wrongTo] = judge(both.came, beforeTo.pages.size(), idsOf(first[1]), second, 1);
        int wrong = wrongFrom + wrongTo;
        int judged = judgedFrom + judgedTo;
        for (std::size_t t = 0; t < both.dragged.size(); ++t)
            if (const auto p = both.dragged[t]) {
                ++judged;
                ++followed;
                wrong += second[1].tabs[t].id != first[0].tabs[*p].id;
            }
        ++tally.actions;
        ++tally.made[made.substr(0, made.find(" + ")) + (made.find(" + ") == std::string::npos ? "" : ", and one more")];
        tally.judged += judged;
        tally.wrong += wrong;
        if (wrong > 0 && tally.wrong - wrong < 5)
            ADD_FAILURE() << made << ", round " << round << ": " << described(beforeFrom) << " | " << described(beforeTo) << " -> "
                          << described(from) << " | " << described(to);
    }
    print("two windows", tally);
    std::cout << "  tabs that both windows told, followed: " << followed << "\n";
    EXPECT_GT(followed, 1000);
    EXPECT_EQ(tally.wrong, 0);
}

}  // namespace

namespace {

SafariSnapshot::RawWindow rawWritten(std::int64_t id, const std::vector<test::Written> &tabs) {
    SafariSnapshot::RawWindow w;
    w.id = id;
    w.index = id;
    w.currentTabIndex = 1;
    for (const auto &t : tabs) {
        w.tabs.push_back({std::int64_t(w.tabs.size()) + 1, t.shows.title, t.shows.url});
        if (t.active) w.currentTabIndex = std::int64_t(w.tabs.size());
    }
    return w;
}

// Answers the labels whose tab did not keep its id, and the new ones that took an old id.
QStringList followLabels(const std::vector<std::vector<QString>> &polls) {
    TabIdentityRegistry registry;
    QHash<QString, QString> idOf;  // label -> id
    QStringList wrong;
    for (const auto &poll : polls) {
        std::vector<std::vector<test::Written>> windows;
        std::vector<SafariSnapshot::RawWindow> raw;
        for (std::size_t w = 0; w < poll.size(); ++w) {
            windows.push_back(test::written(poll[w]));
            raw.push_back(rawWritten(std::int64_t(w) + 1, windows.back()));
        }
        const auto out = registry.assign(raw);
        QHash<QString, QString> labelOf;  // id -> label seen before
        for (auto it = idOf.cbegin(); it != idOf.cend(); ++it) labelOf.insert(it.value(), it.key());
        for (std::size_t w = 0; w < windows.size(); ++w)
            for (std::size_t t = 0; t < windows[w].size(); ++t) {
                const auto &label = windows[w][t].label;
                const auto &id = out[w].tabs[t].id;
                if (idOf.contains(label) ? idOf.value(label) != id : labelOf.contains(id)) wrong << label;
                idOf.insert(label, id);
            }
    }
    return wrong;
}

// What people do beside a tab of the same page, and what pages do by themselves in the same
// poll: each tab keeps its own id.
TEST(ActionOracle, NamedCases) {
    for (const auto &c : test::namedCases()) EXPECT_EQ(followLabels(c.polls).join(QLatin1Char(' ')).toStdString(), "") << c.what;
}

}  // namespace

namespace {

// What each named case of one window expects is one of the readings of the fewest actions
// (three at most): the table asks nothing that the actions do not tell.
TEST(ActionOracle, NamedCasesAreReadingsOfTheFewestActions) {
    const auto strip = [](const std::vector<test::Written> &tabs) {
        Strip s;
        for (const auto &t : tabs) {
            if (t.active) s.active = s.pages.size();
            s.pages.push_back(t.shows);
        }
        return s;
    };
    for (const auto &c : test::namedCases()) {
        if (c.polls.front().size() != 1) continue;
        for (std::size_t k = 1; k < c.polls.size(); ++k) {
            const auto was = test::written(c.polls[k - 1][0]);
            const auto now = test::written(c.polls[k][0]);
            Origins labelled(now.size());
            for (std::size_t t = 0; t < now.size(); ++t)
                for (std::size_t p = 0; p < was.size(); ++p)
                    if (was[p].label == now[t].label) labelled[t] = p;
            const auto before = strip(was);
            const auto after = strip(now);
            const auto readings =
                test::originsOf(test::fewestExplanations(before.pages, before.active, after.pages, after.active, {3, true}));
            EXPECT_NE(std::find(readings.begin(), readings.end(), labelled), readings.end()) << c.what << ", poll " << k + 1;
        }
    }
}

}  // namespace
