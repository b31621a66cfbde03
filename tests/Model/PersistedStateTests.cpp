#include "ModelTestSupport.h"

#include "Ondrake/Model/PersistedState.h"

#include <limits>

using namespace ondrake;
using namespace ondrake::test;

namespace {

TabRecord record(const char *id, QDateTime createdAt) {
    return TabRecord{.id = *OndrakeID::fromString(QString::fromLatin1(id)), .createdAt = std::move(createdAt)};
}

TEST(PersistedState, AnEmptyObjectReadsAsAFreshDocument) {
    const QDateTime now = utc(2026, 2, 2);
    EXPECT_EQ(PersistedState::fromJson(QJsonObject(), now), PersistedState::fresh(now));
    const auto fresh = PersistedState::fresh(now);
    EXPECT_EQ(fresh.schemaVersion, 3);
    EXPECT_TRUE(fresh.records.empty());
    EXPECT_EQ(fresh.settings.parentCloseBehavior, ParentCloseBehavior::parentOnly);
    EXPECT_EQ(fresh.savedAt, now);
}

TEST(PersistedState, ABadHistoryEmptiesOnlyTheHistory) {
    for (const char *history : {R"("yesterday")", R"([{"tabs": [{"title": "no id"}]}])", "42"}) {
        const QByteArray text = QByteArray(R"({"records": [{"id": "00000000-0000-0000-0000-000000000001"}],
                                               "groups": [{"id": "00000000-0000-0000-0000-000000000002"}],
                                               "recentlyClosed": )") + history + "}";
        const auto state = PersistedState::fromJson(jsonValue(text.constData()), utc());
        EXPECT_EQ(state.records.size(), 1u) << history;
        EXPECT_EQ(state.groups.size(), 1u) << history;
        EXPECT_TRUE(state.recentlyClosed.batches.empty()) << history;
    }
}

TEST(PersistedState, AnyOtherWrongValueFailsTheWholeDocument) {
    const char *cases[] = {
        R"({"records": {}})",
        R"({"records": [{"title": "no id"}]})",
        R"({"records": [1]})",
        R"({"groups": [{"id": "x"}]})",
        R"({"schemaVersion": "3"})",
        R"({"featureOverrides": []})",
        R"({"featureOverrides": {"tabGroups": "yes"}})",
        R"({"featureOverrides": {"tabGroups": null}})",
        R"({"settings": "parentOnly"})",
        R"({"settings": {"parentCloseBehavior": 2}})",
        R"({"savedAt": "2025-03-01T09:30:00.123Z"})",
        R"({"savedAt": 1740821400})",
        R"([])",
    };
    for (const char *text : cases)
        EXPECT_THROW(PersistedState::fromJson(jsonValue(text), utc()), json::DecodingError) << text;
}

TEST(PersistedState, WritesEveryKeyEvenWhenEmpty) {
    EXPECT_EQ(written(PersistedState::fresh(utc()).toJson()),
              QStringLiteral("{\n"
                             "  \"featureOverrides\" : {\n\n  },\n"
                             "  \"groups\" : [\n\n  ],\n"
                             "  \"recentlyClosed\" : [\n\n  ],\n"
                             "  \"records\" : [\n\n  ],\n"
                             "  \"savedAt\" : \"2025-03-01T09:30:00Z\",\n"
                             "  \"schemaVersion\" : 3,\n"
                             "  \"settings\" : {\n"
                             "    \"parentCloseBehavior\" : \"parentOnly\"\n"
                             "  }\n"
                             "}"));
}

TEST(PersistedState, PreparingForSaveClearsTheSessionAndFixesTheOrder) {
    PersistedState state = PersistedState::fresh(utc(2020));
    state.schemaVersion = 1;
    TabRecord bound = record("00000000-0000-0000-0000-00000000000B", utc(2024));
    bound.sessionTabID = QStringLiteral("tab-9");
    bound.windowID = 4;
    bound.index = 2;
    bound.title = QStringLiteral("kept");
    state.records = {bound, record("00000000-0000-0000-0000-00000000000C", utc(2023)),
                     record("00000000-0000-0000-0000-00000000000A", utc(2024))};
    state.groups = {TabGroup{.id = *TabGroupID::fromString(QStringLiteral("00000000-0000-0000-0000-000000000002")), .sortIndex = 1},
                    TabGroup{.id = *TabGroupID::fromString(QStringLiteral("00000000-0000-0000-0000-000000000003")), .sortIndex = 0},
                    TabGroup{.id = *TabGroupID::fromString(QStringLiteral("00000000-0000-0000-0000-000000000001")), .sortIndex = 1}};
    state.featureOverrides = {{QStringLiteral("tabGroups"), true}};

    const PersistedState prepared = state.preparedForSave(utc(2026));
    EXPECT_EQ(prepared.schemaVersion, 3);
    EXPECT_EQ(prepared.savedAt, utc(2026));
    ASSERT_EQ(prepared.records.size(), 3u);
    QStringList order;
    for (const auto &r : prepared.records) order << r.id.toString().right(1);
    EXPECT_EQ(order, (QStringList{"C", "A", "B"}));
    const TabRecord &saved = prepared.records[2];
    EXPECT_EQ(saved.sessionTabID, std::nullopt);
    EXPECT_EQ(saved.windowID, std::nullopt);
    EXPECT_EQ(saved.index, 2) << "the last position tells identical tabs apart after a relaunch";
    EXPECT_EQ(saved.title, QStringLiteral("kept"));
    QStringList groupOrder;
    for (const auto &g : prepared.groups) groupOrder << g.id.toString().right(1);
    EXPECT_EQ(groupOrder, (QStringList{"3", "1", "2"}));
    EXPECT_EQ(prepared.featureOverrides, state.featureOverrides);
    // The caller's state is untouched.
    EXPECT_EQ(state.records[0].sessionTabID, QStringLiteral("tab-9"));

    // The same state in another order gives the same bytes.
    PersistedState shuffled = state;
    std::swap(shuffled.records[0], shuffled.records[2]);
    std::swap(shuffled.groups[0], shuffled.groups[1]);
    EXPECT_EQ(json::write(shuffled.preparedForSave(utc(2026)).toJson()), json::write(prepared.toJson()));
}

