#include "Browser/ActionReading.h"
#include "Browser/TabIdentityRegistry.h"

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

// Where every explanation agrees on the tab a place went to (or that it closed), the registry
// must agree: answers the places judged and those it got wrong, and the one place every
// explanation closes, when there is one.
std::pair<int, int> judge(const std::vector<Origins> &explanations, std::size_t places, const std::vector<QString> &idsBefore,
                          const SafariWindow &now, std::optional<std::size_t> &closedForSure) {
    int judged = 0;
    int wrong = 0;
    std::size_t closed = 0;
    const auto agreed = test::agreedPlaces(explanations, places);
    for (std::size_t p = 0; p < places; ++p) {
        if (!agreed[p]) continue;
        ++judged;
        if (const auto tab = *agreed[p]) {
            wrong += now.tabs[*tab].id != idsBefore[p];
        } else {
            ++closed;
            closedForSure = p;
            for (const auto &t : now.tabs) wrong += t.id == idsBefore[p];
        }
    }
    if (closed != 1) closedForSure.reset();
    return {judged, wrong};
}

std::vector<QString> idsOf(const SafariWindow &w) {
    std::vector<QString> ids;
    for (const auto &t : w.tabs) ids.push_back(t.id);
    return ids;
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

// Random small windows of pages shown more than once and once, each seen at one poll and again
// after one action of a person in the browser: wherever every action that gives the second poll
// (its pages and its active tab) agrees which tab of the first stands at a place, the registry
// gives that tab its id there.
TEST(OneActionOracle, EveryPlaceThatEveryFittingActionAgreesOnKeepsItsId) {
    const test::Seed seed(20261210);
    std::mt19937 random(seed.value());
    Tally tally;
    int fresh = 0;
    for (int round = 0; round < 30000; ++round) {
        auto strip = test::randomStrip(random, fresh);
        TabIdentityRegistry registry;
        const auto first = registry.assign({rawWindow(1, strip)});
        const auto before = strip;
        const auto action = test::act(random, strip, fresh);
        if (!action) continue;
        const auto second = registry.assign({rawWindow(1, strip)});
        const auto explanations = test::everyExplanation(before.pages, before.active, strip.pages, strip.active);
        ASSERT_FALSE(explanations.empty()) << *action;
        std::optional<std::size_t> closed;
        const auto [judged, wrong] = judge(explanations, before.pages.size(), idsOf(first[0]), second[0], closed);
        ++tally.actions;
        ++tally.made[*action];
        tally.judged += judged;
        tally.wrong += wrong;
        if (wrong > 0 && tally.wrong - wrong < 5) ADD_FAILURE() << *action << " round " << round;
    }
    print("one window", tally);
    EXPECT_GT(tally.judged, 100000);
    EXPECT_EQ(tally.wrong, 0);
}

// The same for a tab dragged from one window to another: the window it left reads as after its
// close, the one it went to as after an open, in front or not. Where both windows tell which
// tab it was, it keeps its id.
TEST(OneActionOracle, ATabDraggedToAnotherWindowKeepsItsIdWhereBothWindowsTell) {
    const test::Seed seed(20261211);
    std::mt19937 random(seed.value());
    Tally tally;
    int followed = 0;
    int fresh = 0;
    for (int round = 0; round < 10000; ++round) {
        auto [from, to] = test::randomPair(random, fresh);
        if (from.pages.size() < 2) continue;
        TabIdentityRegistry registry;
        const auto first = registry.assign({rawWindow(1, from), rawWindow(2, to)});
        const auto beforeFrom = from;
        const auto beforeTo = to;
        const bool front = test::dragAcross(random, from, to);
        const auto second = registry.assign({rawWindow(1, from), rawWindow(2, to)});

        const auto left = test::everyExplanation(beforeFrom.pages, beforeFrom.active, from.pages, from.active);
        const auto came = test::everyExplanation(beforeTo.pages, beforeTo.active, to.pages, to.active);
        ASSERT_FALSE(left.empty());
        ASSERT_FALSE(came.empty());
        std::optional<std::size_t> closed;
        std::optional<std::size_t> unused;
        const auto [judgedFrom, wrongFrom] = judge(left, beforeFrom.pages.size(), idsOf(first[0]), second[0], closed);
        const auto [judgedTo, wrongTo] = judge(came, beforeTo.pages.size(), idsOf(first[1]), second[1], unused);
        // Where one tab of the page left one window and one came to the other, it is the same.
        int wrong = wrongFrom + wrongTo;
        int judged = judgedFrom + judgedTo;
        const auto opened = test::openedForSure(came, to.pages.size());
        if (closed && opened) {
            ++judged;
            ++followed;
            wrong += second[1].tabs[*opened].id != first[0].tabs[*closed].id;
        }
        ++tally.actions;
        ++tally.made[front ? "dragged to another window, in front" : "dragged to another window, behind"];
        tally.judged += judged;
        tally.wrong += wrong;
        if (wrong > 0 && tally.wrong - wrong < 5) ADD_FAILURE() << "round " << round;
    }
    print("two windows", tally);
    std::cout << "  tabs that both windows told, followed: " << followed << "\n";
    EXPECT_GT(followed, 1000);
    EXPECT_EQ(tally.wrong, 0);
}

}  // namespace

