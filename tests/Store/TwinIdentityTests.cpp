#include "SimulatedBrowserStore.h"

#include "BrowserChanges.h"
#include "TestSeed.h"
#include "RecordLedger.h"
#include "ChangeTally.h"
#include "DemoSession.h"
#include "Store/TabDropPlan.h"

#include <random>

namespace ondrake {
namespace {

using test::Browser;
using test::Truth;

const QString kSky = QStringLiteral("Sky - Wikipedia");
const QString kRayleigh = QStringLiteral("Rayleigh scattering - Wikipedia");

// The front window's tabs with the record each carries.
struct Shown {
    SafariTab tab;
    TabRecord record;
};
std::vector<Shown> frontTabs(const Browser &browser) {
    std::vector<Shown> shown;
    for (const auto &tab : browser.store->windows().front().tabs)
        shown.push_back({tab, browser.store->records().at(browser.store->ondrakeIDs().value(tab.id))});
    return shown;
}
std::vector<Shown> titled(const std::vector<Shown> &shown, const QString &title) {
    std::vector<Shown> found;
    for (const auto &s : shown)
        if (s.tab.title == title) found.push_back(s);
    return found;
}

// The demo's first window, with the first of its two identical tabs locked and a page opened
// from it by a link nested under it, is exported and imported again with its whole structure.
// The copies open at the end of the window and are put in their places among the originals:
// every original keeps its own lock and nesting, and the copies carry the archive's.
TEST(TwinIdentity, RestoringAnExportOfIdenticalTabsLeavesTheOriginalsTheirMarks) {
    Browser browser;
    browser.safari.setWindows({DemoSession::windows().front()});
    browser.start();
    browser.poll();
    ASSERT_TRUE(DemoSession::openLinkFromPage(browser.safari));
    browser.poll();
    browser.poll();
    const auto skies = titled(frontTabs(browser), kSky);
    ASSERT_EQ(skies.size(), 2u);
    browser.store->toggleLocked(skies[0].tab);
    const auto linked = titled(frontTabs(browser), kRayleigh);
    ASSERT_EQ(linked.size(), 1u);
    ASSERT_EQ(linked[0].tab.parentID, skies[0].tab.id) << "the linked page nests under the tab it was opened from";

    std::map<OndrakeID, TabRecord> originals;
    for (const auto &s : frontTabs(browser)) originals.emplace(s.record.id, s.record);
    const auto archive = browser.store->exportArchive(TabStore::ExportScope::currentWindow());
    runToCompletion(browser.scheduler, browser.store->importArchive(archive, OndrakeArchive::ImportMode::restoreCompleteStructure()));
    const auto check = [&](const char *when) {
        SCOPED_TRACE(when);
        const auto shown = frontTabs(browser);
        ASSERT_EQ(shown.size(), 2 * originals.size());
        QHash<QString, OndrakeID> recordOfTab;
        for (const auto &s : shown) recordOfTab.insert(s.tab.id, s.record.id);
        std::vector<Shown> lockedCopies;
        std::vector<Shown> nestedCopies;
        for (const auto &s : shown) {
            const auto parent = s.tab.parentID ? std::optional<OndrakeID>(recordOfTab.value(*s.tab.parentID)) : std::nullopt;
            EXPECT_EQ(parent, s.record.parentID) << s.tab.title.toStdString();
            if (const auto original = originals.find(s.record.id); original != originals.end()) {
                EXPECT_EQ(s.record.locked, original->second.locked) << "original " << s.tab.title.toStdString();
                EXPECT_EQ(s.record.parentID, original->second.parentID) << "original " << s.tab.title.toStdString();
                continue;
            }
            if (s.record.locked) lockedCopies.push_back(s);
            if (parent) nestedCopies.push_back(s);
        }
        ASSERT_EQ(lockedCopies.size(), 1u);
        EXPECT_EQ(lockedCopies[0].record.url, skies[0].record.url);
        ASSERT_EQ(nestedCopies.size(), 1u);
        EXPECT_EQ(nestedCopies[0].record.url, linked[0].record.url);
        EXPECT_EQ(nestedCopies[0].record.parentID, lockedCopies[0].record.id);
    };
    for (int poll = 0; poll < 10; ++poll) browser.poll();
    check("placed while their pages load");
    // The pages finish loading and show the titles the originals show.
    browser.safari.update([&](auto &windows) {
        for (auto &tab : windows.front().tabs)
            for (const auto &s : originals)
                if (s.second.url == tab.url) tab.title = s.second.title;
    });
    browser.poll();
    check("loaded");
}

// A page opens a twin of a locked tab by a link; the browser puts it at the far end and the
// sidebar moves it next to the page it came from. The lock stays on the tab the user locked.
TEST(TwinIdentity, ALinkOpenedTwinMovedNextToItsOpenerLeavesTheLockWhereItWas) {
    Browser browser;
    const test::Page sky{QStringLiteral("Sky"), QStringLiteral("https://sky.example/")};
    auto window = test::simWindow({sky, test::page(QStringLiteral("Article")), sky});
    window.currentTab = 2;
    const auto windowID = browser.safari.addWindow(std::move(window));
    browser.start();
    browser.store->flags().setOverride(true, FeatureFlag::autoNestLinkedTabs());
    browser.poll();
    const auto before = browser.store->windows().front().tabs;
    browser.store->toggleLocked(before[2]);
    const auto locked = browser.store->ondrakeIDs().value(before[2].id);

    browser.safari.update([&](auto &windows) {
        for (auto &w : windows)
            if (w.id == windowID) w.tabs.push_back(sky);
    });
    browser.poll();
    browser.poll();
    const auto &after = browser.store->windows().front().tabs;
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[2].parentID, before[1].id) << "the opened tab went next to its opener";
    for (std::size_t i = 0; i < after.size(); ++i) {
        const auto &record = browser.store->records().at(browser.store->ondrakeIDs().value(after[i].id));
        EXPECT_EQ(record.locked, i == 3) << i;
        EXPECT_EQ(record.id == locked, i == 3) << i;
    }
}

// The front window as the sidebar shows it.
std::vector<std::string> shape(const Browser &browser) { return test::shape(browser, browser.store->windows().front()); }

std::vector<test::Page> pages(std::initializer_list<const char *> titles) {
    std::vector<test::Page> out;
    for (const auto *title : titles) {
        const auto t = QString::fromUtf8(title);
        // Titles with a space share the address of their first word: "Guide a" and "Guide b" are
        // two tabs of one guide, "Inbox (2)" a mail page under its unread count.
        out.push_back({t, QStringLiteral("https://%1.example/").arg(t.section(QLatin1Char(' '), 0, 0).toLower())});
    }
    return out;
}

// The browser quits, the application saves and starts again from its file, and the browser
// comes back with its windows as `change` leaves them; or the application alone is relaunched.
void restart(Browser &browser, const std::function<void(std::vector<test::Page> &)> &change, bool browserQuits = true) {
    if (browserQuits) {
        browser.safari.quit();
        browser.poll();
    }
    browser.store->cancelPendingSave();
    browser.store->save();
    browser.start();
    browser.safari.update([&](auto &windows) { change(windows.front().tabs); });
    if (browserQuits) browser.safari.launch();
    browser.poll();
}

// Where positions alone cannot tell identical tabs apart, their order, the active tab and the
// sidebar's own reopen do: every lock, mark and nesting stays on the tab it was set on.
TEST(TwinIdentity, IdenticalTabsKeepTheirRecordsWherePositionsAloneCannotTell) {
    const auto lock = [](Browser &b, std::size_t i) { b.store->toggleLocked(b.store->windows().front().tabs[i]); };
    const auto mark = [](Browser &b, std::size_t i) { b.store->toggleImportant(b.store->windows().front().tabs[i]); };
    const auto edit = [](Browser &b, const std::function<void(SimulatedSafari::Window &)> &change) {
        b.safari.update([&](auto &windows) { change(windows.front()); });
    };
    using Tabs = std::vector<test::Page>;
    struct Case {
        const char *what;
        Tabs tabs;
        std::int64_t active;  // 1-based
        std::function<void(Browser &)> set;
        std::function<void(Browser &)> act;
        std::vector<std::string> expected;
    };
    const auto firstLockedSecondMarked = [&](Browser &b) {
        lock(b, 1);
        mark(b, 2);
    };
    const Tabs guides = pages({"Home", "Guide", "Guide", "X"});
    const auto opened = [](std::size_t at, std::size_t count) {
        return [=](Tabs &tabs) {
            for (std::size_t k = 0; k < count; ++k)
                tabs.insert(tabs.begin() + std::ptrdiff_t(at), test::page(QStringLiteral("New%1").arg(k)));
        };
    };
    const auto retitledWithATabInFront = [&](Browser &b) {
        edit(b, [](auto &w) {
            for (auto &t : w.tabs)
                if (t.title == QStringLiteral("Inbox (2)")) t.title = QStringLiteral("Inbox (3)");
            w.tabs.insert(w.tabs.begin() + 1, test::page(QStringLiteral("New")));
        });
        b.poll();
    };
    // The first guide closes in the background: the second, active, stays active.
    const auto earlierClosedLaterActive = [&](Browser &b) {
        edit(b, [](auto &w) {
            w.tabs.erase(w.tabs.begin() + 1);
            w.currentTab = 2;
        });
        b.poll();
    };
    Tabs inboxes = pages({"Home"});
    for (int k = 0; k < 9; ++k) inboxes.push_back(pages({"Inbox (2)"}).front());
    Tabs forty = pages({"A", "S", "S", "X", "S", "B"});
    const Case cases[] = {
        {"restart, a tab opened at the front", guides, 1, firstLockedSecondMarked,
         [&](Browser &b) { restart(b, opened(0, 1)); }, {"New0", "Home", "Guide L", "Guide I", "X"}},
        {"restart, a tab opened right before them", guides, 1, firstLockedSecondMarked,
         [&](Browser &b) { restart(b, opened(1, 1)); }, {"Home", "New0", "Guide L", "Guide I", "X"}},
        {"restart, two tabs opened at the front", guides, 1, firstLockedSecondMarked,
         [&](Browser &b) { restart(b, opened(0, 2)); }, {"New1", "New0", "Home", "Guide L", "Guide I", "X"}},
        {"relaunch while the browser keeps running, a tab opened at the front", guides, 1, firstLockedSecondMarked,
         [&](Browser &b) { restart(b, opened(0, 1), false); }, {"New0", "Home", "Guide L", "Guide I", "X"}},
        {"twins retitle together while a tab opens before them", pages({"Home", "Inbox (2)", "Inbox (2)", "X"}), 1,
         firstLockedSecondMarked,
         retitledWithATabInFront,
         {"Home", "New ^0", "Inbox (3) L", "Inbox (3) I", "X"}},
        {"nine twins retitle together while a tab opens before them", inboxes, 1,
         [&](Browser &b) {
             lock(b, 1);
             mark(b, 5);
             mark(b, 9);
         },
         retitledWithATabInFront,
         {"Home", "New ^0", "Inbox (3) L", "Inbox (3)", "Inbox (3)", "Inbox (3)", "Inbox (3) I", "Inbox (3)", "Inbox (3)",
          "Inbox (3)", "Inbox (3) I"}},
        {"forty tabs opened in one poll while the last closed", forty, 1,
         [&](Browser &b) {
             lock(b, 1);
             mark(b, 4);
         },
         [&](Browser &b) {
             edit(b, [](auto &w) {
                 w.tabs.pop_back();
                 for (int k = 0; k < 40; ++k) w.tabs.insert(w.tabs.begin() + 1, test::page(QStringLiteral("Bookmark%1").arg(k)));
             });
             b.poll();
             // Only the window's end is looked at below.
             edit(b, [](auto &w) { w.tabs.erase(w.tabs.begin() + 1, w.tabs.begin() + 41); });
             b.poll();
         },
         {"A", "S L", "S", "X", "S I"}},
        {"the earlier of two side by side closed, the later locked and active", guides, 3,
         [&](Browser &b) {
             lock(b, 2);
             // X nested under the second guide, as a drag in the sidebar does.
             const auto &tabs = b.store->windows().front().tabs;
             runToCompletion(b.scheduler, b.controller->moveTabs({tabs[3].windowID, 4, 1, 4, absoluteText(tabs[3].url), 4,
                                                                  tabs[3].id, tabs[2].id}));
             b.poll();
         },
         earlierClosedLaterActive,
         {"Home", "Guide L", "X ^1"}},
        {"the earlier of two side by side closed and locked, the later active", guides, 3,
         [&](Browser &b) { lock(b, 1); },
         earlierClosedLaterActive,
         {"Home", "Guide", "X"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Browser browser;
        auto window = test::simWindow(c.tabs);
        window.currentTab = c.active;
        browser.safari.addWindow(std::move(window));
        browser.start();
        browser.store->flags().setOverride(false, FeatureFlag::autoNestLinkedTabs());
        browser.poll();
        c.set(browser);
        c.act(browser);
        EXPECT_EQ(shape(browser), c.expected);
    }
}

// A locked tab closed in the browser's strip leaves its record waiting for a later tab of its
// page; a twin closed from the sidebar and reopened takes its own record back, at its place.
TEST(TwinIdentity, AReopenedTabTakesTheRecordItsReopenReleased) {
    LogCapture log;
    Browser browser;
    browser.safari.addWindow(test::simWindow(pages({"Home", "Sky", "Sky", "X"})));
    browser.start();
    browser.poll();
    browser.store->toggleLocked(browser.store->windows().front().tabs[2]);
    const auto locked = browser.store->ondrakeIDs().value(browser.store->windows().front().tabs[2].id);
    const auto first = browser.store->ondrakeIDs().value(browser.store->windows().front().tabs[1].id);
    browser.safari.update([](auto &windows) { windows.front().tabs.erase(windows.front().tabs.begin() + 2); });
    browser.poll();
    runToCompletion(browser.scheduler, browser.store->closeTabs({browser.store->windows().front().tabs[1]}));
    browser.poll();
    ASSERT_EQ(shape(browser), (std::vector<std::string>{"Home", "X"}));

    runToCompletion(browser.scheduler, browser.store->reopenLastClosed());
    browser.poll();
    // The page loads.
    browser.safari.update([](auto &windows) {
        for (auto &tab : windows.front().tabs)
            if (tab.url.contains(QStringLiteral("sky"))) tab.title = QStringLiteral("Sky");
    });
    for (int poll = 0; poll < 3; ++poll) browser.poll();
    EXPECT_EQ(shape(browser), (std::vector<std::string>{"Home", "Sky", "X"})) << "back at its place, not locked";
    EXPECT_EQ(browser.store->ondrakeIDs().value(browser.store->windows().front().tabs[1].id), first);
    EXPECT_TRUE(browser.store->records().at(locked).closedAt) << "the locked one still waits";
    EXPECT_FALSE(log.contains(QStringLiteral("Gave up placing a reopened tab; it never appeared")));
}

// Two thousand restarts of a fifteen-tab window holding three identical tabs, after one to three
// changes to its other tabs while the application was away (a tab opened, closed or moved); now
// the browser quits with it, now it keeps running. Every tab comes back with its own record. The
// window starts afresh every fifty restarts, before the records of tabs closed while away, which
// wait for their pages by design, slow the run down.
TEST(TwinIdentity, RestartsGiveEveryTwinItsOwnRecord) {
    const test::Seed seed(15);
    std::mt19937 random(seed.value());
    const auto pick = [&](std::size_t n) { return std::size_t(random() % n); };
    const test::Page twin{QStringLiteral("Guide"), QStringLiteral("https://guide.example/")};
    int pages = 0;
    const auto fresh = [&] { return test::page(QStringLiteral("Page%1").arg(pages++)); };
    int misplaced = 0;
    int wrongRestarts = 0;
    int restarts = 0;
    for (int round = 0; round < 40; ++round) {
        std::vector<test::Page> tabs;
        for (int k = 0; k < 12; ++k) tabs.push_back(fresh());
        for (int k = 0; k < 3; ++k) tabs.insert(tabs.begin() + std::ptrdiff_t(pick(tabs.size() + 1)), twin);
        Browser browser;
        browser.safari.addWindow(test::simWindow(tabs));
        browser.start();
        browser.poll();
        const auto records = [&] {
            std::vector<OndrakeID> ids;
            for (const auto &tab : browser.store->windows().front().tabs) ids.push_back(browser.store->ondrakeIDs().value(tab.id));
            return ids;
        };
        auto truth = records();
        for (int k = 0; k < 50; ++k, ++restarts) {
            std::vector<std::optional<OndrakeID>> expected(truth.begin(), truth.end());
            restart(
                browser,
                [&](std::vector<test::Page> &now) {
                    for (std::size_t change = 1 + pick(3); change > 0; --change) {
                        std::vector<std::size_t> others;
                        for (std::size_t i = 0; i < now.size(); ++i)
                            if (now[i] != twin) others.push_back(i);
                        const auto kind = now.size() < 13 ? 0 : now.size() > 17 ? 1 : pick(3);
                        if (kind == 0) {
                            const auto at = pick(now.size() + 1);
                            now.insert(now.begin() + std::ptrdiff_t(at), fresh());
                            expected.insert(expected.begin() + std::ptrdiff_t(at), std::nullopt);
                            continue;
                        }
                        const auto from = others[pick(others.size())];
                        const auto moving = now[from];
                        const auto id = expected[from];
                        now.erase(now.begin() + std::ptrdiff_t(from));
                        expected.erase(expected.begin() + std::ptrdiff_t(from));
                        if (kind == 2) {
                            const auto to = pick(now.size() + 1);
                            now.insert(now.begin() + std::ptrdiff_t(to), moving);
                            expected.insert(expected.begin() + std::ptrdiff_t(to), id);
                        }
                    }
                },
                restarts % 2 == 0);
            truth = records();
            int wrong = 0;
            for (std::size_t i = 0; i < truth.size(); ++i)
                if (expected[i] && *expected[i] != truth[i]) ++wrong;
            misplaced += wrong;
            wrongRestarts += wrong > 0;
        }
    }
    std::cout << "  restarts: " << restarts << ", restarts after which a record stood on another tab: " << wrongRestarts
              << ", records on another tab: " << misplaced << "\n";
    EXPECT_EQ(restarts, 2000);
    EXPECT_EQ(misplaced, 0);
}

// Thousands of polls of two windows full of identical tabs, through the store and the browser's
// controller, each after one to three browser changes or one action in the sidebar. The browser
// closes and opens tabs, one or up to two hundred at a time (a new one seen first while loading,
// then titled), moves tabs whose page is open once, retitles identical tabs together, closes a
// twin beside the active tab in the background and activates tabs; the sidebar drags tabs, twins
// more often than not, and its commands lock and mark tabs. Only changes the tab list and the
// active tab tell apart are made. After every poll every tab shows its own record, and with it
// its lock and mark; a marked tab that closes comes back with its mark only when a tab of its
// page opens later and takes its record from the pool, as by design.
TEST(TwinIdentity, MarksStayWithTheirTabsThroughThousandsOfChanges) {
    const test::Seed seed(4242);
    std::mt19937 random(seed.value());
    test::BrowserChanges changes(random, {.fewest = 6, .most = 40, .largestBlock = 200});
    const auto pick = [&](std::size_t n) { return changes.pick(n); };
    std::vector<std::vector<test::Shows>> pages(2);
    for (int p = 0; p < 12; ++p) pages[0].push_back({QStringLiteral("Page %1").arg(p), QStringLiteral("https://p%1.example/").arg(p)});
    for (int p = 0; p < 4; ++p) pages[1].push_back({QStringLiteral("Inbox"), QStringLiteral("https://mail%1.example/").arg(p % 3)});
    Browser browser;
    std::vector<std::int64_t> windowIDs;
    std::vector<std::vector<Truth>> truth(pages.size());
    for (std::size_t w = 0; w < pages.size(); ++w) {
        std::vector<test::Page> tabs;
        for (int t = 0; t < (w == 0 ? 24 : 12); ++t) {
            const auto &page = pages[w][pick(pages[w].size())];
            tabs.push_back({page.title, page.url});
        }
        truth[w].resize(tabs.size());
        windowIDs.push_back(browser.safari.addWindow(test::simWindow(std::move(tabs))));
    }
    browser.start();
    // Tabs stay where the browser and the sidebar put them.
    browser.store->flags().setOverride(false, FeatureFlag::autoNestLinkedTabs());

    const auto browserWindow = [&](std::size_t w) {
        for (const auto &window : browser.safari.windows())
            if (window.id == windowIDs[w]) return window;
        throw std::logic_error("window gone");
    };
    const auto shownTabs = [&](std::size_t w) {
        std::vector<test::Shows> shown;
        for (const auto &t : browserWindow(w).tabs) shown.push_back({t.title, t.url});
        return shown;
    };
    const auto shownWindow = [&](std::size_t w) -> const SafariWindow & {
        for (const auto &window : browser.store->windows())
            if (window.safariID == windowIDs[w]) return window;
        throw std::logic_error("window not shown");
    };
    const auto change = [&](std::size_t w, const std::function<void(SimulatedSafari::Window &)> &edit) {
        browser.safari.update([&](auto &windows) {
            for (auto &window : windows)
                if (window.id == windowIDs[w]) edit(window);
        });
    };
    test::RecordLedger ledger;
    int misplaced = 0;
    int wrongPolls = 0;
    int unread = 0;  // windows of a poll too large, or changed too often, to read: not judged
    std::vector<test::BrowserChanges::Window> since(pages.size());
    std::vector<test::Strip> polled(pages.size());  // each window at the last poll
    std::vector<int> acted(pages.size());           // and the browser's changes to it since, but retitles
    const auto strip = [&](std::size_t w) { return test::Strip{shownTabs(w), {}, std::size_t(browserWindow(w).currentTab - 1)}; };
    const auto recordOf = [&](const SafariTab &tab) { return browser.store->ondrakeIDs().value(tab.id); };
    // After the browser's changes, judged where the readings of the fewest actions agree; after
    // the sidebar's, by what it did.
    const auto read = [&](std::size_t w) {
        const auto now = strip(w);
        const auto &was = polled[w];
        const auto size = std::max(was.pages.size(), now.pages.size());
        std::vector<test::Origins> readings;
        if (acted[w] <= 2 && size <= (acted[w] < 2 ? 60u : 40u))
            readings = test::originsOf(test::fewestExplanations(was.pages, was.active, now.pages, now.active, {acted[w], true}));
        unread += readings.empty();
        std::vector<const TabRecord *> records;
        for (const auto &tab : shownWindow(w).tabs) records.push_back(&browser.store->records().at(recordOf(tab)));
        QSet<OndrakeID> shown;
        for (std::size_t v = 0; v < truth.size(); ++v)
            for (const auto &tab : shownWindow(v).tabs) shown.insert(recordOf(tab));
        truth[w] = ledger.read(truth[w], was.pages, readings, records, shown);
    };
    const auto pollAndCheck = [&](bool browserChanged) {
        browser.poll();
        int now = 0;
        for (std::size_t w = 0; w < truth.size(); ++w) {
            if (browserChanged) read(w);
            const auto &tabs = shownWindow(w).tabs;
            if (tabs.size() != truth[w].size()) throw std::logic_error("the test lost count of the tabs");
            for (std::size_t i = 0; i < tabs.size(); ++i) {
                auto &t = truth[w][i];
                const auto &record = browser.store->records().at(browser.store->ondrakeIDs().value(tabs[i].id));
                now += ledger.misplaced(t, record, absoluteText(tabs[i].url));
            }
        }
        misplaced += now;
        wrongPolls += now > 0;
        std::vector<std::vector<test::Shows>> shown;
        for (std::size_t w = 0; w < truth.size(); ++w) shown.push_back(shownTabs(w));
        changes.polled(since, shown);
        for (std::size_t w = 0; w < truth.size(); ++w) polled[w] = strip(w);
        acted.assign(truth.size(), 0);
    };
    pollAndCheck(false);

    std::map<std::string, int> made;
    int polls = 0;
    for (int step = 0; step < 3000; ++step) {
        bool loading = false;
        for (std::size_t w = 0; w < truth.size(); ++w)
            change(w, [&](auto &window) { loading = test::finishLoading(window.tabs, pages[w]) || loading; });
        if (loading) {
            ++made["titled"];
            pollAndCheck(true);
            continue;
        }
        const auto w = pick(truth.size());
        auto &knownTabs = truth[w];
        const auto action = pick(10);
        const bool sidebar = action < 4;
        if (action < 2) {
            const auto &window = shownWindow(w);
            const auto identical = [](const test::Shows &a, const test::Shows &b) { return a == b; };
            const auto twins = test::positionsOf(shownTabs(w), identical, false);
            const bool twin = !twins.empty() && pick(4) != 0;
            const auto dragged = twin ? twins[pick(twins.size())] : pick(knownTabs.size());
            const auto plan = TabDropPlan::make(window.tabs[dragged].id, window, TabTreeRow::rows({}, window),
                                                int(pick(11)) - 5, int(pick(3)) - 1);
            if (!plan || !plan->changesAnything) continue;
            const auto &move = plan->move;
            if (move.fromIndex != move.toIndex) {
                const auto first = knownTabs.begin() + std::ptrdiff_t(move.fromIndex - 1);
                std::vector<Truth> block(first, first + std::ptrdiff_t(move.count));
                knownTabs.erase(first, first + std::ptrdiff_t(move.count));
                knownTabs.insert(knownTabs.begin() + std::ptrdiff_t(move.toIndex - 1), block.begin(), block.end());
            }
            runToCompletion(browser.scheduler, browser.store->moveTabs(*plan));
            ++made[twin ? "twin dragged in the sidebar" : "dragged in the sidebar"];
        } else if (action < 4) {
            const auto at = pick(knownTabs.size());
            const auto &tab = shownWindow(w).tabs[at];
            if (pick(2) == 0) {
                browser.store->toggleLocked(tab);
                knownTabs[at].locked = !knownTabs[at].locked;
                ++made["locked or unlocked"];
            } else {
                browser.store->toggleImportant(tab);
                knownTabs[at].important = !knownTabs[at].important;
                ++made["marked or unmarked"];
            }
        } else {
            for (std::size_t k = 1 + pick(3); k > 0; --k) {
                const auto v = pick(truth.size());
                const auto shown = shownTabs(v);
                auto active = std::size_t(browserWindow(v).currentTab - 1);
                const auto next = changes.next(shown, active, since[v], pages[v]);
                if (!next) continue;
                acted[v] += next->kind != test::BrowserChange::Kind::retitle;
                change(v, [&](auto &window) {
                    next->apply(window.tabs, active, shown, [](const test::Shows &s) { return test::Page{s.title, s.url}; },
                                [](test::Page &p, const QString &title) { p.title = title; });
                    window.currentTab = std::int64_t(active) + 1;
                });
                ++made[next->name()];
            }
        }
        pollAndCheck(!sidebar);
        ++polls;
    }
    const int tally = test::tallyChanges(made, "titled");
    std::cout << "  polls with changes: " << polls << " (windows too large or changed too often to read: " << unread << "), changes: " << tally
              << ", polls after which a mark or record was misplaced: " << wrongPolls << ", tabs misplaced: " << misplaced << "\n";
    EXPECT_GT(tally, 2500);
    EXPECT_EQ(misplaced, 0);
}

}  // namespace
}  // namespace ondrake
