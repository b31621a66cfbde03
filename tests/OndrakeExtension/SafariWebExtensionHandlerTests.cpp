#include "ExtensionTestWorld.h"

#include "Log.h"

#include <QFileInfo>

using namespace ondrake;

namespace {

QByteArray json(const char *text) { return QByteArray(text); }

TEST(SafariWebExtensionHandler, AnEmptyStateMessageWritesAnEmptyStateAndPosts) {
    test::ExtensionTestWorld world;
    EXPECT_FALSE(QFileInfo::exists(world.tmp.paths().home));
    world.handler.beginRequest(json(R"({"type":"state","tabs":[]})"));
    // The folder is made with every missing parent, the home included.
    EXPECT_EQ(world.fileBytes(), QByteArray(R"({"version":1,"updatedAt":788918400.5,"tabs":[]})"));
    EXPECT_EQ(world.notifier.posted(), QStringList{QStringLiteral("com.ondrake.Ondrake.state-changed")});
    EXPECT_EQ(QDir(world.folder()).entryList(QDir::Files), QStringList{"extension-state.json"});
}

TEST(SafariWebExtensionHandler, ConvertsEachElementByItsRules) {
    const ExtensionTab full{1, 2, QStringLiteral("Title"), QUrl(QStringLiteral("https://example.com/")), true, true};
    const auto with = [&](auto change) {
        ExtensionTab tab = full;
        change(tab);
        return std::optional(tab);
    };
    const char *base = R"("safariTabId":1,"safariWindowId":2,"title":"Title","active":true,"pinned":true)";
    const auto element = [&](const char *url, const char *more = "") {
        return QByteArray("{") + base + ",\"url\":" + url + more + "}";
    };
    struct Case {
        const char *name;
        QByteArray element;
        std::optional<ExtensionTab> expected;
    };
    const std::vector<Case> cases = {
        {"every key", element(R"("https://example.com/")"), full},
        {"no tab id", R"({"safariWindowId":2,"title":"t","active":true,"pinned":true})", std::nullopt},
        {"no window id", R"({"safariTabId":1,"title":"t","active":true,"pinned":true})", std::nullopt},
        {"ids spelled as in the file", R"({"safariTabID":1,"safariWindowID":2})", std::nullopt},
        {"tab id as text", R"({"safariTabId":"1","safariWindowId":2})", std::nullopt},
        {"tab id as a boolean", R"({"safariTabId":true,"safariWindowId":2})", std::nullopt},
        {"tab id with a fraction", R"({"safariTabId":1.5,"safariWindowId":2})", std::nullopt},
        {"tab id beyond 64 bits", R"({"safariTabId":1e19,"safariWindowId":2})", std::nullopt},
        {"window id null", R"({"safariTabId":1,"safariWindowId":null})", std::nullopt},
        {"whole ids written with a fraction", R"({"safariTabId":3.0,"safariWindowId":-4})",
         ExtensionTab{3, -4, QString(), std::nullopt, false, false}},
        {"largest ids", R"({"safariTabId":9223372036854775807,"safariWindowId":-9223372036854775808})",
         ExtensionTab{std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min(), QString(), std::nullopt,
                      false, false}},
        {"title not text", R"({"safariTabId":1,"safariWindowId":2,"title":5})",
         ExtensionTab{1, 2, QString(), std::nullopt, false, false}},
        {"url empty", element(R"("")"), with([](auto &t) { t.url.reset(); })},
        {"url not text", element("42"), with([](auto &t) { t.url.reset(); })},
        {"url null", element("null"), with([](auto &t) { t.url.reset(); })},
        {"url relative", element(R"("/path/only")"), with([](auto &t) { t.url.reset(); })},
        {"url without a scheme", element(R"("example.com/page")"), with([](auto &t) { t.url.reset(); })},
        {"url of another scheme", element(R"("about:blank")"), with([](auto &t) { t.url = QUrl("about:blank"); })},
        {"flags as numbers", R"({"safariTabId":1,"safariWindowId":2,"active":1,"pinned":1})",
         ExtensionTab{1, 2, QString(), std::nullopt, false, false}},
        {"flags as text", R"({"safariTabId":1,"safariWindowId":2,"active":"true","pinned":"yes"})",
         ExtensionTab{1, 2, QString(), std::nullopt, false, false}},
        {"tab id one below the smallest", R"({"safariTabId":-9223372036854775809,"safariWindowId":2})", std::nullopt},
        {"window id one above the largest", R"({"safariTabId":1,"safariWindowId":9223372036854775808})", std::nullopt},
        {"tab id beyond any number", R"({"safariTabId":1e400,"safariWindowId":2})", std::nullopt},
        {"window id too small for any number", R"({"safariTabId":1,"safariWindowId":1e-400})", std::nullopt},
        {"numbers beyond any number elsewhere", R"({"safariTabId":1,"safariWindowId":2,"title":1e400,"more":[-1e400]})",
         ExtensionTab{1, 2, QString(), std::nullopt, false, false}},
        {"a repeated key: the last counts", R"({"safariTabId":1,"safariWindowId":2,"safariTabId":9,"active":true,"active":false})",
         ExtensionTab{9, 2, QString(), std::nullopt, false, false}},
        {"keys and text with escapes", R"({"safari\u0054abId":1,"safariWindowId":2,"title":"a\/b \"c\" \u00e9"})",
         ExtensionTab{1, 2, QStringLiteral("a/b \"c\" \u00e9"), std::nullopt, false, false}},
    };
    for (const auto &c : cases) {
        const auto element = MessageValue::parse(c.element);
        ASSERT_TRUE(element) << c.name;
        EXPECT_EQ(SafariWebExtensionHandler::tab(*element), c.expected) << c.name;
    }
}

TEST(SafariWebExtensionHandler, KeepsTheOrderAndLeavesNoGapForDroppedElements) {
    test::ExtensionTestWorld world;
    world.handler.beginRequest(json(R"({"type":"state","focusedWindowId":2.0,"tabs":[
        {"safariTabId":30,"safariWindowId":2,"title":"c"},
        {"safariTabId":10},
        {"safariTabId":20,"safariWindowId":1,"title":"a","url":"","active":true},
        {"safariTabId":5,"safariWindowId":1,"url":"https://example.com/x","pinned":true}]})"));
    const auto state = world.written();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->focusedWindowID, 2);
    EXPECT_EQ(state->updatedAt, test::ExtensionTestWorld::kNow);
    ASSERT_EQ(state->tabs.size(), 3u);
    EXPECT_EQ(state->tabs[0].safariTabID, 30);
    EXPECT_EQ(state->tabs[1].safariTabID, 20);
    EXPECT_EQ(state->tabs[2].safariTabID, 5);
    // An empty URL is left out of the file; a missing title is written empty.
    EXPECT_TRUE(world.fileBytes().contains(R"({"safariTabID":20,"safariWindowID":1,"title":"a","active":true,)"));
    EXPECT_TRUE(world.fileBytes().contains(R"({"safariTabID":5,"safariWindowID":1,"title":"","url":)"));
}