namespace {

// A window written as its tabs: a page's name, a label after a colon for each tab the test
// follows (tabs with one label are one tab), a star on the active one: "H S:a* S:b".
struct Written {
    QString page;
    QString label;
    bool active = false;
};

std::vector<Written> written(const QString &text) {
    std::vector<Written> tabs;
    for (auto token : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        Written w;
        w.active = token.endsWith(QLatin1Char('*'));
        if (w.active) token.chop(1);
        const auto colon = token.indexOf(QLatin1Char(':'));
        w.page = colon < 0 ? token : token.left(colon);
        w.label = colon < 0 ? token : token.mid(colon + 1);
        tabs.push_back(w);
    }
    return tabs;
}

SafariSnapshot::RawWindow rawWritten(std::int64_t id, const std::vector<Written> &tabs) {
    SafariSnapshot::RawWindow w;
    w.id = id;
    w.index = id;
    w.currentTabIndex = 1;
    for (const auto &t : tabs) {
        w.tabs.push_back({std::int64_t(w.tabs.size()) + 1, t.page, QStringLiteral("https://%1.example/").arg(t.page.toLower())});
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
        std::vector<std::vector<Written>> windows;
        std::vector<SafariSnapshot::RawWindow> raw;
        for (std::size_t w = 0; w < poll.size(); ++w) {
            windows.push_back(written(poll[w]));
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

// The commonest things a person does beside a tab of the same page: each tab keeps its own id.
TEST(OneActionOracle, NamedCasesBesideTwins) {
    struct Case {
        const char *what;
        std::vector<std::vector<QString>> polls;  // each poll's windows
    };
    const Case cases[] = {
        {"the first of two twins follows a link", {{"H I:a* I:b X"}, {"H N:a* I:b X"}}},
        {"the second of two twins follows a link", {{"H I:a I:b* X"}, {"H I:a N:b* X"}}},
        {"a twin follows a link while another tab is active", {{"H* I:a I:b X"}, {"H* N:a I:b X"}}},
        {"the first of three twins follows a link", {{"H I:a* I:b I:c X"}, {"H N:a* I:b I:c X"}}},
        {"the middle of three twins follows a link", {{"H I:a I:b* I:c X"}, {"H I:a N:b* I:c X"}}},
        {"a twin goes to another page of its site", {{"H I:a* I:b"}, {"H J:a* I:b"}}},
        {"a twin goes away and back", {{"H I:a* I:b X"}, {"H N:a* I:b X"}, {"H I:a* I:b X"}}},
        {"a tab goes to the page its neighbours show", {{"S:a T:b* S:c"}, {"S:a S:b* S:c"}}},
        {"a tab opened in front shows the page after it", {{"U:a* V:b"}, {"U:a V:n* V:b"}}},
        {"a twin opened in front between two", {{"H S:a* S:b"}, {"H S:a S:n* S:b"}}},
        {"a twin opened in front after an active tab", {{"X* S:b"}, {"X S:n* S:b"}}},
        {"the last of four dragged to the front, the active one kept", {{"T:a* T:b S T:c"}, {"T:c T:a* T:b S"}}},
        {"a background twin closed", {{"H S:a S:b* X"}, {"H S:b* X"}}},
        {"a background twin closed while another tab moved", {{"H S:a S:b* X"}, {"X H S:b*"}}},
        {"a block starting with a twin dragged before another", {{"S:a X1 X2 S:b Y1 Y2 E*"}, {"S:b Y1 Y2 S:a X1 X2 E*"}}},
        {"the same with a tab before them", {{"H* S:a X1 X2 S:b Y1 Y2 E"}, {"H* S:b Y1 Y2 S:a X1 X2 E"}}},
        {"a twin dragged to another window in front of its twin",
         {{"A S:a* B", "C* S:b D"}, {"A B*", "C S:a* S:b D"}}},
        {"a twin dragged to another window behind its twin", {{"A S:a* B", "C* S:b D"}, {"A B*", "C* S:b S:a D"}}},
    };
    for (const auto &c : cases) EXPECT_EQ(followLabels(c.polls).join(QLatin1Char(' ')).toStdString(), "") << c.what;
}

}  // namespace
