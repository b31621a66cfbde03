#include "BrowserTestWorld.h"

#include "Browser/SafariScript.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace ondrake;
using namespace ondrake::test;

namespace {

using Bounds = SimulatedSafari::Bounds;

// The text between "on name(" and "end name"; empty when the handler is missing.
QString handlerBody(const QString &source, const QString &name) {
    const qsizetype start = source.indexOf(QStringLiteral("\non ") + name + QLatin1Char('('));
    const qsizetype end = source.indexOf(QStringLiteral("\nend ") + name + QLatin1Char('\n'), start);
    return start < 0 || end < 0 ? QString() : source.mid(start, end - start);
}

// Every distinct first group of `pattern` in `text`, sorted and joined by spaces.
std::string captures(const QString &text, const char *pattern) {
    QStringList found;
    auto matches = QRegularExpression(QString::fromLatin1(pattern)).globalMatch(text);
    while (matches.hasNext()) found << matches.next().captured(1);
    found.removeDuplicates();
    found.sort();
    return found.join(QLatin1Char(' ')).toStdString();
}

// What can change without any compiler noticing: each handler's own time-out, what it answers
// when Safari is not running, and the words it answers with, which the controller compares.
TEST(SafariScript, EachHandlerKeepsItsTimeOutAndItsWords) {
    struct Case {
        const char *name;
        const char *timeout;  // seconds; empty for none of its own
        const char *notRunning;
        const char *words;
    };
    const Case cases[] = {
        {"getSnapshot", "30", "{}", ""},
        {"activateTab", "20", "\"NOT_RUNNING\"", "NOT_RUNNING NO_TAB NO_WINDOW OK"},
        {"closeTab", "20", "\"NOT_RUNNING\"", "NOT_RUNNING NO_TAB NO_WINDOW OK"},
        {"closeTabs", "30", "\"NOT_RUNNING\"", "NOT_RUNNING NO_WINDOW OK"},
        {"moveTabs", "20", "\"NOT_RUNNING\"", "NOT_RUNNING NO_TAB NO_WINDOW OK"},
        {"reserveSpace", "10", "{}", ""},
        {"setLeftEdge", "10", "{}", ""},
        {"restoreWindowBounds", "10", "\"NOT_RUNNING\"", "NOT_RUNNING NO_WINDOW OK"},
        {"isWindowZoomed", "5", "-1", ""},
        {"openTab", "20", "\"NOT_RUNNING\"", "NOT_RUNNING NO_WINDOW OK"},
        {"addReadingListItem", "20", "\"NOT_RUNNING\"", "NOT_RUNNING NO_TAB OK"},
        {"resolveTabIndex", "", "", ""},
    };
    const QString &source = safariScriptSource();
    QStringList named;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        named << QString::fromLatin1(c.name);
        const QString body = handlerBody(source, QString::fromLatin1(c.name));
        ASSERT_FALSE(body.isEmpty());
        EXPECT_EQ(captures(body, R"(with timeout of (\S+) seconds)"), c.timeout);
        EXPECT_EQ(body.count(QStringLiteral("with timeout")), *c.timeout ? 1 : 0);  // one, around all of its work
        EXPECT_EQ(captures(body, R"(is not running then return (\S+))"), c.notRunning);
        EXPECT_EQ(captures(body, R"re(return "([^"]*)")re"), c.words);
    }
    QStringList served;
    for (const auto &h : SimulatedScriptEngine::servedHandlers()) served << h.name;
    named.sort();
    served.sort();
    EXPECT_EQ(named, served);
    EXPECT_EQ(source.count(QRegularExpression(QStringLiteral(R"(\non \w+\()"))), named.size());
    // Both places that compare addresses (resolveTabIndex and moveTabs) compare them exactly.
    EXPECT_EQ(source.count("considering case"), 2);
}

TEST(SafariScriptHandlers, ResolveTabIndex) {
    SimulatedSafari::Window w;
    for (int i = 1; i <= 8; ++i) w.tabs.push_back({"t", QStringLiteral("https://e/%1").arg(i)});
    w.tabs[4].url = w.tabs[6].url = "https://e/x";  // at 5 and 7
    struct Case {
        std::int64_t idx;
        const char *url;
        std::int64_t expected;
    };
    const Case cases[] = {
        {3, "https://e/x", 5},  // moved: the first position holding the URL
        {3, "https://e/3", 3},  // fast path
        {3, "", 3},             // index alone decides
        {9, "", 0},
        {0, "https://e/8", 8},
        {3, "https://e/gone", 0},
        {3, "https://e/X", 0},  // addresses compare exactly, case included
    };
    for (const auto &c : cases)
        EXPECT_EQ(SimulatedSafari::resolveTabIndex(w, c.idx, c.url), c.expected) << c.idx << " " << c.url;
    EXPECT_EQ(SimulatedSafari::resolveTabIndex(SimulatedSafari::Window{}, 1, ""), 0);
}

TEST(SafariScriptHandlers, NotRunningAnswersWithoutLaunching) {
    BrowserWorld world;
    world.safari.addWindow(BrowserWorld::window(1, {"a"}));
    auto &s = world.safari;
    EXPECT_EQ(s.getSnapshot().numberOfItems(), 0);
    EXPECT_EQ(s.getSnapshot().type(), AppleEventDescriptor::Type::list);
    EXPECT_EQ(s.activateTab(1, 1, "", true), "NOT_RUNNING");
    EXPECT_EQ(s.closeTab(1, 1, ""), "NOT_RUNNING");
    EXPECT_EQ(s.closeTabs(1, {1}, {""}), "NOT_RUNNING");
    EXPECT_EQ(s.moveTabs(1, 1, 1, 1, "", 1), "NOT_RUNNING");
    EXPECT_EQ(s.reserveSpace(300, 900).numberOfItems(), 0);
    EXPECT_EQ(s.setLeftEdge(300).numberOfItems(), 0);
    EXPECT_EQ(s.restoreWindowBounds(1, {}, {}), "NOT_RUNNING");
    EXPECT_EQ(s.isWindowZoomed(1), -1);
    EXPECT_EQ(s.openTab(1, ""), "NOT_RUNNING");
    EXPECT_EQ(s.addReadingListItem("https://a.example/", ""), "NOT_RUNNING");
    EXPECT_FALSE(s.isRunning());
}

TEST(SafariScriptHandlers, SnapshotListsBrowserWindowsFrontToBack) {
    BrowserWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(7, {"a", "b"}));
    SimulatedSafari::Window settings;
    settings.id = 8;
    settings.isBrowserWindow = false;
    world.safari.addWindow(settings);
    auto blank = BrowserWorld::window(9, {"c"});
    blank.tabs.push_back({"", ""});
    blank.currentTab = 2;
    world.safari.addWindow(blank);

    const auto reply = world.safari.getSnapshot();
    ASSERT_EQ(reply.numberOfItems(), 2);
    const auto first = *reply.atIndex(1);
    EXPECT_EQ(first.atIndex(1)->int32Value(), 7);
    EXPECT_EQ(first.atIndex(2)->int32Value(), 1);
    EXPECT_EQ(first.atIndex(3)->int32Value(), 1);
    EXPECT_EQ(first.atIndex(4)->atIndex(2)->stringValue(), "b");
    EXPECT_EQ(first.atIndex(5)->atIndex(2)->stringValue(), "https://b.example/");
    const auto second = *reply.atIndex(2);
    EXPECT_EQ(second.atIndex(2)->int32Value(), 3);  // the settings window still holds place 2
    EXPECT_EQ(second.atIndex(3)->int32Value(), 2);
    EXPECT_TRUE(second.atIndex(5)->atIndex(2)->isNull());  // a blank tab's URL is missing
}

TEST(SafariScriptHandlers, ActivateSelectsRaisesAndActivatesOnlyWhenAsked) {
    BrowserWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(1, {"a"}));
    auto back = BrowserWorld::window(2, {"b", "c", "d"});
    back.minimised = true;
    world.safari.addWindow(back);

    EXPECT_EQ(world.safari.activateTab(3, 1, "", false), "NO_WINDOW");
    EXPECT_EQ(world.safari.activateTab(2, 9, "https://zzz.example/", false), "NO_TAB");
    EXPECT_EQ(world.safari.activateTab(2, 1, "https://d.example/", false), "OK");
    auto w = world.safari.windows();
    EXPECT_EQ(w[0].id, 2);
    EXPECT_EQ(w[0].currentTab, 3);
    EXPECT_FALSE(w[0].minimised);
    EXPECT_FALSE(world.safari.isActive());
    EXPECT_EQ(world.safari.activateTab(1, 1, "", true), "OK");
    EXPECT_TRUE(world.safari.isActive());
    EXPECT_EQ(world.safari.windows()[0].id, 1);
}

TEST(SafariScriptHandlers, CloseTabsWorksBackwardsAndSkipsWhatIsGone) {
    BrowserWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(1, {"a", "b", "c", "d", "e"}));
    EXPECT_EQ(world.safari.closeTabs(1, {5, 4, 2}, {"https://e.example/", "https://gone.example/", ""}), "OK");
    EXPECT_EQ(world.titles(1), (QStringList{"a", "c", "d"}));
    EXPECT_EQ(world.safari.closeTabs(2, {1}, {""}), "NO_WINDOW");
    // An index without its URL item fails inside the trap and closes nothing.
    EXPECT_EQ(world.safari.closeTabs(1, {3, 1}, {"https://d.example/"}), "OK");
    EXPECT_EQ(world.titles(1), (QStringList{"a", "c"}));
    // Closing the last tabs closes the window; the rest of the batch is covered by the trap.
    EXPECT_EQ(world.safari.closeTabs(1, {2, 1, 1}, {"", "", ""}), "OK");
    EXPECT_TRUE(world.safari.windows().empty());
    world.safari.addWindow(BrowserWorld::window(3, {"x", "y"}));
    EXPECT_EQ(world.safari.closeTab(3, 1, "https://y.example/"), "OK");
    EXPECT_EQ(world.titles(3), (QStringList{"x"}));
    EXPECT_EQ(world.safari.closeTab(3, 1, "https://y.example/"), "NO_TAB");
}

