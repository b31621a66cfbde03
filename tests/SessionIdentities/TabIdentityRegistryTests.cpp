#include "SessionIdentities/TabIdentityRegistry.h"

#include "BrowserActions.h"
#include "BrowserChanges.h"
#include "ChangeTally.h"
#include "TestSeed.h"

#include <gtest/gtest.h>

#include <QSet>

#include <functional>
#include <random>

using namespace ondrake;

namespace {

using RawWindow = SafariSnapshot::RawWindow;

struct R {
    const char *title;
    const char *url;
};

RawWindow raw(std::int64_t id, std::initializer_list<R> tabs, std::int64_t current = 1, std::int64_t index = 1) {
    RawWindow w;
    w.id = id;
    w.index = index;
    w.currentTabIndex = current;
    std::int64_t i = 0;
    for (const auto &t : tabs) w.tabs.push_back({++i, t.title, t.url});
    return w;
}

QStringList ids(const std::vector<SafariWindow> &windows) {
    QStringList out;
    for (const auto &w : windows)
        for (const auto &t : w.tabs) out << t.id;
    return out;
}

TEST(TabIdentityRegistry, FirstPollGivesFreshSerialsInOrder) {
    TabIdentityRegistry registry;
    const auto out = registry.assign({raw(3, {{"A", "https://a/"}, {"B", "https://b/"}}, 2),
                                      raw(4, {{"C", "https://c/"}}, 1, 2)});
    EXPECT_EQ(ids(out), (QStringList{"tab-0", "tab-1", "tab-2"}));
    EXPECT_EQ(out[0].tabs[0].windowID, 3);
    EXPECT_FALSE(out[0].tabs[0].isActive);
    EXPECT_TRUE(out[0].tabs[1].isActive);
    EXPECT_TRUE(out[0].isFrontmost);
    EXPECT_FALSE(out[1].isFrontmost);
    EXPECT_EQ(registry.nextSerial(), 3u);
    EXPECT_EQ(registry.previousEntries(3)->at(1), (TabIdentityRegistry::Entry{"tab-1", "https://b/", "B", 2}));
}

TEST(TabIdentityRegistry, KeepsIdsThroughChanges) {
    struct Case {
        const char *what;
        std::vector<RawWindow> first;
        std::vector<RawWindow> second;
        QStringList expected;
    };
    const Case cases[] = {
        {"moved within its window",
         {raw(1, {{"A", "https://a/"}, {"B", "https://b/"}, {"C", "https://c/"}})},
         {raw(1, {{"C", "https://c/"}, {"A", "https://a/"}, {"B", "https://b/"}})},
         {"tab-2", "tab-0", "tab-1"}},
        {"identical twins take the nearest entry, the earlier on a tie",
         {raw(1, {{"S", "https://s/"}, {"X", "https://x/"}, {"S", "https://s/"}})},
         {raw(1, {{"X", "https://x/"}, {"S", "https://s/"}, {"S", "https://s/"}})},
         {"tab-1", "tab-0", "tab-2"}},
        {"retitled: same URL keeps it",
         {raw(1, {{"A", "https://a/"}})},
         {raw(1, {{"A (1 new)", "https://a/"}})},
         {"tab-0"}},
        {"navigated in place, same tab count: same place keeps it",
         {raw(1, {{"A", "https://a/"}, {"B", "https://b/"}})},
         {raw(1, {{"A", "https://a/"}, {"Z", "https://z/"}})},
         {"tab-0", "tab-1"}},
        {"navigated while a tab opened after it: the navigated tab keeps its id",
         {raw(1, {{"A", "https://a/"}, {"B", "https://b/"}})},
         {raw(1, {{"A", "https://a/"}, {"Z", "https://z/"}, {"N", "https://n/"}})},
         {"tab-0", "tab-1", "tab-2"}},
        {"dragged into another window",
         {raw(1, {{"A", "https://a/"}, {"B", "https://b/"}}), raw(2, {{"C", "https://c/"}})},
         {raw(1, {{"A", "https://a/"}}), raw(2, {{"C", "https://c/"}, {"B", "https://b/"}})},
         {"tab-0", "tab-2", "tab-1"}},
        {"dragged into a new window",
         {raw(1, {{"A", "https://a/"}, {"B", "file:///b.html"}})},
         {raw(1, {{"A", "https://a/"}}), raw(9, {{"B", "file:///b.html"}})},
         {"tab-0", "tab-1"}},
        // One window lost a tab of the page and another gained one: the tab that leaves is the one
        // its window's tabs no longer line up with.
        {"a drag of a URL another tab shares is followed",
         {raw(1, {{"A", "https://a/"}, {"B", "https://b/"}}), raw(2, {{"B", "https://b/"}})},
         {raw(1, {{"A", "https://a/"}}), raw(2, {{"B", "https://b/"}, {"B", "https://b/"}})},
         {"tab-0", "tab-2", "tab-1"}},
        {"one of two twins dragged to another window's end",
         {raw(1, {{"H", "https://h/"}, {"I", "https://i/"}, {"X", "https://x/"}, {"I", "https://i/"}}), raw(2, {{"Y", "https://y/"}})},
         {raw(1, {{"H", "https://h/"}, {"X", "https://x/"}, {"I", "https://i/"}}), raw(2, {{"Y", "https://y/"}, {"I", "https://i/"}})},
         {"tab-0", "tab-2", "tab-3", "tab-4", "tab-1"}},
        {"one of two twins dragged into a new window",
         {raw(1, {{"A", "https://a/"}, {"S", "file:///s"}, {"S", "file:///s"}})},
         {raw(1, {{"A", "https://a/"}, {"S", "file:///s"}}), raw(9, {{"S", "file:///s"}})},
         {"tab-0", "tab-1", "tab-2"}},
        {"the last tab of a window dragged into another beside its twin",
         {raw(1, {{"S", "https://s/"}}), raw(2, {{"S", "https://s/"}, {"X", "https://x/"}})},
         {raw(2, {{"S", "https://s/"}, {"S", "https://s/"}, {"X", "https://x/"}})},
         {"tab-1", "tab-0", "tab-2"}},
        {"a drag of an about: page is not followed",
         {raw(1, {{"A", "https://a/"}, {"", "about:blank"}}), raw(2, {{"C", "https://c/"}})},
         {raw(1, {{"A", "https://a/"}}), raw(2, {{"C", "https://c/"}, {"", "about:blank"}})},
         {"tab-0", "tab-2", "tab-3"}},
    };
    for (const auto &c : cases) {
        TabIdentityRegistry registry;
        registry.assign(c.first);
        const auto out = registry.assign(c.second);
        EXPECT_EQ(ids(out), c.expected) << c.what;
        // A tab that kept its id shows this poll's title, however it was matched.
        QStringList titles;
        QStringList expectedTitles;
        for (const auto &w : out)
            for (const auto &t : w.tabs) titles << t.title;
        for (const auto &w : c.second)
            for (const auto &t : w.tabs) expectedTitles << TabIdentityRegistry::displayTitle(t.title, t.url);
        EXPECT_EQ(titles, expectedTitles) << c.what;
    }
}

// Tabs that show one page keep their own ids through what happens to them and around them; an
// id that went to the twin would take the record, and with it the lock and marks, along.
TEST(TabIdentityRegistry, TwinsKeepTheirOwnIds) {
    struct Case {
        const char *what;
        std::initializer_list<R> first;
        std::initializer_list<R> second;
        QStringList expected;
        std::int64_t active = 1;  // in both polls
        std::int64_t activeAfter = 1;
    };
    const char *u = "https://same.example/";
    const Case cases[] = {
        {"the earlier twin takes the later one's title", {{"A", u}, {"B", u}}, {{"B", u}, {"B", u}}, {"tab-0", "tab-1"}},
        {"the same while a tab before them closed",
         {{"X", "https://x/"}, {"A", u}, {"B", u}},
         {{"B", u}, {"B", u}},
         {"tab-1", "tab-2"}},
        {"the same while a tab before them opened",
         {{"A", u}, {"B", u}},
         {{"N", "https://n/"}, {"B", u}, {"B", u}},
         {"tab-2", "tab-0", "tab-1"}},
        {"one of three takes the others' title", {{"A", u}, {"B", u}, {"B", u}}, {{"B", u}, {"B", u}, {"B", u}},
         {"tab-0", "tab-1", "tab-2"}},
        {"both retitled alike", {{"A", u}, {"B", u}}, {{"C", u}, {"C", u}}, {"tab-0", "tab-1"}},
        {"both retitled apart", {{"A", u}, {"B", u}}, {{"C", u}, {"D", u}}, {"tab-0", "tab-1"}},
        {"titles that trade places at one address: each tab stays where it stands", {{"A", u}, {"B", u}}, {{"B", u}, {"A", u}},
         {"tab-0", "tab-1"}},
        {"reordered by the user",
         {{"A", u}, {"X", "https://x/"}, {"B", u}},
         {{"B", u}, {"A", u}, {"X", "https://x/"}},
         {"tab-2", "tab-0", "tab-1"}},
        {"the earlier twin closed", {{"A", u}, {"B", u}, {"X", "https://x/"}}, {{"B", u}, {"X", "https://x/"}},
         {"tab-1", "tab-2"}},
        {"the later twin closed", {{"A", u}, {"B", u}}, {{"A", u}}, {"tab-0"}},
        {"a twin closed and the other retitled: the nearer place",
         {{"A", u}, {"X", "https://x/"}, {"Y", "https://y/"}, {"Z", "https://z/"}, {"B", u}},
         {{"X", "https://x/"}, {"Y", "https://y/"}, {"Z", "https://z/"}, {"C", u}},
         {"tab-1", "tab-2", "tab-3", "tab-4"}},
        {"a twin opened between them, still loading", {{"A", u}, {"B", u}}, {{"A", u}, {"", u}, {"B", u}},
         {"tab-0", "tab-2", "tab-1"}},
        {"a twin of the first opened between them", {{"A", u}, {"B", u}}, {{"A", u}, {"A", u}, {"B", u}},
         {"tab-0", "tab-2", "tab-1"}},
        // Each of the two lands where the other stood; neither stands still.
        {"a tab of the page with another title closed before them", {{"X", u}, {"B", u}, {"B", u}},
         {{"B", u}, {"B", u}}, {"tab-1", "tab-2"}},
        {"a tab of the page with another title moved from before them to the end",
         {{"X", u}, {"B", u}, {"B", u}, {"Y", "https://y/"}}, {{"B", u}, {"B", u}, {"Y", "https://y/"}, {"X", u}},
         {"tab-1", "tab-2", "tab-3", "tab-0"}, 4, 3},
    };
    for (const auto &c : cases) {
        TabIdentityRegistry registry;
        registry.assign({raw(1, c.first, c.active)});
        EXPECT_EQ(ids(registry.assign({raw(1, c.second, c.activeAfter)})), c.expected) << c.what;
    }
}

// Identical twins cannot be told apart by what the browser shows; when this system closed one
// of them itself, the one left keeps its own id. The hint outlives neither the close nor a
// browser that kept the tab: after that, twins go by position again.
TEST(TabIdentityRegistry, ATwinClosedByTheSystemLeavesItsIdToNoOne) {
    using Poll = std::vector<R>;
    struct Case {
        const char *what;
        QString closed;
        std::vector<Poll> after;  // what the browser shows at each poll after the close
        QStringList expected;     // at the last of them
    };
    const char *s = "https://same.example/";
    const R x{"X", "https://x/"};
    const Case cases[] = {
        {"the earlier one closed", "tab-0", {{{"S", s}, x}}, {"tab-1", "tab-2"}},
        {"the later one closed", "tab-1", {{{"S", s}, x}}, {"tab-0", "tab-2"}},
        {"the browser kept it after all", "tab-0", {{{"S", s}, {"S", s}, x}}, {"tab-0", "tab-1", "tab-2"}},
        {"a poll asked for before the close still showed it", "tab-0", {{{"S", s}, {"S", s}, x}, {{"S", s}, x}},
         {"tab-1", "tab-2"}},
        {"the browser kept it, then the other closed in the browser", "tab-0",
         {{{"S", s}, {"S", s}, x}, {{"S", s}, {"S", s}, x}, {{"S", s}, x}},
         {"tab-0", "tab-2"}},
        {"closed, then a twin opened much later", "tab-0", {{{"S", s}, x}, {{"S", s}, x}, {{"S", s}, x}, {{"S", s}, {"S", s}, x}},
         {"tab-1", "tab-3", "tab-2"}},
    };
    for (const auto &c : cases) {
        TabIdentityRegistry registry;
        registry.assign({raw(1, {{"S", s}, {"S", s}, x})});
        registry.noteClosed({c.closed});
        QStringList last;
        for (const auto &poll : c.after) {
            RawWindow window = raw(1, {});
            for (const auto &t : poll) window.tabs.push_back({std::int64_t(window.tabs.size()) + 1, t.title, t.url});
            last = ids(registry.assign({window}));
        }
        EXPECT_EQ(last, c.expected) << c.what;
    }
}

// A window of the browser under the test's hand, with the truth it keeps by position: the id
// each tab was given when first seen, which it must keep for as long as it stays open.
class TruthWindow {
public:
    struct Tab {
        QString title;
        QString url;
        QString id;  // empty until first seen
    };

