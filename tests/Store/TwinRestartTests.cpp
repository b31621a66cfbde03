#include "SimulatedBrowserStore.h"

#include "BrowserChanges.h"
#include "RecordLedger.h"
#include "ChangeTally.h"
#include "TestSeed.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <numeric>
#include <random>

namespace ondrake {
namespace {

using test::Browser;
using test::Truth;
using test::Page;
using test::pages;
using test::shape;
using Windows = std::vector<SimulatedSafari::Window>;

const Page kInbox{QStringLiteral("Inbox"), QStringLiteral("https://mail.example/inbox")};

// The shown window holding a tab of this title, if one does.
const SafariWindow *windowWith(const Browser &browser, const QString &title) {
    for (const auto &window : browser.store->windows())
        for (const auto &tab : window.tabs)
            if (tab.title == title) return &window;
    return nullptr;
}

// The record of the tab at `index` in the window holding a tab of this title.
OndrakeID recordIn(const Browser &browser, const QString &title, std::size_t index) {
    return browser.store->ondrakeIDs().value(windowWith(browser, title)->tabs.at(index).id);
}

// Nests the window's tab at `child` under the one at `parent`, as a drag in the sidebar does.
void nest(Browser &browser, const SafariWindow &window, std::size_t child, std::size_t parent) {
    const auto &t = window.tabs[child];
    runToCompletion(browser.scheduler,
                    browser.controller->moveTabs({t.windowID, t.index, 1, t.index, absoluteText(t.url),
                                                  std::int64_t(window.tabs.size()), t.id, window.tabs[parent].id}));
}

// How the application and the browser go away and come back.
enum class Restart {
    both,            // the browser quits, the application saves and is launched again
    browser,         // the browser quits and comes back while the application runs
    application,     // the application alone is launched again
    oldApplication,  // as `both`, from a record file written before records noted their window
};

// The record file as a build that did not note windows writes it.
void forgetWindowsInFile(const Browser &browser) {
    QFile file(TabRecordFileStore(browser.folders.paths(), Logger(QStringLiteral("Persistence"))).fileURL());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    auto document = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    auto records = document.value(QStringLiteral("records")).toArray();
    int noted = 0;
    for (auto record : records) {
        auto object = record.toObject();
        noted += object.contains(QStringLiteral("windowKey"));
        object.remove(QStringLiteral("windowKey"));
        record = object;
    }
    ASSERT_GT(noted, 0);
    document.insert(QStringLiteral("records"), records);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(document).toJson());
}

// `arrange` gives the windows that come back, in the order they come back; a browser that
// starts again gives them new ids.
void restart(Browser &browser, Restart how, const std::function<void(Windows &)> &arrange) {
    const bool browserQuits = how != Restart::application;
    const bool applicationQuits = how != Restart::browser;
    if (browserQuits) {
        browser.safari.quit();
        browser.poll();
    }
    if (applicationQuits) {
        browser.store->cancelPendingSave();
        browser.store->save();
        if (how == Restart::oldApplication) forgetWindowsInFile(browser);
        browser.start();
        browser.store->flags().setOverride(false, FeatureFlag::autoNestLinkedTabs());
    }
    auto windows = browser.safari.windows();
    arrange(windows);
    if (browserQuits) {
        browser.safari.setWindows({});
        for (auto window : windows) {
            window.id = 0;
            browser.safari.addWindow(std::move(window));
        }
        browser.safari.launch();
    } else {
        // A window made while the application was away gets an id of its own.
        std::int64_t next = 1;
        for (const auto &window : browser.safari.windows()) next = std::max(next, window.id + 1);
        for (auto &window : windows)
            if (window.id == 0) window.id = next++;
        browser.safari.setWindows(windows);
    }
    browser.poll();
    browser.poll();
}

// Every window as the sidebar shows it, in no particular order.
std::vector<std::vector<std::string>> shapes(const Browser &browser) {
    std::vector<std::vector<std::string>> all;
    for (const auto &window : browser.store->windows()) all.push_back(shape(browser, window));
    std::sort(all.begin(), all.end());
    return all;
}

// The browser window holding a tab of this title.
std::size_t holding(const Windows &windows, const QString &title) {
    for (std::size_t w = 0; w < windows.size(); ++w)
        for (const auto &tab : windows[w].tabs)
            if (tab.title == title) return w;
    throw std::logic_error("no window holds " + title.toStdString());
}

// The window holding `title` is cut before its tab at `at`: the tabs after the cut (or before it,
// `frontGoes`) go to a new window, in front of the others or at the back.
std::function<void(Windows &)> split(const char *title, std::size_t at, bool frontGoes, bool inFront) {
    return [=](Windows &windows) {
        auto &from = windows[holding(windows, QString::fromUtf8(title))];
        const auto cut = from.tabs.begin() + std::ptrdiff_t(at);
        std::vector<Page> leaving = frontGoes ? std::vector<Page>(from.tabs.begin(), cut) : std::vector<Page>(cut, from.tabs.end());
        if (frontGoes) from.tabs.erase(from.tabs.begin(), cut);
        else from.tabs.erase(cut, from.tabs.end());
        from.currentTab = 1;
        auto made = test::simWindow(std::move(leaving));
        windows.insert(inFront ? windows.begin() : windows.end(), std::move(made));
    };
}

// The window holding `from` goes into the one holding `into`, its tabs after that window's or before.
std::function<void(Windows &)> merge(const char *from, const char *into, bool after) {
    return [=](Windows &windows) {
        const auto gone = holding(windows, QString::fromUtf8(from));
        auto tabs = windows[gone].tabs;
        windows.erase(windows.begin() + std::ptrdiff_t(gone));
        auto &kept = windows[holding(windows, QString::fromUtf8(into))].tabs;
        kept.insert(after ? kept.end() : kept.begin(), tabs.begin(), tabs.end());
    };
}

// The same page first in two or three windows: window 1's locked with a tab nested under it,
// window 2's marked important with a tab nested under it, window 3's left alone. Through every
// kind of restart, with the windows back in their order or another, or only some of them, each
// window's tabs keep their own records, marks and nesting.
TEST(TwinRestart, TheSamePageInSeveralWindowsKeepsEachWindowsRecord) {
    const auto same = [](Windows &) {};
    const auto reversed = [](Windows &w) { std::reverse(w.begin(), w.end()); };
    const auto rotated = [](Windows &w) { std::rotate(w.begin(), w.begin() + 1, w.end()); };
    const auto only = [](std::size_t kept) {
        return [kept](Windows &w) { w = {w[kept]}; };
    };
    // The first window, gone at the last restart, comes back in front.
    const auto firstAgain = [](Windows &w) {
        w.insert(w.begin(), test::simWindow({kInbox, test::page(QStringLiteral("A1")), test::page(QStringLiteral("B1"))}));
    };
    using Shapes = std::vector<std::vector<std::string>>;  // window by window; empty: not back
    const std::vector<std::string> first{"Inbox L", "A1 ^0", "B1"};
    const std::vector<std::string> second{"Inbox I", "A2 ^0", "B2"};
    const std::vector<std::string> third{"Inbox", "A3", "B3"};
    struct Step {
        Restart how;
        std::function<void(Windows &)> arrange;
        Shapes expected;
    };
    struct Case {
        const char *what;
        std::size_t windows;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"two windows back in their order", 2, {{Restart::both, same, {first, second}}}},
        {"two windows back in the reverse order", 2, {{Restart::both, reversed, {first, second}}}},
        {"three windows back in their order", 3, {{Restart::both, same, {first, second, third}}}},
        {"three windows back in the reverse order", 3, {{Restart::both, reversed, {first, second, third}}}},
        {"three windows back in another order", 3, {{Restart::both, rotated, {first, second, third}}}},
        {"only the first window back", 2, {{Restart::both, only(0), {first, {}}}}},
        {"only the second window back", 2, {{Restart::both, only(1), {{}, second}}}},
        {"only the third of three back", 3, {{Restart::both, only(2), {{}, {}, third}}}},
        {"the browser restarts while the application runs", 2, {{Restart::browser, same, {first, second}}}},
        {"the browser restarts with the windows reversed while the application runs", 2,
         {{Restart::browser, reversed, {first, second}}}},
        {"the browser restarts with three windows in another order", 3, {{Restart::browser, rotated, {first, second, third}}}},
        {"the browser restarts with only the second window", 2, {{Restart::browser, only(1), {{}, second}}}},
        {"the application relaunches while the browser runs, the other window in front", 2,
         {{Restart::application, reversed, {first, second}}}},
        {"a file written before records noted their window", 2, {{Restart::oldApplication, reversed, {first, second}}}},
        {"a file written before records noted their window, three windows", 3,
         {{Restart::oldApplication, rotated, {first, second, third}}}},
        {"two restarts in a row, the windows reversed each time", 2,
         {{Restart::both, reversed, {first, second}}, {Restart::browser, reversed, {first, second}}}},
        {"only the second window back, then both", 2,
         {{Restart::both, only(1), {{}, second}}, {Restart::both, firstAgain, {first, second}}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Browser browser;
        for (std::size_t w = 1; w <= c.windows; ++w) {
            const auto n = QString::number(w);
            browser.safari.addWindow(test::simWindow({kInbox, test::page(QStringLiteral("A") + n), test::page(QStringLiteral("B") + n)}));
        }
        browser.start();
        browser.store->flags().setOverride(false, FeatureFlag::autoNestLinkedTabs());
        browser.poll();
        const auto windowOf = [&](std::size_t w) { return windowWith(browser, QStringLiteral("B%1").arg(w + 1)); };
        browser.store->toggleLocked(windowOf(0)->tabs[0]);
        browser.store->toggleImportant(windowOf(1)->tabs[0]);
        for (std::size_t w = 0; w < 2; ++w) {
            nest(browser, *windowOf(w), 1, 0);
            browser.poll();
        }
        ASSERT_EQ(shape(browser, *windowOf(0)), first);
        ASSERT_EQ(shape(browser, *windowOf(1)), second);

        for (std::size_t s = 0; s < c.steps.size(); ++s) {
            SCOPED_TRACE(testing::Message() << "restart " << s + 1);
            const auto &step = c.steps[s];
            restart(browser, step.how, step.arrange);
            for (std::size_t w = 0; w < c.windows; ++w) {
                const auto *window = windowOf(w);
                ASSERT_EQ(window != nullptr, !step.expected[w].empty()) << "window " << w + 1;
                if (window) {
                    EXPECT_EQ(shape(browser, *window), step.expected[w]) << "window " << w + 1;
                }
            }
        }
    }
}

// Windows split or merged while the application was away. Beside two windows that show the same
// two pages, the first window's twins are locked and marked, with a tab nested under one; the
// second's are marked otherwise. Whatever the browser made of the windows, every window that
// shows a window's tabs takes that window's records: each tab keeps its lock, mark and nesting,
// through every kind of restart, once and twice in a row.
TEST(TwinRestart, WindowsSplitOrMergedWhileAwayKeepTheirRecords) {
    using Shapes = std::vector<std::vector<std::string>>;
    const std::vector<std::string> first{"Home L", "Inbox I", "A ^1", "B"};
    const std::vector<std::string> second{"Home", "Inbox L", "C ^1", "D"};
    const std::vector<std::string> third{"Home I", "Inbox", "E", "F"};
    const std::vector<std::string> split3{"Home L", "Inbox I", "A ^1"};
    const std::vector<std::string> lastTab{"B"};
    struct Step {
        std::function<void(Windows &)> arrange;
        Shapes expected;  // the other windows, the second and third, as they were
    };
    struct Case {
        const char *what;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"the last tab split off into a window in front", {{split("B", 3, false, true), {split3, lastTab}}}},
        {"the last tab split off into a window at the back", {{split("B", 3, false, false), {split3, lastTab}}}},
        {"the tabs in front moved into a new window", {{split("B", 3, true, true), {split3, lastTab}}}},
        {"a part with no page of its own left behind", {{split("B", 1, false, false), {{"Home L"}, {"Inbox I", "A ^0", "B"}}}}},
        {"a part with no page of its own split off in front", {{split("B", 1, true, true), {{"Home L"}, {"Inbox I", "A ^0", "B"}}}}},
        {"the second window appended to the first",
         {{merge("C", "A", true), {{"Home L", "Inbox I", "A ^1", "B", "Home", "Inbox L", "C ^5", "D"}}}}},
        {"the second window put in front of the first",
         {{merge("C", "A", false), {{"Home", "Inbox L", "C ^1", "D", "Home L", "Inbox I", "A ^5", "B"}}}}},
        {"the first window appended to the third",
         {{merge("A", "E", true), {{"Home I", "Inbox", "E", "F", "Home L", "Inbox I", "A ^5", "B"}, second}}}},
        {"split twice in a row",
         {{split("B", 3, false, true), {split3, lastTab}}, {split("A", 1, true, false), {{"Home L"}, {"Inbox I", "A ^0"}, lastTab}}}},
        {"merged, then split where they met",
         {{merge("C", "A", true), {{"Home L", "Inbox I", "A ^1", "B", "Home", "Inbox L", "C ^5", "D"}}},
          {split("A", 4, false, false), {first, second}}}},
        {"split, then merged back", {{split("B", 3, false, true), {split3, lastTab}}, {merge("B", "A", true), {first}}}},
        {"merged, then merged with the third", {{merge("C", "A", true), {{"Home L", "Inbox I", "A ^1", "B", "Home", "Inbox L", "C ^5", "D"}}},
                                                {merge("E", "A", false),
                                                 {{"Home I", "Inbox", "E", "F", "Home L", "Inbox I", "A ^5", "B", "Home", "Inbox L", "C ^9", "D"}}}}},
    };
    for (const auto how : {Restart::both, Restart::browser, Restart::application}) {
        SCOPED_TRACE(how == Restart::both ? "both restarted" : how == Restart::browser ? "the browser restarted" : "the application relaunched");
        for (const auto &c : cases) {
            SCOPED_TRACE(c.what);
            Browser browser;
            browser.safari.addWindow(test::simWindow(pages({"Home", "Inbox", "A", "B"})));
            browser.safari.addWindow(test::simWindow(pages({"Home", "Inbox", "C", "D"})));
            browser.safari.addWindow(test::simWindow(pages({"Home", "Inbox", "E", "F"})));
            browser.start();
            browser.store->flags().setOverride(false, FeatureFlag::autoNestLinkedTabs());
            browser.poll();
            browser.store->toggleLocked(windowWith(browser, QStringLiteral("A"))->tabs[0]);
            browser.store->toggleImportant(windowWith(browser, QStringLiteral("A"))->tabs[1]);
            browser.store->toggleLocked(windowWith(browser, QStringLiteral("C"))->tabs[1]);
            browser.store->toggleImportant(windowWith(browser, QStringLiteral("E"))->tabs[0]);
            for (const auto *title : {"A", "C"}) {
                nest(browser, *windowWith(browser, QString::fromUtf8(title)), 2, 1);
                browser.poll();
            }
            auto all = Shapes{first, second, third};
            std::sort(all.begin(), all.end());
            ASSERT_EQ(shapes(browser), all);

            for (std::size_t s = 0; s < c.steps.size(); ++s) {
                SCOPED_TRACE(testing::Message() << "restart " << s + 1);
                restart(browser, how, c.steps[s].arrange);
                auto expected = c.steps[s].expected;
                const auto shown = [&](const char *title) {
                    return std::any_of(expected.begin(), expected.end(), [&](const auto &shape) {
                        return std::any_of(shape.begin(), shape.end(), [&](const auto &word) { return word.rfind(title, 0) == 0; });
                    });
                };
                if (!shown("C")) expected.push_back(second);
                if (!shown("E")) expected.push_back(third);
                std::sort(expected.begin(), expected.end());
                EXPECT_EQ(shapes(browser), expected);
            }
        }
    }
}

// The same page first in three windows, each window's marked its own way with a tab nested under
// it, gone when the application comes back. As each window opens the page again, in any order,
// its new tab takes that window's record back, however many restarts came between.
TEST(TwinRestart, RecordsWaitingAfterARestartGoBackToTheirOwnWindow) {
    const Page favorites{QStringLiteral("Favorites"), QStringLiteral("favorites://")};
    struct Kind {
        const char *what;
        std::vector<Restart> restarts;
    };
    const Kind kinds[] = {
        {"both restarted", {Restart::both}},
        {"the browser restarted", {Restart::browser}},
        {"the application relaunched", {Restart::application}},
        {"restarted twice", {Restart::both, Restart::application}},
        {"the browser restarted, then the application relaunched", {Restart::browser, Restart::both}},
    };
    const auto child = [](std::size_t w) { return QStringLiteral("Child%1").arg(w + 1); };
    std::array<std::size_t, 3> order{0, 1, 2};
    do {
        for (const auto &kind : kinds) {
            SCOPED_TRACE(testing::Message() << kind.what << ", opened in windows " << order[0] + 1 << order[1] + 1 << order[2] + 1);
            Browser browser;
            for (std::size_t w = 0; w < 3; ++w)
                browser.safari.addWindow(test::simWindow({favorites, test::page(child(w)), test::page(QStringLiteral("Other%1").arg(w + 1))}));
            browser.start();
            browser.store->flags().setOverride(false, FeatureFlag::autoNestLinkedTabs());
            browser.poll();
            std::array<OndrakeID, 3> record;
            for (std::size_t w = 0; w < 3; ++w) {
                nest(browser, *windowWith(browser, child(w)), 1, 0);
                browser.poll();
                record[w] = recordIn(browser, child(w), 0);
            }
            browser.store->toggleLocked(windowWith(browser, child(0))->tabs[0]);
            browser.store->toggleImportant(windowWith(browser, child(1))->tabs[0]);
            runToCompletion(browser.scheduler, browser.store->commands().toggleReadLater(true, record[2]));

            restart(browser, kind.restarts.front(), [](Windows &windows) {
                for (auto &window : windows) window.tabs.erase(window.tabs.begin());
            });
            for (std::size_t r = 1; r < kind.restarts.size(); ++r) restart(browser, kind.restarts[r], [](Windows &) {});
            for (std::size_t w = 0; w < 3; ++w) ASSERT_EQ(windowWith(browser, child(w))->tabs.size(), 2u);

            for (const auto w : order) {
                // "+" in the window: the new tab opens last and active.
                browser.safari.update([&](Windows &windows) {
                    auto &window = windows[holding(windows, child(w))];
                    window.tabs.push_back(favorites);
                    window.currentTab = std::int64_t(window.tabs.size());
                });
                browser.poll();
                EXPECT_EQ(recordIn(browser, child(w), 2), record[w]) << "window " << w + 1;
            }
            const auto &records = browser.store->records();
            EXPECT_TRUE(records.at(record[0]).locked);
            EXPECT_TRUE(records.at(record[1]).important);
            EXPECT_TRUE(records.at(record[2]).readLater);
        }
    } while (std::next_permutation(order.begin(), order.end()));
}

// A parent dragged into another window while the application was away: its child, back in its
// own window, shows no parent, yet keeps the link, and nests again once a later restart finds the
// parent back before it.
TEST(TwinRestart, AChildNestsAgainOnceItsParentIsBackInItsWindow) {
    // The parent leaves for the second window's end, then comes back to the first's front.
    const auto away = [](Windows &w) {
        w[1].tabs.push_back(w[0].tabs[1]);
        w[0].tabs.erase(w[0].tabs.begin() + 1);
    };
    const auto back = [](Windows &w) {
        w[0].tabs.insert(w[0].tabs.begin() + 1, w[1].tabs.back());
        w[1].tabs.pop_back();
    };
    for (const auto how : {Restart::both, Restart::browser}) {
        SCOPED_TRACE(how == Restart::both ? "the application relaunched" : "the application running");
        Browser browser;
        browser.safari.addWindow(test::simWindow(pages({"Home", "Notes", "Child"})));
        browser.safari.addWindow(test::simWindow(pages({"Other"})));
        browser.start();
        browser.store->flags().setOverride(false, FeatureFlag::autoNestLinkedTabs());
        browser.poll();
        nest(browser, *windowWith(browser, QStringLiteral("Child")), 2, 1);
        browser.poll();
        const auto child = browser.idOf(QStringLiteral("Child"));
        const auto notes = browser.idOf(QStringLiteral("Notes"));
        ASSERT_EQ(shape(browser, *windowWith(browser, QStringLiteral("Child"))), (std::vector<std::string>{"Home", "Notes", "Child ^1"}));

        restart(browser, how, away);
        EXPECT_EQ(browser.idOf(QStringLiteral("Notes")), notes);
        EXPECT_EQ(browser.tab(QStringLiteral("Child")).parentID, std::nullopt) << "not nested across windows";
        EXPECT_EQ(browser.store->records().at(child).parentID, notes) << "the link waits";

        restart(browser, how, back);
        EXPECT_EQ(shape(browser, *windowWith(browser, QStringLiteral("Child"))), (std::vector<std::string>{"Home", "Notes", "Child ^1"}));
    }
}

// Tabs moved while the application was away must not outvote the ones around a twin: of three
// tabs of one page, the second closes and a block of five other tabs is dragged to the front.
// Each twin left keeps its own record; the closed one's waits for its page.
TEST(TwinRestart, TabsMovedWhileAwayDoNotOutvoteTheTabsAroundATwin) {
    const Page sky{QStringLiteral("Sky"), QStringLiteral("https://sky.example/")};
    // S1 U1 U2 S4 U3 U4 S7 V1..V5
    std::vector<Page> tabs{sky};
    for (const auto *name : {"U1", "U2"}) tabs.push_back(test::page(QString::fromUtf8(name)));
    tabs.push_back(sky);
    for (const auto *name : {"U3", "U4"}) tabs.push_back(test::page(QString::fromUtf8(name)));
    tabs.push_back(sky);
    for (int v = 1; v <= 5; ++v) tabs.push_back(test::page(QStringLiteral("V%1").arg(v)));

    const auto closeTheSecondMoveTheBlock = [](std::size_t block) {
        return [block](Windows &w) {
            auto &t = w[0].tabs;
            t.erase(t.begin() + 3);
            std::rotate(t.begin(), t.end() - std::ptrdiff_t(block), t.end());
        };
    };
    struct Case {
        const char *what;
        Restart how;
        std::function<void(Windows &)> arrange;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"five tabs dragged to the front", Restart::both, closeTheSecondMoveTheBlock(5),
         {"V1", "V2", "V3", "V4", "V5", "Sky L", "U1", "U2", "U3", "U4", "Sky I"}},
        {"the same while the application runs", Restart::browser, closeTheSecondMoveTheBlock(5),
         {"V1", "V2", "V3", "V4", "V5", "Sky L", "U1", "U2", "U3", "U4", "Sky I"}},
        {"three tabs dragged to the front", Restart::both, closeTheSecondMoveTheBlock(3),
         {"V3", "V4", "V5", "Sky L", "U1", "U2", "U3", "U4", "Sky I", "V1", "V2"}},
        {"nothing dragged", Restart::both, closeTheSecondMoveTheBlock(0),
         {"Sky L", "U1", "U2", "U3", "U4", "Sky I", "V1", "V2", "V3", "V4", "V5"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Browser browser;
        browser.safari.addWindow(test::simWindow(tabs));
        browser.start();
        browser.poll();
        const auto shown = browser.store->windows().front().tabs;
        browser.store->toggleLocked(shown[0]);
        browser.store->toggleImportant(shown[6]);
        const auto closed = browser.store->ondrakeIDs().value(shown[3].id);

        restart(browser, c.how, c.arrange);
        EXPECT_EQ(shape(browser, browser.store->windows().front()), c.expected);
        const auto &pool = browser.store->resolver().pool();
        EXPECT_TRUE(std::any_of(pool.begin(), pool.end(), [&](const auto &entry) { return entry.id == closed; }))
            << "the closed twin's record waits for its page";
    }
}

// Read Later's Open of a page: the tab that holds the record keeps it while it is open, in any
// window; the new tab takes it only when no tab holds it.
TEST(TwinRestart, ReadLatersOpenLeavesTheRecordOnTheTabThatHoldsIt) {
    struct Case {
        const char *what;
        std::function<void(Browser &)> before;  // done to the browser before the Open
        bool newTabTakesIt;
    };
    const auto closeArticle = [](Browser &b) {
        b.safari.update([](Windows &w) {
            w[1].tabs.pop_back();
            w[1].currentTab = 1;
        });
    };
    const Case cases[] = {
        {"its tab open in another window", [](Browser &) {}, false},
        {"its tab closed before", [&](Browser &b) {
             closeArticle(b);
             b.poll();
         },
         true},
        {"its tab closed as the new one opens", closeArticle, true},
    };
    // Titled as the browser titles the tab it opens, so that titles tell the two tabs no more
    // apart than addresses do.
    const Page page{QStringLiteral("article.example"), QStringLiteral("https://article.example/")};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Browser browser;
        browser.safari.addWindow(test::simWindow(pages({"Home"})));
        browser.safari.addWindow(test::simWindow({test::page(QStringLiteral("Other")), page}));
        browser.start();
        browser.poll();
        const auto article = browser.idOf(page.title);
        runToCompletion(browser.scheduler, browser.store->commands().toggleReadLater(true, article));
        c.before(browser);

        runToCompletion(browser.scheduler, browser.store->openReadLater(article, false));
        browser.poll();
        const auto windows = browser.safari.windows();
        ASSERT_EQ(windows[0].tabs.size(), 2u) << "opened in the front window";
        const auto opened = recordIn(browser, QStringLiteral("Home"), 1);
        EXPECT_EQ(opened == article, c.newTabTakesIt);
        if (!c.newTabTakesIt) {
            EXPECT_EQ(recordIn(browser, QStringLiteral("Other"), 1), article) << "the other window's tab";
        }
        EXPECT_TRUE(browser.store->records().at(article).readLater);
        EXPECT_TRUE(browser.store->records().at(article).isOpen());
    }
}

// What becomes of the windows at a restart: each window of the result keeps the identity of one
// it came from, or is new, and takes these tabs (window and position before) in this order.
struct WindowPlan {
    std::optional<std::size_t> keeps;
    std::vector<std::pair<std::size_t, std::size_t>> tabs;
};
using Plan = std::vector<WindowPlan>;

template<typename T>
std::vector<std::vector<T>> following(const Plan &plan, const std::vector<std::vector<T>> &before) {
    std::vector<std::vector<T>> after;
    for (const auto &window : plan) {
        auto &tabs = after.emplace_back();
        for (const auto &[w, i] : window.tabs) tabs.push_back(before[w][i]);
    }
    return after;
}

// The windows as they were, reordered.
Plan unchanged(const std::vector<std::size_t> &sizes) {
    Plan plan;
    for (std::size_t w = 0; w < sizes.size(); ++w) {
        auto &window = plan.emplace_back(WindowPlan{w, {}});
        for (std::size_t i = 0; i < sizes[w]; ++i) window.tabs.emplace_back(w, i);
    }
    return plan;
}

// Two and three windows sharing pages, a home page first in each, through thousands of changes
// with restarts between them: the browser quits and comes back, the application is launched
// again, or both; while the application is away a window may be split in two or two merged, and
// the windows come back in any order. The browser's changes are the ones its tab list tells apart
// (what it opens becomes active; closing the active tab activates its right neighbour, the left
// one when it was last); the sidebar locks, marks and nests tabs. After every poll every tab shows
// its own record with its marks, as a ledger the run keeps says, and after every restart every
// tab whose parent is still before it in its window is nested under it. A marked tab that closes
// comes back with its mark only when a tab of its page opens later and takes its record from the
// pool, as by design.
TEST(TwinRestart, RecordsAndNestingStayThroughRestartsOfWindowsSharingPages) {
    const test::Seed seed(33);
    std::mt19937 random(seed.value());
    test::BrowserChanges changes(random, {.fewest = 4, .most = 18, .largestBlock = 6});
    const auto pick = [&](std::size_t n) { return changes.pick(n); };
    const test::Shows home{QStringLiteral("Home"), QStringLiteral("https://home.example/")};
    const std::vector<test::Shows> shared{{QStringLiteral("Inbox"), QStringLiteral("https://mail.example/")},
                                          {QStringLiteral("Calendar"), QStringLiteral("https://calendar.example/")}};
    int unread = 0;  // windows of a poll too large to read, or read by no explanation
    int misplaced = 0, wrongPolls = 0, linksLost = 0, linksChecked = 0, restarts = 0, splitCount = 0, mergeCount = 0, polls = 0;
    std::map<std::string, int> made;
    for (int round = 0; round < 24; ++round) {
        const std::size_t windowsAtFirst = 2 + std::size_t(round % 2);
        std::vector<std::vector<test::Shows>> pages(windowsAtFirst);
        std::vector<std::vector<Truth>> truth(windowsAtFirst);
        Browser browser;
        for (std::size_t w = 0; w < windowsAtFirst; ++w) {
            pages[w] = {home, shared[0], shared[1], home};
            for (int k = 0; k < 3; ++k)
                pages[w].push_back({QStringLiteral("Page %1.%2").arg(w).arg(k), QStringLiteral("https://p%1-%2.example/").arg(w).arg(k)});
            std::vector<Page> tabs{{home.title, home.url}};
            for (std::size_t t = 0, n = 5 + pick(6); t < n; ++t) {
                const auto &p = pages[w][pick(pages[w].size())];
                tabs.push_back({p.title, p.url});
            }
            truth[w].resize(tabs.size());
            browser.safari.addWindow(test::simWindow(std::move(tabs)));
        }
        browser.start();
        browser.store->flags().setOverride(false, FeatureFlag::autoNestLinkedTabs());

        // Window w is the browser's w-th window; the test keeps its truth in that order.
        const auto windowCount = [&] { return truth.size(); };
        const auto browserWindow = [&](std::size_t w) { return browser.safari.windows().at(w); };
        const auto shownTabs = [&](std::size_t w) {
            std::vector<test::Shows> out;
            for (const auto &t : browserWindow(w).tabs) out.push_back({t.title, t.url});
            return out;
        };
        const auto shownWindow = [&](std::size_t w) -> const SafariWindow & {
            const auto id = browserWindow(w).id;
            for (const auto &window : browser.store->windows())
                if (window.safariID == id) return window;
            throw std::logic_error("window not shown");
        };
        const auto recordOf = [&](const SafariTab &tab) { return browser.store->ondrakeIDs().value(tab.id); };
        test::RecordLedger ledger;
        QSet<QString> pooled;  // addresses of marked tabs that closed: their records wait
        std::vector<test::BrowserChanges::Window> since(windowCount());
        std::vector<test::Strip> polled;  // each window at the last poll
        std::vector<int> acted;           // and the actions of a person in it since, but retitles
        const auto strip = [&](std::size_t w) { return test::Strip{shownTabs(w), {}, std::size_t(browserWindow(w).currentTab - 1)}; };
        // Judged where the readings of the fewest actions since the last poll agree.
        const auto read = [&](std::size_t w) {
            const auto now = strip(w);
            const auto &was = polled[w];
            std::vector<test::Origins> readings;
            if (std::max(was.pages.size(), now.pages.size()) <= 40)
                readings = test::originsOf(test::fewestExplanations(was.pages, was.active, now.pages, now.active, {acted[w], true, 6}));
            unread += readings.empty();
            std::vector<const TabRecord *> records;
            for (const auto &tab : shownWindow(w).tabs) records.push_back(&browser.store->records().at(recordOf(tab)));
            QSet<OndrakeID> shown;
            for (std::size_t v = 0; v < windowCount(); ++v)
                for (const auto &tab : shownWindow(v).tabs) shown.insert(recordOf(tab));
            truth[w] = ledger.read(truth[w], was.pages, readings, records, shown);
            return readings;
        };
        const auto pollAndCheck = [&](bool restarted) {
            browser.poll();
            ++polls;
            int now = 0;
            for (std::size_t w = 0; w < windowCount(); ++w) {
                const auto was = truth[w];
                const auto readings = restarted ? std::vector<test::Origins>{} : read(w);
                const auto &tabs = shownWindow(w).tabs;
                if (tabs.size() != truth[w].size()) throw std::logic_error("the test lost count of the tabs");
                int here = 0;
                for (std::size_t i = 0; i < tabs.size(); ++i) {
                    auto &t = truth[w][i];
                    const auto &record = browser.store->records().at(recordOf(tabs[i]));
                    here += ledger.misplaced(t, record, absoluteText(tabs[i].url));
                }
                now += here;
                if (here == 0 || restarted || misplaced + now - here >= 5) continue;
                test::Origins given;
                for (const auto &tab : tabs) {
                    const auto at = std::find_if(was.begin(), was.end(), [&](const Truth &t) { return t.id == recordOf(tab); });
                    given.push_back(at == was.end() ? std::nullopt : std::optional(std::size_t(at - was.begin())));
                }
                ADD_FAILURE() << "poll " << polls << ", window " << w + 1 << ": " << test::writtenRound(polled[w], strip(w), readings, given);
            }
            misplaced += now;
            wrongPolls += now > 0;
            std::vector<std::vector<test::Shows>> shown;
            for (std::size_t w = 0; w < windowCount(); ++w) shown.push_back(shownTabs(w));
            since.resize(windowCount());
            changes.polled(since, shown);
            polled.clear();
            for (std::size_t w = 0; w < windowCount(); ++w) polled.push_back(strip(w));
            acted.assign(windowCount(), 0);
        };
        pollAndCheck(true);

        for (int step = 0; step < 150; ++step) {
            bool loading = false;
            browser.safari.update([&](Windows &windows) {
                for (std::size_t w = 0; w < windowCount(); ++w) loading = test::finishLoading(windows[w].tabs, pages[w]) || loading;
            });
            if (loading) {
                ++made["titled"];
                pollAndCheck(false);
                continue;
            }
            const auto action = pick(12);
            const auto w = pick(windowCount());
            const bool restarting = action == 0;
            if (restarting) {
                // The browser quits and comes back, or the application is launched again, or both.
                // Each tab's parent as shown, by window and position.
                std::vector<std::vector<std::optional<std::size_t>>> parents(windowCount());
                std::vector<std::size_t> sizes;
                for (std::size_t v = 0; v < windowCount(); ++v) {
                    const auto &tabs = shownWindow(v).tabs;
                    sizes.push_back(tabs.size());
                    for (const auto &tab : tabs) {
                        auto &parent = parents[v].emplace_back();
                        for (std::size_t p = 0; tab.parentID && p < tabs.size(); ++p)
                            if (tabs[p].id == *tab.parentID) parent = p;
                    }
                }
                // While the application is away a window may be split, or two merged; then the
                // windows come back in any order. As with a block the browser moves, each part
                // holds a page shown once: a part of pages shown elsewhere too could as well have
                // been another.
                std::vector<std::vector<std::size_t>> once(windowCount());  // positions of pages shown once
                {
                    QHash<QString, int> shown;
                    for (std::size_t v = 0; v < windowCount(); ++v)
                        for (const auto &t : shownTabs(v)) ++shown[t.url];
                    for (std::size_t v = 0; v < windowCount(); ++v) {
                        const auto tabs = shownTabs(v);
                        for (std::size_t i = 0; i < tabs.size(); ++i)
                            if (shown.value(tabs[i].url) == 1 && !pooled.contains(tabs[i].url)) once[v].push_back(i);
                    }
                }
                auto plan = unchanged(sizes);
                const auto reshape = pick(3);
                const auto other = windowCount() > 1 ? (w + 1 + pick(windowCount() - 1)) % windowCount() : w;
                if (reshape == 0 && windowCount() < 4 && once[w].size() > 1) {
                    const auto at = once[w].front() + 1 + pick(once[w].back() - once[w].front());
                    WindowPlan part{std::nullopt, {}};
                    auto &whole = plan[w].tabs;
                    const bool frontGoes = pick(2) == 0;
                    const auto cut = whole.begin() + std::ptrdiff_t(at);
                    if (frontGoes) part.tabs.assign(whole.begin(), cut);
                    else part.tabs.assign(cut, whole.end());
                    if (frontGoes) whole.erase(whole.begin(), cut);
                    else whole.erase(cut, whole.end());
                    plan.push_back(std::move(part));
                    ++splitCount;
                    ++made["split while away"];
                } else if (reshape == 1 && other != w && !once[w].empty() && !once[other].empty()) {
                    auto &into = plan[w].tabs;
                    const auto &from = plan[other].tabs;
                    into.insert(pick(2) == 0 ? into.end() : into.begin(), from.begin(), from.end());
                    plan.erase(plan.begin() + std::ptrdiff_t(other));
                    ++mergeCount;
                    ++made["merged while away"];
                }
                std::shuffle(plan.begin(), plan.end(), random);

                std::map<OndrakeID, OndrakeID> links;  // child's record to its parent's, to be shown again
                for (const auto &window : plan)
                    for (std::size_t i = 0; i < window.tabs.size(); ++i) {
                        const auto &[v, k] = window.tabs[i];
                        const auto parent = parents[v][k];
                        if (!parent) continue;
                        // Still before its child in the child's window?
                        for (std::size_t j = 0; j < i; ++j)
                            if (window.tabs[j] == std::pair(v, *parent))
                                links.emplace(recordOf(shownWindow(v).tabs[k]), recordOf(shownWindow(v).tabs[*parent]));
                    }
                const auto how = std::array{Restart::both, Restart::browser, Restart::application}[pick(3)];
                restart(browser, how, [&](Windows &windows) {
                    std::vector<std::vector<Page>> tabs;
                    for (const auto &window : windows) tabs.push_back(window.tabs);
                    const auto arranged = following(plan, tabs);
                    Windows result;
                    for (std::size_t r = 0; r < plan.size(); ++r) {
                        auto window = plan[r].keeps ? windows[*plan[r].keeps] : test::simWindow({});
                        window.tabs = arranged[r];
                        window.currentTab = std::min<std::int64_t>(std::max<std::int64_t>(window.currentTab, 1), std::int64_t(window.tabs.size()));
                        result.push_back(std::move(window));
                    }
                    windows = std::move(result);
                });
                truth = following(plan, truth);
                // A window's pages are those of the windows its tabs came from.
                std::vector<std::vector<test::Shows>> joined;
                for (const auto &window : plan) {
                    auto &list = joined.emplace_back();
                    for (const auto &[v, k] : window.tabs)
                        for (const auto &p : pages[v])
                            if (std::find(list.begin(), list.end(), p) == list.end()) list.push_back(p);
                }
                pages = std::move(joined);
                browser.poll();
                for (std::size_t v = 0; v < windowCount(); ++v) {
                    const auto &tabs = shownWindow(v).tabs;
                    for (const auto &tab : tabs) {
                        const auto link = links.find(recordOf(tab));
                        if (link == links.end()) continue;
                        ++linksChecked;
                        if (!tab.parentID || browser.store->ondrakeIDs().value(*tab.parentID) != link->second) ++linksLost;
                    }
                }
                ++restarts;
                ++made["restart"];
            } else if (action < 3) {
                const auto &tabs = shownWindow(w).tabs;
                const auto at = pick(tabs.size());
                if (pick(2) == 0) {
                    browser.store->toggleLocked(tabs[at]);
                    truth[w][at].locked = !truth[w][at].locked;
                    ++made["locked or unlocked"];
                } else {
                    browser.store->toggleImportant(tabs[at]);
                    truth[w][at].important = !truth[w][at].important;
                    ++made["marked or unmarked"];
                }
            } else if (action < 5) {
                // A tab nested under the one before it, as a drag in the sidebar does.
                const auto window = shownWindow(w);
                if (window.tabs.size() < 2) continue;
                const auto at = 1 + pick(window.tabs.size() - 1);
                if (window.tabs[at].parentID) continue;
                nest(browser, window, at, at - 1);
                ++made["nested"];
            } else {
                // One or two changes a poll: a poll of more can as well be read as fewer others.
                auto moved = truth;  // as the changes move it, for the records they close
                for (std::size_t k = 1 + pick(2); k > 0; --k) {
                    const auto v = pick(windowCount());
                    const auto shown = shownTabs(v);
                    auto active = std::size_t(browserWindow(v).currentTab - 1);
                    const auto next = changes.next(shown, active, since[v], pages[v]);
                    if (!next) continue;
                    using Kind = test::BrowserChange::Kind;
                    if (next->kind == Kind::close || next->kind == Kind::closeBesideActive)
                        for (std::size_t i = next->at; i < next->at + next->count; ++i)
                            if (moved[v][i].locked || moved[v][i].important) pooled.insert(shown[i].url);
                    auto activeOfTruth = active;
                    next->apply(moved[v], activeOfTruth, shown, [](const test::Shows &) { return Truth{}; },
                                [](Truth &, const QString &) {});
                    acted[v] += next->kind != Kind::retitle;
                    browser.safari.update([&](Windows &windows) {
                        next->apply(windows[v].tabs, active, shown, [](const test::Shows &s) { return Page{s.title, s.url}; },
                                    [](Page &p, const QString &title) { p.title = title; });
                        // What the browser opens becomes active.
                        if (next->kind == Kind::open) active = next->at + next->opened.size() - 1;
                        windows[v].currentTab = std::int64_t(active) + 1;
                    });
                    ++made[next->name()];
                }
            }
            pollAndCheck(restarting);
        }
    }
    const int tally = test::tallyChanges(made, "titled");
    std::cout << "  seed: " << seed.value() << ", polls: " << polls << " (windows read by no explanation: " << unread << ")" << ", changes: " << tally << ", restarts: " << restarts
              << " (splits: " << splitCount << ", merges: " << mergeCount << ")"
              << ", polls after which a record or mark stood on another tab: " << wrongPolls << ", tabs misplaced: " << misplaced
              << ", parent links checked: " << linksChecked << ", lost: " << linksLost << "\n";
    EXPECT_GT(restarts, 200);
    EXPECT_GT(splitCount, 30);
    EXPECT_GT(mergeCount, 30);
    EXPECT_EQ(misplaced, 0);
    EXPECT_EQ(linksLost, 0);
}

}  // namespace
}  // namespace ondrake
