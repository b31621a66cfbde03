#include "ModelTestSupport.h"

#include "Ondrake/Model/OndrakeArchive.h"

#include <unordered_set>

using namespace ondrake;
using namespace ondrake::test;

namespace {

using ArchiveError = OndrakeArchive::ArchiveError;

const char *kTabA = "00000000-0000-0000-0000-00000000000A";
const char *kTabB = "00000000-0000-0000-0000-00000000000B";
const char *kGroup = "00000000-0000-0000-0000-0000000000C0";

OndrakeID tabID(const char *text) { return *OndrakeID::fromString(QString::fromLatin1(text)); }

ArchiveError readError(const QByteArray &bytes) {
    try {
        OndrakeArchive::read(bytes, utc());
    } catch (const ArchiveError &error) {
        return error;
    }
    ADD_FAILURE() << "read: " << bytes.constData();
    return ArchiveError::malformed();
}

QByteArray archiveText(const char *members) {
    return QByteArray(R"({"format": "ondrake", "version": 1, "exportedAt": "2025-03-01T09:30:00Z", "settings": {},)")
           + members + "}";
}

TEST(OndrakeArchive, ReadsTheSmallestArchive) {
    const auto archive = OndrakeArchive::read(archiveText(R"("tabs": [], "groups": [])"), utc());
    EXPECT_EQ(archive, (OndrakeArchive{.exportedAt = utc()}));
}

TEST(OndrakeArchive, ReportsTheFirstFailingCheck) {
    struct Case {
        QByteArray bytes;
        ArchiveError expected;
    };
    const Case cases[] = {
        {"not json", ArchiveError::malformed()},
        {"[]", ArchiveError::malformed()},
        {"null", ArchiveError::malformed()},
        {"{\"format\": \"ondrake\", ", ArchiveError::malformed()},
        {"{}", ArchiveError::unsupportedFormat()},
        {R"({"format": "Ondrake", "version": 1})", ArchiveError::unsupportedFormat()},
        {R"({"format": 1, "version": "x"})", ArchiveError::unsupportedFormat()},
        {R"({"format": null, "version": 2})", ArchiveError::unsupportedFormat()},
        {R"({"format": "ondrake"})", ArchiveError::malformed()},
        {R"({"format": "ondrake", "version": "1"})", ArchiveError::malformed()},
        {R"({"format": "ondrake", "version": 1.5})", ArchiveError::malformed()},
        {R"({"format": "ondrake", "version": true})", ArchiveError::malformed()},
        {R"({"format": "ondrake", "version": 2})", ArchiveError::unsupportedVersion(2)},
        {R"({"format": "ondrake", "version": -9223372036854775808})", ArchiveError::unsupportedVersion(std::numeric_limits<qint64>::min())},
        {archiveText(R"("groups": [])"), ArchiveError::malformed()},
        {archiveText(R"("tabs": null, "groups": [])"), ArchiveError::malformed()},
        {archiveText(R"("tabs": [], "groups": [{"name": "no id"}])"), ArchiveError::malformed()},
        {archiveText(R"("tabs": [{"id": "not-a-uuid"}], "groups": [])"), ArchiveError::malformed()},
        {archiveText(R"("tabs": [{"id": "00000000-0000-0000-0000-00000000000A", "createdAt": "2025-03-01T09:30:00.5Z"}], "groups": [])"),
         ArchiveError::malformed()},
        {archiveText(R"("tabs": [{"id": "00000000-0000-0000-0000-00000000000A", "order": "1"}], "groups": [])"),
         ArchiveError::malformed()},
        {archiveText(R"("tabs": [], "groups": [], "featureOverrides": {"tabGroups": 1})"), ArchiveError::malformed()},
        {archiveText(R"("tabs": [], "groups": [], "settings": 3)"), ArchiveError::malformed()},
        {archiveText(R"("tabs": [{"id": "00000000-0000-0000-0000-00000000000A"}, {"id": "00000000-0000-0000-0000-00000000000a"}],
                        "groups": [{"id": "00000000-0000-0000-0000-0000000000C0"}, {"id": "00000000-0000-0000-0000-0000000000C0"}])"),
         ArchiveError::duplicateTabID()},
        {archiveText(R"("tabs": [], "groups": [{"id": "00000000-0000-0000-0000-0000000000C0"}, {"id": "00000000-0000-0000-0000-0000000000C0"}])"),
         ArchiveError::duplicateGroupID()},
        {QByteArray(50000, '[') + QByteArray(50000, ']'), ArchiveError::malformed()},
    };
    for (const auto &c : cases) EXPECT_EQ(readError(c.bytes), c.expected) << c.bytes.left(200).constData();
}

TEST(OndrakeArchive, FillsATabsMissingMembers) {
    const auto archive = OndrakeArchive::read(
        archiveText(R"("tabs": [{"id": "00000000-0000-0000-0000-00000000000A"},
                                {"id": "00000000-0000-0000-0000-00000000000B", "closedAt": "2024-01-01T00:00:00Z",
                                 "readLater": true, "title": null}],
                       "groups": [])"),
        utc(2026));
    ASSERT_EQ(archive.tabs.size(), 2u);
    EXPECT_EQ(archive.tabs[0], (OndrakeArchive::Tab{.id = tabID(kTabA), .createdAt = utc(2026)}));
    const auto &closed = archive.tabs[1];
    EXPECT_FALSE(closed.wasOpen);
    EXPECT_EQ(closed.title, QString());
    EXPECT_EQ(closed.order, 0);
    EXPECT_EQ(closed.addedToReadLaterAt, std::nullopt);
    EXPECT_EQ(archive.featureOverrides, std::nullopt);
}

