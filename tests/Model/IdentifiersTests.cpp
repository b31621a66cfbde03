#include "ModelTestSupport.h"

#include "Ondrake/Model/Identifiers.h"
#include "Ondrake/Model/TabGroup.h"

#include <algorithm>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

using namespace ondrake;
using namespace ondrake::test;

namespace {

static_assert(!std::is_convertible_v<OndrakeID, TabGroupID> && !std::is_constructible_v<TabGroupID, OndrakeID>);
static_assert(!std::is_convertible_v<TabGroupID, OndrakeID> && !std::is_constructible_v<OndrakeID, TabGroupID>);
static_assert(!std::is_convertible_v<QUuid, OndrakeID>, "a raw UUID becomes an identity only on purpose");

TEST(Identity, ParsesTheHyphenatedFormInEitherCaseOnly) {
    struct Case {
        const char *text;
        bool accepted;
    };
    const Case cases[] = {
        {"6F9619FF-8B86-D011-B42D-00C04FC964FF", true},
        {"6f9619ff-8b86-d011-b42d-00c04fc964ff", true},
        {"{6F9619FF-8B86-D011-B42D-00C04FC964FF}", false},
        {"6F9619FF8B86D011B42D00C04FC964FF", false},
        {"6F9619FF-8B86-D011-B42D-00C04FC964F", false},
        {" 6F9619FF-8B86-D011-B42D-00C04FC964FF", false},
        {"", false},
    };
    for (const auto &c : cases) {
        const auto id = OndrakeID::fromString(QString::fromLatin1(c.text));
        EXPECT_EQ(id.has_value(), c.accepted) << c.text;
        if (id) {
            EXPECT_EQ(id->toString(), QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
        }
    }
}

TEST(Identity, DecodesLowerCaseAndEncodesUpperCase) {
    const auto id = OndrakeID::fromJson(QStringLiteral("6f9619ff-8b86-d011-b42d-00c04fc964ff"));
    EXPECT_EQ(id.toJson(), QJsonValue(QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF")));
}

TEST(Identity, RejectsWhatIsNotAUuidString) {
    struct Case {
        QJsonValue value;
        const char *message;
    };
    const Case cases[] = {
        {QString(), "Not a UUID: "},
        {QStringLiteral("tab-3"), "Not a UUID: tab-3"},
        {QJsonValue(42), "Expected to decode string but found number instead."},
        {QJsonValue(QJsonValue::Null), "Expected to decode string but found null instead."},
    };
    for (const auto &c : cases) {
        try {
            TabGroupID::fromJson(c.value, QStringLiteral("groupID"));
            ADD_FAILURE() << c.message;
        } catch (const json::DecodingError &error) {
            EXPECT_EQ(error.message(), QString::fromLatin1(c.message));
            EXPECT_EQ(error.path(), QStringLiteral("groupID"));
        }
    }
}

TEST(Identity, OrdersLikeItsCanonicalText) {
    std::vector<OndrakeID> ids(200);
    ids.push_back(OndrakeID(QUuid(QStringLiteral("00000000-0000-0000-0000-000000000000"))));
    ids.push_back(OndrakeID(QUuid(QStringLiteral("FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF"))));
    std::vector<OndrakeID> byText = ids;
    std::sort(ids.begin(), ids.end());
    std::sort(byText.begin(), byText.end(), [](const auto &a, const auto &b) { return a.toString() < b.toString(); });
    EXPECT_EQ(ids, byText);
}

TEST(Identity, FreshIdentitiesDifferAndHashByTheirUuid) {
    const OndrakeID a;
    const OndrakeID b;
    EXPECT_NE(a, b);
    const OndrakeID copy(a.rawValue());
    EXPECT_EQ(copy, a);
    EXPECT_EQ(qHash(copy), qHash(a));
    EXPECT_EQ(std::hash<OndrakeID>{}(copy), std::hash<OndrakeID>{}(a));

    // The same UUID under both types: each map answers only for its own kind.
    std::unordered_map<OndrakeID, int> records{{a, 1}};
    std::unordered_map<TabGroupID, int> groups{{TabGroupID(a.rawValue()), 2}};
    EXPECT_EQ(records.at(OndrakeID(a.rawValue())), 1);
    EXPECT_EQ(groups.at(TabGroupID(a.rawValue())), 2);
}

// MARK: Tab groups

TabGroup sampleGroup() {
    return TabGroup{
        .id = *TabGroupID::fromString(QStringLiteral("11111111-2222-3333-4444-555555555555")),
        .name = QStringLiteral("Research / papers"),
        .colorName = QStringLiteral("teal"),
        .createdAt = utc(),
        .sortIndex = 4,
        .isCollapsed = true,
    };
}

TEST(TabGroup, WritesTheExactJsonAndReadsItBack) {
    const TabGroup group = sampleGroup();
    EXPECT_EQ(written(group.toJson()),
              QStringLiteral("{\n"
                             "  \"colorName\" : \"teal\",\n"
                             "  \"createdAt\" : \"2025-03-01T09:30:00Z\",\n"
                             "  \"id\" : \"11111111-2222-3333-4444-555555555555\",\n"
                             "  \"isCollapsed\" : true,\n"
                             "  \"name\" : \"Research \\/ papers\",\n"
                             "  \"sortIndex\" : 4\n"
                             "}"));
    EXPECT_EQ(TabGroup::fromJson(group.toJson(), utc(2030)), group);
}

TEST(TabGroup, FillsEveryMissingMemberButTheIdentity) {
    const QDateTime now = utc(2026, 1, 2);
    const auto group = TabGroup::fromJson(
        jsonObject(R"({"id": "11111111-2222-3333-4444-555555555555", "colorName": null, "extra": 1})"), now);
    EXPECT_EQ(group.name, QString());
    EXPECT_EQ(group.colorName, std::nullopt);
    EXPECT_EQ(group.createdAt, now);
    EXPECT_EQ(group.sortIndex, 0);
    EXPECT_FALSE(group.isCollapsed);
    EXPECT_FALSE(group.toJson().contains(QStringLiteral("colorName")));
}

TEST(TabGroup, FailsAsAWholeOnAMissingIdentityOrAWrongType) {
    const char *cases[] = {
        R"({"name": "x"})",
        R"({"id": null})",
        R"({"id": "nope"})",
        R"({"id": "11111111-2222-3333-4444-555555555555", "name": 3})",
        R"({"id": "11111111-2222-3333-4444-555555555555", "colorName": false})",
        R"({"id": "11111111-2222-3333-4444-555555555555", "createdAt": 1700000000})",
        R"({"id": "11111111-2222-3333-4444-555555555555", "createdAt": "2025-03-01T09:30:00.5Z"})",
        R"({"id": "11111111-2222-3333-4444-555555555555", "sortIndex": 1.5})",
        R"({"id": "11111111-2222-3333-4444-555555555555", "sortIndex": 1e40})",
        R"({"id": "11111111-2222-3333-4444-555555555555", "isCollapsed": 1})",
        R"([])",
    };
    for (const char *text : cases) EXPECT_THROW(TabGroup::fromJson(jsonValue(text), utc()), json::DecodingError) << text;
}

TEST(TabGroup, EqualityAndHashCoverEveryField) {
    const TabGroup group = sampleGroup();
    TabGroup collapsedOtherwise = group;
    collapsedOtherwise.isCollapsed = !group.isCollapsed;
    EXPECT_NE(group, collapsedOtherwise);
    EXPECT_NE(qHash(group), qHash(collapsedOtherwise));
    TabGroup renamed = group;
    renamed.name = QStringLiteral("Other");
    EXPECT_NE(group, renamed);
    std::unordered_set<TabGroup> set{group, collapsedOtherwise, renamed, group};
    EXPECT_EQ(set.size(), 3u);
}

}  // namespace