TEST(SafariWebExtensionHandler, ANumberBeyondRangeDropsOnlyWhatItStandsFor) {
    test::ExtensionTestWorld world;
    world.handler.beginRequest(json(R"({"type":"state","focusedWindowId":1e400,"extra":[1e400,-9223372036854775809],"tabs":[
        {"safariTabId":1e400,"safariWindowId":1},
        {"safariTabId":2,"safariWindowId":1,"title":"kept"},
        {"safariTabId":-9223372036854775809,"safariWindowId":1},
        {"safariTabId":4,"safariWindowId":1,"title":"also kept","zoom":1e400}]})"));
    const auto state = world.written();
    ASSERT_TRUE(state);
    ASSERT_EQ(state->tabs.size(), 2u);
    EXPECT_EQ(state->tabs[0].title, QStringLiteral("kept"));
    EXPECT_EQ(state->tabs[1].safariTabID, 4);
    EXPECT_EQ(state->focusedWindowID, std::nullopt);
    EXPECT_EQ(world.posts(), 1);
}

TEST(SafariWebExtensionHandler, FocusedWindowOnlyWhenAnInteger) {
    const std::vector<std::pair<const char *, std::optional<qint64>>> cases = {
        {R"("focusedWindowId":7)", 7},          {R"("focusedWindowId":"7")", std::nullopt},
        {R"("focusedWindowId":true)", std::nullopt}, {R"("focusedWindowId":7.5)", std::nullopt},
        {R"("focusedWindowID":7)", std::nullopt},   {R"("focusedWindowId":null)", std::nullopt},
        {R"("focusedWindowId":-9223372036854775809)", std::nullopt}, {R"("focusedWindowId":7e0)", 7},
    };
    for (const auto &[member, expected] : cases) {
        test::ExtensionTestWorld world;
        world.handler.beginRequest(QByteArray(R"({"type":"state","tabs":[],)") + member + "}");
        const auto state = world.written();
        ASSERT_TRUE(state) << member;
        EXPECT_EQ(state->focusedWindowID, expected) << member;
        EXPECT_EQ(world.fileBytes().contains("focusedWindowID"), expected.has_value()) << member;
    }
}