    TruthWindow(std::int64_t id, std::vector<Tab> tabs) : id_(id), tabs_(std::move(tabs)) {}

    std::int64_t id() const { return id_; }
    std::vector<Tab> &tabs() { return tabs_; }
    std::size_t &active() { return active_; }
    std::vector<test::Shows> shown() const {
        std::vector<test::Shows> out;
        for (const auto &t : tabs_) out.push_back({t.title, t.url});
        return out;
    }
    RawWindow raw() const {
        RawWindow w;
        w.id = id_;
        w.index = 1;
        w.currentTabIndex = std::int64_t(active_) + 1;
        for (const auto &t : tabs_) w.tabs.push_back({std::int64_t(w.tabs.size()) + 1, t.title, t.url});
        return w;
    }
    // Tabs [from, from + count) to start at `to` (1-based), as the browser moves them.
    SafariTabMove move(std::size_t from, std::size_t count, std::size_t to) {
        SafariTabMove m{id_, std::int64_t(from), std::int64_t(count), std::int64_t(to), tabs_[from - 1].url,
                        std::int64_t(tabs_.size()), tabs_[from - 1].id, std::nullopt};
        std::vector<Tab> block(tabs_.begin() + std::ptrdiff_t(from - 1), tabs_.begin() + std::ptrdiff_t(from - 1 + count));
        tabs_.erase(tabs_.begin() + std::ptrdiff_t(from - 1), tabs_.begin() + std::ptrdiff_t(from - 1 + count));
        tabs_.insert(tabs_.begin() + std::ptrdiff_t(to - 1), block.begin(), block.end());
        return m;
    }
    // Checks what a poll gave against the truth, learning the ids of tabs seen for the first
    // time; answers the number of tabs that did not keep their id, whose truth then follows the
    // poll so that one mistake counts once.
    // A tab is not counted where `undecided` says the poll does not tell which it is.
    int check(const SafariWindow &window, QSet<QString> &seen,
              const std::function<bool(std::size_t, const QString &)> &undecided = {}) {
        int lost = 0;
        EXPECT_EQ(window.tabs.size(), tabs_.size());
        for (std::size_t i = 0; i < tabs_.size() && i < window.tabs.size(); ++i) {
            auto &truth = tabs_[i];
            const auto &given = window.tabs[i].id;
            const bool wrong = truth.id.isEmpty() ? seen.contains(given) : truth.id != given;
            if (wrong && undecided && undecided(i, given)) {
                truth.id = given;
                seen.insert(given);
                continue;
            }
            if (truth.id.isEmpty()) {
                EXPECT_FALSE(seen.contains(given)) << given.toStdString() << " given again";
                if (seen.contains(given)) ++lost;
                truth.id = given;
                seen.insert(given);
            } else if (truth.id != given) {
                ++lost;
                truth.id = given;
            }
        }
        return lost;
    }

private:
    std::int64_t id_;
    std::vector<Tab> tabs_;
    std::size_t active_ = 0;
};

int pollAndCheck(TabIdentityRegistry &registry, std::vector<TruthWindow> &windows, QSet<QString> &seen) {
    std::vector<RawWindow> raw;
    for (const auto &w : windows) raw.push_back(w.raw());
    const auto out = registry.assign(raw);
    int lost = 0;
    for (std::size_t k = 0; k < windows.size(); ++k) lost += windows[k].check(out[k], seen);
    return lost;
}

// Changes the browser makes that its tab list tells apart: no identical tab stands beside the
// one closed or opened. Every tab that stays keeps its id, also a twin whose position alone
// would hand it the id of the one that went; a new tab keeps the id it was first seen with while
// its page was loading (address known, no title yet).
TEST(TabIdentityRegistry, TwinsKeepTheirIdsThroughTheBrowsersClosesAndOpens) {
    const QString u = QStringLiteral("https://same.example/");
    const auto tab = [](const char *title, const QString &url) { return TruthWindow::Tab{QString::fromUtf8(title), url, {}}; };
    const TruthWindow::Tab x = tab("X", QStringLiteral("https://x/"));
    const TruthWindow::Tab y = tab("Y", QStringLiteral("https://y/"));
    const std::vector<TruthWindow::Tab> identical{tab("S", u), x, tab("S", u)};
    const std::vector<TruthWindow::Tab> apart{tab("A", u), x, tab("B", u)};
    struct Case {
        const char *what;
        std::vector<TruthWindow::Tab> first;
        int close;          // position closed, or -1
        int open;           // position a tab of the page opens at, or -1
        const char *title;  // the opened tab's title once loaded
    };
    const Case cases[] = {
        {"S X S, the first closed", identical, 0, -1, ""},
        {"S X S, the last closed", identical, 2, -1, ""},
        {"S Y S S, the first closed", {tab("S", u), y, tab("S", u), tab("S", u)}, 0, -1, ""},
        {"S X S, a twin opened before them", identical, -1, 0, "S"},
        {"S X S, a twin opened between them", identical, -1, 2, "S"},
        {"S X S, a twin opened after them", identical, -1, 3, "S"},
        {"A X B, the first closed", apart, 0, -1, ""},
        {"A X B, the last closed", apart, 2, -1, ""},
        {"A X B, a twin titled A opened before them", apart, -1, 0, "A"},
        {"A X B, a twin titled B opened between them", apart, -1, 1, "B"},
        {"A X B, a twin titled A opened after them", apart, -1, 3, "A"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TabIdentityRegistry registry;
        QSet<QString> seen;
        std::vector<TruthWindow> windows{TruthWindow(1, c.first)};
        pollAndCheck(registry, windows, seen);
        auto &tabs = windows[0].tabs();
        if (c.close >= 0) tabs.erase(tabs.begin() + c.close);
        if (c.open >= 0) tabs.insert(tabs.begin() + c.open, TruthWindow::Tab{QString(), u, {}});
        EXPECT_EQ(pollAndCheck(registry, windows, seen), 0);
        if (c.open >= 0) {
            tabs[std::size_t(c.open)].title = QString::fromUtf8(c.title);
            EXPECT_EQ(pollAndCheck(registry, windows, seen), 0);
        }
    }
}

// Tabs this system moves keep their ids whatever their twins, and so do the tabs around them.
TEST(TabIdentityRegistry, TabsTheSystemMovedKeepTheirIds) {
    const QString u = QStringLiteral("https://same.example/");
    const auto tab = [&](const char *title) { return TruthWindow::Tab{QString::fromUtf8(title), u, {}}; };
    const TruthWindow::Tab r{QStringLiteral("R"), QStringLiteral("https://r/"), {}};
    struct Case {
        const char *what;
        std::size_t from, count, to;
    };
    const Case cases[] = {
        {"the second twin above the first", 3, 1, 1},
        {"the first twin below the second", 1, 1, 3},
        {"a twin with the tab after it, to the front", 3, 2, 1},
        {"a twin past both others", 1, 1, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TabIdentityRegistry registry;
        QSet<QString> seen;
        std::vector<TruthWindow> windows{TruthWindow(1, {tab("S"), tab("S"), tab("S"), r})};
        pollAndCheck(registry, windows, seen);
        registry.noteMoved(windows[0].move(c.from, c.count, c.to));
        EXPECT_EQ(pollAndCheck(registry, windows, seen), 0);
    }
    // A move planned on another number of tabs than the registry saw is not applied.
    TabIdentityRegistry registry;
    registry.assign({raw(1, {{"S", "https://s/"}, {"S", "https://s/"}})});
    registry.noteMoved({1, 2, 1, 1, "https://s/", 3, "tab-1", std::nullopt});
    EXPECT_EQ(registry.previousEntries(1)->front().id, "tab-0");
}

// Windows the browser changes between polls, with the truth the test keeps of every tab: after
// every poll each tab must still show the id it was first seen with, but where the poll does
// not tell it from another.
class ChangeRun {
public:
    ChangeRun(std::mt19937 &random, test::BrowserChanges::Limits limits, std::vector<std::vector<test::Shows>> pages,
              std::vector<TruthWindow> windows)
        : changes_(random, limits), pages_(std::move(pages)), windows_(std::move(windows)), since_(windows_.size()) {
        poll();
    }

    // Tabs seen loading at the last poll finish loading; or the sidebar drags a tab or two, now
    // and then when `drags`, twins more often than not, and the browser makes one or two
    // changes. Then a poll.
    void step(bool drags) {
        const auto pick = [&](std::size_t n) { return changes_.pick(n); };
        bool loading = false;
        for (std::size_t w = 0; w < windows_.size(); ++w) loading = test::finishLoading(windows_[w].tabs(), pages_[w]) || loading;
        if (loading) {
            ++made_["titled"];
            poll();
            return;
        }
        // At most one drag in the sidebar, made on what the last poll showed.
        if (drags && pick(3) == 0) {
            auto &window = windows_[pick(windows_.size())];
            auto &tabs = window.tabs();
            const auto identical = [](const TruthWindow::Tab &a, const TruthWindow::Tab &b) { return a.url == b.url && a.title == b.title; };
            const auto twins = test::positionsOf(tabs, identical, false);
            const bool twin = !twins.empty() && pick(4) != 0;
            const auto from = twin ? twins[pick(twins.size())] : pick(tabs.size());
            const auto count = std::min<std::size_t>(1 + pick(2), tabs.size() - from);
            const auto to = 1 + pick(tabs.size() - count + 1);
            const auto activeID = tabs[window.active()].id;
            registry_.noteMoved(window.move(from + 1, count, to));
            window.active() = std::size_t(std::find_if(tabs.begin(), tabs.end(), [&](const auto &t) { return t.id == activeID; }) - tabs.begin());
            ++made_[twin ? "twin dragged" : "dragged"];
        }
        asPolled_ = windows_;
        actions_.assign(windows_.size(), 0);
        // More in a poll could as well be read as fewer others.
        for (std::size_t k = 1 + pick(2); k > 0; --k) {
            const auto w = pick(windows_.size());
            auto &window = windows_[w];
            const auto shown = window.shown();
            const auto change = changes_.next(shown, window.active(), since_[w], pages_[w]);
            if (!change) continue;
            change->apply(window.tabs(), window.active(), shown,
                          [](const test::Shows &s) { return TruthWindow::Tab{s.title, s.url, {}}; },
                          [](TruthWindow::Tab &t, const QString &title) { t.title = title; });
            ++made_[change->name()];
            actions_[w] += change->kind != test::BrowserChange::Kind::retitle;
        }
        poll();
        ++polls_;
    }

    // Tabs of one page that each stand alone between two tabs of another close together, about
    // half of them, when the list tells which: a large change in a window of few pages. Then a poll.
    void closeLoneTabs() {
        auto &window = windows_.front();
        auto &tabs = window.tabs();
        const auto shown = window.shown();
        const auto page = shown[changes_.pick(shown.size())];
        std::vector<bool> closing(tabs.size(), false);
        for (std::size_t i = 1; i + 1 < shown.size(); ++i)
            closing[i] = shown[i] == page && shown[i - 1] == shown[i + 1] && shown[i - 1] != page && changes_.pick(2) == 0;
        std::vector<test::Shows> left;
        std::vector<TruthWindow::Tab> kept;
        std::optional<std::size_t> active;
        for (std::size_t i = 0; i < tabs.size(); ++i) {
            // The browser activates the tab after a closed active one.
            if (!closing[i]) {
                if (i >= window.active() && !active) active = kept.size();
                left.push_back(shown[i]);
                kept.push_back(tabs[i]);
            }
        }
        if (kept.size() == tabs.size() || test::embeddings(left, shown) != 1) return;
        made_["lone tabs closed together"] += int(tabs.size() - kept.size());
        tabs = std::move(kept);
        window.active() = active.value_or(tabs.size() - 1);
        poll();
        ++polls_;
    }

    // Prints what the run made and lost; answers the number of changes.
    int report() const {
        const int tally = test::tallyChanges(made_, "titled");
        std::cout << "  polls with changes: " << polls_ << ", changes: " << tally
                  << ", polls after which a tab lost its id: " << wrongPolls_ << ", ids lost: " << lost_
                  << ", tabs the poll did not tell: " << undecided_ << "\n";
        return tally;
    }
    int lost() const { return lost_; }

private:
    void poll() {
        auto now = snapshot();
        std::vector<RawWindow> raw;
        for (const auto &w : windows_) raw.push_back(w.raw());
        const auto given = registry_.assign(raw);
        int lost = 0;
        for (std::size_t w = 0; w < windows_.size(); ++w) {
            auto undecided = undecidedIn(w);
            lost += windows_[w].check(given[w], seen_, [&](std::size_t i, const QString &id) {
                const bool is = undecided && undecided(i, id);
                undecided_ += is;
                return is;
            });
        }
        asPolled_.clear();
        // The first few polls that lost an id, where the windows changed, to run again.
        if (lost > 0 && wrongPolls_ < 3) ADD_FAILURE() << "ids lost at this poll:\n" << describe(shownBefore_, now, snapshot());
        lost_ += lost;
        wrongPolls_ += lost > 0;
        shownBefore_ = std::move(now);
        std::vector<std::vector<test::Shows>> shown;
        for (const auto &w : windows_) shown.push_back(w.shown());
        changes_.polled(since_, shown);
    }

    // After one or two actions in a window, a place where the readings of as few actions
    // disagree, around what changed: the poll does not tell which tab stands there.
    std::function<bool(std::size_t, const QString &)> undecidedIn(std::size_t w) {
        if (w >= asPolled_.size() || actions_[w] == 0) return {};
        const auto was = asPolled_[w].tabs();
        auto &now = windows_[w];
        const auto n = was.size();
        const auto m = now.tabs().size();
        std::size_t head = 0;
        while (head < std::min(n, m) && was[head].url == now.tabs()[head].url) ++head;
        std::size_t tail = 0;
        while (tail < std::min(n, m) - head && was[n - 1 - tail].url == now.tabs()[m - 1 - tail].url) ++tail;
        // A little beyond, so that a tab dragged just past an equal end is read too.
        const std::size_t margin = 2;
        const auto lo = std::min({head > margin ? head - margin : 0, asPolled_[w].active(), now.active()});
        tail = std::min({tail > margin ? tail - margin : 0, n - 1 - asPolled_[w].active(), m - 1 - now.active()});
        if (std::max(n, m) - tail - lo > 16) return {};
        std::vector<test::Shows> before;
        std::vector<test::Shows> after;
        for (auto i = lo; i < n - tail; ++i) before.push_back({was[i].title, was[i].url});
        for (auto i = lo; i < m - tail; ++i) after.push_back({now.tabs()[i].title, now.tabs()[i].url});
        std::vector<test::Origins> readings;
        for (auto &e : test::explanations(before, asPolled_[w].active() - lo, after, now.active() - lo, {actions_[w], true, 2}))
            readings.push_back(std::move(e.origins));
        if (readings.empty()) return {};
        const auto agreed = test::agreedPlaces(readings, before.size());
        return [=, this](std::size_t i, const QString &given) {
            if (i < lo || i >= m - tail) return false;
            const auto t = i - lo;
            const auto placeOf = [&](const QString &id) -> std::optional<std::optional<std::size_t>> {
                for (std::size_t p = 0; p < n; ++p)
                    if (!id.isEmpty() && was[p].id == id) {
                        if (p < lo || p >= n - tail) return std::nullopt;
                        return std::optional(p - lo);
                    }
                return std::optional<std::size_t>();
            };
            const auto truth = placeOf(windows_[w].tabs()[i].id);
            const auto came = placeOf(given);
            if (!truth || !came) return false;
            if (*truth && agreed[**truth] && *agreed[**truth] == t) return false;
            if (*came && agreed[**came] && *agreed[**came] != t) return false;
            const bool opened = std::all_of(readings.begin(), readings.end(), [&](const test::Origins &o) { return !o[t]; });
            return !(opened && *came);
        };
    }

    // Each window's tabs as their titles with the ids they had, the active one starred.
    std::vector<std::vector<std::string>> snapshot() {
        std::vector<std::vector<std::string>> out;
        for (auto &w : windows_) {
            auto &words = out.emplace_back();
            for (std::size_t i = 0; i < w.tabs().size(); ++i) {
                const auto &t = w.tabs()[i];
                words.push_back((t.title.isEmpty() ? t.url : t.title).toStdString() + "[" + t.id.toStdString() + "]" +
                                (i == w.active() ? "*" : ""));
            }
        }
        return out;
    }
    // The stretch of each window where the ids given differ from the truth, with a few tabs
    // around it, at the last poll, in truth now and as given.
    static std::string describe(const std::vector<std::vector<std::string>> &before, const std::vector<std::vector<std::string>> &truth,
                                const std::vector<std::vector<std::string>> &given) {
        std::string out;
        const auto join = [](const std::vector<std::string> &words, std::size_t from, std::size_t to) {
            std::string line;
            for (auto i = from; i < std::min(to, words.size()); ++i) line += words[i] + " ";
            return line + "\n";
        };
        for (std::size_t w = 0; w < truth.size() && w < given.size(); ++w) {
            std::size_t first = truth[w].size();
            std::size_t last = 0;
            for (std::size_t i = 0; i < truth[w].size() && i < given[w].size(); ++i)
                if (truth[w][i] != given[w][i]) first = std::min(first, i), last = i;
            if (first > last) continue;
            const auto from = first > 8 ? first - 8 : 0;
            const auto grown = w < before.size() && before[w].size() > truth[w].size() ? before[w].size() - truth[w].size() : 0;
            out += "window " + std::to_string(w + 1) + " from tab " + std::to_string(from + 1) + "\n  before: " +
                   (w < before.size() ? join(before[w], from, last + 9 + grown) : "\n") + "  after:  " + join(truth[w], from, last + 9) +
                   "  given:  " + join(given[w], from, last + 9);
        }
        return out;
    }

    test::BrowserChanges changes_;
    std::vector<std::vector<test::Shows>> pages_;
    std::vector<TruthWindow> windows_;
    std::vector<test::BrowserChanges::Window> since_;
    TabIdentityRegistry registry_;
    QSet<QString> seen_;
    std::map<std::string, int> made_;
    std::vector<TruthWindow> asPolled_;  // the windows as the registry knew them before the browser's changes
    std::vector<int> actions_;           // and the actions it took in each since
    int polls_ = 0;
    int lost_ = 0;
    int undecided_ = 0;
    int wrongPolls_ = 0;
    std::vector<std::vector<std::string>> shownBefore_;
};

// Thousands of polls of windows full of twins, each after one or two changes: the browser
// closes and opens tabs, one or hundreds at a time (a new one seen first while loading, then
// titled), moves tabs whose page is open once, retitles identical tabs together, closes a twin
// beside the active tab in the background and activates tabs; the sidebar drags tabs, twins more
// often than not. Only changes the tab list and the active tab tell apart are made. After every
// poll every tab keeps its id, where the readings of as few actions agree which it is.
TEST(TabIdentityRegistry, EveryTabKeepsItsIdThroughThousandsOfChanges) {
    const test::Seed seed(2026);
    std::mt19937 random(seed.value());
    std::vector<std::vector<test::Shows>> pages(2);
    for (int p = 0; p < 12; ++p) pages[0].push_back({QStringLiteral("Page %1").arg(p), QStringLiteral("https://p%1.example/").arg(p)});
    for (int p = 0; p < 5; ++p) pages[1].push_back({QStringLiteral("Inbox"), QStringLiteral("https://mail%1.example/").arg(p % 3)});
    std::vector<TruthWindow> windows;
    for (std::size_t w = 0; w < pages.size(); ++w) {
        std::vector<TruthWindow::Tab> tabs;
        for (int t = 0; t < (w == 0 ? 24 : 16); ++t) {
            const auto &page = pages[w][random() % pages[w].size()];
            tabs.push_back({page.title, page.url, {}});
        }
        windows.emplace_back(std::int64_t(w) + 1, std::move(tabs));
    }
    ChangeRun run(random, {.fewest = 6, .most = 60, .largestBlock = 200}, pages, std::move(windows));
    for (int step = 0; step < 3200; ++step) run.step(true);
    EXPECT_GT(run.report(), 3000);
    EXPECT_EQ(run.lost(), 0);
}

// The same at any size: a window of mostly pages shown once, a tenth twins over ten pages, also
// sees the browser move blocks of one to two hundred tabs; windows of two to five pages open a
// thousand to sixteen thousand times see the browser's other changes, closes of one to two
// hundred tabs among them. After every poll every tab keeps its id.
TEST(TabIdentityRegistry, EveryTabKeepsItsIdThroughMovedBlocksAndInLargeWindowsOfFewPages) {
    struct Run {
        std::size_t tabs;
        std::size_t pages;  // of the window's twins; with few, every tab is one of them
        bool fewPages;
        int steps;
        unsigned seed;
    };
    const Run runs[] = {{400, 10, false, 500, 1}, {1000, 2, true, 100, 2}, {1000, 5, true, 100, 3}, {2000, 3, true, 40, 4},
                        {4000, 4, true, 24, 5}, {16000, 2, true, 8, 6}};
    int lost = 0;
    for (const auto &r : runs) {
        SCOPED_TRACE(std::to_string(r.tabs) + " tabs");
        const test::Seed seed(r.seed);
        std::mt19937 random(seed.value());
        std::vector<std::vector<test::Shows>> pages(1);
        for (std::size_t p = 0; p < r.pages; ++p)
            pages[0].push_back({QStringLiteral("Page %1").arg(p), QStringLiteral("https://p%1.example/").arg(p)});
        std::vector<TruthWindow::Tab> tabs;
        for (std::size_t t = 0; t < r.tabs; ++t) {
            if (!r.fewPages && random() % 10 != 0) {
                tabs.push_back({QStringLiteral("Once %1").arg(t), QStringLiteral("https://once%1.example/").arg(t), {}});
                continue;
            }
            const auto &page = pages[0][random() % pages[0].size()];
            tabs.push_back({page.title, page.url, {}});
        }
        std::vector<TruthWindow> windows;
        windows.emplace_back(1, std::move(tabs));
        const test::BrowserChanges::Limits limits{.fewest = r.tabs / 2, .most = r.tabs + 200, .largestBlock = 200,
                                                  .largestMovedBlock = r.fewPages ? 0u : 200u};
        ChangeRun run(random, limits, pages, std::move(windows));
        for (int step = 0; step < r.steps; ++step) {
            if (r.fewPages && step % 4 == 3) run.closeLoneTabs();
            else run.step(false);
        }
        run.report();
        lost += run.lost();
    }
    EXPECT_EQ(lost, 0);
}

// Changes of any size keep every id: identical tabs that retitle together while a tab opens in
// front of them, and windows with twins over a few pages that see tens to a thousand tabs open
// in their middle while their first and last tabs retitle.
TEST(TabIdentityRegistry, ChangesOfAnySizeShiftNoId) {
    const auto tab = [](const QString &title, const QString &url) { return TruthWindow::Tab{title, url, {}}; };
    const QString inbox = QStringLiteral("https://mail.example/");
    for (const std::size_t twins : {2, 9, 10, 100, 4000}) {
        SCOPED_TRACE(twins);
        std::vector<TruthWindow::Tab> tabs{tab(QStringLiteral("Home"), QStringLiteral("https://home/"))};
        for (std::size_t k = 0; k < twins; ++k) tabs.push_back(tab(QStringLiteral("Inbox (2)"), inbox));
        tabs.push_back(tab(QStringLiteral("X"), QStringLiteral("https://x/")));
        TabIdentityRegistry registry;
        QSet<QString> seen;
        std::vector<TruthWindow> windows{TruthWindow(1, tabs)};
        pollAndCheck(registry, windows, seen);
        for (auto &t : windows[0].tabs())
            if (t.url == inbox) t.title = QStringLiteral("Inbox (3)");
        windows[0].tabs().insert(windows[0].tabs().begin() + 1, tab(QStringLiteral("New"), QStringLiteral("https://new/")));
        EXPECT_EQ(pollAndCheck(registry, windows, seen), 0);
    }
    for (const auto &[size, opened] : {std::pair<std::size_t, std::size_t>{1000, 32}, {1000, 33}, {1000, 40}, {4000, 33}, {4000, 1000}}) {
        SCOPED_TRACE(std::to_string(size) + " tabs, " + std::to_string(opened) + " opened");
        std::vector<TruthWindow::Tab> tabs;
        for (std::size_t k = 0; k < size; ++k) {
            // A quarter of the tabs are twins over ten pages.
            const auto page = k % 4 == 0 ? QStringLiteral("twin%1").arg(k % 10) : QStringLiteral("page%1").arg(k);
            tabs.push_back(tab(page, QStringLiteral("https://%1/").arg(page)));
        }
        TabIdentityRegistry registry;
        QSet<QString> seen;
        std::vector<TruthWindow> windows{TruthWindow(1, tabs)};
        pollAndCheck(registry, windows, seen);
        auto &now = windows[0].tabs();
        now.front().title += QStringLiteral(" (1)");
        now.back().title += QStringLiteral(" (1)");
        for (std::size_t k = 0; k < opened; ++k)
            now.insert(now.begin() + std::ptrdiff_t(size / 2), tab(QStringLiteral("opened%1").arg(k), QStringLiteral("https://opened%1/").arg(k)));
        EXPECT_EQ(pollAndCheck(registry, windows, seen), 0);
    }
}

// Blocks dragged in the strip carry the identical tabs at their edges, at any size; and a window
// of two pages keeps every id through a large change that the list tells: tabs of the first page
// that each stand alone between two of the second close together.
TEST(TabIdentityRegistry, MovedBlocksAndLargeChangesOfFewPagesKeepEveryId) {
    using Tabs = std::vector<TruthWindow::Tab>;
    const auto tab = [](const QString &name) { return TruthWindow::Tab{name, QStringLiteral("https://%1/").arg(name), {}}; };
    const auto named = [&](const char *prefix, std::size_t count) {
        Tabs block;
        for (std::size_t k = 1; k <= count; ++k) block.push_back(tab(QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(k)));
        return block;
    };
    const auto joined = [](std::initializer_list<Tabs> parts) {
        Tabs all;
        for (const auto &part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    // Tabs [from, from + count) to stand before the tab now at `before`, both 0-based.
    const auto moved = [](std::size_t from, std::size_t count, std::size_t before) {
        return [=](Tabs &tabs) {
            Tabs block(tabs.begin() + std::ptrdiff_t(from), tabs.begin() + std::ptrdiff_t(from + count));
            tabs.erase(tabs.begin() + std::ptrdiff_t(from), tabs.begin() + std::ptrdiff_t(from + count));
            const auto at = before > from ? before - count : before;
            tabs.insert(tabs.begin() + std::ptrdiff_t(at), block.begin(), block.end());
        };
    };
    struct Case {
        std::string what;
        Tabs first;
        std::function<void(Tabs &)> change;
    };
    std::vector<Case> cases;
    const Tabs s{tab(QStringLiteral("S"))};
    const Tabs h{tab(QStringLiteral("H"))};
    const Tabs e{tab(QStringLiteral("E"))};
    for (const std::size_t k : {3, 8, 33, 100}) {
        const auto x = named("X", k);
        const auto y = named("Y", k);
        cases.push_back({"[S Y] dragged before [S X], blocks of " + std::to_string(k), joined({h, s, x, s, y, e}),
                         moved(k + 2, k + 1, 1)});
        cases.push_back({"[Y S] dragged before [X S], blocks of " + std::to_string(k), joined({h, x, s, y, s, e}),
                         moved(k + 2, k + 1, 1)});
        cases.push_back({"[S X] dragged to the end, blocks of " + std::to_string(k), joined({s, x, s, y}), moved(0, k + 1, 2 * k + 2)});
    }
    Tabs quarterTwins;
    for (std::size_t k = 1; k <= 200; ++k)
        quarterTwins.push_back(tab(k % 4 == 0 ? QStringLiteral("twin%1").arg(k % 10) : QStringLiteral("page%1").arg(k)));
    cases.push_back({"200 tabs, every fourth a twin, tabs 61 to 100 dragged after 140", quarterTwins, moved(60, 40, 140)});
    const test::Seed seed(33);
    std::mt19937 random(seed.value());
    for (const std::size_t size : {4000, 8000, 16000}) {
        Tabs twoPages;
        for (std::size_t k = 0; k < size; ++k) twoPages.push_back(tab(random() % 2 == 0 ? QStringLiteral("A") : QStringLiteral("B")));
        cases.push_back({"two pages, " + std::to_string(size) + " tabs, lone tabs of one closed", twoPages, [&random](Tabs &tabs) {
                             const auto a = [&](std::size_t k) { return tabs[k].title == QStringLiteral("A"); };
                             Tabs left;
                             for (std::size_t k = 0; k < tabs.size(); ++k)
                                 if (!(a(k) && k > 0 && k + 1 < tabs.size() && !a(k - 1) && !a(k + 1) && random() % 2 == 0))
                                     left.push_back(tabs[k]);
                             tabs = std::move(left);
                         }});
    }
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TabIdentityRegistry registry;
        QSet<QString> seen;
        std::vector<TruthWindow> windows{TruthWindow(1, c.first)};
        pollAndCheck(registry, windows, seen);
        // The active tab, the first, stays active wherever it goes.
        const auto active = windows[0].tabs().front().id;
        c.change(windows[0].tabs());
        const auto &now = windows[0].tabs();
        windows[0].active() = std::size_t(std::find_if(now.begin(), now.end(), [&](const auto &t) { return t.id == active; }) - now.begin());
        EXPECT_EQ(pollAndCheck(registry, windows, seen), 0);
    }
}

TEST(TabIdentityRegistry, AClaimedIdIsNotOfferedToTheOldWindow) {
    TabIdentityRegistry registry;
    registry.assign({raw(1, {{"A", "https://a/"}, {"B", "https://b/"}}), raw(2, {{"C", "https://c/"}})});
    // B went to window 2 while window 1 navigated both its tabs in place; window 1 still has two
    // tabs, so pass 3 runs, but B's id may not be handed out there by position.
    const auto out = registry.assign({raw(1, {{"Y", "https://y/"}, {"Z", "https://z/"}}),
                                      raw(2, {{"C", "https://c/"}, {"B", "https://b/"}})});
    EXPECT_EQ(ids(out), (QStringList{"tab-0", "tab-3", "tab-2", "tab-1"}));
}

TEST(TabIdentityRegistry, SelectsWindowsAndTitles) {
    TabIdentityRegistry registry;
    const auto out = registry.assign({raw(1, {{"  ", "https://host.example/p"}, {"", ""}, {" T\n", "weird text"}}),
                                      raw(1, {{"dup", "https://dup/"}}), raw(2, {})});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].tabs[0].title, "host.example");
    EXPECT_EQ(out[0].tabs[1].title, "Untitled");
    EXPECT_FALSE(out[0].tabs[1].url.has_value());
    EXPECT_EQ(out[0].tabs[2].title, "T");
    EXPECT_EQ(registry.previousEntries(1)->at(2).title, " T\n");  // remembered raw
    EXPECT_EQ(registry.nextSerial(), 3u);
    EXPECT_EQ(TabIdentityRegistry::displayTitle("", "not a url"), "not a url");
    EXPECT_FALSE(registry.previousEntries(2).has_value());
}

TEST(TabIdentityRegistry, AnEmptyPollAndAResetForgetButSerialsGoOn) {
    TabIdentityRegistry registry;
    registry.assign({raw(1, {{"A", "https://a/"}})});
    EXPECT_TRUE(registry.assign({raw(1, {})}).empty());
    EXPECT_FALSE(registry.previousEntries(1).has_value());
    EXPECT_EQ(ids(registry.assign({raw(1, {{"A", "https://a/"}})})), QStringList{"tab-1"});
    registry.reset();
    EXPECT_FALSE(registry.previousEntries(1).has_value());
    EXPECT_EQ(ids(registry.assign({raw(1, {{"A", "https://a/"}})})), QStringList{"tab-2"});
}

}  // namespace
