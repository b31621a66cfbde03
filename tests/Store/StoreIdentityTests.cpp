#include "SimulatedBrowserStore.h"

namespace ondrake {
namespace {

using test::Browser;
using test::page;
using test::Page;
using test::simWindow;

const QString kDoc = QStringLiteral("https://docs.example/guide");

// The record of the tab at a place, as the sidebar finds it.
OndrakeID recordAt(const Browser &browser, std::size_t window, std::size_t tab) {
    return browser.store->ondrakeIDs().value(browser.store->windows().at(window).tabs.at(tab).id);
}
const TabRecord &at(const Browser &browser, std::size_t window, std::size_t tab) {
    return browser.store->records().at(recordAt(browser, window, tab));
}

// Marks one record important and locks another, as the user does from the sidebar.
void markImportantAndLock(Browser &browser, const OndrakeID &important, const OndrakeID &locked) {
    browser.store->updateBook([&](TabRecordBook &book) {
        book.records.at(important).important = true;
        book.records.at(locked).locked = true;
    });
}

// The browser quits, the application saves at its quit and starts again from the file; the
// browser comes back with its windows as `change` leaves them.
void restart(Browser &browser, const std::function<void(std::vector<SimulatedSafari::Window> &)> &change) {
    browser.safari.quit();
    browser.poll();
    browser.store->cancelPendingSave();
    browser.store->save();
    browser.start();
    browser.safari.update(change);
    browser.safari.launch();
    browser.poll();
}

// Two tabs of one page: the earlier one, still loading, takes the later one's title. The lock
// and the mark stay on the tabs the user set them on, and a close keeps the locked tab.
TEST(StoreIdentity, TwinsKeepTheirMarksWhenOneTakesTheOthersTitle) {
    Browser browser;
    browser.safari.addWindow(simWindow({page("Home"), Page{"Loading", kDoc}, Page{"Guide", kDoc}}));
    browser.start();
    browser.poll();
    const auto earlier = recordAt(browser, 0, 1);
    const auto later = recordAt(browser, 0, 2);
    markImportantAndLock(browser, earlier, later);

    browser.safari.update([](auto &windows) { windows[0].tabs[1].title = QStringLiteral("Guide"); });
    browser.poll();
    EXPECT_EQ(recordAt(browser, 0, 1), earlier);
    EXPECT_EQ(recordAt(browser, 0, 2), later);
    EXPECT_TRUE(at(browser, 0, 1).important);
    EXPECT_FALSE(at(browser, 0, 1).locked);
    EXPECT_TRUE(at(browser, 0, 2).locked);

    runToCompletion(browser.scheduler, browser.store->closeTabs({browser.store->windows()[0].tabs[2]}));
    browser.poll();
    ASSERT_EQ(browser.safari.windows()[0].tabs.size(), 3u) << "the locked twin stays open";
    runToCompletion(browser.scheduler, browser.store->closeTabs({browser.store->windows()[0].tabs[1]}));
    browser.poll();
    EXPECT_EQ(browser.titles(), (std::vector<QString>{"Home", "Guide"}));
    EXPECT_EQ(recordAt(browser, 0, 1), later);
    EXPECT_TRUE(at(browser, 0, 1).locked);
}

// What happens to and around two tabs of one page, in the browser or from the sidebar: the
// mark and the lock stay on the tabs the user set them on.
TEST(StoreIdentity, TwinsKeepTheirMarksThroughWhatHappensAroundThem) {
    using Windows = std::vector<SimulatedSafari::Window>;
    struct Case {
        const char *what;
        std::vector<Page> pages;
        std::size_t important;  // tab marked, then where it stands after
        std::size_t locked;
        std::function<void(Browser &)> action;
        std::size_t importantAfter;
        std::size_t lockedAfter;
    };
    const auto inBrowser = [](std::function<void(std::vector<Page> &)> change) {
        return [change](Browser &browser) { browser.safari.update([&](Windows &windows) { change(windows[0].tabs); }); };
    };
    const Page a{"A", kDoc};
    const Page b{"B", kDoc};
    const Case cases[] = {
        {"both retitled alike", {page("Home"), a, b}, 1, 2,
         inBrowser([](auto &tabs) { tabs[1].title = tabs[2].title = QStringLiteral("C"); }), 1, 2},
        {"reordered by the user", {page("Home"), a, page("X"), b}, 1, 3,
         inBrowser([](auto &tabs) { std::rotate(tabs.begin(), tabs.begin() + 3, tabs.end()); }), 2, 0},
        {"the earlier closed in the browser", {page("Home"), a, b, page("X")}, 3, 2,
         inBrowser([](auto &tabs) { tabs.erase(tabs.begin() + 1); }), 2, 1},
        {"a twin opened between them, still loading", {page("Home"), a, b}, 1, 2,
         inBrowser([](auto &tabs) { tabs.insert(tabs.begin() + 2, Page{"", kDoc}); }), 1, 3},
        {"a tab of the page with another title closed in the browser before them",
         {page("Home"), Page{"Other", kDoc}, b, b}, 2, 3, inBrowser([](auto &tabs) { tabs.erase(tabs.begin() + 1); }), 1, 2},
        {"the same closed from the sidebar", {page("Home"), Page{"Other", kDoc}, b, b}, 2, 3,
         [](Browser &browser) {
             runToCompletion(browser.scheduler, browser.store->closeTabs({browser.store->windows()[0].tabs[1]}));
         },
         1, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Browser browser;
        browser.safari.addWindow(simWindow(c.pages));
        browser.start();
        browser.poll();
        const auto important = recordAt(browser, 0, c.important);
        const auto locked = recordAt(browser, 0, c.locked);
        markImportantAndLock(browser, important, locked);

        c.action(browser);
        browser.poll();
        EXPECT_EQ(recordAt(browser, 0, c.importantAfter), important);
        EXPECT_EQ(recordAt(browser, 0, c.lockedAfter), locked);
        EXPECT_TRUE(at(browser, 0, c.lockedAfter).locked);
    }
}

// The record file keeps no window. When the browser comes back without some tabs, a twin in the
// first window stands nearer the record of a twin in the second than its own; taken together,
// each goes back to its own record.
TEST(StoreIdentity, TwinsAcrossWindowsGetTheirOwnRecordsAfterARestart) {
    Browser browser;
    browser.safari.addWindow(
        simWindow({page("H"), page("I"), page("J"), page("K"), page("L"), Page{"Guide", kDoc}}));
    browser.safari.addWindow(simWindow({Page{"Guide", kDoc}, page("M")}));
    browser.start();
    browser.poll();
    const auto first = recordAt(browser, 0, 5);
    const auto second = recordAt(browser, 1, 0);
    markImportantAndLock(browser, first, second);

    restart(browser, [](auto &windows) { windows[0].tabs.erase(windows[0].tabs.begin(), windows[0].tabs.begin() + 4); });
    ASSERT_EQ(browser.titles(), (std::vector<QString>{"L", "Guide", "Guide", "M"}));
    EXPECT_EQ(recordAt(browser, 0, 1), first);
    EXPECT_EQ(recordAt(browser, 1, 0), second);
    EXPECT_TRUE(at(browser, 1, 0).locked);
    EXPECT_FALSE(at(browser, 0, 1).locked);
}

// A tab that comes back without its stored parent goes under the nearest stored ancestor that
// came back before it in its window, as it would have within the session; with none, to the top.
TEST(StoreIdentity, AReattachedTabGoesUnderItsNearestAncestorThatCameBack) {
    struct Case {
        const char *what;
        std::vector<QString> missing;
        std::vector<QString> inAnotherWindow;
        std::optional<QString> parentOfLeaf;
    };
    const Case cases[] = {
        {"its parent came back", {}, {}, QStringLiteral("Child")},
        {"its parent did not", {QStringLiteral("Child")}, {}, QStringLiteral("Root")},
        {"nor its grandparent", {QStringLiteral("Child"), QStringLiteral("Root")}, {}, std::nullopt},
        // As within a session, a parent in another window is none.
        {"its grandparent came back in another window", {QStringLiteral("Child")}, {QStringLiteral("Root")}, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Browser browser;
        browser.safari.addWindow(simWindow({page("Home"), page("Root"), page("Child"), page("Leaf"), page("Other")}));
        browser.start();
        browser.poll();
        browser.nest("Child", "Root");
        browser.nest("Leaf", "Child");
        browser.poll();
        ASSERT_EQ(browser.tab("Leaf").parentID, browser.tab("Child").id);
        std::map<QString, OndrakeID> ids;
        for (const auto *title : {"Root", "Child", "Leaf"}) ids[title] = browser.idOf(title);

        restart(browser, [&](auto &windows) {
            const auto among = [](const std::vector<QString> &titles) {
                return [&titles](const Page &p) { return std::find(titles.begin(), titles.end(), p.title) != titles.end(); };
            };
            SimulatedSafari::Window other;
            other.id = windows[0].id + 1;
            std::copy_if(windows[0].tabs.begin(), windows[0].tabs.end(), std::back_inserter(other.tabs), among(c.inAnotherWindow));
            std::erase_if(windows[0].tabs, among(c.missing));
            std::erase_if(windows[0].tabs, among(c.inAnotherWindow));
            if (!other.tabs.empty()) windows.push_back(std::move(other));
        });
        for (const auto &[title, id] : ids) {
            if (std::find(c.missing.begin(), c.missing.end(), title) != c.missing.end()) continue;
            ASSERT_EQ(browser.idOf(title), id) << title.toStdString();
        }
        const auto expected = c.parentOfLeaf ? std::optional(ids[*c.parentOfLeaf]) : std::nullopt;
        EXPECT_EQ(browser.store->records().at(ids["Leaf"]).parentID, expected) << "the record";
        const auto shown = browser.tab("Leaf").parentID;
        EXPECT_EQ(shown ? std::optional(browser.store->ondrakeIDs().value(*shown)) : std::nullopt, expected)
            << "the sidebar";
    }
}

}  // namespace
}  // namespace ondrake
