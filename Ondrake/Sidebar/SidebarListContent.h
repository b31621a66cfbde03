#pragma once

#include "Ondrake/Sidebar/GroupedTabsView.h"
#include "Ondrake/Sidebar/PinnedTabsView.h"
#include "Ondrake/Sidebar/SafariWindowView.h"
#include "Ondrake/Sidebar/SidebarHeading.h"
#include "Ondrake/Sidebar/TabRow.h"
#include "Ondrake/Sidebar/TabSectionView.h"

#include "Store/SidebarLayout.h"
#include "Store/SidebarWindowOrdering.h"
#include "Store/TabRecordLookup.h"
#include "Store/TabSelection.h"
#include "Store/TabViewSection.h"

#include "Platform/SharedTextMap.h"
#include "Platform/TextHash.h"

#include <QDateTime>
#include <QImage>

#include <functional>
#include <optional>
#include <vector>

namespace ondrake {

class TabStore;

// One item of the flat list: a tab row, a section heading, a group's empty hint or a message.
// Items are stacked without gaps; the spacing and padding of the sections are bands of the
// items themselves, so the sum of the heights above an item is its place in the list.
struct SidebarListEntry {
    enum class Kind { tab, heading, hint, message };
    enum class Fill { none, pinnedArea, groupHeader };

    Kind kind = Kind::tab;
    QString key;       // with the kind, the same thing keeps its key across rebuilds; a row's is its tab id
    int section = -1;  // index into the content's sections; -1 for a message

    // Bands from the top: outside the section's fill, inside it, the content, inside, outside.
    int lead = 0;
    int padTop = 0;
    int content = 0;
    int padBottom = 0;
    int trail = 0;
    Fill fill = Fill::none;
    bool bottomBorder = false;  // the line under a filled section

    std::optional<TabRow> row;
    std::optional<SidebarHeading> heading;
    QString text;  // hint and message

    int height() const { return lead + padTop + content + padBottom + trail; }
    int contentTop() const { return lead + padTop; }
    bool isSameItem(const SidebarListEntry &other) const { return kind == other.kind && key == other.key; }
    bool operator==(const SidebarListEntry &) const = default;
};

// A section of the list with what its drags and menus need.
struct SidebarListSection {
    enum class Kind { pinned, group, window, mode, search };

    Kind kind = Kind::window;
    QString key{};
    int firstEntry = 0;
    int endEntry = 0;
    int firstRowEntry = -1;  // the first tab row, -1 when the section shows none
    std::optional<PinnedTabsView> pinned{};
    std::optional<GroupedTabsView> group{};
    std::optional<SafariWindowView> window{};
    std::optional<TabSectionView> mode{};
};

// Everything the list shows for one state of the store, decided without pixels.
struct SidebarListContent {
    enum class Form { tree, mode, search };

    // What the content is built from; SidebarListInput::of reads it from the store.
    struct Input {
        Form form = Form::tree;
        SidebarLayout::Sections layout;            // tree
        std::vector<TabViewSection> modeSections;  // mode
        std::vector<SafariTab> searchResults;      // search
        int searchSelectedIndex = 0;
        TextSet selection;
        TextSet collapsedTabIDs;
        TextSet collapsedWindowIDs;  // "window-" and the browser's id
        bool showsWindowHeadings = false;
        SidebarWindowOrdering windowOrdering;
        SharedTextMap<QImage> favicons;
        // The key of a tab's favicon; the list answers it from what it worked out before.
        std::function<std::optional<QString>(const SafariTab &)> faviconHostOf;
        TabRecordLookup record = [](const QString &) -> const TabRecord * { return nullptr; };
        TabRowFeatures features;
        std::vector<TabGroup> groups;  // sorted
        ParentCloseBehavior parentCloseBehavior = ParentCloseBehavior::parentOnly;
        bool pinningEnabled = false;  // the first window section pins rows dragged above it
        QDateTime now;
        bool compact = false;

        // The current state of the store; the snooze badge is judged against `now`.
        static Input of(TabStore &store, const QDateTime &now, bool compact);
    };

    static constexpr int kRowSpacing = 1;
    static constexpr int kSectionSpacing = 8;
    static constexpr int kCompactSectionSpacing = 4;
    static constexpr int kVerticalPadding = 8;
    static constexpr int kHorizontalPadding = 6;
    static constexpr int kCompactHorizontalPadding = 4;
    static constexpr int kHintHeight = 19;
    static constexpr int kMessageHeight = 26;

    Form form = Form::tree;
    bool compact = false;
    std::vector<SidebarListEntry> entries;
    std::vector<SidebarListSection> sections;
    std::vector<TabGroup> groups;  // for the "Move to Group" menus

    static SidebarListContent build(const Input &input);

    // The tree keeps its padding outside the scrolling content; the other forms scroll it along.
    bool padsOutsideContent() const { return form == Form::tree; }
    int horizontalPadding() const { return compact ? kCompactHorizontalPadding : kHorizontalPadding; }
};

}  // namespace ondrake
