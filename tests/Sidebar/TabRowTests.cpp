#include "RowRecorder.h"

#include "Ondrake/Sidebar/TabGroupColorName.h"
#include "Ondrake/Sidebar/TabRow.h"

#include "Browser/BrowserURL.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace ondrake;
using namespace ondrake::test;

namespace {

SafariTab makeTab(const QString &id, const QString &url = {}, bool active = false) {
    return SafariTab{id, 1, 1, QStringLiteral("Title ") + id, url.isEmpty() ? std::nullopt : std::optional(parseURL(url)),
                     active, std::nullopt};
}

TabRow rowOf(SafariTab tab, std::optional<TabRowMarks> marks = TabRowMarks{}) {
    TabRow row;
    row.row = TabTreeRow{std::move(tab), 0, false, false, 0, false};
    row.record = marks;
    row.enabledFeatures = {true, true, true, true};
    return row;
}

TabGroup group(const QString &name, std::optional<QString> color = std::nullopt) {
    TabGroup g;
    g.name = name;
    g.colorName = std::move(color);
    return g;
}

std::string show(const QStringList &list) { return list.join(QStringLiteral(" | ")).toStdString(); }

// MARK: Layout

TEST(TabRow, IndentsOneCellPerLevelUpToSixAndNoneForNegativeDepthsOrTiles) {
    const struct {
        int depth;
        bool compact;
        std::size_t cells;
    } cases[] = {{-3, false, 0}, {0, false, 0}, {1, false, 1}, {6, false, 6}, {9, false, 6}, {4, true, 0}};
    for (const auto &c : cases) {
        TabRow row = rowOf(makeTab(QStringLiteral("a")));
        row.row.depth = c.depth;
        const auto g = row.geometry(QRectF(0, 0, 300, 28), c.compact, false, 0);
        EXPECT_EQ(g.indentCells.size(), c.cells) << c.depth;
        if (!c.compact) {
            EXPECT_DOUBLE_EQ(g.background.left(), 11.0 * double(c.cells)) << c.depth;
        }
    }
}

TEST(TabRow, BadgesFollowTheMarksAndSwitchesInTheirFixedOrder) {
    using K = TabRowBadge::Kind;
    const TabGroup work = group(QStringLiteral("Work"), QStringLiteral("blue"));
    for (int bits = 0; bits < 128; ++bits) {
        for (const bool featuresOn : {true, false}) {
            const auto has = [&](int bit) { return (bits >> bit & 1) != 0; };
            TabRowMarks marks{.groupID = has(6) ? std::optional(work.id) : std::nullopt,
                              .pinned = has(0), .locked = has(3), .muted = has(4),
                              .important = has(1), .readLater = has(2), .snoozed = has(5)};
            TabRow row = rowOf(makeTab(QStringLiteral("a")), marks);
            row.enabledFeatures = {featuresOn, featuresOn, featuresOn, featuresOn};
            row.currentGroup = TabRow::currentGroupOf(row.record, {work});

            std::vector<K> expected;
            if (featuresOn && marks.pinned && marks.groupID) expected.push_back(K::groupDot);
            if (featuresOn && marks.pinned) expected.push_back(K::pinned);
            if (marks.important) expected.push_back(K::important);
            if (marks.readLater) expected.push_back(K::readLater);
            if (marks.locked) expected.push_back(K::locked);
            if (featuresOn && marks.muted) expected.push_back(K::muted);
            if (featuresOn && marks.snoozed) expected.push_back(K::snoozed);

            std::vector<K> kinds;
            for (const auto &badge : row.badges()) kinds.push_back(badge.kind);
            EXPECT_EQ(kinds, expected) << "marks " << bits << " features " << featuresOn;
            // Each badge gets its own place, left to right in order.
            const auto g = row.geometry(QRectF(0, 0, 400, 28), false, false, 0);
            ASSERT_EQ(g.badges.size(), expected.size());
            for (std::size_t i = 1; i < g.badges.size(); ++i) EXPECT_LT(g.badges[i - 1].right(), g.badges[i].left());
            if (!g.badges.empty()) {
                EXPECT_LT(g.title.right(), g.badges.front().left());
            }
        }
    }
}

TEST(TabRow, BadgeTextsNameTheMarkAndTheGroup) {
    const TabGroup work = group(QStringLiteral("Work"), QStringLiteral("green"));
    TabRow row = rowOf(makeTab(QStringLiteral("a")), TabRowMarks{.groupID = work.id, .pinned = true, .locked = true});
    row.currentGroup = work;
    const auto badges = row.badges();
    ASSERT_EQ(badges.size(), 3u);
    EXPECT_EQ(badges[0].help, QStringLiteral("In group “Work”"));
    EXPECT_EQ(badges[0].accessibilityLabel, QStringLiteral("In group Work"));
    EXPECT_EQ(badges[0].dotColor, QColor(drawingColor(TabGroupColorName::green)));
    EXPECT_EQ(badges[1].symbol, QStringLiteral("pin.fill"));
    EXPECT_EQ(badges[1].help, QStringLiteral("Pinned in Ondrake"));
    EXPECT_EQ(badges[2].help, QStringLiteral("Locked — won’t be closed from here"));
    // An unpinned tab in a group shows no dot; a group that is gone shows none either.
    row.record->pinned = false;
    EXPECT_EQ(row.badges().front().kind, TabRowBadge::Kind::locked);
    row.record->pinned = true;
    row.currentGroup = TabRow::currentGroupOf(row.record, {});
    EXPECT_EQ(row.badges().front().kind, TabRowBadge::Kind::pinned);
    // No record, no badges.
    EXPECT_TRUE(rowOf(makeTab(QStringLiteral("b")), std::nullopt).badges().empty());
}

TEST(TabRow, SnoozeCountsOnlyWhileTheDateLiesAhead) {
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    TabRecord record;
    record.snoozeUntil = now.addSecs(-60);
    EXPECT_FALSE(TabRowMarks::of(record, now).snoozed);
    record.snoozeUntil = now;
    EXPECT_FALSE(TabRowMarks::of(record, now).snoozed);
    record.snoozeUntil = now.addSecs(60);
    EXPECT_TRUE(TabRowMarks::of(record, now).snoozed);
}

TEST(TabRow, CollapsedParentCountsItsHiddenTabs) {
    TabRow row = rowOf(makeTab(QStringLiteral("a")));
    row.row.hasChildren = true;
    row.row.isCollapsed = true;
    row.row.hiddenDescendants = 3;
    EXPECT_EQ(row.hiddenCountText(), QStringLiteral("3"));
    EXPECT_TRUE(row.accessibilityLabel().contains(QStringLiteral(", 3 tabs hidden")));
    EXPECT_FALSE(row.hiddenCountIsAccent());
    row.row.hidesActiveTab = true;
    EXPECT_TRUE(row.hiddenCountIsAccent());
    const auto g = row.geometry(QRectF(0, 0, 300, 28), false, false, 7);
    EXPECT_DOUBLE_EQ(g.hiddenCount.width(), 17);
    EXPECT_LT(g.title.right(), g.hiddenCount.left());

    row.row.isCollapsed = false;
    EXPECT_EQ(row.hiddenCountText(), std::nullopt);
    EXPECT_TRUE(row.geometry(QRectF(0, 0, 300, 28), false, false, 7).hiddenCount.isEmpty());
}

TEST(TabRow, ParentShowsItsChevronWhileHoveredOrCollapsed) {
    const struct {
        bool hasChildren, collapsed, hovered, chevron;
        double rotation;
        const char *help;
    } cases[] = {
        {true, false, false, false, 90, "Hide nested tabs"},
        {true, false, true, true, 90, "Hide nested tabs"},
        {true, true, false, true, 0, "Show nested tabs"},
        {false, false, true, false, 90, "Hide nested tabs"},
    };
    for (const auto &c : cases) {
        TabRow row = rowOf(makeTab(QStringLiteral("a")));
        row.row.hasChildren = c.hasChildren;
        row.row.isCollapsed = c.collapsed;
        EXPECT_EQ(row.showsChevron(c.hovered), c.chevron);
        EXPECT_EQ(row.geometry(QRectF(0, 0, 300, 28), false, c.hovered, 0).chevron.isEmpty(), !c.chevron);
        EXPECT_EQ(row.chevronRotation(), c.rotation);
        EXPECT_EQ(row.chevronHelp(), QString::fromUtf8(c.help));
    }
}

TEST(TabRow, CloseButtonShowsOnHoverUnlessLocked) {
    TabRow row = rowOf(makeTab(QStringLiteral("a")), std::nullopt);
    EXPECT_TRUE(row.showsCloseButton(true));
    EXPECT_FALSE(row.showsCloseButton(false));
    row.record = TabRowMarks{.locked = true};
    EXPECT_FALSE(row.showsCloseButton(true));
    row.record->locked = false;
    const auto g = row.geometry(QRectF(0, 0, 300, 28), false, true, 0);
    EXPECT_EQ(g.closeButton, QRectF(300 - 8 - 16, 6, 16, 16));
    EXPECT_EQ(row.closeAccessibilityLabel(), QStringLiteral("Close Title a"));
}

TEST(TabRow, AccessibilityLabelNamesEveryStateInOrder) {
    TabRow row = rowOf(makeTab(QStringLiteral("a")), TabRowMarks{.locked = true, .muted = true});
    row.row.depth = 2;
    row.row.hasChildren = true;
    row.row.isCollapsed = true;
    row.row.hiddenDescendants = 4;
    row.isSelected = true;
    EXPECT_EQ(row.accessibilityLabel(), QStringLiteral("Title a, nested level 2, 4 tabs hidden, selected, locked, muted"));
    EXPECT_EQ(rowOf(makeTab(QStringLiteral("b")), std::nullopt).accessibilityLabel(), QStringLiteral("Title b"));
}

TEST(TabRow, HelpTextIsTheAddressOrInCompactFormTheTitleAndHost) {
    const struct {
        QString url;
        bool compact;
        QString expected;
    } cases[] = {
        {QStringLiteral("https://www.example.com/a?b=1"), false, QStringLiteral("https://www.example.com/a?b=1")},
        {QString(), false, QStringLiteral("Title a")},
        {QStringLiteral("https://www.example.com/a"), true, QStringLiteral("Title a — example.com")},
        {QStringLiteral("file:///tmp/x.html"), true, QStringLiteral("Title a")},
        {QString(), true, QStringLiteral("Title a")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(rowOf(makeTab(QStringLiteral("a"), c.url)).helpText(c.compact), c.expected) << c.url.toStdString();
}

TEST(TabRow, FillFollowsSelectionThenActiveTabThenHover) {
    using F = TabRow::Fill;
    const struct {
        bool selected, active, hovered;
        TabRow::Background expected;
    } cases[] = {
        {true, true, true, {F::selection, 1}},    {true, false, false, {F::selection, 0.75}},
        {false, true, true, {F::active, 0.12}},   {false, true, false, {F::active, 0.08}},
        {false, false, true, {F::hover, 1}},      {false, false, false, {F::clear, 1}},
    };
    for (const auto &c : cases) {
        TabRow row = rowOf(makeTab(QStringLiteral("a"), {}, c.active));
        row.isSelected = c.selected;
        EXPECT_EQ(row.background(c.hovered), c.expected) << c.selected << c.active << c.hovered;
    }
}

TEST(TabRow, CompactTileCarriesTheLockElseTheMutedMark) {
    const struct {
        bool locked, muted, muting;
        std::optional<QString> mark;
    } cases[] = {
        {true, true, true, QStringLiteral("lock.fill")},
        {false, true, true, QStringLiteral("speaker.slash.fill")},
        {false, true, false, std::nullopt},
        {false, false, true, std::nullopt},
    };
    for (const auto &c : cases) {
        TabRow row = rowOf(makeTab(QStringLiteral("a")), TabRowMarks{.locked = c.locked, .muted = c.muted});
        row.enabledFeatures.muting = c.muting;
        EXPECT_EQ(row.compactMark(), c.mark);
        const auto g = row.geometry(QRectF(0, 0, 64, 28), true, false, 0);
        EXPECT_EQ(g.background, QRectF(18, 0, 28, 28));
        EXPECT_EQ(g.compactMark.isEmpty(), !c.mark);
        EXPECT_TRUE(g.title.isEmpty());
    }
}

// MARK: Context menu

struct MenuCase {
    const char *name;
    std::optional<TabRowMarks> marks;
    int selectionCount;
    bool nested;
    ParentCloseBehavior behaviour;
    bool featuresOn;
    QStringList titles;
    bool closeEnabled;
};

TEST(TabRowMenu, HoldsTheItemsOfTheRecordSelectionAndSwitches) {
    const TabGroup a = group(QStringLiteral("A"));
    const TabGroup b = group(QStringLiteral("B"));
    const auto P = ParentCloseBehavior::parentOnly;
    const auto D = ParentCloseBehavior::parentAndDescendants;
    const QString S = QStringLiteral("—");
    const MenuCase cases[] = {
        {"no record", std::nullopt, 1, true, D, true, {S, QStringLiteral("Close Tab and Nested Tabs")}, true},
        {"plain record", TabRowMarks{}, 1, false, P, true,
         {QStringLiteral("Mark Important"), QStringLiteral("Add to Read Later"), QStringLiteral("Add to Read Later and Close"),
          QStringLiteral("Pin in Sidebar"), S, QStringLiteral("Mute"), S, QStringLiteral("Move to Group"), S,
          QStringLiteral("Lock"), S, QStringLiteral("Close Tab")},
         true},
        {"every mark, three tabs", TabRowMarks{.groupID = a.id, .pinned = true, .locked = true, .muted = true,
                                               .important = true, .readLater = true},
         3, true, D, true,
         {QStringLiteral("Clear Important (3 Tabs)"), QStringLiteral("Mark as Read (3 Tabs)"),
          QStringLiteral("Remove from Read Later (3 Tabs)"), QStringLiteral("Unpin from Sidebar (3 Tabs)"), S,
          QStringLiteral("Unmute (3 Tabs)"), QStringLiteral("Unmute Nested Tabs"), S, QStringLiteral("Move to Group (3 Tabs)"),
          QStringLiteral("Remove from “A” (3 Tabs)"), S, QStringLiteral("Unlock (3 Tabs)"), S, QStringLiteral("Close 3 Tabs")},
         true},
        {"locked parent", TabRowMarks{.locked = true}, 1, true, D, false,
         {QStringLiteral("Mark Important"), QStringLiteral("Add to Read Later"), QStringLiteral("Add to Read Later and Close"),
          S, QStringLiteral("Unlock"), S, QStringLiteral("Close Tab and Nested Tabs")},
         false},
        {"parent closing alone", TabRowMarks{}, 1, true, P, false,
         {QStringLiteral("Mark Important"), QStringLiteral("Add to Read Later"), QStringLiteral("Add to Read Later and Close"),
          S, QStringLiteral("Lock"), S, QStringLiteral("Close Tab")},
         true},
        {"nested, muting", TabRowMarks{}, 2, true, P, true,
         {QStringLiteral("Mark Important (2 Tabs)"), QStringLiteral("Add to Read Later (2 Tabs)"),
          QStringLiteral("Add to Read Later and Close (2 Tabs)"), QStringLiteral("Pin in Sidebar (2 Tabs)"), S,
          QStringLiteral("Mute (2 Tabs)"), QStringLiteral("Mute Nested Tabs"), S, QStringLiteral("Move to Group (2 Tabs)"), S,
          QStringLiteral("Lock (2 Tabs)"), S, QStringLiteral("Close 2 Tabs")},
         true},
        {"group that is gone", TabRowMarks{.groupID = TabGroupID{}}, 1, false, P, true,
         {QStringLiteral("Mark Important"), QStringLiteral("Add to Read Later"), QStringLiteral("Add to Read Later and Close"),
          QStringLiteral("Pin in Sidebar"), S, QStringLiteral("Mute"), S, QStringLiteral("Move to Group"),
          QStringLiteral("Remove from Group"), S, QStringLiteral("Lock"), S, QStringLiteral("Close Tab")},
         true},
    };
    RowRecorder recorder;
    for (const MenuCase &c : cases) {
        TabRow row = rowOf(makeTab(QStringLiteral("t")), c.marks);
        row.enabledFeatures = {c.featuresOn, c.featuresOn, c.featuresOn, c.featuresOn};
        row.selectionCount = c.selectionCount;
        row.hasNestedTabs = c.nested;
        row.parentCloseBehavior = c.behaviour;
        row.currentGroup = TabRow::currentGroupOf(row.record, {a, b});
        const SidebarMenu menu = row.contextMenu({a, b}, recorder.actions());
        EXPECT_EQ(menu.titles(), c.titles) << c.name << ": " << show(menu.titles());
        const auto *close = menu.find({c.titles.back()});
        ASSERT_NE(close, nullptr) << c.name;
        EXPECT_EQ(close->enabled, c.closeEnabled) << c.name;
    }
}

TEST(TabRowMenu, MoveToGroupListsTheGroupsWithTheCurrentOneChecked) {
    const TabGroup a = group(QStringLiteral("A"));
    const TabGroup b = group(QStringLiteral("B"));
    RowRecorder recorder;
    TabRow row = rowOf(makeTab(QStringLiteral("t")), TabRowMarks{.groupID = a.id});
    row.currentGroup = a;
    const SidebarMenu menu = row.contextMenu({a, b}, recorder.actions());
    EXPECT_EQ(menu.titles({QStringLiteral("Move to Group")}),
              (QStringList{QStringLiteral("✓ A"), QStringLiteral("B"), QStringLiteral("—"), QStringLiteral("New Group…")}));
    EXPECT_TRUE(menu.find({QStringLiteral("Move to Group"), QStringLiteral("✓ A")})->checked);
    EXPECT_FALSE(menu.find({QStringLiteral("Move to Group"), QStringLiteral("B")})->checked);

    const SidebarMenu none = rowOf(makeTab(QStringLiteral("t"))).contextMenu({}, recorder.actions());
    EXPECT_EQ(none.titles({QStringLiteral("Move to Group")}), QStringList{QStringLiteral("New Group…")});
}

TEST(TabRowMenu, EachItemCallsItsOwnAction) {
    const TabGroup a = group(QStringLiteral("A"));
    const TabGroup b = group(QStringLiteral("B"));
    const struct {
        TabRowMarks marks;
        QStringList path;
        QString call;
    } cases[] = {
        {{}, {QStringLiteral("Mark Important")}, QStringLiteral("toggleImportant(t)")},
        {{}, {QStringLiteral("Add to Read Later")}, QStringLiteral("toggleReadLater(t)")},
        {{}, {QStringLiteral("Add to Read Later and Close")}, QStringLiteral("addToReadLaterAndClose(t)")},
        {{.readLater = true}, {QStringLiteral("Mark as Read")}, QStringLiteral("markRead(t)")},
        {{.readLater = true}, {QStringLiteral("Remove from Read Later")}, QStringLiteral("toggleReadLater(t)")},
        {{}, {QStringLiteral("Pin in Sidebar")}, QStringLiteral("togglePinned(t)")},
        {{}, {QStringLiteral("Mute")}, QStringLiteral("toggleMuted(t)")},
        {{}, {QStringLiteral("Mute Nested Tabs")}, QStringLiteral("muteSubtree(t, true)")},
        {{.muted = true}, {QStringLiteral("Unmute Nested Tabs")}, QStringLiteral("muteSubtree(t, false)")},
        {{}, {QStringLiteral("Move to Group"), QStringLiteral("B")}, QStringLiteral("assignGroup(t, %1)").arg(b.id.toString())},
        {{}, {QStringLiteral("Move to Group"), QStringLiteral("New Group…")}, QStringLiteral("requestNewGroup(t)")},
        {{.groupID = a.id}, {QStringLiteral("Remove from “A”")}, QStringLiteral("assignGroup(t, none)")},
        {{}, {QStringLiteral("Lock")}, QStringLiteral("toggleLocked(t)")},
        {{}, {QStringLiteral("Close Tab and Nested Tabs")}, QStringLiteral("close(t)")},
    };
    for (const auto &c : cases) {
        RowRecorder recorder;
        TabRow row = rowOf(makeTab(QStringLiteral("t")), c.marks);
        row.hasNestedTabs = true;
        row.parentCloseBehavior = ParentCloseBehavior::parentAndDescendants;
        row.currentGroup = TabRow::currentGroupOf(row.record, {a, b});
        EXPECT_TRUE(row.contextMenu({a, b}, recorder.actions()).trigger(c.path)) << c.path.join('/').toStdString();
        EXPECT_EQ(recorder.calls, QStringList{c.call});
    }
}

TEST(TabRowMenu, DisabledAndMissingItemsRunNothing) {
    RowRecorder recorder;
    TabRow row = rowOf(makeTab(QStringLiteral("t")), TabRowMarks{.locked = true});
    const SidebarMenu menu = row.contextMenu({}, recorder.actions());
    EXPECT_FALSE(menu.trigger({QStringLiteral("Close Tab")}));
    EXPECT_FALSE(menu.trigger({QStringLiteral("Move to Group")}));  // a submenu
    EXPECT_FALSE(menu.trigger({QStringLiteral("Nothing")}));
    EXPECT_TRUE(recorder.calls.isEmpty());
    // With several tabs the close item is open even for a locked row.
    row.selectionCount = 3;
    EXPECT_TRUE(row.contextMenu({}, recorder.actions()).trigger({QStringLiteral("Close 3 Tabs")}));
}

}  // namespace
