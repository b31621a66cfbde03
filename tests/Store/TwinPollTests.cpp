#include "SimulatedBrowserStore.h"

namespace ondrake {
namespace {

using test::Browser;
using test::pages;
using Tabs = std::vector<test::Page>;
using Shape = std::vector<std::vector<std::string>>;

Tabs numbered(const char *prefix, int count) {
    Tabs out;
    for (int k = 1; k <= count; ++k) out.push_back(test::page(QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(k)));
    return out;
}
Tabs joined(std::initializer_list<Tabs> parts) {
    Tabs all;
    for (const auto &part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Every window as the sidebar shows it, front to back.
Shape shape(const Browser &browser) {
    Shape out;
    for (const auto &window : browser.store->windows()) out.push_back(test::shape(browser, window));
    return out;
}

const SafariTab &tabAt(const Browser &b, std::size_t window, std::size_t i) { return b.store->windows().at(window).tabs.at(i); }
void lock(Browser &b, std::size_t window, std::size_t i) { b.store->toggleLocked(tabAt(b, window, i)); }
void mark(Browser &b, std::size_t window, std::size_t i) { b.store->toggleImportant(tabAt(b, window, i)); }
// Nests a tab under the one before it, as a drag in the sidebar does.
void nestUnderPrevious(Browser &b, std::size_t window, std::size_t i) {
    const auto tab = tabAt(b, window, i);
    const auto count = std::int64_t(b.store->windows().at(window).tabs.size());
    runToCompletion(b.scheduler, b.controller->moveTabs({tab.windowID, tab.index, 1, tab.index, absoluteText(tab.url), count, tab.id,
                                                         tabAt(b, window, i - 1).id}));
    b.poll();
}
void edit(Browser &b, std::size_t window, const std::function<void(SimulatedSafari::Window &)> &change) {
    b.safari.update([&](auto &windows) { change(windows.at(window)); });
    b.poll();
}

// What the browser does: a tab it opens (a new tab, a link opened again, a duplicate) stands
// after the active one and becomes active; closing the active tab activates the one after it,
// the one before when it was the last.
void openAfterActive(Browser &b, const test::Page &page) {
    edit(b, 0, [&](auto &w) {
        w.tabs.insert(w.tabs.begin() + w.currentTab, page);
        ++w.currentTab;
    });
}
void duplicateActive(Browser &b) {
    edit(b, 0, [&](auto &w) {
        const auto copy = w.tabs[std::size_t(w.currentTab - 1)];
        w.tabs.insert(w.tabs.begin() + w.currentTab, copy);
        ++w.currentTab;
    });
}
void closeActive(Browser &b) {
    edit(b, 0, [&](auto &w) {
        w.tabs.erase(w.tabs.begin() + (w.currentTab - 1));
        w.currentTab = std::min<std::int64_t>(w.currentTab, std::int64_t(w.tabs.size()));
    });
}

// Polls whose tab lists leave identical tabs where only the browser's ways with the active tab,
// the tabs moved with them or the other window tell which went where: every lock, mark and
// nesting stays on the tab it was set on, and no nesting comes loose.
TEST(TwinPoll, LocksMarksAndNestingStayWithTheirTabs) {
    const test::Page favorites{QStringLiteral("Favorites"), QStringLiteral("favorites://")};
    const auto article = test::page(QStringLiteral("Article"));
    struct Case {
        std::string what;
        std::vector<Tabs> windows;
        std::int64_t active;  // of the first window, 1-based
        std::function<void(Browser &)> set;
        std::function<void(Browser &)> act;
        Shape expected;
    };
    std::vector<Case> cases{
        {"a new tab of the active page opened after it, the last", {pages({"Home"}), }, 2, [](Browser &b) { mark(b, 0, 1); },
         [&](Browser &b) { openAfterActive(b, favorites); }, {{"Home", "Favorites I", "Favorites"}}},
        {"a new tab of the active page opened after it, a tab after them", {pages({"Home"})}, 2,
         [](Browser &b) { mark(b, 0, 1); }, [&](Browser &b) { openAfterActive(b, favorites); },
         {{"Home", "Favorites I", "Favorites", "X"}}},
        {"a new tab of the active page opened after it, nested under the tab before", {pages({"Home"})}, 2,
         [](Browser &b) {
             nestUnderPrevious(b, 0, 1);
             mark(b, 0, 1);
         },
         [&](Browser &b) { openAfterActive(b, favorites); }, {{"Home", "Favorites I ^0", "Favorites"}}},
        {"a link opened again beside its locked page, nested under the tab before", {pages({"Home", "Article", "X"})}, 2,
         [](Browser &b) {
             nestUnderPrevious(b, 0, 1);
             lock(b, 0, 1);
         },
         [&](Browser &b) { openAfterActive(b, article); }, {{"Home", "Article L ^0", "Article ^1", "X"}}},
        {"a duplicate closed with the close key, the last", {pages({"Home", "Inbox"})}, 2, [](Browser &b) { mark(b, 0, 1); },
         [](Browser &b) {
             duplicateActive(b);
             EXPECT_EQ(shape(b), (Shape{{"Home", "Inbox I", "Inbox ^1"}})) << "duplicated";
             closeActive(b);
         },
         {{"Home", "Inbox I"}}},
        {"a duplicate closed with the close key, a tab after it", {pages({"Home", "Inbox", "X"})}, 2,
         [](Browser &b) {
             nestUnderPrevious(b, 0, 1);
             mark(b, 0, 1);
         },
         [](Browser &b) {
             duplicateActive(b);
             EXPECT_EQ(shape(b), (Shape{{"Home", "Inbox I ^0", "Inbox ^1", "X"}})) << "duplicated";
             closeActive(b);
         },
         {{"Home", "Inbox I ^0", "X"}}},
        {"S S, the active last closed", {pages({"S", "S"})}, 2, [](Browser &b) { lock(b, 0, 0); }, closeActive, {{"S L"}}},
        {"H S S, the active last closed", {pages({"H", "S", "S"})}, 3,
         [](Browser &b) {
             nestUnderPrevious(b, 0, 1);
             mark(b, 0, 1);
         },
         closeActive, {{"H", "S I ^0"}}},
        {"a locked twin dragged to another window's end", {pages({"Home", "Inbox", "X", "Inbox"}), pages({"Y"})}, 1,
         [](Browser &b) { lock(b, 0, 1); },
         [](Browser &b) {
             b.safari.update([](auto &windows) {
                 auto &from = windows.at(0).tabs;
                 windows.at(1).tabs.push_back(from.at(1));
                 windows.at(1).currentTab = 2;
                 from.erase(from.begin() + 1);
             });
             b.poll();
         },
         {{"Home", "X", "Inbox"}, {"Y", "Inbox L"}}},
        // One thing done beside a tab of the same page, which the browser's list and active tab tell.
        {"the first of two twins, marked, follows a link beside the locked one", {pages({"Home", "Inbox", "Inbox", "X"})}, 2,
         [](Browser &b) {
             mark(b, 0, 1);
             lock(b, 0, 2);
         },
         [](Browser &b) { edit(b, 0, [](auto &w) { w.tabs[1] = test::page(QStringLiteral("New")); }); },
         {{"Home", "New I", "Inbox L", "X"}}},
        {"a tab goes to the page its neighbours show", {pages({"S", "T", "S"})}, 2,
         [](Browser &b) {
             lock(b, 0, 0);
             mark(b, 0, 2);
         },
         [](Browser &b) { edit(b, 0, [](auto &w) { w.tabs[1] = test::page(QStringLiteral("S")); }); }, {{"S L", "S", "S I"}}},
        {"a tab opened in front showing the page after it", {pages({"U", "V"})}, 1, [](Browser &b) { mark(b, 0, 1); },
         [](Browser &b) { openAfterActive(b, test::page(QStringLiteral("V"))); }, {{"U", "V ^0", "V I"}}},
        {"a twin opened in front between two, the first active", {pages({"H", "S", "S"})}, 2,
         [](Browser &b) {
             mark(b, 0, 1);
             lock(b, 0, 2);
         },
         [](Browser &b) { openAfterActive(b, test::page(QStringLiteral("S"))); }, {{"H", "S I", "S ^1", "S L"}}},
        {"the last of four dragged to the front, the active one kept", {pages({"T", "T", "S", "T"})}, 1,
         [](Browser &b) {
             mark(b, 0, 0);
             lock(b, 0, 3);
         },
         [](Browser &b) {
             edit(b, 0, [](auto &w) {
                 std::rotate(w.tabs.begin(), w.tabs.begin() + 3, w.tabs.end());
                 w.currentTab = 2;
             });
         },
         {{"T L", "T I", "T", "S"}}},
        {"a background twin closed while another tab moved", {pages({"H", "S", "S", "X"})}, 3,
         [](Browser &b) {
             lock(b, 0, 1);
             mark(b, 0, 2);
         },
         [](Browser &b) {
             edit(b, 0, [](auto &w) {
                 w.tabs = pages({"X", "H", "S"});
                 w.currentTab = 3;
             });
         },
         {{"X", "H", "S I"}}},
    };
    // The first two cases open favorites beside the active one.
    cases[0].windows[0].push_back(favorites);
    cases[1].windows[0] = {test::page(QStringLiteral("Home")), favorites, test::page(QStringLiteral("X"))};
    cases[2].windows[0].push_back(favorites);

    // Blocks that trade places in the strip, the first block's and the second's identical tab at
    // their heads, locked and marked, each with the tab after it nested under it.
    for (const int k : {8, 40}) {
        const auto s = pages({"S"});
        Case c{"[S Y] dragged before [S X], blocks of " + std::to_string(k),
               {joined({pages({"H"}), s, numbered("X", k), s, numbered("Y", k), pages({"E"})})},
               1,
               [k](Browser &b) {
                   lock(b, 0, 1);
                   nestUnderPrevious(b, 0, 2);
                   mark(b, 0, std::size_t(k) + 2);
                   nestUnderPrevious(b, 0, std::size_t(k) + 3);
               },
               [k](Browser &b) {
                   edit(b, 0, [k](auto &w) {
                       const auto from = w.tabs.begin() + k + 2;
                       Tabs block(from, from + k + 1);
                       w.tabs.erase(from, from + k + 1);
                       w.tabs.insert(w.tabs.begin() + 1, block.begin(), block.end());
                   });
               },
               {}};
        auto &words = c.expected.emplace_back();
        words.push_back("H");
        for (const auto &[head, prefix] : {std::pair{"S I", "Y"}, {"S L", "X"}}) {
            const auto at = words.size();
            words.push_back(head);
            for (int n = 1; n <= k; ++n) words.push_back(prefix + std::to_string(n) + (n == 1 ? " ^" + std::to_string(at) : ""));
        }
        words.push_back("E");
        cases.push_back(std::move(c));
    }

    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        Browser browser;
        for (std::size_t w = 0; w < c.windows.size(); ++w) {
            auto window = test::simWindow(c.windows[w]);
            if (w == 0) window.currentTab = c.active;
            browser.safari.addWindow(std::move(window));
        }
        browser.start();
        browser.store->flags().setOverride(false, FeatureFlag::autoNestLinkedTabs());
        browser.poll();
        c.set(browser);
        c.act(browser);
        browser.poll();
        EXPECT_EQ(shape(browser), c.expected);
        for (const auto &message : log.messages())
            EXPECT_FALSE(message.contains(QStringLiteral("no longer beside its parent"))) << message.toStdString();
    }
}

}  // namespace
}  // namespace ondrake
