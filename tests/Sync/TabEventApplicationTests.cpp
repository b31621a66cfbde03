#include "SyncTestSupport.h"

#include "Sync/TabRecordBook.h"

namespace ondrake {
namespace {

using test::at;
using test::gid;
using test::record;
using test::resolved;
using test::rid;
using E = TabEvent;

TabRecord bound(const OndrakeID &id, std::int64_t windowID, std::int64_t index) {
    auto r = record(id);
    r.sessionTabID = QStringLiteral("tab-%1").arg(index);
    r.windowID = windowID;
    r.index = index;
    return r;
}

TEST(TabEventApplication, ClosingForgetsOrClosesByHistoryAndUserState) {
    struct Case {
        const char *name;
        bool history;
        void (*mark)(TabRecord &);
        bool kept;
    };
    const Case cases[] = {
        {"plain, history off", false, [](TabRecord &) {}, false},
        {"only muted, history off", false, [](TabRecord &r) { r.muted = true; }, false},
        {"in a group, history off", false, [](TabRecord &r) { r.groupID = gid(1); }, true},
        {"reminder, history off", false, [](TabRecord &r) { r.reminderAt = at(9); }, true},
        {"plain, history on", true, [](TabRecord &) {}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto r = bound(rid(1), 3, 4);
        r.parentID = rid(2);
        c.mark(r);
        TabRecordBook book({r}, {});
        book.apply({E::tabClosed(rid(1))}, {}, at(100), c.history);
        ASSERT_EQ(book.records.contains(rid(1)), c.kept);
        if (!c.kept) continue;
        auto expected = r;
        expected.closedAt = at(100);
        expected.sessionTabID.reset();
        expected.windowID.reset();
        EXPECT_EQ(book.records.at(rid(1)), expected);  // index, parent and marks stay
    }
}

TEST(TabEventApplication, ACreatedTabMakesARecord) {
    TabRecordBook book;
    const auto inactive = resolved(rid(1), 3, 2, false, QStringLiteral("A"), QStringLiteral("https://WWW.A.example/x"), rid(9));
    const auto active = resolved(rid(2), 3, 3, true, QStringLiteral("B"), std::nullopt);
    book.apply({E::tabCreated(rid(1)), E::tabCreated(rid(2)), E::tabActivated(rid(2))}, {inactive, active}, at(100), true);

    const TabRecord expected{.id = rid(1),
                             .sessionTabID = QStringLiteral("tab-2"),
                             .windowID = 3,
                             .index = 2,
                             .url = QStringLiteral("https://WWW.A.example/x"),
                             .title = QStringLiteral("A"),
                             .faviconHost = QStringLiteral("a.example"),
                             .parentID = rid(9),
                             .createdAt = at(100)};
    EXPECT_EQ(book.records.at(rid(1)), expected);
    EXPECT_EQ(book.records.at(rid(2)).createdAt, at(100));
    EXPECT_EQ(book.records.at(rid(2)).lastActivatedAt, at(100));
    EXPECT_EQ(book.records.at(rid(2)).faviconHost, std::nullopt);
}

TEST(TabEventApplication, ACreatedTabReattachesAClosedRecord) {
    auto stored = record(rid(1), QStringLiteral("Old"), QStringLiteral("https://old.example/"));
    stored.closedAt = at(50);
    stored.pinned = true;
    stored.groupID = gid(1);
    stored.parentID = rid(7);
    stored.lastActivatedAt = at(40);
    stored.metadata.insert({QStringLiteral("k"), TabMetadataValue(true)});
    TabRecordBook book({stored}, {});

    const auto tab = resolved(rid(1), 5, 6, false, QStringLiteral("New"), QStringLiteral("https://new.example/"));
    book.apply({E::tabCreated(rid(1))}, {tab}, at(100), true);

    auto expected = stored;
    expected.closedAt.reset();
    expected.sessionTabID = QStringLiteral("tab-6");
    expected.windowID = 5;
    expected.index = 6;
    expected.url = QStringLiteral("https://new.example/");
    expected.title = QStringLiteral("New");
    expected.faviconHost = QStringLiteral("new.example");
    expected.parentID.reset();  // the tab has no parent now
    EXPECT_EQ(book.records.at(rid(1)), expected);
}

TEST(TabEventApplication, AddressChangesRederiveTheFaviconHost) {
    struct Case {
        std::optional<QString> to;
        std::optional<QString> host;
    };
    const Case cases[] = {
        {QString(), std::nullopt},
        {QStringLiteral("https://WWW.Example.ORG/page"), QStringLiteral("example.org")},
        {QStringLiteral("file:///tmp/a.html"), std::nullopt},
        {std::nullopt, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.to ? c.to->toStdString() : "(absent)");
        auto r = bound(rid(1), 1, 1);
        r.faviconHost = QStringLiteral("page.example");
        TabRecordBook book({r}, {});
        book.apply({E::urlChanged(rid(1), r.url, c.to)}, {}, at(1), true);
        EXPECT_EQ(book.records.at(rid(1)).url, c.to);
        EXPECT_EQ(book.records.at(rid(1)).faviconHost, c.host);
    }
}

TEST(TabEventApplication, PlaceTitleParentAndActivation) {
    TabRecordBook book({bound(rid(1), 1, 1), bound(rid(2), 1, 2)}, {});
    const auto movedTab = resolved(rid(1), 2, 7);
    book.apply({E::tabMovedToWindow(rid(1), 1, 2), E::tabReordered(rid(2), 2, 1),
                E::titleChanged(rid(2), QStringLiteral("ignored"), QStringLiteral("Renamed")),
                E::parentChanged(rid(2), std::nullopt, rid(1)), E::tabActivated(rid(2)), E::tabDeactivated(rid(1))},
               {movedTab}, at(30), true);
    EXPECT_EQ(book.records.at(rid(1)).windowID, 2);
    EXPECT_EQ(book.records.at(rid(1)).index, 7);  // from the snapshot, no reorder event needed
    EXPECT_EQ(book.records.at(rid(1)).lastActivatedAt, std::nullopt);
    EXPECT_EQ(book.records.at(rid(2)).index, 1);
    EXPECT_EQ(book.records.at(rid(2)).title, QStringLiteral("Renamed"));
    EXPECT_EQ(book.records.at(rid(2)).parentID, rid(1));
    EXPECT_EQ(book.records.at(rid(2)).lastActivatedAt, at(30));

    // A move whose tab is missing from the snapshot keeps the old index.
    book.apply({E::tabMovedToWindow(rid(2), 1, 3)}, {}, at(31), true);
    EXPECT_EQ(book.records.at(rid(2)).windowID, 3);
    EXPECT_EQ(book.records.at(rid(2)).index, 1);

    book.apply({E::parentChanged(rid(2), rid(1), std::nullopt)}, {}, at(32), true);
    EXPECT_EQ(book.records.at(rid(2)).parentID, std::nullopt);
}

TEST(TabEventApplication, EventsForUnknownIdentitiesAddNothing) {
    const TabRecordBook original({bound(rid(1), 1, 1)}, {});
    auto book = original;
    book.apply({E::tabReordered(rid(5), 1, 2), E::titleChanged(rid(5), QString(), QStringLiteral("x")),
                E::tabActivated(rid(5)), E::tabClosed(rid(5)), E::tabCreated(rid(5)), E::windowOpened(4),
                E::windowClosed(1)},
               {}, at(1), true);
    EXPECT_EQ(book, original);
}

TEST(TabEventApplication, LaterEventsSeeWhatEarlierOnesDid) {
    // Closed and forgotten, then an event about it: skipped.
    TabRecordBook book({bound(rid(1), 1, 1)}, {});
    book.apply({E::tabClosed(rid(1)), E::tabActivated(rid(1))}, {}, at(1), false);
    EXPECT_TRUE(book.records.empty());
}

// The store republishes and saves only when the answer is yes, so it must be yes exactly when
// the book is no longer what it was.
TEST(TabEventApplication, AnswersWhetherAnyRecordChanged) {
    auto r = bound(rid(1), 1, 2);
    r.url = QStringLiteral("https://a.example/");
    r.faviconHost = QStringLiteral("a.example");
    r.title = QStringLiteral("A");
    r.parentID = rid(2);
    r.lastActivatedAt = at(5);
    auto closed = record(rid(3));
    closed.closedAt = at(5);
    const TabRecordBook original({r, closed, bound(rid(2), 1, 1)}, {});
    const auto same = resolved(rid(1), 1, 2, false, QStringLiteral("A"), QStringLiteral("https://a.example/"), rid(2));

    struct Case {
        const char *name;
        std::vector<TabEvent> events;
        std::vector<ResolvedTab> tabs;
        bool history;
        bool expected;
    };
    const std::optional<QString> url = QStringLiteral("https://a.example/");
    const std::optional<QString> other = QStringLiteral("https://b.example/");
    const Case cases[] = {
        {"the address it has", {E::urlChanged(rid(1), other, url)}, {}, true, false},
        {"another address", {E::urlChanged(rid(1), url, other)}, {}, true, true},
        {"the title it has", {E::titleChanged(rid(1), "B", "A")}, {}, true, false},
        {"another title", {E::titleChanged(rid(1), "A", "B")}, {}, true, true},
        {"activated when it was", {E::tabActivated(rid(1))}, {}, true, false},
        {"reordered to where it is", {E::tabReordered(rid(1), 3, 2)}, {}, true, false},
        {"reordered elsewhere", {E::tabReordered(rid(1), 2, 3)}, {}, true, true},
        {"moved to its own window and place", {E::tabMovedToWindow(rid(1), 4, 1)}, {same}, true, false},
        {"the parent it has", {E::parentChanged(rid(1), std::nullopt, rid(2))}, {}, true, false},
        {"no parent", {E::parentChanged(rid(1), rid(2), std::nullopt)}, {}, true, true},
        {"closed again at the same time", {E::tabClosed(rid(3))}, {}, true, false},
        {"closed", {E::tabClosed(rid(1))}, {}, true, true},
        {"forgotten, then named again", {E::tabClosed(rid(2)), E::tabActivated(rid(2))}, {}, false, true},
        {"created as it is", {E::tabCreated(rid(1))}, {same}, true, false},
        {"created anew", {E::tabCreated(rid(8))}, {resolved(rid(8), 1, 3)}, true, true},
        {"unchanged, then changed", {E::urlChanged(rid(1), other, url), E::titleChanged(rid(1), "A", "C")}, {}, true, true},
        {"about nobody", {E::tabReordered(rid(9), 1, 2), E::windowOpened(3), E::tabDeactivated(rid(1))}, {}, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto book = original;
        EXPECT_EQ(book.apply(c.events, c.tabs, at(5), c.history), c.expected);
        EXPECT_EQ(book != original, c.expected);
    }
}

}  // namespace
}  // namespace ondrake