TEST(SafariScriptHandlers, MoveTabsBuildsBothDirectionsFromMoveBefore) {
    struct Case {
        std::int64_t f, c, d;
        QStringList expected;
    };
    const Case cases[] = {
        {2, 2, 4, {"1", "4", "5", "2", "3", "6"}},  // two moves: 4 before 2, then 5 before 3
        {4, 2, 1, {"4", "5", "1", "2", "3", "6"}},
        {6, 1, 2, {"1", "6", "2", "3", "4", "5"}},
        {3, 1, 3, {"1", "2", "3", "4", "5", "6"}},
    };
    for (const auto &c : cases) {
        BrowserWorld world;
        world.safari.launch();
        world.safari.addWindow(BrowserWorld::window(1, {"1", "2", "3", "4", "5", "6"}));
        EXPECT_EQ(world.safari.moveTabs(1, c.f, c.c, c.d, "", 6), "OK");
        EXPECT_EQ(world.titles(1), c.expected) << c.f << c.c << c.d;
    }

    BrowserWorld world;
    world.safari.launch();
    world.safari.addWindow(BrowserWorld::window(1, {"1", "2", "3", "4"}));
    struct Refusal {
        std::int64_t f, c, d;
        const char *url;
        std::int64_t count;
    };
    const Refusal refusals[] = {
        {1, 1, 2, "", 5}, {0, 1, 2, "", 4}, {4, 2, 1, "", 4}, {1, 1, 0, "", 4}, {1, 2, 4, "", 4},
        {2, 1, 1, "https://3.example/", 4},
        {5, 0, 1, "https://4.example/", 4},  // an empty block past the end: the address cannot be read
        {3, -1, 4, "", 4},
    };
    for (const auto &r : refusals) EXPECT_EQ(world.safari.moveTabs(1, r.f, r.c, r.d, r.url, r.count), "NO_TAB");
    EXPECT_EQ(world.safari.moveTabs(9, 1, 1, 2, "", 4), "NO_WINDOW");
    EXPECT_EQ(world.safari.moveTabs(1, 2, 1, 1, "https://2.example/", 4), "OK");
    EXPECT_EQ(world.titles(1), (QStringList{"2", "1", "3", "4"}));
    EXPECT_EQ(world.safari.windows()[0].currentTab, 2);  // the current tab travels with its tab
}