TEST(PersistedState, RoundTripsAFullDocumentThroughItsBytes) {
    PersistedState state = PersistedState::fresh(utc(2025, 5, 5));
    TabRecord r = record("00000000-0000-0000-0000-00000000000A", utc(2024));
    r.metadata = {{QStringLiteral("n"), 1}, {QStringLiteral("s"), "x"}};
    r.readLater = true;
    r.addedToReadLaterAt = utc(2024, 6);
    state.records = {r};
    state.groups = {TabGroup{.id = TabGroupID(), .name = QStringLiteral("G"), .createdAt = utc(2024)}};
    state.featureOverrides = {{QStringLiteral("tabGroups"), true}, {QStringLiteral("pinnedTabs"), false}};
    state.settings.parentCloseBehavior = ParentCloseBehavior::parentAndDescendants;
    state.recentlyClosed.add(ClosedTabBatch{.tabs = {ClosedTab::fromRecord(r, utc(2025))}, .closedAt = utc(2025)});
    const QByteArray bytes = json::write(state.toJson());
    EXPECT_EQ(PersistedState::fromJson(jsonValue(bytes.constData()), utc(2030)), state);
    EXPECT_EQ(qHash(PersistedState::fromJson(jsonValue(bytes.constData()), utc(2030))), qHash(state));
}

}  // namespace

namespace {

TEST(PersistedState, StreamedBytesEqualTheGeneralWriters) {
    PersistedState state = PersistedState::fresh(utc());
    EXPECT_EQ(state.encode(), json::write(state.toJson()));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    TabRecord full{
        .id = OndrakeID(),
        .index = -4,
        .url = QStringLiteral("https://a.example/p?q=\"x\"&r=\\y"),
        .title = QString::fromUtf8("Tab\t\"one\"\n\x01/\xF0\x9F\x98\x80 caf\xC3\xA9"),
        .faviconHost = QString(),
        .parentID = OndrakeID(),
        .groupID = TabGroupID(),
        .createdAt = utc(2024),
        .lastActivatedAt = utc(2024, 2),
        .closedAt = utc(2024, 3),
        .pinned = true,
        .important = true,
        .addedToReadLaterAt = utc(2024, 4),
        .readAt = utc(2024, 5),
        .snoozeUntil = utc(2024, 6),
        .reminderAt = utc(2024, 7),
        .metadata =
            {
                {QStringLiteral("numbers"),
                 TabMetadataValue::Array{0.1, -0.0, 1e300, 5e-324, 9223372036854775807LL, qint64(-9223372036854775807LL - 1),
                                         9223372036854775808.0, nan, 2.5, utc(2025).addMSecs(125)}},
                {QStringLiteral("nested"),
                 TabMetadataValue::Object{{QStringLiteral("empty"), TabMetadataValue::Object{}},
                                          {QStringLiteral("list"), TabMetadataValue::Array{}},
                                          {QStringLiteral("null"), TabMetadataValue::null()}}},
                {QString::fromUtf8("\xEF\xBF\xBD private"), true},
                {QString::fromUtf8("\xF0\x9F\x98\x80 emoji"), false},
                {QStringLiteral("Upper"), "U"},
            },
    };
    state.records = {full, TabRecord{.id = OndrakeID(), .createdAt = utc()}};
    state.groups = {TabGroup{.id = TabGroupID(), .name = QStringLiteral("g/1"), .colorName = QStringLiteral("red"), .createdAt = utc()}};
    state.featureOverrides = {{QStringLiteral("tabGroups"), true}, {QStringLiteral("zeta"), false}, {QStringLiteral("Alpha"), true}};
    state.settings.parentCloseBehavior = ParentCloseBehavior::parentAndDescendants;
    state.recentlyClosed.add(ClosedTabBatch{.tabs = {ClosedTab::fromRecord(full, utc())}, .closedAt = utc()});
    EXPECT_EQ(QString::fromUtf8(state.encode()), QString::fromUtf8(json::write(state.toJson())));
}

}  // namespace
