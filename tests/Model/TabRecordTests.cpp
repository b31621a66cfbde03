#include "ModelTestSupport.h"

#include "Ondrake/Model/PersistedState.h"
#include "Ondrake/Model/TabRecord.h"

#include <unordered_set>

using namespace ondrake;
using namespace ondrake::test;

namespace {

const char *kID = "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE";

TabRecord fullRecord() {
    return TabRecord{
        .id = *OndrakeID::fromString(QString::fromLatin1(kID)),
        .sessionTabID = QStringLiteral("tab-4"),
        .windowID = 812,
        .index = 3,
        .url = QStringLiteral("https://news.example/a?b=1"),
        .title = QStringLiteral("Front \"page\""),
        .faviconHost = QStringLiteral("news.example"),
        .parentID = *OndrakeID::fromString(QStringLiteral("00000000-0000-0000-0000-000000000001")),
        .groupID = *TabGroupID::fromString(QStringLiteral("00000000-0000-0000-0000-000000000002")),
        .createdAt = utc(2025, 1, 1),
        .lastActivatedAt = utc(2025, 1, 2),
        .closedAt = utc(2025, 1, 3),
        .pinned = true,
        .locked = false,
        .muted = true,
        .important = false,
        .readLater = true,
        .addedToReadLaterAt = utc(2025, 1, 4),
        .readAt = utc(2025, 1, 5),
        .snoozeUntil = utc(2025, 1, 6),
        .reminderAt = utc(2025, 1, 7),
        .metadata = {{QStringLiteral("score"), 2.5}, {QStringLiteral("seen"), TabMetadataValue::Array{1}}},
    };
}

TabRecord minimalRecord() {
    return TabRecord{.id = *OndrakeID::fromString(QString::fromLatin1(kID)), .createdAt = utc()};
}

TEST(TabRecord, WritesEveryStoredFieldAndNeverTheSessionOnes) {
    EXPECT_EQ(written(fullRecord().toJson()),
              QStringLiteral("{\n"
                             "  \"addedToReadLaterAt\" : \"2025-01-04T09:30:00Z\",\n"
                             "  \"closedAt\" : \"2025-01-03T09:30:00Z\",\n"
                             "  \"createdAt\" : \"2025-01-01T09:30:00Z\",\n"
                             "  \"faviconHost\" : \"news.example\",\n"
                             "  \"groupID\" : \"00000000-0000-0000-0000-000000000002\",\n"
                             "  \"id\" : \"AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE\",\n"
                             "  \"important\" : false,\n"
                             "  \"index\" : 3,\n"
                             "  \"lastActivatedAt\" : \"2025-01-02T09:30:00Z\",\n"
                             "  \"locked\" : false,\n"
                             "  \"metadata\" : {\n"
                             "    \"score\" : 2.5,\n"
                             "    \"seen\" : [\n"
                             "      1\n"
                             "    ]\n"
                             "  },\n"
                             "  \"muted\" : true,\n"
                             "  \"parentID\" : \"00000000-0000-0000-0000-000000000001\",\n"
                             "  \"pinned\" : true,\n"
                             "  \"readAt\" : \"2025-01-05T09:30:00Z\",\n"
                             "  \"readLater\" : true,\n"
                             "  \"reminderAt\" : \"2025-01-07T09:30:00Z\",\n"
                             "  \"snoozeUntil\" : \"2025-01-06T09:30:00Z\",\n"
                             "  \"title\" : \"Front \\\"page\\\"\",\n"
                             "  \"url\" : \"https:\\/\\/news.example\\/a?b=1\"\n"
                             "}"));
    EXPECT_EQ(written(minimalRecord().toJson()),
              QStringLiteral("{\n"
                             "  \"createdAt\" : \"2025-03-01T09:30:00Z\",\n"
                             "  \"id\" : \"AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE\",\n"
                             "  \"important\" : false,\n"
                             "  \"locked\" : false,\n"
                             "  \"metadata\" : {\n\n  },\n"
                             "  \"muted\" : false,\n"
                             "  \"pinned\" : false,\n"
                             "  \"readLater\" : false,\n"
                             "  \"title\" : \"\"\n"
                             "}"));
}

TEST(TabRecord, ReadingBackLosesOnlyTheSessionBinding) {
    const TabRecord bound = fullRecord();
    const TabRecord back = TabRecord::fromJson(jsonValue(written(bound.toJson()).toUtf8().constData()), utc(2030));
    EXPECT_NE(back, bound);
    EXPECT_EQ(back.sessionTabID, std::nullopt);
    EXPECT_EQ(back.windowID, std::nullopt);
    EXPECT_EQ(back.index, 3);
    TabRecord unbound = bound;
    unbound.sessionTabID.reset();
    unbound.windowID.reset();
    EXPECT_EQ(back, unbound);
    EXPECT_EQ(TabRecord::fromJson(minimalRecord().toJson(), utc(2030)), minimalRecord());
}

TEST(TabRecord, TheSmallestRecordIsAnIdentity) {
    const QDateTime now = utc(2026, 6, 1);
    const auto record = TabRecord::fromJson(jsonObject(R"({"id": "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee"})"), now);
    TabRecord expected{.id = *OndrakeID::fromString(QString::fromLatin1(kID)), .createdAt = now};
    EXPECT_EQ(record, expected);
    EXPECT_FALSE(record.isBound());
    EXPECT_TRUE(record.isOpen());
}

TEST(TabRecord, NullMembersTakeTheirDefaults) {
    const auto record = TabRecord::fromJson(
        jsonObject(R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "title": null, "url": null, "pinned": null,
                       "metadata": null, "createdAt": null, "sessionTabID": "tab-1", "windowID": 4, "unknown": []})"),
        utc());
    EXPECT_EQ(record, minimalRecord());
}

