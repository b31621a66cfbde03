#include "ModelTestSupport.h"

#include "Ondrake/Model/ClosedTabStack.h"

using namespace ondrake;
using namespace ondrake::test;

namespace {

ClosedTab closedTab(const QString &title, std::optional<QString> url = std::nullopt) {
    return ClosedTab{.id = OndrakeID(), .url = std::move(url), .title = title, .closedAt = utc()};
}

ClosedTabBatch batchNumber(int n) {
    return ClosedTabBatch{.tabs = {closedTab(QString::number(n))}, .closedAt = utc().addSecs(n)};
}

ClosedTabStack stackOf(int count) {
    ClosedTabStack stack;
    for (int i = 0; i < count; ++i) stack.batches.push_back(batchNumber(i));
    return stack;
}

TEST(ClosedTabStack, KeepsTheNewestTwentyFive) {
    ClosedTabStack full = stackOf(25);
    const ClosedTabStack before = full;
    full.trim();
    EXPECT_EQ(full, before);

    full.add(batchNumber(25));
    ASSERT_EQ(full.batches.size(), 25u);
    EXPECT_EQ(full.batches.front().tabs[0].title, QStringLiteral("1"));
    EXPECT_EQ(full.batches.back().tabs[0].title, QStringLiteral("25"));

    const ClosedTabStack stored = stackOf(30);
    const auto loaded = ClosedTabStack::fromJson(stored.toJson(), utc());
    ASSERT_EQ(loaded.batches.size(), 25u);
    EXPECT_EQ(loaded.batches.front(), stored.batches[5]);
    EXPECT_EQ(loaded.batches.back(), stored.batches[29]);
}

TEST(ClosedTabStack, NeverAddsAnEmptyBatchAndTakesBatchesOut) {
    ClosedTabStack stack = stackOf(3);
    stack.add(ClosedTabBatch{.closedAt = utc()});
    EXPECT_EQ(stack.batches.size(), 3u);

    const QUuid middle = stack.batches[1].id;
    EXPECT_EQ(stack.take(middle)->tabs[0].title, QStringLiteral("1"));
    EXPECT_EQ(stack.take(middle), std::nullopt);
    EXPECT_EQ(stack.takeNewest()->tabs[0].title, QStringLiteral("2"));
    EXPECT_EQ(stack.takeNewest()->tabs[0].title, QStringLiteral("0"));
    EXPECT_EQ(stack.takeNewest(), std::nullopt);
}

TEST(ClosedTabStack, RoundTripsThroughTheExactBytes) {
    ClosedTab tab{
        .id = *OndrakeID::fromString(QStringLiteral("00000000-0000-0000-0000-00000000000A")),
        .url = QStringLiteral("https://a.example/"),
        .title = QStringLiteral("A"),
        .faviconHost = QStringLiteral("a.example"),
        .parentID = *OndrakeID::fromString(QStringLiteral("00000000-0000-0000-0000-00000000000B")),
        .groupID = *TabGroupID::fromString(QStringLiteral("00000000-0000-0000-0000-00000000000C")),
        .windowID = 7,
        .index = 2,
        .closedAt = utc(),
    };
    const ClosedTabStack stack{{ClosedTabBatch{
        .id = QUuid(QStringLiteral("00000000-0000-0000-0000-00000000000D")), .tabs = {tab}, .closedAt = utc()}}};
    const QString bytes = written(stack.toJson());
    EXPECT_EQ(bytes, QStringLiteral("[\n"
                                    "  {\n"
                                    "    \"closedAt\" : \"2025-03-01T09:30:00Z\",\n"
                                    "    \"id\" : \"00000000-0000-0000-0000-00000000000D\",\n"
                                    "    \"tabs\" : [\n"
                                    "      {\n"
                                    "        \"closedAt\" : \"2025-03-01T09:30:00Z\",\n"
                                    "        \"faviconHost\" : \"a.example\",\n"
                                    "        \"groupID\" : \"00000000-0000-0000-0000-00000000000C\",\n"
                                    "        \"id\" : \"00000000-0000-0000-0000-00000000000A\",\n"
                                    "        \"index\" : 2,\n"
                                    "        \"parentID\" : \"00000000-0000-0000-0000-00000000000B\",\n"
                                    "        \"title\" : \"A\",\n"
                                    "        \"url\" : \"https:\\/\\/a.example\\/\",\n"
                                    "        \"windowID\" : 7\n"
                                    "      }\n"
                                    "    ]\n"
                                    "  }\n"
                                    "]"));
    EXPECT_EQ(ClosedTabStack::fromJson(jsonValue(bytes.toUtf8().constData()), utc(2030)), stack);

    const ClosedTab bare{.id = tab.id, .title = QStringLiteral("B"), .closedAt = utc()};
    EXPECT_EQ(bare.toJson().keys(), (QStringList{"closedAt", "id", "title"}));
}

TEST(ClosedTabStack, ABadEntryEmptiesTheWholeHistory) {
    const char *cases[] = {
        R"("recent")",
        R"({"batches": []})",
        R"([{"tabs": [{"title": "no id"}]}])",
        R"([{"tabs": [{"id": "00000000-0000-0000-0000-00000000000A"}]}, {"tabs": "x"}])",
        R"([{"closedAt": "2025-03-01T09:30:00.250Z"}])",
        R"([{"id": "batch"}])",
        R"([3])",
    };
    for (const char *text : cases) EXPECT_EQ(ClosedTabStack::fromJson(jsonValue(text), utc()), ClosedTabStack{}) << text;
}

TEST(ClosedTabStack, FillsMissingBatchMembers) {
    const QJsonValue stored = jsonValue(R"([{"tabs": [{"id": "00000000-0000-0000-0000-00000000000A"}]}])");
    const auto first = ClosedTabStack::fromJson(stored, utc(2026));
    const auto second = ClosedTabStack::fromJson(stored, utc(2026));
    ASSERT_EQ(first.batches.size(), 1u);
    EXPECT_NE(first.batches[0].id, second.batches[0].id);
    EXPECT_FALSE(first.batches[0].id.isNull());
    EXPECT_EQ(first.batches[0].closedAt, utc(2026));
    EXPECT_EQ(first.batches[0].tabs[0].title, QString());
    EXPECT_EQ(first.batches[0].tabs[0].closedAt, utc(2026));
}

TEST(ClosedTabBatch, TitlesTheMenuLineFromItsFirstTab) {
    struct Case {
        std::vector<ClosedTab> tabs;
        const char *expected;
    };
    const Case cases[] = {
        {{}, "Closed tabs"},
        {{closedTab("Docs")}, "Docs"},
        {{closedTab("Docs"), closedTab("b"), closedTab("c"), closedTab("d")}, "Docs + 3 more"},
        {{closedTab("", QStringLiteral("https://a.example/")), closedTab("b")}, "https://a.example/ + 1 more"},
        {{closedTab("")}, "Untitled"},
        {{closedTab("", QString())}, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ((ClosedTabBatch{.tabs = c.tabs, .closedAt = utc()}.title()), QString::fromUtf8(c.expected));
}

TEST(ClosedTab, KeepsTheRecordsPlaceButNotItsMarks) {
    TabRecord record{
        .id = OndrakeID(),
        .sessionTabID = QStringLiteral("tab-1"),
        .windowID = 3,
        .index = 4,
        .url = QStringLiteral("https://a.example/"),
        .title = QStringLiteral("A"),
        .faviconHost = QStringLiteral("a.example"),
        .parentID = OndrakeID(),
        .groupID = TabGroupID(),
        .createdAt = utc(2020),
        .pinned = true,
    };
    const ClosedTab tab = ClosedTab::fromRecord(record, utc());
    EXPECT_EQ(tab, (ClosedTab{record.id, record.url, record.title, record.faviconHost, record.parentID, record.groupID,
                              record.windowID, record.index, utc()}));
}

}  // namespace