OndrakeArchive sampleArchive() {
    OndrakeArchive archive{.exportedAt = utc()};
    archive.tabs = {
        OndrakeArchive::Tab{.id = tabID(kTabA), .url = QStringLiteral("https://a.example/"), .title = QStringLiteral("A"),
                            .groupID = *TabGroupID::fromString(QString::fromLatin1(kGroup)), .createdAt = utc(2024),
                            .pinned = true, .metadata = {{QStringLiteral("k"), 1}}},
        OndrakeArchive::Tab{.id = tabID(kTabB), .title = QStringLiteral("B"), .parentID = tabID(kTabA),
                            .createdAt = utc(2024), .closedAt = utc(2025), .order = 1, .wasOpen = false},
    };
    archive.groups = {TabGroup{.id = *TabGroupID::fromString(QString::fromLatin1(kGroup)), .name = QStringLiteral("G"),
                               .createdAt = utc(2024)}};
    return archive;
}

TEST(OndrakeArchive, WritesSortedKeysAndReadsItsOwnOutput) {
    OndrakeArchive archive = sampleArchive();
    const QString bytes = QString::fromUtf8(archive.encode());
    EXPECT_EQ(bytes, QStringLiteral(R"({
  "exportedAt" : "2025-03-01T09:30:00Z",
  "format" : "ondrake",
  "groups" : [
    {
      "createdAt" : "2024-03-01T09:30:00Z",
      "id" : "00000000-0000-0000-0000-0000000000C0",
      "isCollapsed" : false,
      "name" : "G",
      "sortIndex" : 0
    }
  ],
  "settings" : {
    "parentCloseBehavior" : "parentOnly"
  },
  "tabs" : [
    {
      "createdAt" : "2024-03-01T09:30:00Z",
      "groupID" : "00000000-0000-0000-0000-0000000000C0",
      "id" : "00000000-0000-0000-0000-00000000000A",
      "important" : false,
      "locked" : false,
      "metadata" : {
        "k" : 1
      },
      "muted" : false,
      "order" : 0,
      "pinned" : true,
      "readLater" : false,
      "title" : "A",
      "url" : "https:\/\/a.example\/",
      "wasOpen" : true
    },
    {
      "closedAt" : "2025-03-01T09:30:00Z",
      "createdAt" : "2024-03-01T09:30:00Z",
      "id" : "00000000-0000-0000-0000-00000000000B",
      "important" : false,
      "locked" : false,
      "metadata" : {

      },
      "muted" : false,
      "order" : 1,
      "parentID" : "00000000-0000-0000-0000-00000000000A",
      "pinned" : false,
      "readLater" : false,
      "title" : "B",
      "wasOpen" : false
    }
  ],
  "version" : 1
})"));
    EXPECT_EQ(OndrakeArchive::read(archive.encode(), utc(2030)), archive);

    archive.featureOverrides = FeatureOverrides{{QStringLiteral("tabGroups"), true}, {QStringLiteral("unknownFlag"), false}};
    EXPECT_TRUE(archive.encode().contains("\"featureOverrides\" : {\n    \"tabGroups\" : true,\n    \"unknownFlag\" : false\n  },"));
    EXPECT_EQ(OndrakeArchive::read(archive.encode(), utc(2030)), archive);
}

