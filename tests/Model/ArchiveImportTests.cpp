#include "ModelTestSupport.h"

#include "Ondrake/Model/FaviconHost.h"
#include "Ondrake/Model/OndrakeArchive.h"

#include <algorithm>

using namespace ondrake;
using namespace ondrake::test;

namespace {

using Mode = OndrakeArchive::ImportMode;
using Tab = OndrakeArchive::Tab;

OndrakeID tabID(const char *text) { return *OndrakeID::fromString(QString::fromLatin1(text)); }
TabGroupID groupID(const char *text) { return *TabGroupID::fromString(QString::fromLatin1(text)); }

const QDateTime kImportDate = utc(2026, 1, 1);
const QDateTime kNow = utc(2026, 1, 1, 12);

OndrakeArchive::ImportResult import(const OndrakeArchive &archive, const Mode &mode, qint64 firstSortIndex = 0) {
    return archive.importedRecords(mode, firstSortIndex, kImportDate, kNow);
}

QStringList titles(const std::vector<TabRecord> &records) {
    QStringList result;
    for (const auto &r : records) result << r.title;
    return result;
}

const TabRecord &byTitle(const std::vector<TabRecord> &records, const char *title) {
    const auto it = std::find_if(records.begin(), records.end(), [&](const auto &r) { return r.title == QLatin1String(title); });
    EXPECT_NE(it, records.end()) << title;
    return *it;
}

TEST(ArchiveImport, OrdersByOrderThenIdentityText) {
    OndrakeArchive archive{.exportedAt = utc()};
    archive.tabs = {
        Tab{.id = tabID("B0000000-0000-0000-0000-000000000000"), .title = QStringLiteral("3b"), .order = 3},
        Tab{.id = tabID("F0000000-0000-0000-0000-000000000000"), .title = QStringLiteral("0"), .order = 0},
        Tab{.id = tabID("A0000000-0000-0000-0000-000000000000"), .title = QStringLiteral("3a"), .order = 3},
        Tab{.id = tabID("00000000-0000-0000-0000-000000000000"), .title = QStringLiteral("-1"), .order = -1},
    };
    const auto result = import(archive, Mode::merge());
    EXPECT_EQ(titles(result.records), (QStringList{"-1", "0", "3a", "3b"}));
    for (std::size_t i = 0; i < result.records.size(); ++i) {
        EXPECT_EQ(result.records[i].index, qint64(i) + 1);
        EXPECT_EQ(result.records[i].sessionTabID, std::nullopt);
        for (const auto &tab : archive.tabs) EXPECT_NE(result.records[i].id, tab.id);
    }
}

TEST(ArchiveImport, GroupsKeepTheirOrderButTakeNewIdentitiesAndPositions) {
    OndrakeArchive archive{.exportedAt = utc()};
    archive.groups = {
        TabGroup{.id = groupID("00000000-0000-0000-0000-000000000001"), .name = QStringLiteral("ten"), .sortIndex = 10},
        TabGroup{.id = groupID("00000000-0000-0000-0000-000000000002"), .name = QStringLiteral("two-a"),
                 .colorName = QStringLiteral("red"), .createdAt = utc(2020), .sortIndex = 2, .isCollapsed = true},
        TabGroup{.id = groupID("00000000-0000-0000-0000-000000000003"), .name = QStringLiteral("two-b"), .sortIndex = 2},
    };
    archive.tabs = {Tab{.id = tabID("00000000-0000-0000-0000-00000000000A"),
                        .groupID = groupID("00000000-0000-0000-0000-000000000002")},
                    Tab{.id = tabID("00000000-0000-0000-0000-00000000000B"),
                        .groupID = groupID("00000000-0000-0000-0000-0000000000FF"), .order = 1}};
    for (const auto &mode : {Mode::merge(), Mode::restoreCompleteStructure()}) {
        const auto result = import(archive, mode, 5);
        ASSERT_EQ(result.groups.size(), 3u);
        EXPECT_EQ(result.groups[0].name, QStringLiteral("two-a"));
        EXPECT_EQ(result.groups[0].sortIndex, 5);
        EXPECT_EQ(result.groups[0].colorName, QStringLiteral("red"));
        EXPECT_EQ(result.groups[0].createdAt, utc(2020));
        EXPECT_TRUE(result.groups[0].isCollapsed);
        EXPECT_EQ(result.groups[1].name, QStringLiteral("two-b"));
        EXPECT_EQ(result.groups[1].sortIndex, 6);
        EXPECT_EQ(result.groups[2].name, QStringLiteral("ten"));
        EXPECT_EQ(result.groups[2].sortIndex, 7);
        EXPECT_NE(result.groups[0].id, archive.groups[1].id);
        EXPECT_EQ(result.records[0].groupID, result.groups[0].id);
        EXPECT_EQ(result.records[1].groupID, std::nullopt);
    }
}

OndrakeArchive nestedArchive() {
    OndrakeArchive archive{.exportedAt = utc()};
    archive.settings.parentCloseBehavior = ParentCloseBehavior::parentAndDescendants;
    archive.featureOverrides = FeatureOverrides{{QStringLiteral("tabGroups"), true}};
    for (int i = 0; i < 3; ++i) archive.groups.push_back(TabGroup{.id = TabGroupID(), .sortIndex = i});
    const OndrakeID parent = tabID("00000000-0000-0000-0000-00000000000A");
    archive.tabs = {
        Tab{.id = parent, .title = QStringLiteral("parent"), .groupID = archive.groups[1].id, .order = 0, .wasOpen = true},
        Tab{.id = tabID("00000000-0000-0000-0000-00000000000B"), .title = QStringLiteral("child"), .parentID = parent,
            .closedAt = utc(2024), .order = 1, .wasOpen = false},
        Tab{.id = tabID("00000000-0000-0000-0000-00000000000C"), .title = QStringLiteral("orphan"),
            .parentID = OndrakeID(), .order = 2, .wasOpen = true},
    };
    return archive;
}

TEST(ArchiveImport, EachModeCarriesWhatItPromises) {
    const OndrakeArchive archive = nestedArchive();

    const auto merged = import(archive, Mode::merge());
    EXPECT_TRUE(merged.recordsToOpen.empty());
    EXPECT_EQ(merged.settings, std::nullopt);
    EXPECT_EQ(merged.featureOverrides, std::nullopt);
    EXPECT_EQ(byTitle(merged.records, "child").parentID, byTitle(merged.records, "parent").id);
    EXPECT_EQ(byTitle(merged.records, "orphan").parentID, std::nullopt);

    const auto restored = import(archive, Mode::restoreCompleteStructure());
    EXPECT_EQ(titles(restored.recordsToOpen), (QStringList{"parent", "orphan"}));
    EXPECT_EQ(restored.settings, archive.settings);
    EXPECT_EQ(restored.featureOverrides, archive.featureOverrides);
    EXPECT_EQ(byTitle(restored.records, "child").parentID, byTitle(restored.records, "parent").id);

    const auto grouped = import(archive, Mode::openAsNewGroup(QStringLiteral("Imported")), 9);
    ASSERT_EQ(grouped.groups.size(), 1u);
    EXPECT_EQ(grouped.groups[0], (TabGroup{.id = grouped.groups[0].id, .name = QStringLiteral("Imported"),
                                           .createdAt = kNow, .sortIndex = 9}));
    for (const auto &record : grouped.records) {
        EXPECT_EQ(record.groupID, grouped.groups[0].id);
        EXPECT_EQ(record.parentID, std::nullopt);
    }
    EXPECT_EQ(titles(grouped.recordsToOpen), (QStringList{"parent", "orphan"}));
    EXPECT_EQ(grouped.settings, std::nullopt);
    EXPECT_EQ(grouped.featureOverrides, std::nullopt);

    const auto empty = OndrakeArchive{.exportedAt = utc()}.importedRecords(Mode::openAsNewGroup(QStringLiteral("E")), 0,
                                                                          kImportDate, kNow);
    EXPECT_EQ(empty.groups.size(), 1u);
    EXPECT_TRUE(empty.records.empty());
    EXPECT_EQ(import(OndrakeArchive{.exportedAt = utc()}, Mode::restoreCompleteStructure()).featureOverrides, std::nullopt);
}

TEST(ArchiveImport, EveryRecordComesInClosed) {
    struct Case {
        bool wasOpen;
        std::optional<QDateTime> closedAt;
        QDateTime expected;
    };
    const Case cases[] = {
        {true, utc(2024), kImportDate},
        {true, std::nullopt, kImportDate},
        {false, std::nullopt, kImportDate},
        {false, utc(2024), utc(2024)},
    };
    for (const auto &c : cases) {
        OndrakeArchive archive{.exportedAt = utc()};
        archive.tabs = {Tab{.id = OndrakeID(), .closedAt = c.closedAt, .wasOpen = c.wasOpen}};
        EXPECT_EQ(import(archive, Mode::merge()).records[0].closedAt, c.expected) << c.wasOpen;
    }
}

TEST(ArchiveImport, FillsFaviconHostsAndReadLaterDates) {
    struct Case {
        std::optional<QString> url;
        std::optional<QString> faviconHost;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {QStringLiteral("https://www.News.example/a"), std::nullopt, QStringLiteral("news.example")},
        {QStringLiteral("http://docs.example"), std::nullopt, QStringLiteral("docs.example")},
        {QStringLiteral("ftp://files.example/"), std::nullopt, std::nullopt},
        {QStringLiteral("https://a b/"), std::nullopt, std::nullopt},
        {QString(), std::nullopt, std::nullopt},
        {std::nullopt, std::nullopt, std::nullopt},
        {QStringLiteral("https://a.example/"), QString(), QString()},
        {QStringLiteral("https://a.example/"), QStringLiteral("kept.example"), QStringLiteral("kept.example")},
    };
    for (const auto &c : cases) {
        OndrakeArchive archive{.exportedAt = utc()};
        archive.tabs = {Tab{.id = OndrakeID(), .url = c.url, .faviconHost = c.faviconHost}};
        EXPECT_EQ(import(archive, Mode::merge()).records[0].faviconHost, c.expected) << c.url.value_or("-").toStdString();
    }

    OndrakeArchive archive{.exportedAt = utc()};
    archive.tabs = {Tab{.id = OndrakeID(), .createdAt = utc(2023), .readLater = true},
                    Tab{.id = OndrakeID(), .createdAt = utc(2023), .order = 1, .readLater = true, .addedToReadLaterAt = utc(2024)},
                    Tab{.id = OndrakeID(), .createdAt = utc(2023), .order = 2}};
    const auto records = import(archive, Mode::merge()).records;
    EXPECT_EQ(records[0].addedToReadLaterAt, utc(2023));
    EXPECT_EQ(records[1].addedToReadLaterAt, utc(2024));
    EXPECT_EQ(records[2].addedToReadLaterAt, std::nullopt);
}

TEST(FaviconHost, TakesTheWebHostWithoutOneLeadingWww) {
    EXPECT_EQ(faviconHost(std::nullopt), std::nullopt);
    EXPECT_EQ(faviconHost(QUrl(QStringLiteral("HTTPS://www.www.Example.com/x"))), QStringLiteral("www.example.com"));
    EXPECT_EQ(faviconHost(QUrl(QStringLiteral("file:///tmp/a.html"))), std::nullopt);
    EXPECT_EQ(faviconHost(QUrl(QStringLiteral("https:///path"))), std::nullopt);
    EXPECT_EQ(faviconHost(QUrl(QStringLiteral("about:blank"))), std::nullopt);
    EXPECT_EQ(faviconHost(QUrl(QStringLiteral("https://www./x"))), std::nullopt);
    EXPECT_EQ(faviconHost(QUrl(QStringLiteral("https://www.Bücher.example/"))), QStringLiteral("xn--bcher-kva.example"));
}

// MARK: Loops in the tree

TabRecord node(const char *name, std::optional<const char *> parent = std::nullopt) {
    const auto id = [](const char *n) {
        return *OndrakeID::fromString(QStringLiteral("00000000-0000-0000-0000-00000000000") + QLatin1String(n));
    };
    return TabRecord{.id = id(name), .title = QString::fromLatin1(name),
                     .parentID = parent ? std::optional(id(*parent)) : std::nullopt};
}

QStringList parents(const std::vector<TabRecord> &records) {
    QStringList result;
    for (const auto &r : records) {
        const auto parent = std::find_if(records.begin(), records.end(), [&](const auto &p) { return r.parentID == p.id; });
        result << (r.parentID ? (parent != records.end() ? parent->title : QStringLiteral("?")) : QStringLiteral("-"));
    }
    return result;
}

TEST(BreakParentCycles, ClearsOnlyTheLinkThatClosesEachLoop) {
    struct Case {
        const char *what;
        std::vector<TabRecord> records;
        QStringList parents;
    };
    const Case cases[] = {
        {"own parent", {node("A", "A")}, {"-"}},
        {"two-loop, A first", {node("A", "B"), node("B", "A")}, {"-", "A"}},
        {"two-loop, B first", {node("B", "A"), node("A", "B")}, {"-", "B"}},
        {"hanging below a loop", {node("C", "A"), node("A", "B"), node("B", "A")}, {"A", "-", "A"}},
        {"chain into a long loop", {node("D", "C"), node("C", "B"), node("B", "A"), node("A", "C")}, {"C", "-", "A", "C"}},
        {"two loops", {node("A", "B"), node("B", "A"), node("C", "D"), node("D", "C")}, {"-", "A", "-", "C"}},
        {"no loop", {node("A"), node("B", "A"), node("C", "B")}, {"-", "A", "B"}},
        {"unknown parent", {node("A", "F")}, {"?"}},
    };
    for (const auto &c : cases) EXPECT_EQ(parents(OndrakeArchive::breakParentCycles(c.records)), c.parents) << c.what;
}

TEST(BreakParentCycles, HandlesALongChainInOnePass) {
    std::vector<TabRecord> records(20000);
    for (std::size_t i = 1; i < records.size(); ++i) records[i].parentID = records[i - 1].id;
    records[0].parentID = records.back().id;
    const auto result = OndrakeArchive::breakParentCycles(records);
    EXPECT_EQ(result[0].parentID, std::nullopt);
    for (std::size_t i = 1; i < result.size(); ++i) ASSERT_EQ(result[i].parentID, records[i - 1].id);
}

TEST(ArchiveImport, TabsThatNestInALoopImportLoopFree) {
    OndrakeArchive archive{.exportedAt = utc()};
    const OndrakeID a = tabID("00000000-0000-0000-0000-00000000000A");
    const OndrakeID b = tabID("00000000-0000-0000-0000-00000000000B");
    archive.tabs = {Tab{.id = b, .title = QStringLiteral("B"), .parentID = a, .order = 1},
                    Tab{.id = a, .title = QStringLiteral("A"), .parentID = b, .order = 0}};
    const auto records = import(archive, Mode::merge()).records;
    EXPECT_EQ(records[0].parentID, std::nullopt);
    EXPECT_EQ(records[1].parentID, records[0].id);
}

}  // namespace