TEST(SafariWebExtensionHandler, IgnoresWhatIsNotAUsableStateMessage) {
    const std::vector<std::pair<const char *, QByteArray>> cases = {
        {"nothing", ""},
        {"not JSON", "state"},
        {"invalid UTF-8", "{\"type\":\"state\",\"tabs\":[],\"x\":\"\xff\xfe\"}"},
        {"an array", R"([{"type":"state","tabs":[]}])"},
        {"a string", R"("state")"},
        {"empty object", "{}"},
        {"no type", R"({"tabs":[]})"},
        {"type not text", R"({"type":1,"tabs":[]})"},
        {"another type", R"({"type":"ping","tabs":[]})"},
        {"type in another case", R"({"type":"State","tabs":[]})"},
        {"no tabs", R"({"type":"state"})"},
        {"tabs null", R"({"type":"state","tabs":null})"},
        {"tabs an object", R"({"type":"state","tabs":{"safariTabId":1,"safariWindowId":2}})"},
        {"tabs holding an object and a string", R"({"type":"state","tabs":[{"safariTabId":1,"safariWindowId":2},"x"]})"},
        {"tabs holding a number", R"({"type":"state","tabs":[1]})"},
    };
    for (const auto &[name, payload] : cases) {
        test::ExtensionTestWorld world;
        const LogCapture log;
        world.handler.beginRequest(payload);
        EXPECT_FALSE(QFileInfo::exists(world.tmp.paths().home)) << name;  // not even the folder
        EXPECT_EQ(world.posts(), 0) << name;
        EXPECT_TRUE(log.entries().empty()) << name;
    }
}

TEST(SafariWebExtensionHandler, ReplacesTheFileWholeSoReadersSeeOldOrNew) {
    test::ExtensionTestWorld world;
    world.handler.beginRequest(json(R"({"type":"state","tabs":[{"safariTabId":1,"safariWindowId":1}]})"));
    const QByteArray before = world.fileBytes();
    QFile reader(world.stateFile());
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));  // a reader in the middle of its read

    world.handler.beginRequest(json(R"({"type":"state","tabs":[{"safariTabId":2,"safariWindowId":1}]})"));
    EXPECT_EQ(reader.readAll(), before);  // the old file was replaced, not rewritten in place
    EXPECT_EQ(world.written()->tabs.at(0).safariTabID, 2);
    EXPECT_EQ(QDir(world.folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"extension-state.json"});
    EXPECT_EQ(world.posts(), 2);
}

TEST(SafariWebExtensionHandler, AFailedWriteLogsOneLineAndPostsNothing) {
    test::ExtensionTestWorld world;
    // A folder where the file should go: the replacement cannot land.
    ASSERT_TRUE(QDir().mkpath(world.stateFile()));
    const LogCapture log;
    world.handler.beginRequest(json(R"({"type":"state","tabs":[]})"));
    const auto lines = log.entries();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].category, "extension");
    EXPECT_EQ(lines[0].level, LogLevel::debug);
    EXPECT_TRUE(lines[0].message.startsWith("Could not write extension state: ")) << lines[0].message.toStdString();
    EXPECT_GT(lines[0].message.size(), QStringLiteral("Could not write extension state: ").size());
    EXPECT_EQ(world.posts(), 0);
    EXPECT_TRUE(QFileInfo(world.stateFile()).isDir());
    EXPECT_EQ(QDir(world.folder()).entryList(QDir::Files | QDir::Hidden), QStringList{});  // no temporary left
}

TEST(SafariWebExtensionHandler, WithoutAHomeNothingHappens) {
    ManualScheduler scheduler;
    SimulatedNamedNotifier notifier(scheduler);
    SafariWebExtensionHandler handler(QString(), notifier);
    const LogCapture log;
    handler.beginRequest(json(R"({"type":"state","tabs":[]})"));
    EXPECT_TRUE(notifier.posted().isEmpty());
    EXPECT_TRUE(log.entries().empty());
}

}  // namespace