TEST(SafariScriptHandlers, FrameArithmetic) {
    struct Case {
        const char *what;
        Bounds start;
        bool reserve;
        double a, b;
        std::optional<Bounds> after;  // nothing: an empty reply and no change
    };
    const Case cases[] = {
        {"cut to maxRight, then widened to the minimum", {0, 20, 500, 900}, true, 300, 600, Bounds{300, 20, 780, 900}},
        {"translated", {100, 20, 900, 900}, true, 300, 2000, Bounds{300, 20, 1100, 900}},
        {"already clear", {300, 20, 900, 900}, true, 300, 2000, std::nullopt},
        {"rounded by the window server", {0, 0, 1000, 800}, true, 300.4, 2000, Bounds{300, 0, 1300, 800}},
        {"grow left", {300, 20, 1200, 900}, false, 100, 0, Bounds{100, 20, 1200, 900}},
        {"shrink, keeping 480 points", {300, 20, 1000, 900}, false, 700, 0, Bounds{520, 20, 1000, 900}},
        {"same edge", {300, 20, 1000, 900}, false, 300, 0, std::nullopt},
    };
    for (const auto &c : cases) {
        BrowserWorld world;
        world.safari.launch();
        auto w = BrowserWorld::window(4, {"a"});
        w.bounds = c.start;
        world.safari.addWindow(w);
        const auto reply = c.reserve ? world.safari.reserveSpace(c.a, c.b) : world.safari.setLeftEdge(c.a);
        const auto now = world.safari.window(4)->bounds;
        if (!c.after) {
            EXPECT_EQ(reply.numberOfItems(), 0) << c.what;
            EXPECT_EQ(now, c.start) << c.what;
            continue;
        }
        EXPECT_EQ(now, *c.after) << c.what;
        ASSERT_EQ(reply.numberOfItems(), 9) << c.what;
        EXPECT_EQ(reply.atIndex(1)->int32Value(), 4);
        EXPECT_EQ(reply.atIndex(2)->doubleValue(), c.start.left) << c.what;
        EXPECT_EQ(reply.atIndex(6)->doubleValue(), c.after->left) << c.what;  // read back, not the ask
        EXPECT_EQ(reply.atIndex(8)->doubleValue(), c.after->right) << c.what;
    }
}