TEST(TabRecord, ReadLaterWithoutItsDateTakesTheCreationDate) {
    const auto stored = TabRecord::fromJson(
        jsonObject(R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "readLater": true,
                       "createdAt": "2024-05-05T10:00:00Z"})"),
        utc());
    EXPECT_EQ(stored.addedToReadLaterAt, utc(2024, 5, 5, 10, 0));
    const auto undated = TabRecord::fromJson(
        jsonObject(R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "readLater": true})"), utc(2026));
    EXPECT_EQ(undated.addedToReadLaterAt, utc(2026));
    const auto notOnTheList = TabRecord::fromJson(
        jsonObject(R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "readLater": false})"), utc());
    EXPECT_EQ(notOnTheList.addedToReadLaterAt, std::nullopt);
}

TEST(TabRecord, AWrongTypeFailsTheRecordAtTheFirstBadKey) {
    struct Case {
        const char *json;
        const char *path;
    };
    const Case cases[] = {
        {R"({"title": "x"})", "id"},
        {R"({"id": 12})", "id"},
        {R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "title": 5})", "title"},
        {R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "title": 5, "index": "2"})", "index"},
        {R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "index": 1.5})", "index"},
        {R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "parentID": "tab-1"})", "parentID"},
        {R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "createdAt": 1700000000})", "createdAt"},
        {R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "closedAt": "yesterday"})", "closedAt"},
        {R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "pinned": "true"})", "pinned"},
        {R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "metadata": []})", "metadata"},
    };
    for (const auto &c : cases) {
        try {
            TabRecord::fromJson(jsonValue(c.json), utc(), QStringLiteral("records[0]"));
            ADD_FAILURE() << c.json;
        } catch (const json::DecodingError &error) {
            EXPECT_EQ(error.path(), QStringLiteral("records[0].") + QString::fromLatin1(c.path)) << c.json;
        }
    }
}

