#include "StoreTestSupport.h"

#include "Store/CommandOutcome.h"
#include "Store/SafeAddress.h"
#include "Store/SidebarKeyCommand.h"
#include "Store/SidebarLayout.h"
#include "Store/SidebarWindowOrdering.h"
#include "Store/SidebarWindowScope.h"
#include "Store/TabSelection.h"
#include "Store/WindowTabs.h"

namespace ondrake {
namespace {

using test::gid;
using test::rid;
using test::tab;
using test::window;

TEST(CommandOutcome, FoldsIntoTheFirstOfTheWorst) {
    using O = CommandOutcome;
    using R = CommandOutcome::Refusal;
    struct Case {
        std::vector<O> outcomes;
        O expected;
    };
    const std::vector<Case> cases{
        {{}, O::refused(R::nothingToDo())},
        {{O::applied(), O::appliedLocally(), O::applied()}, O::appliedLocally()},
        {{O::refused(R::noSuchRecord()), O::unavailable(BrowserCapabilities::mute)}, O::unavailable(BrowserCapabilities::mute)},
        {{O::refused(R::featureDisabled("pinnedTabs")), O::refused(R::noSuchRecord())}, O::refused(R::featureDisabled("pinnedTabs"))},
        {{O::applied(), O::applied()}, O::applied()},
        {{O::unavailable(BrowserCapabilities::pin), O::unavailable(BrowserCapabilities::mute)}, O::unavailable(BrowserCapabilities::pin)},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(O::combined(cases[i].outcomes).description(), cases[i].expected.description()) << "case " << i;
    EXPECT_NE(O::refused(R::featureDisabled("pinnedTabs")), O::refused(R::featureDisabled("tabGroups")));
}

TEST(LogForms, ReadAsThePlatformDescribesThem) {
    EXPECT_EQ(SidebarState::ready().description(), QStringLiteral("ready"));
    EXPECT_EQ(SidebarState::loading().description(), QStringLiteral("loading"));
    EXPECT_EQ(SidebarState::safariNotRunning().description(), QStringLiteral("safariNotRunning"));
    EXPECT_EQ(SidebarState::permissionRequired().description(), QStringLiteral("permissionRequired"));
    EXPECT_EQ(SidebarState::failed(QStringLiteral("Say \"no\"")).description(), QStringLiteral(R"(failed("Say \"no\""))"));
    EXPECT_EQ(BrowserCapabilities::mute.description(), QStringLiteral("BrowserCapabilities(rawValue: 2048)"));
    EXPECT_EQ(SafariControllerError::unsupported(BrowserCapabilities::pin).description(),
              QStringLiteral("unsupported(BrowserCapabilities(rawValue: 1024))"));
    EXPECT_EQ(SafariControllerError::tabNotFound().description(), QStringLiteral("tabNotFound"));
}

TEST(TabSelection, ClicksFollowTheModifiers) {
    const std::vector<QString> shown{"a", "b", "c", "d", "e"};
    const auto cmd = SidebarModifiers::command();
    const auto shift = SidebarModifiers::shift();
    struct Click {
        QString id;
        SidebarModifiers modifiers;
    };
    struct Case {
        const char *name;
        TabSelection start;
        std::vector<Click> clicks;
        TabSelection expected;
    };
    const std::vector<Case> cases{
        {"plain click", {{"a", "b"}, "a"}, {{"c", {}}}, {{"c"}, "c"}},
        {"option alone is plain", {{"a"}, "a"}, {{"c", SidebarModifiers::option()}}, {{"c"}, "c"}},
        {"shift without anchor selects alone", {}, {{"c", shift}}, {{"c"}, "c"}},
        {"shift then shift extends from the first", {}, {{"b", shift}, {"d", shift}}, {{"b", "c", "d"}, "b"}},
        {"shift upward", {{"d"}, "d"}, {{"b", shift}}, {{"b", "c", "d"}, "d"}},
        {"shift on the anchor", {{"a", "b"}, "c"}, {{"c", shift}}, {{"c"}, "c"}},
        {"range replaces command clicks", {{"a"}, "a"}, {{"e", cmd}, {"c", shift}}, {{"e", "d", "c"}, "e"}},
        {"hidden anchor acts as a plain click", {{"x"}, "x"}, {{"b", shift}}, {{"b"}, "b"}},
        {"command deselects and moves the anchor", {{"a", "b"}, "a"}, {{"b", cmd}}, {{"a"}, "b"}},
        {"shift after a deselecting command click", {{"a", "b"}, "a"}, {{"b", cmd}, {"d", shift}}, {{"b", "c", "d"}, "b"}},
        {"command with shift toggles", {{"a"}, "a"}, {{"c", cmd | shift}}, {{"a", "c"}, "c"}},
    };
    for (const auto &c : cases) {
        auto selection = c.start;
        for (const auto &click : c.clicks) selection.click(click.id, click.modifiers, shown);
        EXPECT_EQ(selection.ids, c.expected.ids) << c.name;
        EXPECT_EQ(selection.anchor, c.expected.anchor) << c.name;
    }
}

TEST(SidebarKeyCommand, MapsKeysExactlyByModifier) {
    const auto cmd = SidebarModifiers::command();
    const auto shift = SidebarModifiers::shift();
    const QString escape(QChar(0x1B)), del(QChar(0x7F)), forwardDelete(QChar(0xF728));
    struct Case {
        QString characters;
        SidebarModifiers modifiers;
        bool hasSelection;
        std::optional<SidebarKeyCommand> expected;
    };
    const std::vector<Case> cases{
        {"a", cmd, false, SidebarKeyCommand::selectAll},
        {"A", cmd | shift, false, std::nullopt},
        {"T", cmd | shift, false, SidebarKeyCommand::reopenLastClosed},
        {"t", cmd, false, std::nullopt},
        {"f", cmd, false, SidebarKeyCommand::focusSearch},
        {"C", cmd | shift, false, SidebarKeyCommand::toggleCompactMode},
        {"a", cmd | SidebarModifiers::option(), false, std::nullopt},
        {"a", cmd | SidebarModifiers::control(), false, std::nullopt},
        {escape, {}, true, SidebarKeyCommand::clearSelection},
        {escape, {}, false, std::nullopt},
        {escape, cmd, true, std::nullopt},
        {del, {}, true, SidebarKeyCommand::closeSelection},
        {del, cmd, true, SidebarKeyCommand::closeSelection},
        {forwardDelete, {}, true, SidebarKeyCommand::closeSelection},
        {del, {}, false, std::nullopt},
        {del, shift, true, std::nullopt},
        {"", {}, true, std::nullopt},
        {"x", cmd, true, std::nullopt},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(sidebarKeyCommand(cases[i].characters, cases[i].modifiers, cases[i].hasSelection), cases[i].expected)
            << "case " << i;
}

TEST(SidebarWindowOrdering, KeepsTheOrderOfFirstSight) {
    SidebarWindowOrdering ordering;
    const auto w = [](std::int64_t id, bool front = false) { return window(id, {}, front); };
    EXPECT_TRUE(ordering.update({w(1, true), w(2)}));
    // The user brings window 2 to the front: nothing moves.
    EXPECT_FALSE(ordering.update({w(2, true), w(1)}));
    EXPECT_EQ(ordering.sorted({w(2, true), w(1)})[0].safariID, 1);
    EXPECT_TRUE(ordering.update({w(3, true), w(2), w(1)}));
    EXPECT_EQ(ordering.order, (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(ordering.label(2, 9), QStringLiteral("Window 2"));
    // Window 1 closes: the others move up, and their headings with them.
    EXPECT_TRUE(ordering.update({w(3, true), w(2)}));
    EXPECT_EQ(ordering.label(2, 9), QStringLiteral("Window 1"));
    EXPECT_EQ(ordering.label(7, 4), QStringLiteral("Window 4"));
    // Unknown windows come after the known ones, as given.
    const auto sorted = ordering.sorted({w(8), w(3), w(7), w(2)});
    std::vector<std::int64_t> ids;
    for (const auto &s : sorted) ids.push_back(s.safariID);
    EXPECT_EQ(ids, (std::vector<std::int64_t>{2, 3, 8, 7}));
    EXPECT_TRUE(ordering.update({}));
    EXPECT_TRUE(ordering.order.empty());
}

TEST(SidebarWindowScope, ReadsTheDefaultAndCutsTheList) {
    UserDefaults defaults;
    EXPECT_EQ(currentWindowScope(defaults), SidebarWindowScope::activeWindow);
    for (const auto &[stored, expected] : std::vector<std::pair<QString, SidebarWindowScope>>{
             {"allWindows", SidebarWindowScope::allWindows},
             {"AllWindows", SidebarWindowScope::activeWindow},
             {"activeWindow", SidebarWindowScope::activeWindow},
             {"", SidebarWindowScope::activeWindow}}) {
        defaults.setString(kSidebarWindowScopeKey, stored);
        EXPECT_EQ(currentWindowScope(defaults), expected) << stored.toStdString();
    }
    const std::vector<SafariWindow> none{};
    EXPECT_TRUE(scopedWindows(SidebarWindowScope::activeWindow, none).empty());
    const std::vector<SafariWindow> windows{window(1, {}, false), window(2, {}, true), window(3, {}, true)};
    EXPECT_EQ(scopedWindows(SidebarWindowScope::activeWindow, windows).at(0).safariID, 2);
    EXPECT_EQ(scopedWindows(SidebarWindowScope::allWindows, windows).size(), 3u);
    const std::vector<SafariWindow> noFront{window(4, {}, false), window(5, {}, false)};
    EXPECT_EQ(scopedWindows(SidebarWindowScope::activeWindow, noFront).at(0).safariID, 4);
}

std::vector<QString> idsOf(const std::vector<SafariTab> &tabs) {
    std::vector<QString> ids;
    for (const auto &t : tabs) ids.push_back(t.id);
    return ids;
}

TEST(SidebarLayout, SplitsPinnedGroupedAndTheRest) {
    // Window 1: p (pinned) with child c; g (grouped) with child h; r alone. Window 2: only pinned q.
    const std::vector<SafariWindow> windows{
        window(1, {tab("p", 1, 1), tab("c", 1, 2, false, QStringLiteral("p")), tab("g", 1, 3),
                   tab("h", 1, 4, false, QStringLiteral("g")), tab("r", 1, 5), tab("u", 1, 6)}),
        window(2, {tab("q", 2, 1)}, false, 2)};
    const std::vector<TabGroup> groups{TabGroup{.id = gid(1), .name = "One"}, TabGroup{.id = gid(2), .name = "Empty"}};
    const auto isPinned = [](const SafariTab &t) { return t.id == "p" || t.id == "q"; };
    const auto groupOf = [](const SafariTab &t) -> std::optional<TabGroupID> {
        if (t.id == "g") return gid(1);
        if (t.id == "u") return gid(9);  // a group that is not listed
        return std::nullopt;
    };
    const auto layout = SidebarLayout::sections(windows, groups, isPinned, groupOf);
    EXPECT_EQ(idsOf(layout.pinned), (std::vector<QString>{"p", "q"}));
    ASSERT_EQ(layout.groups.size(), 2u);
    EXPECT_EQ(idsOf(layout.groups[0].tabs), (std::vector<QString>{"g"}));
    EXPECT_TRUE(layout.groups[1].tabs.empty());
    ASSERT_EQ(layout.windows.size(), 1u) << "a window left without tabs is dropped";
    const auto &rest = layout.windows[0].tabs;
    EXPECT_EQ(idsOf(rest), (std::vector<QString>{"c", "h", "r", "u"})) << "a tab of an unknown group stays visible";
    EXPECT_EQ(rest[0].parentID, std::nullopt);
    EXPECT_EQ(rest[1].parentID, std::nullopt);

    // Nothing pinned or grouped: the windows as they are, empty ones included.
    const std::vector<SafariWindow> plain{window(1, {tab("a", 1, 1)}), window(2, {}, false, 2)};
    const auto none = SidebarLayout::sections(plain, {}, [](const SafariTab &) { return false; },
                                              [](const SafariTab &) { return std::optional<TabGroupID>(gid(1)); });
    EXPECT_EQ(none.windows, plain) << "without groups nothing is grouped";
}

// A section draws a tab under its parent only while it stands beside it there, as the browser's
// tree keeps tabs: a pinned tab's children become roots, and a root among them keeps its later
// siblings apart from their parent.
TEST(SidebarLayout, ATabStaysNestedOnlyBesideItsParent) {
    const struct {
        const char *name;
        std::vector<std::pair<const char *, const char *>> tabs;  // id, parent; "p" is pinned
        const char *parents;                                      // in the section, "-" for none
    } cases[] = {
        {"the pinned tab's sibling after it", {{"a", nullptr}, {"p", "a"}, {"y", "a"}}, "a - y:a"},
        {"the pinned tab's child keeps its sibling apart",
         {{"a", nullptr}, {"p", "a"}, {"x", "p"}, {"y", "a"}, {"z", "y"}}, "a - x - y - z:y"},
        {"nested deeper under the pinned tab's child",
         {{"a", nullptr}, {"p", "a"}, {"x", "p"}, {"w", "x"}, {"y", "a"}}, "a - x - w:x y -"},
    };
    for (const auto &c : cases) {
        std::vector<SafariTab> tabs;
        for (const auto &[id, parent] : c.tabs)
            tabs.push_back(tab(QString::fromLatin1(id), 1, std::int64_t(tabs.size()) + 1, false,
                               parent ? std::optional<QString>(QString::fromLatin1(parent)) : std::nullopt));
        const auto layout = SidebarLayout::sections({window(1, tabs)}, {}, [](const SafariTab &t) { return t.id == "p"; },
                                                    [](const SafariTab &) { return std::optional<TabGroupID>(); });
        QStringList parents;
        for (const auto &t : layout.windows.at(0).tabs) parents << (t.parentID ? t.id + ":" + *t.parentID : t.id + " -");
        EXPECT_EQ(parents.join(u' ').toStdString(), c.parents) << c.name;
    }
}

TEST(WindowTabs, SubtreesAreBoundedAndOrdered) {
    std::vector<SafariTab> chain{tab("t0", 1, 1)};
    for (int i = 1; i <= 70; ++i)
        chain.push_back(tab(QStringLiteral("t%1").arg(i), 1, i + 1, false, QStringLiteral("t%1").arg(i - 1)));
    const auto w = window(1, chain);
    EXPECT_EQ(subtreeTabs("t0", w).size(), 64u);
    EXPECT_EQ(subtreeTabs("t69", w).size(), 1u);
    EXPECT_EQ(allTabs({w, window(2, {tab("x", 2, 1)})}).size(), 72u);

    // Records: level by level, each level in identity order; a cycle ends the walk.
    std::map<OndrakeID, TabRecord> records;
    const auto add = [&](int id, std::optional<int> parent) {
        records[rid(id)] = TabRecord{.id = rid(id), .parentID = parent ? std::optional(rid(*parent)) : std::nullopt};
    };
    add(1, 5);
    add(5, 1);  // cycle back to the top
    add(4, 1);
    add(3, 1);
    add(2, 3);
    EXPECT_EQ(descendantRecordIDs(rid(1), records), (std::vector<OndrakeID>{rid(3), rid(4), rid(5), rid(2)}));
    EXPECT_TRUE(descendantRecordIDs(rid(2), records).empty());
}

TEST(SafeAddress, OnlyWebStartAndBlankPagesOpenFromStoredAddresses) {
    const std::vector<std::pair<const char *, bool>> cases = {
        {"https://example.com/a?b=c", true},
        {"http://example.com/", true},
        {"HTTPS://EXAMPLE.COM/", true},
        {"favorites://", true},
        {"about:blank", true},
        {"about:config", false},
        {"javascript:alert(1)", false},
        {"JavaScript:alert(1)", false},
        {"file:///etc/passwd", false},
        {"data:text/plain,hello", false},
        {"data:text/html,<script>alert(1)</script>", false},
        {"vbscript:msgbox", false},
        {"blob:https://example.com/1", false},
        {"relative/page.html", false},
        {"/absolute/path", false},
        {"//example.com/no-scheme", false},
        {"", false},
        {"not a url at all", false},
    };
    for (const auto &[address, safe] : cases) EXPECT_EQ(isSafeToOpen(QString::fromUtf8(address)), safe) << address;

    EXPECT_EQ(unsafeAddressNote(0), QString());
    EXPECT_EQ(unsafeAddressNote(1), QStringLiteral(" — 1 unsafe address not opened"));
    EXPECT_EQ(unsafeAddressNote(3), QStringLiteral(" — 3 unsafe addresses not opened"));
    EXPECT_EQ(CommandOutcome::refused(CommandOutcome::Refusal::unsafeAddress()).description(),
              QStringLiteral("refused(unsafeAddress)"));
}

}  // namespace
}  // namespace ondrake