TEST(SafariScriptHandlers, FrameHandlersLeaveTablessFrontWindowsAlone) {
    BrowserWorld world;
    world.safari.launch();
    EXPECT_EQ(world.safari.reserveSpace(300, 900).numberOfItems(), 0);  // no windows
    SimulatedSafari::Window settings;
    settings.isBrowserWindow = false;
    settings.bounds = {0, 0, 600, 400};
    world.safari.addWindow(settings);
    world.safari.addWindow(BrowserWorld::window(2, {"a"}));
    EXPECT_EQ(world.safari.reserveSpace(300, 900).numberOfItems(), 0);
    EXPECT_EQ(world.safari.setLeftEdge(300).numberOfItems(), 0);
    EXPECT_EQ(world.safari.windows()[0].bounds, (Bounds{0, 0, 600, 400}));
}

TEST(SafariScriptHandlers, RestoreOnlyAWindowStillWhereItWasLeft) {
    BrowserWorld world;
    world.safari.launch();
    auto w = BrowserWorld::window(4, {"a"});
    w.bounds = {300, 20, 780, 900};
    world.safari.addWindow(w);
    EXPECT_EQ(world.safari.restoreWindowBounds(4, {300, 20, 780, 900.5}, {0, 20, 500, 900}), "OK");
    EXPECT_EQ(world.safari.window(4)->bounds, (Bounds{300, 20, 780, 900}));
    EXPECT_EQ(world.safari.restoreWindowBounds(4, {300, 20, 780, 900}, {0, 20, 500, 900}), "OK");
    EXPECT_EQ(world.safari.window(4)->bounds, (Bounds{0, 20, 500, 900}));
    EXPECT_EQ(world.safari.restoreWindowBounds(5, {}, {}), "NO_WINDOW");
}

TEST(SafariScriptHandlers, ZoomOpenAndReadingList) {
    BrowserWorld world;
    world.safari.launch();
    auto w = BrowserWorld::window(4, {"a"});
    w.zoomed = true;
    world.safari.addWindow(w);
    world.safari.addWindow(BrowserWorld::window(5, {"b"}));
    EXPECT_EQ(world.safari.isWindowZoomed(4), 1);
    EXPECT_EQ(world.safari.isWindowZoomed(5), 0);
    EXPECT_EQ(world.safari.isWindowZoomed(6), -1);

    EXPECT_EQ(world.safari.openTab(5, "https://new.example/x"), "OK");
    const auto five = *world.safari.window(5);
    ASSERT_EQ(five.tabs.size(), 2u);
    EXPECT_EQ(five.tabs[1].url, "https://new.example/x");
    EXPECT_EQ(five.currentTab, 2);
    EXPECT_EQ(world.safari.openTab(99, ""), "NO_WINDOW");
    EXPECT_EQ(world.safari.openTab(0, ""), "OK");
    const auto front = world.safari.windows().front();
    EXPECT_EQ(front.tabs.size(), 1u);
    EXPECT_TRUE(front.tabs[0].url.isEmpty());

    EXPECT_EQ(world.safari.addReadingListItem("", "t"), "NO_TAB");
    EXPECT_EQ(world.safari.addReadingListItem("not an address", "t"), "NO_TAB");
    EXPECT_EQ(world.safari.addReadingListItem("https://r.example/", "Read"), "OK");
    EXPECT_EQ(world.safari.readingList(),
              (std::vector<SimulatedSafari::ReadingListItem>{{"https://r.example/", "Read"}}));
}

}  // namespace
