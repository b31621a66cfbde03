#include "SyncTestSupport.h"

#include "Sync/TabEventDiffer.h"

namespace ondrake {
namespace {

using test::resolved;
using test::rid;
using E = TabEvent;
using Events = std::vector<TabEvent>;

Events diff(const ResolvedSnapshot &previous, const ResolvedSnapshot &current) {
    return TabEventDiffer().diff(previous.tabs, previous.windowIDs, current.tabs, current.windowIDs,
                                 current.browserWasRunning);
}

TEST(TabEventDiffer, AQuitBrowserOrAnUnchangedPollTellsNothing) {
    const ResolvedSnapshot previous{{resolved(rid(1), 1, 1, true)}, {1}, true};
    EXPECT_TRUE(diff(previous, previous).empty());
    EXPECT_TRUE(diff(previous, ResolvedSnapshot{{}, {}, false}).empty());
    EXPECT_TRUE(diff(ResolvedSnapshot{}, ResolvedSnapshot{{resolved(rid(2), 2, 1, true)}, {2}, false}).empty());
}

TEST(TabEventDiffer, KeepsItsPassesInOrder) {
    const auto A = rid(1), B = rid(2), C = rid(3);
    // The worked example: a swap of the active tab in one window and a new window with a new tab.
    const ResolvedSnapshot previous{{resolved(A, 1, 0, true), resolved(B, 1, 1)}, {1}, true};
    const ResolvedSnapshot current{
        {resolved(B, 1, 0, true), resolved(A, 1, 1), resolved(C, 2, 0, true)}, {1, 2}, true};
    EXPECT_EQ(diff(previous, current), (Events{E::windowOpened(2), E::tabCreated(C), E::tabReordered(B, 1, 0),
                                               E::tabReordered(A, 0, 1), E::tabDeactivated(A), E::tabActivated(B),
                                               E::tabActivated(C)}));
}

TEST(TabEventDiffer, FirstPollAndEmptyPoll) {
    const auto A = rid(1), B = rid(2), C = rid(3);
    const ResolvedSnapshot full{{resolved(A, 1, 1, true), resolved(B, 1, 2), resolved(C, 2, 1, true)}, {1, 2}, true};
    EXPECT_EQ(diff(ResolvedSnapshot{}, full), (Events{E::windowOpened(1), E::windowOpened(2), E::tabCreated(A),
                                                      E::tabCreated(B), E::tabCreated(C), E::tabActivated(A),
                                                      E::tabActivated(C)}));
    // Everything closed while the browser still runs: no deactivation for a vanished tab.
    EXPECT_EQ(diff(full, ResolvedSnapshot{}), (Events{E::tabClosed(A), E::tabClosed(B), E::tabClosed(C),
                                                      E::windowClosed(1), E::windowClosed(2)}));
    // A window without tabs opens.
    EXPECT_EQ(diff(full, ResolvedSnapshot{full.tabs, {1, 2, 3}, true}), (Events{E::windowOpened(3)}));
}

TEST(TabEventDiffer, ChangesOfOneTab) {
    const auto T = rid(1), P = rid(2), Q = rid(3);
    const auto url = [](const char *text) { return std::optional<QString>(QString::fromUtf8(text)); };
    const auto base = resolved(T, 1, 1, false, QStringLiteral("Title"), url("https://a.example/"), P);
    struct Case {
        const char *name;
        ResolvedTab after;
        Events expected;
    };
    auto moved = base;
    moved.windowID = 2;
    moved.index = 5;
    auto reordered = base;
    reordered.index = 3;
    auto everything = base;
    everything.url = url("https://b.example/");
    everything.title = QStringLiteral("Other");
    everything.windowID = 2;
    everything.parentOndrakeID = Q;
    everything.isActive = true;
    auto noURL = base;
    noURL.url.reset();
    auto unparented = base;
    unparented.parentOndrakeID.reset();
    auto newSession = base;
    newSession.sessionTabID = QStringLiteral("tab-999");
    auto decomposed = resolved(T, 1, 1, false, QStringLiteral("Cafe\u0301"), url("https://a.example/"), P);

    const Case cases[] = {
        {"moved to another window and index", moved, {E::tabMovedToWindow(T, 1, 2)}},
        {"reordered", reordered, {E::tabReordered(T, 1, 3)}},
        {"all at once", everything,
         {E::urlChanged(T, url("https://a.example/"), url("https://b.example/")), E::titleChanged(T, "Title", "Other"),
          E::tabMovedToWindow(T, 1, 2), E::parentChanged(T, P, Q), E::tabActivated(T)}},
        {"address gone", noURL, {E::urlChanged(T, url("https://a.example/"), std::nullopt)}},
        {"parent gone", unparented, {E::parentChanged(T, P, std::nullopt)}},
        {"only the session id changed", newSession, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(diff({{base}, {1, 2}, true}, {{c.after}, {1, 2}, true}), c.expected);
    }

    // The reverse of "address gone", and two absent addresses.
    EXPECT_EQ(diff({{noURL}, {1}, true}, {{base}, {1}, true}),
              (Events{E::urlChanged(T, std::nullopt, url("https://a.example/"))}));
    EXPECT_TRUE(diff({{noURL}, {1}, true}, {{noURL}, {1}, true}).empty());

    // Canonically equivalent titles are the same title.
    auto composed = decomposed;
    composed.title = QStringLiteral("Caf\u00e9");
    EXPECT_TRUE(diff({{decomposed}, {1}, true}, {{composed}, {1}, true}).empty());
}

TEST(TabEventDiffer, ActiveTabClosingWhileAnotherTakesOver) {
    const auto A = rid(1), B = rid(2);
    EXPECT_EQ(diff({{resolved(A, 1, 1, true), resolved(B, 1, 2)}, {1}, true}, {{resolved(B, 1, 1, true)}, {1}, true}),
              (Events{E::tabReordered(B, 2, 1), E::tabActivated(B), E::tabClosed(A)}));
}

TEST(TabEventDiffer, ARepeatedIdentityCountsOnlyAtItsFirstTab) {
    const auto A = rid(1), B = rid(2);
    const ResolvedSnapshot previous{{resolved(A, 1, 1, true)}, {1}, true};
    const ResolvedSnapshot current{{resolved(A, 1, 1, true), resolved(B, 1, 2), resolved(A, 1, 3)}, {1, 1}, true};
    EXPECT_EQ(diff(previous, current), (Events{E::tabCreated(B)}));
    EXPECT_EQ(diff(current, previous), (Events{E::tabClosed(B)}));
}

}  // namespace
}  // namespace ondrake

namespace ondrake {
namespace {

TEST(ResolvedSnapshot, BuildsFromTheWindowsAndTheMapping) {
    using test::safariTab;
    using test::safariWindow;
    const std::vector<SafariWindow> windows{
        safariWindow(7, {safariTab("tab-0", 7, 1, "A", "HTTPS://A.example/p", true),
                         safariTab("tab-1", 7, 2, "B", "", false, QStringLiteral("tab-0")),
                         safariTab("tab-2", 7, 3, "Unmapped", "https://u.example/"),
                         safariTab("tab-3", 7, 4, "C", "https://c.example/", false, QStringLiteral("tab-2"))}),
        safariWindow(8, {}, 2)};
    const TabIdentityMapping mapping{{"tab-0", rid(1)}, {"tab-1", rid(2)}, {"tab-3", rid(3)}};
    const auto snapshot = makeResolvedSnapshot(windows, mapping);
    EXPECT_EQ(snapshot.windowIDs, (std::vector<std::int64_t>{7, 8}));
    EXPECT_TRUE(snapshot.browserWasRunning);
    const std::vector<ResolvedTab> expected{
        {rid(1), "tab-0", 7, 1, "A", QStringLiteral("https://a.example/p"), true, std::nullopt},
        {rid(2), "tab-1", 7, 2, "B", std::nullopt, false, rid(1)},
        {rid(3), "tab-3", 7, 4, "C", QStringLiteral("https://c.example/"), false, std::nullopt},
    };
    EXPECT_EQ(snapshot.tabs, expected);
}

}  // namespace
}  // namespace ondrake

namespace ondrake {
namespace {

// The cache only spares work: over any run of polls, a snapshot made with it equals the one made
// by looking everything up.
TEST(ResolvedSnapshot, TheCacheGivesWhatLookingUpGives) {
    using test::safariTab;
    using test::safariWindow;
    const auto a = safariTab("tab-0", 1, 1, "A", "https://a.example/", true);
    const auto b = safariTab("tab-1", 1, 2, "B", "https://b.example/", false, QStringLiteral("tab-0"));
    const auto c = safariTab("tab-2", 1, 3, "C", "");
    const auto d = safariTab("tab-3", 2, 1, "D", "https://d.example/");
    const auto with = [](SafariTab tab, auto change) {
        change(tab);
        return tab;
    };
    const auto navigated = with(a, [](SafariTab &t) { t.url = parseURL(QStringLiteral("https://a.example/next")); });
    const auto orphaned = with(b, [](SafariTab &t) { t.parentID.reset(); });
    const auto adopted = with(c, [](SafariTab &t) { t.parentID = QStringLiteral("tab-1"); });

    TabIdentityMapping mapping{{"tab-0", rid(1)}, {"tab-1", rid(2)}, {"tab-2", rid(3)}, {"tab-3", rid(4)}};
    TabIdentityMapping remapped = mapping;
    remapped.insert(QStringLiteral("tab-1"), rid(7));
    TabIdentityMapping partial = mapping;
    partial.remove(QStringLiteral("tab-3"));

    struct Poll {
        const char *what;
        std::vector<SafariWindow> windows;
        const TabIdentityMapping *mapping;
        bool editMappingFirst = false;  // the caller changes its own mapping in place
    };
    const Poll polls[] = {
        {"first", {safariWindow(1, {a, b, c}), safariWindow(2, {d}, 2)}, &mapping},
        {"repeated", {safariWindow(1, {a, b, c}), safariWindow(2, {d}, 2)}, &mapping},
        {"navigated", {safariWindow(1, {navigated, b, c}), safariWindow(2, {d}, 2)}, &mapping},
        {"reparented", {safariWindow(1, {navigated, orphaned, adopted}), safariWindow(2, {d}, 2)}, &mapping},
        {"a tab opened in front", {safariWindow(1, {d, navigated, orphaned, adopted})}, &mapping},
        {"a tab closed", {safariWindow(1, {navigated, adopted})}, &mapping},
        {"back as before", {safariWindow(1, {a, b, c}), safariWindow(2, {d}, 2)}, &mapping},
        {"another mapping", {safariWindow(1, {a, b, c}), safariWindow(2, {d}, 2)}, &remapped},
        {"a tab left unmapped", {safariWindow(1, {a, b, c}), safariWindow(2, {d}, 2)}, &partial},
        {"mapped again", {safariWindow(1, {a, b, c}), safariWindow(2, {d}, 2)}, &mapping},
        {"the mapping edited in place", {safariWindow(1, {a, b, c}), safariWindow(2, {d}, 2)}, &mapping, true},
        {"a session id twice", {safariWindow(1, {a, b, a, c})}, &mapping},
        {"empty", {}, &mapping},
        {"after nothing", {safariWindow(1, {a, b, c}), safariWindow(2, {d}, 2)}, &mapping},
    };
    ResolvedTabCache cache;
    TabIdentityMapping editable = mapping;
    ResolvedSnapshot kept;
    for (const auto &poll : polls) {
        SCOPED_TRACE(poll.what);
        const TabIdentityMapping *used = poll.mapping;
        if (poll.mapping == &mapping) {
            if (poll.editMappingFirst) editable.insert(QStringLiteral("tab-0"), rid(9));
            used = &editable;
        }
        auto snapshot = makeResolvedSnapshot(poll.windows, *used, &cache);
        EXPECT_EQ(snapshot, makeResolvedSnapshot(poll.windows, *used));
        // As a poller does: the snapshot is kept for the next poll, and the one it replaces is
        // written over by the poll after.
        std::swap(kept, snapshot);
        cache.recycle(std::move(snapshot.tabs));
    }
}

}  // namespace
}  // namespace ondrake
