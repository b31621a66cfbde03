#include "Ondrake/Sidebar/CommandPaletteView.h"
#include "Ondrake/Sidebar/GroupPrompt.h"
#include "Ondrake/Sidebar/SearchKey.h"
#include "Ondrake/Sidebar/SidebarHeaderModel.h"
#include "Ondrake/Sidebar/SidebarMessage.h"

#include "Browser/BrowserURL.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace ondrake;

namespace {

SafariTab makeTab(const QString &id, const QString &title = {}, std::optional<QUrl> url = std::nullopt) {
    return SafariTab{id, 1, 1, title, std::move(url), false, std::nullopt};
}

using Count = SidebarHeaderModel::Count;
using Tone = SidebarHeaderModel::Tone;

TEST(SidebarHeaderModel, CountsShowTheSelectionFromTwoElseTheVisibleTabsWhenReady) {
    struct Case {
        const char *name;
        int selected;
        bool ready;
        int visible;
        std::optional<Count> toolbar;
        std::optional<QString> rail;
    };
    const std::vector<Case> cases = {
        {"one selected shows the tab count", 1, true, 5, Count{QStringLiteral("5"), Tone::muted}, QStringLiteral("5")},
        {"two selected", 2, true, 5, Count{QStringLiteral("2 selected"), Tone::accent}, QStringLiteral("5")},
        {"selection outranks not ready", 3, false, 5, Count{QStringLiteral("3 selected"), Tone::accent}, std::nullopt},
        {"ready without tabs", 0, true, 0, std::nullopt, std::nullopt},
        {"not ready", 0, false, 7, std::nullopt, std::nullopt},
        {"nothing selected", 0, true, 12, Count{QStringLiteral("12"), Tone::muted}, QStringLiteral("12")},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(SidebarHeaderModel::toolbarCount(c.selected, c.ready, c.visible), c.toolbar) << c.name;
        EXPECT_EQ(SidebarHeaderModel::compactCount(c.ready, c.visible), c.rail) << c.name;
    }
}

TEST(SidebarHeaderModel, VisibleCountSumsTheListedWindows) {
    const SafariWindow one{1, 1, true, {makeTab(QStringLiteral("a")), makeTab(QStringLiteral("b"))}};
    const SafariWindow two{2, 2, false, {makeTab(QStringLiteral("c"))}};
    EXPECT_EQ(SidebarHeaderModel::visibleTabCount({}), 0);
    EXPECT_EQ(SidebarHeaderModel::visibleTabCount({one, two}), 3);
}

TEST(SidebarHeaderModel, StatusLineOnlyOutsideTheRail) {
    EXPECT_EQ(SidebarHeaderModel::statusLine(false, QStringLiteral("Pinned in Sidebar")), QStringLiteral("Pinned in Sidebar"));
    EXPECT_EQ(SidebarHeaderModel::statusLine(true, QStringLiteral("Pinned in Sidebar")), std::nullopt);
    EXPECT_EQ(SidebarHeaderModel::statusLine(false, std::nullopt), std::nullopt);
}

TEST(SidebarHeaderModel, NewTabNamesTheWindowOnlyAmongSeveral) {
    const QString label = QStringLiteral("Window 2");
    EXPECT_EQ(SidebarHeaderModel::newTabHelp(1, label), QStringLiteral("New Tab"));
    EXPECT_EQ(SidebarHeaderModel::newTabWindowLabel(1, label), std::nullopt);
    EXPECT_EQ(SidebarHeaderModel::newTabHelp(2, label), QStringLiteral("New Tab in Window 2"));
    EXPECT_EQ(SidebarHeaderModel::newTabWindowLabel(3, label), label);
}

TEST(SidebarHeaderModel, IconButtonsCarryHelpAndNames) {
    struct Case {
        HeaderIcon icon;
        HeaderIcon expected;
    };
    const std::vector<Case> cases = {
        {SidebarHeaderModel::newTabGroupButton(), {"plus.circle", "New Tab Group", "New Tab Group"}},
        {SidebarHeaderModel::searchButton(), {"magnifyingglass", "Search Tabs (Ctrl+F)", "Search Tabs"}},
        {SidebarHeaderModel::closeSearchButton(), {"xmark.circle.fill", "Close Search", "Close Search"}},
        {SidebarHeaderModel::compactToggle(false), {"chevron.right", "Collapse to Favicons (Ctrl+Shift+C)", "Collapse to Favicons"}},
        {SidebarHeaderModel::compactToggle(true), {"chevron.left", "Expand Sidebar (Ctrl+Shift+C)", "Expand Sidebar"}},
    };
    for (const auto &c : cases) EXPECT_EQ(c.icon, c.expected) << c.expected.symbol.toStdString();
}

TEST(ArrangeMenu, ListsEveryArrangementInOrderWithTheCurrentChecked) {
    const auto items = ArrangeMenu::items(SidebarViewMode::domain);
    const std::vector<ArrangeMenu::Item> expected = {
        {SidebarViewMode::tree, QStringLiteral("Tree"), false},
        {SidebarViewMode::age, QStringLiteral("By Age"), false},
        {SidebarViewMode::domain, QStringLiteral("By Domain"), true},
        {SidebarViewMode::group, QStringLiteral("By Group"), false},
    };
    EXPECT_EQ(items, expected);
    const std::vector<std::pair<SidebarViewMode, const char *>> symbols = {
        {SidebarViewMode::tree, "list.bullet.indent"},
        {SidebarViewMode::age, "clock"},
        {SidebarViewMode::domain, "globe"},
        {SidebarViewMode::group, "folder"},
    };
    for (const auto &[mode, symbol] : symbols) EXPECT_EQ(ArrangeMenu::symbol(mode), QString::fromUtf8(symbol));
    EXPECT_EQ(ArrangeMenu::help(SidebarViewMode::age), QStringLiteral("Arrange Tabs: By Age"));
    EXPECT_EQ(ArrangeMenu::accessibleName(), QStringLiteral("Arrange Tabs"));
}

TEST(SidebarContent, StateDecidesFirstThenQueryWindowsAndArrangement) {
    struct Case {
        const char *name;
        SidebarState state;
        QString query;
        bool hasWindows;
        SidebarViewMode mode;
        SidebarContentKind expected;
    };
    const auto ready = SidebarState::ready();
    const std::vector<Case> cases = {
        {"loading", SidebarState::loading(), "x", true, SidebarViewMode::tree, SidebarContentKind::loading},
        {"not running", SidebarState::safariNotRunning(), {}, true, SidebarViewMode::tree, SidebarContentKind::safariNotRunning},
        {"permission", SidebarState::permissionRequired(), {}, false, SidebarViewMode::age, SidebarContentKind::permissionRequired},
        {"failed", SidebarState::failed("boom"), "x", true, SidebarViewMode::tree, SidebarContentKind::failed},
        {"query wins over no windows", ready, "x", false, SidebarViewMode::tree, SidebarContentKind::searchList},
        {"spaces count as a query", ready, "  ", true, SidebarViewMode::domain, SidebarContentKind::searchList},
        {"no windows", ready, {}, false, SidebarViewMode::age, SidebarContentKind::noTabs},
        {"tree", ready, {}, true, SidebarViewMode::tree, SidebarContentKind::treeList},
        {"age", ready, {}, true, SidebarViewMode::age, SidebarContentKind::modeList},
        {"group", ready, {}, true, SidebarViewMode::group, SidebarContentKind::modeList},
    };
    for (const auto &c : cases)
        EXPECT_EQ(sidebarContentKind(c.state, c.query, c.hasWindows, c.mode), c.expected) << c.name;
}

TEST(SidebarMessage, EachStateHasItsTextsAndAction) {
    using Action = SidebarMessage::Action;
    struct Case {
        SidebarContentKind kind;
        SidebarState state;
        std::optional<SidebarMessage> expected;
    };
    const std::vector<Case> cases = {
        {SidebarContentKind::safariNotRunning, SidebarState::safariNotRunning(),
         SidebarMessage{"safari", "Safari isn’t running", "Open Safari and your tabs will appear here.", Action::none}},
        {SidebarContentKind::permissionRequired, SidebarState::permissionRequired(),
         SidebarMessage{"lock.shield", "Safari access is required",
                        "Allow Ondrake to control Safari in System Settings › Privacy & Security › Automation.",
                        Action::openSystemSettings}},
        {SidebarContentKind::failed, SidebarState::failed("The script timed out"),
         SidebarMessage{"exclamationmark.triangle", "Something went wrong", "The script timed out", Action::tryAgain}},
        {SidebarContentKind::failed, SidebarState::failed(""),
         SidebarMessage{"exclamationmark.triangle", "Something went wrong", "", Action::tryAgain}},
        {SidebarContentKind::noTabs, SidebarState::ready(),
         SidebarMessage{"rectangle.on.rectangle", "No open tabs", "Open a window in Safari to get started.", Action::none}},
        {SidebarContentKind::loading, SidebarState::loading(), std::nullopt},
        {SidebarContentKind::treeList, SidebarState::ready(), std::nullopt},
        {SidebarContentKind::searchList, SidebarState::ready(), std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SidebarMessage::forContent(c.kind, c.state), c.expected) << c.state.description().toStdString();
    EXPECT_EQ(SidebarMessage::actionTitle(Action::openSystemSettings), QStringLiteral("Open System Settings"));
    EXPECT_EQ(SidebarMessage::actionTitle(Action::tryAgain), QStringLiteral("Try Again"));
    EXPECT_EQ(SidebarMessage::loadingText(), QStringLiteral("Connecting to Safari…"));
}

TEST(GroupPrompt, IdentityMessageAndButtonFollowTheForm) {
    TabGroup work{.name = QStringLiteral("Work")};
    const std::vector<SafariTab> three(3, makeTab(QStringLiteral("t")));
    struct Case {
        GroupPrompt prompt;
        QString id;
        QString message;
        QString confirm;
        QString initial;
    };
    const std::vector<Case> cases = {
        {GroupPrompt::create({}), "create",
         "Ondrake’s own grouping — separate from Safari, and kept even after it quits.", "Create", ""},
        {GroupPrompt::create({makeTab(QStringLiteral("t"))}), "create", "Files this tab into the new group.", "Create", ""},
        {GroupPrompt::create(three), "create", "Files these 3 tabs into the new group.", "Create", ""},
        {GroupPrompt::rename(work), "rename-" + work.id.toString(), "Renaming “Work”.", "Rename", "Work"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.prompt.id(), c.id);
        EXPECT_EQ(c.prompt.message(), c.message);
        EXPECT_EQ(c.prompt.confirmTitle(), c.confirm);
        EXPECT_EQ(c.prompt.initialName(), c.initial);
    }
}

TEST(GroupPrompt, ABlankNameCannotBeConfirmed) {
    for (const char *blank : {"", " ", "\t \n"}) EXPECT_FALSE(GroupPrompt::canConfirm(QString::fromUtf8(blank)));
    for (const char *name : {"Work", " Work ", "·"}) EXPECT_TRUE(GroupPrompt::canConfirm(QString::fromUtf8(name)));
}

TEST(SearchKey, OnlyArrowsReturnAndEscapeAreTaken) {
    EXPECT_EQ(searchKey(Qt::Key_Up), SearchKey::previous);
    EXPECT_EQ(searchKey(Qt::Key_Down), SearchKey::next);
    EXPECT_EQ(searchKey(Qt::Key_Return), SearchKey::activate);
    EXPECT_EQ(searchKey(Qt::Key_Enter), SearchKey::activate);
    EXPECT_EQ(searchKey(Qt::Key_Escape), SearchKey::escape);
    for (int key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_A, Qt::Key_Tab, Qt::Key_Space})
        EXPECT_EQ(searchKey(key), std::nullopt) << key;
}

TEST(PaletteResult, TitleFallsBackToTheHostThenUntitled) {
    struct Case {
        const char *name;
        QString title;
        std::optional<QUrl> url;
        QString shown;
        std::optional<QString> host;
    };
    const std::vector<Case> cases = {
        {"titled", "Docs", parseURL("https://www.example.com/a"), "Docs", QStringLiteral("www.example.com")},
        {"untitled with a host", "", parseURL("https://news.example/"), "news.example", QStringLiteral("news.example")},
        {"untitled without a url", "", std::nullopt, "Untitled", std::nullopt},
        {"address without a host", "", parseURL("favorites://"), "Untitled", std::nullopt},
    };
    for (const auto &c : cases) {
        const auto result = PaletteResult::of(makeTab(QStringLiteral("t"), c.title, c.url));
        EXPECT_EQ(result.title, c.shown) << c.name;
        EXPECT_EQ(result.host, c.host) << c.name;
    }
}

}  // namespace
