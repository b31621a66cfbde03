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

}  // namespace
}  // namespace ondrake
