#include "SyncTestSupport.h"

#include "Sync/TabRecordBook.h"

#include <functional>

namespace ondrake {
namespace {

using test::at;
using test::gid;
using test::record;
using test::rid;

TabGroup group(const TabGroupID &id, qint64 sortIndex = 0, const QString &name = QStringLiteral("G")) {
    return TabGroup{.id = id, .name = name, .createdAt = at(0), .sortIndex = sortIndex};
}

std::vector<OndrakeID> ids(const std::vector<TabRecord> &records) {
    std::vector<OndrakeID> out;
    for (const auto &r : records) out.push_back(r.id);
    return out;
}

TEST(TabRecordBook, KeepsTheFirstOfRepeatedIdentities) {
    const TabRecordBook book({record(rid(1), QStringLiteral("first")), record(rid(1), QStringLiteral("second"))},
                             {group(gid(1), 0, QStringLiteral("first")), group(gid(1), 0, QStringLiteral("second"))});
    ASSERT_EQ(book.records.size(), 1u);
    EXPECT_EQ(book.record(rid(1))->title, QStringLiteral("first"));
    ASSERT_EQ(book.groups.size(), 1u);
    EXPECT_EQ(book.groups.at(gid(1)).name, QStringLiteral("first"));
    EXPECT_FALSE(book.record(rid(2)));
}

TEST(TabRecordBook, OperationsOnUnknownIdentitiesChangeNothing) {
    const TabRecordBook original({record(rid(1))}, {group(gid(1))});
    const std::vector<std::pair<const char *, std::function<void(TabRecordBook &)>>> operations = {
        {"setPinned", [](TabRecordBook &b) { b.setPinned(true, rid(9)); }},
        {"setReadLater", [](TabRecordBook &b) { b.setReadLater(true, rid(9), at(5)); }},
        {"markRead", [](TabRecordBook &b) { b.markRead(rid(9), at(5)); }},
        {"renameGroup", [](TabRecordBook &b) { b.renameGroup(gid(9), QStringLiteral("x")); }},
        {"setGroupColor", [](TabRecordBook &b) { b.setGroupColor(QStringLiteral("red"), gid(9)); }},
        {"setGroupCollapsed", [](TabRecordBook &b) { b.setGroupCollapsed(true, gid(9)); }},
        {"assignGroup to a missing group", [](TabRecordBook &b) { b.assignGroup(gid(9), {rid(1)}); }},
        {"assignGroup of a missing record", [](TabRecordBook &b) { b.assignGroup(gid(1), {rid(9)}); }},
        {"reorderGroups", [](TabRecordBook &b) { b.reorderGroups({gid(9)}); }},
    };
    for (const auto &[name, operation] : operations) {
        SCOPED_TRACE(name);
        auto book = original;
        operation(book);
        EXPECT_EQ(book, original);
    }
}

TEST(TabRecordBook, ReadLaterStampsOnlyOnAChangeOfTheFlag) {
    TabRecordBook book({record(rid(1)), record(rid(2))}, {});
    book.setReadLater(true, rid(1), at(10));
    book.setReadLater(true, rid(1), at(20));  // already on the list: untouched
    EXPECT_TRUE(book.records.at(rid(1)).readLater);
    EXPECT_EQ(book.records.at(rid(1)).addedToReadLaterAt, at(10));

    book.markRead(rid(1), at(30));
    EXPECT_FALSE(book.records.at(rid(1)).readLater);
    EXPECT_EQ(book.records.at(rid(1)).addedToReadLaterAt, at(10));
    EXPECT_EQ(book.records.at(rid(1)).readAt, at(30));

    book.setReadLater(true, rid(1), at(40));
    EXPECT_EQ(book.records.at(rid(1)).readAt, std::nullopt);
    book.setReadLater(false, rid(1), at(50));
    EXPECT_EQ(book.records.at(rid(1)).addedToReadLaterAt, std::nullopt);
    EXPECT_EQ(book.records.at(rid(1)).readAt, std::nullopt);

    // Never on the list: both dates are the reading moment; reading again moves only readAt.
    book.markRead(rid(2), at(60));
    EXPECT_EQ(book.records.at(rid(2)).addedToReadLaterAt, at(60));
    EXPECT_EQ(book.records.at(rid(2)).readAt, at(60));
    book.markRead(rid(2), at(70));
    EXPECT_EQ(book.records.at(rid(2)).addedToReadLaterAt, at(60));
    EXPECT_EQ(book.records.at(rid(2)).readAt, at(70));
}

TEST(TabRecordBook, GroupsRenameRecolourCollapseAndReorder) {
    TabRecordBook book({}, {group(gid(1), 5), group(gid(2), 6), group(gid(3), 7)});
    book.renameGroup(gid(1), QStringLiteral("  Work "));
    book.setGroupColor(QStringLiteral("teal"), gid(1));
    book.setGroupCollapsed(true, gid(1));
    EXPECT_EQ(book.groups.at(gid(1)).name, QStringLiteral("  Work "));
    EXPECT_EQ(book.groups.at(gid(1)).colorName, QStringLiteral("teal"));
    EXPECT_TRUE(book.groups.at(gid(1)).isCollapsed);

    book.reorderGroups({gid(2), gid(9), gid(1), gid(2)});
    EXPECT_EQ(book.groups.at(gid(2)).sortIndex, 3);  // the later position wins
    EXPECT_EQ(book.groups.at(gid(1)).sortIndex, 2);
    EXPECT_EQ(book.groups.at(gid(3)).sortIndex, 7);  // not listed: kept
}

TEST(TabRecordBook, SortedGroupsBreakTiesByIdentity) {
    const TabRecordBook book({}, {group(gid(3), 1), group(gid(1), 2), group(gid(2), 1), group(gid(4), -1)});
    std::vector<TabGroupID> order;
    for (const auto &g : book.sortedGroups()) order.push_back(g.id);
    EXPECT_EQ(order, (std::vector<TabGroupID>{gid(4), gid(2), gid(3), gid(1)}));
}

TEST(TabRecordBook, DeletingAGroupFreesItsRecordsEvenWhenTheGroupIsGone) {
    auto inGroup = record(rid(1));
    inGroup.groupID = gid(7);  // names a group the book never had
    auto other = record(rid(2));
    other.groupID = gid(8);
    TabRecordBook book({inGroup, other}, {group(gid(8))});
    book.deleteGroup(gid(7));
    EXPECT_EQ(book.records.at(rid(1)).groupID, std::nullopt);
    EXPECT_EQ(book.records.at(rid(2)).groupID, gid(8));
    book.deleteGroup(gid(8));
    EXPECT_TRUE(book.groups.empty());
    EXPECT_EQ(book.records.at(rid(2)).groupID, std::nullopt);
    EXPECT_EQ(book.records.size(), 2u);
}

TEST(TabRecordBook, AssignsAndClearsGroups) {
    TabRecordBook book({record(rid(1)), record(rid(2)), record(rid(3))}, {group(gid(1))});
    book.assignGroup(gid(1), {rid(1), rid(2), rid(9)});
    EXPECT_EQ(ids(book.recordsInGroup(gid(1))), (std::vector<OndrakeID>{rid(1), rid(2)}));
    book.assignGroup(std::nullopt, {rid(2)});
    EXPECT_EQ(ids(book.recordsInGroup(gid(1))), (std::vector<OndrakeID>{rid(1)}));
    EXPECT_TRUE(book.recordsInGroup(gid(2)).empty());
}

TEST(TabRecordBook, ReadLaterListIsOldestFirstThenByIdentityText) {
    auto a = record(rid(3));
    a.readLater = true;
    a.addedToReadLaterAt = at(100);
    auto b = record(rid(1));
    b.readLater = true;
    b.addedToReadLaterAt = at(100);
    auto c = record(rid(2));  // no list date: sorts by creation
    c.readLater = true;
    c.createdAt = at(50);
    auto d = record(rid(4));
    d.readLater = true;
    d.addedToReadLaterAt = at(10);
    d.closedAt = at(20);  // closed records stay on the list
    auto notOnList = record(rid(5));
    const TabRecordBook book({a, b, c, d, notOnList}, {});
    EXPECT_EQ(ids(book.readLaterRecords()), (std::vector<OndrakeID>{rid(4), rid(2), rid(1), rid(3)}));
}

TEST(TabRecordBook, RevivingAPrunedTabMakesAFreshRecord) {
    const ClosedTab closed{.id = rid(1),
                           .url = QStringLiteral("https://www.News.example/a"),
                           .title = QStringLiteral("News"),
                           .parentID = rid(2),
                           .groupID = gid(1),  // deleted meanwhile
                           .windowID = 77,
                           .index = 4,
                           .closedAt = at(500)};
    TabRecordBook book;
    const auto revived = book.reviveClosedTab(closed);
    const TabRecord expected{.id = rid(1),
                             .index = 4,
                             .url = QStringLiteral("https://www.News.example/a"),
                             .title = QStringLiteral("News"),
                             .faviconHost = QStringLiteral("news.example"),
                             .parentID = rid(2),
                             .createdAt = at(500)};
    EXPECT_EQ(revived, expected);
    EXPECT_EQ(book.records.at(rid(1)), expected);

    auto withGroup = closed;
    withGroup.id = rid(3);
    withGroup.faviconHost = QStringLiteral("kept.example");
    book.groups.emplace(gid(1), group(gid(1)));
    const auto second = book.reviveClosedTab(withGroup);
    EXPECT_EQ(second.groupID, gid(1));
    EXPECT_EQ(second.faviconHost, QStringLiteral("kept.example"));
}

TEST(TabRecordBook, RevivingAnExistingRecordRestoresItsPlace) {
    auto existing = record(rid(1), QStringLiteral("Own title"), QString());  // an empty address counts as present
    existing.closedAt = at(100);
    existing.parentID = rid(5);
    existing.index = 9;
    existing.groupID = gid(2);
    existing.pinned = true;
    existing.sessionTabID = QStringLiteral("tab-4");
    TabRecordBook book({existing}, {group(gid(2))});

    const ClosedTab closed{.id = rid(1),
                           .url = QStringLiteral("https://other.example/"),
                           .title = QStringLiteral("Closed title"),
                           .faviconHost = QStringLiteral("other.example"),
                           .groupID = gid(3),  // no such group: the record keeps its own
                           .closedAt = at(100)};
    const auto revived = book.reviveClosedTab(closed);
    EXPECT_EQ(revived.closedAt, std::nullopt);
    EXPECT_EQ(revived.url, QString());
    EXPECT_EQ(revived.title, QStringLiteral("Own title"));
    EXPECT_EQ(revived.faviconHost, QStringLiteral("other.example"));
    EXPECT_EQ(revived.parentID, std::nullopt);  // taken from the closed tab, even absent
    EXPECT_EQ(revived.index, std::nullopt);
    EXPECT_EQ(revived.groupID, gid(2));
    EXPECT_TRUE(revived.pinned);
    EXPECT_EQ(revived.sessionTabID, QStringLiteral("tab-4"));
    EXPECT_EQ(book.records.at(rid(1)), revived);

    book.records.at(rid(1)).title.clear();
    EXPECT_EQ(book.reviveClosedTab(closed).title, QStringLiteral("Closed title"));
}

TEST(TabRecordBook, UnbindingClearsOnlyTheSessionBindingOfBoundRecords) {
    auto bound = record(rid(1));
    bound.sessionTabID = QStringLiteral("tab-1");
    bound.windowID = 3;
    bound.index = 2;
    bound.closedAt = at(5);
    auto stray = record(rid(2));
    stray.windowID = 4;
    stray.index = 1;
    TabRecordBook book({bound, stray}, {});
    book.unbindAll();
    EXPECT_EQ(book.records.at(rid(1)).sessionTabID, std::nullopt);
    EXPECT_EQ(book.records.at(rid(1)).windowID, std::nullopt);
    EXPECT_EQ(book.records.at(rid(1)).index, 2) << "kept to tell identical tabs apart after a relaunch";
    EXPECT_EQ(book.records.at(rid(1)).closedAt, at(5));
    EXPECT_EQ(book.records.at(rid(2)).windowID, 4);
    EXPECT_EQ(book.records.at(rid(2)).index, 1);
    EXPECT_EQ(ids(book.openRecords()), (std::vector<OndrakeID>{rid(2)}));
}

TEST(TabRecordBook, MergeAddsOnlyWhatIsNewAndUnbound) {
    auto mine = record(rid(1), QStringLiteral("mine"));
    mine.sessionTabID = QStringLiteral("tab-1");
    TabRecordBook book({mine}, {group(gid(1), 0, QStringLiteral("mine"))});

    auto imported = record(rid(1), QStringLiteral("imported"));
    auto fresh = record(rid(2), QStringLiteral("fresh"));
    fresh.sessionTabID = QStringLiteral("tab-9");
    fresh.windowID = 3;
    fresh.index = 5;
    fresh.parentID = rid(99);  // links are not checked
    auto repeated = record(rid(2), QStringLiteral("repeated"));
    book.merge({imported, fresh, repeated},
               {group(gid(1), 0, QStringLiteral("imported")), group(gid(2), 0, QStringLiteral("new"))});

    EXPECT_EQ(book.records.at(rid(1)), mine);
    const auto &added = book.records.at(rid(2));
    EXPECT_EQ(added.title, QStringLiteral("fresh"));
    EXPECT_EQ(added.sessionTabID, std::nullopt);
    EXPECT_EQ(added.windowID, std::nullopt);
    EXPECT_EQ(added.index, std::nullopt);
    EXPECT_EQ(added.parentID, rid(99));
    EXPECT_EQ(book.groups.at(gid(1)).name, QStringLiteral("mine"));
    EXPECT_EQ(book.groups.at(gid(2)).name, QStringLiteral("new"));
}

TEST(TabRecordBook, PruneDropsOnlyClosedRecordsWithoutUserStateOlderThanTheInterval) {
    const auto now = at(1'000'000);
    const auto week = TabRecordBook::kClosedRecordLifetime;
    const auto closedAgo = [&](qint64 seconds, int n) {
        auto r = record(rid(n));
        r.closedAt = now.addSecs(-seconds);
        return r;
    };
    struct Case {
        const char *name;
        TabRecord record;
        bool expired;
    };
    auto muted = closedAgo(604801, 3);
    muted.muted = true;
    auto grouped = closedAgo(604801, 4);
    grouped.groupID = gid(1);
    auto withMetadata = closedAgo(604801, 5);
    withMetadata.metadata.insert({QStringLiteral("k"), TabMetadataValue(QString())});
    const Case cases[] = {
        {"exactly a week", closedAgo(604800, 1), false},
        {"a second older", closedAgo(604801, 2), true},
        {"only muted", muted, true},
        {"in a group", grouped, false},
        {"with metadata", withMetadata, false},
        {"open", record(rid(6)), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TabRecordBook::isExpired(c.record, now, week), c.expired);
        TabRecordBook book({c.record}, {});
        EXPECT_EQ(book.prune(now, week), c.expired ? 1 : 0);
        EXPECT_EQ(book.records.contains(c.record.id), !c.expired);
    }
}

TEST(TabRecordBook, PruneClearsDanglingParentsOnlyWhenItRemovedSomething) {
    const auto now = at(1'000'000);
    auto orphan = record(rid(1));
    orphan.parentID = rid(50);  // already dangling
    auto child = record(rid(2));
    child.parentID = rid(3);
    auto expiring = record(rid(3));
    expiring.closedAt = now.addSecs(-700000);

    TabRecordBook nothingToDrop({orphan}, {});
    EXPECT_EQ(nothingToDrop.prune(now, TabRecordBook::kClosedRecordLifetime), 0);
    EXPECT_EQ(nothingToDrop.records.at(rid(1)).parentID, rid(50));

    TabRecordBook book({orphan, child, expiring}, {});
    EXPECT_EQ(book.prune(now, TabRecordBook::kClosedRecordLifetime), 1);
    EXPECT_EQ(book.records.at(rid(1)).parentID, std::nullopt);
    EXPECT_EQ(book.records.at(rid(2)).parentID, std::nullopt);
}

}  // namespace
}  // namespace ondrake