TEST(OndrakeArchive, ReadsDanglingLinksAsTheyStandAndRestrictionClearsThem) {
    OndrakeArchive archive = sampleArchive();
    archive.tabs[0].parentID = OndrakeID();
    archive.tabs[1].groupID = TabGroupID();
    const auto read = OndrakeArchive::read(archive.encode(), utc());
    EXPECT_EQ(read, archive);

    const OndrakeArchive restricted = archive.restricted({tabID(kTabA), tabID(kTabB)});
    EXPECT_EQ(restricted.tabs[0].parentID, std::nullopt);
    EXPECT_EQ(restricted.tabs[0].groupID, archive.tabs[0].groupID);
    EXPECT_EQ(restricted.tabs[1].parentID, tabID(kTabA));
    EXPECT_EQ(restricted.tabs[1].groupID, std::nullopt);

    // A parent outside the exported set is cleared even when the archive carries it.
    EXPECT_EQ(archive.restricted({tabID(kTabB)}).tabs[1].parentID, std::nullopt);
    EXPECT_EQ(archive.restricted({}).tabs.size(), 2u);
}

TEST(OndrakeArchive, AnExportedTabCarriesTheRecordsOwnValues) {
    const TabRecord record{.id = tabID(kTabA), .sessionTabID = QStringLiteral("tab-1"), .windowID = 2, .index = 3,
                           .title = QStringLiteral("T"), .createdAt = utc(2024), .closedAt = utc(2025),
                           .readLater = true, .addedToReadLaterAt = utc(2024, 6)};
    const auto tab = OndrakeArchive::Tab::fromRecord(record, 7);
    EXPECT_EQ(tab, (OndrakeArchive::Tab{.id = tabID(kTabA), .title = QStringLiteral("T"), .createdAt = utc(2024),
                                        .closedAt = utc(2025), .order = 7, .wasOpen = false, .readLater = true,
                                        .addedToReadLaterAt = utc(2024, 6)}));
}

TEST(OndrakeArchive, ComparesAndHashesFieldByField) {
    const OndrakeArchive base = sampleArchive();
    const OndrakeArchive::Tab tab = base.tabs[0];
    EXPECT_EQ(qHash(OndrakeArchive::read(base.encode(), utc(2030))), qHash(base));
    EXPECT_EQ(qHash(OndrakeArchive::Tab::fromJson(tab.toJson(), utc(2030))), qHash(tab));

    struct Case {
        const char *what;
        void (*change)(OndrakeArchive::Tab &);
    };
    const Case cases[] = {
        {"order", [](OndrakeArchive::Tab &t) { t.order = 5; }},
        {"wasOpen", [](OndrakeArchive::Tab &t) { t.wasOpen = false; }},
        {"title", [](OndrakeArchive::Tab &t) { t.title = QStringLiteral("other"); }},
        {"parent", [](OndrakeArchive::Tab &t) { t.parentID = OndrakeID(); }},
        {"muted", [](OndrakeArchive::Tab &t) { t.muted = true; }},
        {"snoozeUntil", [](OndrakeArchive::Tab &t) { t.snoozeUntil = utc(); }},
        {"metadata", [](OndrakeArchive::Tab &t) { t.metadata.insert_or_assign(QStringLiteral("k"), 2); }},
    };
    std::unordered_set<OndrakeArchive::Tab> tabs{tab};
    for (const auto &c : cases) {
        OndrakeArchive::Tab changed = tab;
        c.change(changed);
        EXPECT_NE(changed, tab) << c.what;
        EXPECT_NE(qHash(changed), qHash(tab)) << c.what;
        tabs.insert(changed);
    }
    EXPECT_EQ(tabs.size(), std::size(cases) + 1);

    OndrakeArchive withOverrides = base;
    withOverrides.featureOverrides = FeatureOverrides{};
    EXPECT_NE(withOverrides, base);
    EXPECT_NE(qHash(withOverrides), qHash(base));
}

}  // namespace
