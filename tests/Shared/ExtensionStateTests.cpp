#include "Shared/ExtensionState.h"
#include "Shared/OndrakeExtensionProtocol.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>

using namespace ondrake;

namespace {

const QDateTime kNoon = QDateTime::fromString(QStringLiteral("2026-01-01T12:00:00.250Z"), Qt::ISODateWithMs);

ExtensionTab tab(qint64 id, qint64 window, bool active, std::optional<QUrl> url = std::nullopt) {
    return {id, window, QStringLiteral("Tab %1").arg(id), std::move(url), active, false};
}

TEST(ExtensionStateCoding, WritesCompactMembersInFieldOrder) {
    ExtensionState state{1, kNoon,
                         {{7, 3, QStringLiteral("Caf\u00e9 \"menu\"\n"), QUrl(QStringLiteral("https://example.com/a?b=c")), true, false},
                          {8, 3, QString(), std::nullopt, false, true}},
                         3};
    EXPECT_EQ(state.encoded(),
              QByteArray("{\"version\":1,\"updatedAt\":788961600.25,\"tabs\":["
                         "{\"safariTabID\":7,\"safariWindowID\":3,\"title\":\"Caf\xc3\xa9 \\\"menu\\\"\\n\","
                         "\"url\":\"https:\\/\\/example.com\\/a?b=c\",\"active\":true,\"pinned\":false},"
                         "{\"safariTabID\":8,\"safariWindowID\":3,\"title\":\"\",\"active\":false,\"pinned\":true}],"
                         "\"focusedWindowID\":3}"));

    state.tabs.clear();
    state.focusedWindowID.reset();
    state.updatedAt = QDateTime::fromString(QStringLiteral("2001-01-01T00:00:00Z"), Qt::ISODate);
    EXPECT_EQ(state.encoded(), QByteArray(R"({"version":1,"updatedAt":0,"tabs":[]})"));
}

TEST(ExtensionStateCoding, ReadsBackWhatItWrites) {
    const ExtensionState state{1, kNoon,
                               {tab(1, 10, true, QUrl(QStringLiteral("https://example.com/p%20q#frag"))),
                                tab(-2, 11, false, QUrl(QStringLiteral("about:blank"))),
                                tab(std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min(), true)},
                               11};
    const auto bytes = state.encoded();
    ASSERT_TRUE(bytes);
    EXPECT_EQ(ExtensionState::decode(*bytes), state);
}

TEST(ExtensionStateCoding, DatesCountFromTheStartOf2001) {
    EXPECT_EQ(ExtensionState::secondsSinceReferenceDate(kNoon), 788961600.25);
    EXPECT_EQ(ExtensionState::dateFromReferenceSeconds(-978307200.0),
              QDateTime::fromMSecsSinceEpoch(0, Qt::UTC));  // the Unix epoch
    EXPECT_FALSE(ExtensionState::dateFromReferenceSeconds(1e300));
    EXPECT_FALSE(ExtensionState::dateFromReferenceSeconds(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE((ExtensionState{1, QDateTime(), {}, std::nullopt}.encoded()));
}

TEST(ExtensionStateCoding, ReadsLenientlyWhereTheModelAllows) {
    const auto state = ExtensionState::decode(R"({"version":0,"updatedAt":1.5,"extra":{"a":[1]},"focusedWindowID":null,
        "tabs":[{"safariTabID":3.0,"safariWindowID":4,"title":"t","url":null,"active":false,"pinned":true,"more":1},
                {"safariTabID":5,"safariWindowID":4,"title":"u","active":true,"pinned":false}]})");
    ASSERT_TRUE(state);
    EXPECT_EQ(state->version, 0);
    EXPECT_EQ(state->updatedAt, QDateTime::fromString(QStringLiteral("2001-01-01T00:00:01.500Z"), Qt::ISODateWithMs));
    EXPECT_FALSE(state->focusedWindowID);
    ASSERT_EQ(state->tabs.size(), 2u);
    EXPECT_EQ(state->tabs[0], (ExtensionTab{3, 4, QStringLiteral("t"), std::nullopt, false, true}));
    EXPECT_FALSE(state->tabs[1].url);
}

TEST(ExtensionStateCoding, RefusesFilesThatBreakTheModel) {
    const QByteArray tabOk = R"({"safariTabID":1,"safariWindowID":2,"title":"t","active":true,"pinned":false})";
    const auto withTab = [](const QByteArray &tabJson) {
        return QByteArray(R"({"version":1,"updatedAt":5,"tabs":[)") + tabJson + "]}";
    };
    ASSERT_TRUE(ExtensionState::decode(withTab(tabOk)));
    const std::vector<std::pair<const char *, QByteArray>> cases = {
        {"not JSON", "{\"version\":1,"},
        {"not an object", "[1,2]"},
        {"no version", R"({"updatedAt":5,"tabs":[]})"},
        {"version as text", R"({"version":"1","updatedAt":5,"tabs":[]})"},
        {"version with a fraction", R"({"version":1.5,"updatedAt":5,"tabs":[]})"},
        {"no date", R"({"version":1,"tabs":[]})"},
        {"date as text", R"({"version":1,"updatedAt":"2026-01-01T00:00:00Z","tabs":[]})"},
        {"date out of range", R"({"version":1,"updatedAt":1e300,"tabs":[]})"},
        {"no tabs", R"({"version":1,"updatedAt":5})"},
        {"tabs null", R"({"version":1,"updatedAt":5,"tabs":null})"},
        {"tabs not an array", R"({"version":1,"updatedAt":5,"tabs":{}})"},
        {"focused window as text", R"({"version":1,"updatedAt":5,"tabs":[],"focusedWindowID":"3"})"},
        {"tab not an object", withTab("7")},
        {"tab without active", withTab(R"({"safariTabID":1,"safariWindowID":2,"title":"t","pinned":false})")},
        {"tab without pinned", withTab(R"({"safariTabID":1,"safariWindowID":2,"title":"t","active":true})")},
        {"tab without title", withTab(R"({"safariTabID":1,"safariWindowID":2,"active":true,"pinned":false})")},
        {"tab without id", withTab(R"({"safariWindowID":2,"title":"t","active":true,"pinned":false})")},
        {"tab without window", withTab(R"({"safariTabID":1,"title":"t","active":true,"pinned":false})")},
        {"active as a number", withTab(R"({"safariTabID":1,"safariWindowID":2,"title":"t","active":1,"pinned":false})")},
        {"id as a boolean", withTab(R"({"safariTabID":true,"safariWindowID":2,"title":"t","active":true,"pinned":false})")},
        {"id beyond 64 bits", withTab(R"({"safariTabID":9223372036854775808,"safariWindowID":2,"title":"t","active":true,"pinned":false})")},
        {"url as a number", withTab(R"({"safariTabID":1,"safariWindowID":2,"title":"t","url":3,"active":true,"pinned":false})")},
        {"url not absolute", withTab(R"({"safariTabID":1,"safariWindowID":2,"title":"t","url":"/relative","active":true,"pinned":false})")},
        {"url empty", withTab(R"({"safariTabID":1,"safariWindowID":2,"title":"t","url":"","active":true,"pinned":false})")},
    };
    for (const auto &[name, bytes] : cases) {
        QString error;
        EXPECT_FALSE(ExtensionState::decode(bytes, &error)) << name;
        EXPECT_FALSE(error.isEmpty()) << name;
    }
}

TEST(ExtensionState, ActiveTabIsTheFocusedWindowsOnly) {
    struct Case {
        const char *name;
        std::vector<ExtensionTab> tabs;
        std::optional<qint64> focused;
        std::optional<qint64> expected;
    };
    const std::vector<Case> cases = {
        {"focused window's active tab", {tab(1, 1, true), tab(2, 2, false), tab(3, 2, true)}, 2, 3},
        {"no active tab in the focused window", {tab(1, 1, true), tab(2, 2, false)}, 2, std::nullopt},
        {"focused window unknown", {tab(1, 1, true)}, 9, std::nullopt},
        {"no focus: first active tab", {tab(1, 1, false), tab(2, 2, true), tab(3, 1, true)}, std::nullopt, 2},
        {"no focus, nothing active", {tab(1, 1, false)}, std::nullopt, std::nullopt},
        {"first of two active tabs in one window", {tab(4, 1, true), tab(5, 1, true)}, 1, 4},
    };
    for (const auto &c : cases) {
        const ExtensionState state{1, kNoon, c.tabs, c.focused};
        const auto active = state.activeTab();
        EXPECT_EQ(active ? std::optional(active->safariTabID) : std::nullopt, c.expected) << c.name;
    }
}

TEST(OndrakeExtensionProtocol, ExchangeFolderLiesInTheHandlersContainer) {
    test::TemporaryPaths tmp;
    const QString home = tmp.paths().home;
    const QString expected =
        home + "/Library/Containers/com.ondrake.Ondrake.Extension/Data/Library/Application Support/Ondrake";

    EXPECT_EQ(OndrakeExtensionProtocol::exchangeDirectory(false, home), expected);
    EXPECT_FALSE(QFileInfo::exists(home));  // asking without creating touches nothing
    EXPECT_EQ(OndrakeExtensionProtocol::exchangeDirectory(true, home), expected);
    EXPECT_TRUE(QFileInfo(expected).isDir());

    EXPECT_FALSE(OndrakeExtensionProtocol::exchangeDirectory(true, QString()));
    // A folder that cannot be made is still named; the write that follows reports the failure.
    ASSERT_TRUE(QFile(tmp.root() + "/file").open(QIODevice::WriteOnly));
    EXPECT_EQ(OndrakeExtensionProtocol::exchangeDirectory(true, tmp.root() + "/file"),
              tmp.root() + "/file/Library/Containers/com.ondrake.Ondrake.Extension/Data/Library/Application Support/Ondrake");
}

}  // namespace
