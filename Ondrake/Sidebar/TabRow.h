#pragma once

#include "Ondrake/Sidebar/SidebarMenu.h"
#include "Ondrake/Sidebar/TabRowActions.h"
#include "Ondrake/Sidebar/TabRowFeatures.h"

#include "Browser/TabTreeRow.h"
#include "Ondrake/Model/AppSettings.h"
#include "Ondrake/Model/TabGroup.h"
#include "Ondrake/Model/TabRecord.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

namespace ondrake {

// What a row reads of a tab's record. Taken once when the row is built, so a snooze date is
// judged against the time of building and an unchanged record gives an equal row.
struct TabRowMarks {
    std::optional<TabGroupID> groupID{};
    bool pinned = false;
    bool locked = false;
    bool muted = false;
    bool important = false;
    bool readLater = false;
    bool snoozed = false;  // snoozed until a time after `now`

    static TabRowMarks of(const TabRecord &record, const QDateTime &now);
    bool operator==(const TabRowMarks &) const = default;
};

struct TabRowBadge {
    enum class Kind { groupDot, pinned, important, readLater, locked, muted, snoozed };
    Kind kind;
    QString symbol;  // empty for the group dot
    QString help;
    QString accessibilityLabel;
    QColor dotColor;  // the group's colour, for the dot

    bool operator==(const TabRowBadge &) const = default;
};

// Where the parts of a row lie, for drawing and for hit tests, in the coordinates of the rect
// the row was laid out in.
struct TabRowGeometry {
    std::vector<QRectF> indentCells;  // 11 wide each
    QRectF background;                // the rounded fill; the tile in compact form
    QRectF activeDot;                 // 5 by 5
    QRectF favicon;                   // 16 by 16
    QRectF chevron;                   // the button's whole 16 by 28 frame; empty when not shown
    QRectF title;
    std::vector<QRectF> badges;       // one per badge, in order
    QRectF hiddenCount;               // the capsule; empty when not shown
    QRectF closeButton;               // empty when not shown
    QRectF compactMark;               // the circle of the compact tile's mark; empty when none
};

// One browser tab as the sidebar draws it, decided without pixels: indentation, badges, counts,
// labels, help texts, the fill and the context menu.
struct TabRow {
    static constexpr double kHorizontalPadding = 8;
    static constexpr double kSpacing = 8;
    static constexpr double kActiveDotFrame = 6;
    static constexpr double kActiveDot = 5;
    static constexpr double kBadgeSide = 10;
    static constexpr double kBadgeSpacing = 3;
    static constexpr double kCloseSide = 16;
    static constexpr double kCornerRadius = 6;

    TabTreeRow row;
    std::optional<QImage> favicon;
    std::optional<TabRowMarks> record;
    TabRowFeatures enabledFeatures;
    bool isSelected = false;
    int selectionCount = 1;
    bool hasNestedTabs = false;
    ParentCloseBehavior parentCloseBehavior = ParentCloseBehavior::parentOnly;
    std::optional<TabGroup> currentGroup;  // see currentGroupOf

    bool operator==(const TabRow &other) const;

    // The first of `groups` with the record's group id.
    static std::optional<TabGroup> currentGroupOf(const std::optional<TabRowMarks> &record,
                                                   const std::vector<TabGroup> &groups);
    // The number of selected ids among `displayOrder` when the tab is selected and at least two
    // are; else 1.
    static int selectionCountFor(const QString &tabID, const TextSet &selection, int selectedShown);

    const SafariTab &tab() const { return row.tab; }
    int indentLevels() const;
    std::vector<TabRowBadge> badges() const;
    // The hidden nested tabs of a collapsed parent; none otherwise.
    std::optional<QString> hiddenCountText() const;
    bool hiddenCountIsAccent() const { return row.hidesActiveTab; }
    // A parent shows its chevron instead of the favicon while hovered or collapsed.
    bool showsChevron(bool hovered) const { return row.hasChildren && (hovered || row.isCollapsed); }
    double chevronRotation() const { return row.isCollapsed ? 0 : 90; }
    QString chevronHelp() const;
    QString chevronAccessibilityLabel() const;
    bool isLocked() const { return record && record->locked; }
    bool showsCloseButton(bool hovered) const { return hovered && !isLocked(); }
    static QString closeHelp();
    QString closeAccessibilityLabel() const;
    // The compact tile's one mark: the lock, else the muted speaker.
    std::optional<QString> compactMark() const;

    QString helpText(bool compact) const;
    QString accessibilityLabel() const;

    enum class Fill { selection, active, hover, clear };
    struct Background {
        Fill fill = Fill::clear;
        double opacity = 1;  // multiplies the token's own
        bool operator==(const Background &) const = default;
    };
    Background background(bool hovered) const;
    bool titleIsEmphasised() const { return row.tab.isActive; }
    double titleOpacity() const { return row.tab.isActive ? 1 : 0.8; }

    // The row's context menu; `groups` in the order the "Move to Group" submenu lists them.
    SidebarMenu contextMenu(const std::vector<TabGroup> &groups, const TabRowActions &actions) const;
    // " (N Tabs)" when the menu acts on two or more tabs.
    QString countSuffix() const;
    QString closeTitle() const;

    // `frame` is the row's whole 28-point band (the full width in full form); `countWidth` the
    // width of the hidden count's text.
    TabRowGeometry geometry(const QRectF &frame, bool compact, bool hovered, double countWidth) const;
};

}  // namespace ondrake