// The window a record was last seen in is kept as a number, written only when known: a record
// without it, or with null, reads as before, and a value of the wrong type fails the record.
TEST(TabRecord, KeepsTheWindowItWasLastSeenInWhenKnown) {
    TabRecord noted = minimalRecord();
    noted.windowKey = 7;
    EXPECT_TRUE(written(noted.toJson()).contains(QStringLiteral("  \"windowKey\" : 7\n")));
    EXPECT_EQ(TabRecord::fromJson(noted.toJson(), utc(2030)), noted);
    PersistedState document = PersistedState::fresh(utc());
    document.records = {noted, minimalRecord()};
    EXPECT_EQ(document.encode(), json::write(document.toJson()));

    EXPECT_FALSE(written(minimalRecord().toJson()).contains(QStringLiteral("windowKey")));
    EXPECT_EQ(TabRecord::fromJson(jsonObject(R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "windowKey": null})"), utc()),
              minimalRecord());
    try {
        TabRecord::fromJson(jsonValue(R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "windowKey": "7"})"), utc(),
                            QStringLiteral("records[0]"));
        ADD_FAILURE() << "a window key of text";
    } catch (const json::DecodingError &error) {
        EXPECT_EQ(error.path(), QStringLiteral("records[0].windowKey"));
    }
}

TEST(TabRecord, HasUserStateOnlyForWhatTheUserMade) {
    struct Case {
        const char *what;
        void (*change)(TabRecord &);
        bool expected;
    };
    const Case cases[] = {
        {"nothing", [](TabRecord &) {}, false},
        {"muted", [](TabRecord &r) { r.muted = true; }, false},
        {"parent, activation, read-later date, url",
         [](TabRecord &r) {
             r.parentID = OndrakeID();
             r.lastActivatedAt = utc();
             r.addedToReadLaterAt = utc();
             r.url = QStringLiteral("https://a.example");
         },
         false},
        {"pinned", [](TabRecord &r) { r.pinned = true; }, true},
        {"locked", [](TabRecord &r) { r.locked = true; }, true},
        {"important", [](TabRecord &r) { r.important = true; }, true},
        {"readLater", [](TabRecord &r) { r.readLater = true; }, true},
        {"readAt", [](TabRecord &r) { r.readAt = utc(); }, true},
        {"snoozeUntil", [](TabRecord &r) { r.snoozeUntil = utc(); }, true},
        {"reminderAt", [](TabRecord &r) { r.reminderAt = utc(); }, true},
        {"groupID", [](TabRecord &r) { r.groupID = TabGroupID(); }, true},
        {"empty metadata text", [](TabRecord &r) { r.metadata.emplace(QStringLiteral("k"), ""); }, true},
    };
    for (const auto &c : cases) {
        TabRecord record = minimalRecord();
        record.closedAt = utc();
        c.change(record);
        EXPECT_EQ(record.hasUserState(), c.expected) << c.what;
    }
    const auto nullMetadata = TabRecord::fromJson(
        jsonObject(R"({"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "metadata": {"k": null}})"), utc());
    EXPECT_EQ(nullMetadata.metadata.at(QStringLiteral("k")), TabMetadataValue::null());
    EXPECT_TRUE(nullMetadata.hasUserState());
}

TEST(TabRecord, EqualityAndHashCoverTheSessionFieldsToo) {
    const TabRecord record = fullRecord();
    TabRecord otherTab = record;
    otherTab.sessionTabID = QStringLiteral("tab-5");
    TabRecord otherMetadata = record;
    otherMetadata.metadata.insert_or_assign(QStringLiteral("score"), 3.5);
    TabRecord unindexed = record;
    unindexed.index.reset();
    EXPECT_NE(record, otherTab);
    EXPECT_NE(record, otherMetadata);
    EXPECT_NE(record, unindexed);
    const std::unordered_set<TabRecord> set{record, otherTab, otherMetadata, unindexed, fullRecord()};
    EXPECT_EQ(set.size(), 4u);
}

}  // namespace
