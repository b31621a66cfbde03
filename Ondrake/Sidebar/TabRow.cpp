#include "Ondrake/Sidebar/TabRow.h"

#include "Ondrake/Sidebar/SidebarMetrics.h"
#include "Ondrake/Sidebar/TabGroupColorName.h"

#include "Browser/BrowserURL.h"
#include "Ondrake/Model/FaviconHost.h"

#include <algorithm>

namespace ondrake {

namespace {

using Item = SidebarMenu::Item;

// Favicons are compared by their shared data: the store hands out the same image until it
// changes, and comparing pixels of thousands of icons on every poll would be wasted.
bool sameImage(const std::optional<QImage> &a, const std::optional<QImage> &b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || a->cacheKey() == b->cacheKey();
}

}  // namespace

TabRowMarks TabRowMarks::of(const TabRecord &record, const QDateTime &now) {
    return TabRowMarks{
        .groupID = record.groupID,
        .pinned = record.pinned,
        .locked = record.locked,
        .muted = record.muted,
        .important = record.important,
        .readLater = record.readLater,
        .snoozed = record.snoozeUntil && *record.snoozeUntil > now,
    };
}

bool TabRow::operator==(const TabRow &other) const {
    return row == other.row && sameImage(favicon, other.favicon) && record == other.record
           && enabledFeatures == other.enabledFeatures && isSelected == other.isSelected
           && selectionCount == other.selectionCount && hasNestedTabs == other.hasNestedTabs
           && parentCloseBehavior == other.parentCloseBehavior && currentGroup == other.currentGroup;
}

std::optional<TabGroup> TabRow::currentGroupOf(const std::optional<TabRowMarks> &record,
                                               const std::vector<TabGroup> &groups) {
    if (!record || !record->groupID) return std::nullopt;
    const auto found =
        std::find_if(groups.begin(), groups.end(), [&](const TabGroup &group) { return group.id == *record->groupID; });
    if (found == groups.end()) return std::nullopt;
    return *found;
}

int TabRow::selectionCountFor(const QString &tabID, const TextSet &selection, int selectedShown) {
    if (!selection.contains(tabID) || selection.size() < 2) return 1;
    return std::max(selectedShown, 1);
}

int TabRow::indentLevels() const { return sidebar::indentLevels(row.depth); }

std::vector<TabRowBadge> TabRow::badges() const {
    std::vector<TabRowBadge> badges;
    if (!record) return badges;
    const auto add = [&](TabRowBadge::Kind kind, const char *symbol, const QString &help) {
        badges.push_back({kind, QString::fromLatin1(symbol), help, help, {}});
    };
    if (enabledFeatures.grouping && record->pinned && currentGroup) {
        badges.push_back({TabRowBadge::Kind::groupDot, {}, QStringLiteral("In group “%1”").arg(currentGroup->name),
                          QStringLiteral("In group ") + currentGroup->name, groupColor(*currentGroup)});
    }
    if (enabledFeatures.pinning && record->pinned) add(TabRowBadge::Kind::pinned, "pin.fill", QStringLiteral("Pinned in Ondrake"));
    if (record->important)
        add(TabRowBadge::Kind::important, "exclamationmark.circle.fill", QStringLiteral("Important"));
    if (record->readLater) add(TabRowBadge::Kind::readLater, "book.fill", QStringLiteral("Read later"));
    if (record->locked)
        add(TabRowBadge::Kind::locked, "lock.fill", QStringLiteral("Locked — won’t be closed from here"));
    if (enabledFeatures.muting && record->muted) add(TabRowBadge::Kind::muted, "speaker.slash.fill", QStringLiteral("Muted"));
    if (enabledFeatures.snoozing && record->snoozed) add(TabRowBadge::Kind::snoozed, "moon.zzz.fill", QStringLiteral("Snoozed"));
    return badges;
}

std::optional<QString> TabRow::hiddenCountText() const {
    if (!row.isCollapsed || row.hiddenDescendants < 1) return std::nullopt;
    return QString::number(row.hiddenDescendants);
}

QString TabRow::chevronHelp() const {
    return row.isCollapsed ? QStringLiteral("Show nested tabs") : QStringLiteral("Hide nested tabs");
}

QString TabRow::chevronAccessibilityLabel() const {
    return row.isCollapsed ? QStringLiteral("Expand subtree") : QStringLiteral("Collapse subtree");
}

QString TabRow::closeHelp() { return QStringLiteral("Close tab"); }

QString TabRow::closeAccessibilityLabel() const { return QStringLiteral("Close ") + row.tab.title; }

std::optional<QString> TabRow::compactMark() const {
    if (!record) return std::nullopt;
    if (record->locked) return QStringLiteral("lock.fill");
    if (record->muted && enabledFeatures.muting) return QStringLiteral("speaker.slash.fill");
    return std::nullopt;
}

QString TabRow::helpText(bool compact) const {
    if (!compact) return row.tab.url ? absoluteText(row.tab.url) : row.tab.title;
    const auto host = faviconHost(row.tab.url);
    return host ? row.tab.title + QStringLiteral(" — ") + *host : row.tab.title;
}

QString TabRow::accessibilityLabel() const {
    QString label = row.tab.title;
    if (row.depth >= 1) label += QStringLiteral(", nested level ") + QString::number(row.depth);
    if (row.isCollapsed && row.hiddenDescendants >= 1)
        label += QStringLiteral(", ") + QString::number(row.hiddenDescendants) + QStringLiteral(" tabs hidden");
    if (isSelected) label += QStringLiteral(", selected");
    if (record && record->locked) label += QStringLiteral(", locked");
    if (record && record->muted) label += QStringLiteral(", muted");
    return label;
}

TabRow::Background TabRow::background(bool hovered) const {
    if (isSelected) return {Fill::selection, hovered ? 1.0 : 0.75};
    if (row.tab.isActive) return {Fill::active, hovered ? 0.12 : 0.08};
    if (hovered) return {Fill::hover, 1};
    return {Fill::clear, 1};
}

QString TabRow::countSuffix() const {
    return selectionCount >= 2 ? QStringLiteral(" (%1 Tabs)").arg(selectionCount) : QString();
}

QString TabRow::closeTitle() const {
    if (selectionCount >= 2) return QStringLiteral("Close %1 Tabs").arg(selectionCount);
    if (hasNestedTabs && parentCloseBehavior == ParentCloseBehavior::parentAndDescendants)
        return QStringLiteral("Close Tab and Nested Tabs");
    return QStringLiteral("Close Tab");
}

SidebarMenu TabRow::contextMenu(const std::vector<TabGroup> &groups, const TabRowActions &actions) const {
    const SafariTab tab = row.tab;
    const QString suffix = countSuffix();
    const auto act = [&](const TabRowActions::TabAction &action) { return [action, tab] { action(tab); }; };
    SidebarMenu menu;
    auto &items = menu.items;
    if (record) {
        items.push_back(Item::button((record->important ? QStringLiteral("Clear Important") : QStringLiteral("Mark Important")) + suffix,
                                     act(actions.toggleImportant)));
        if (!record->readLater) {
            items.push_back(Item::button(QStringLiteral("Add to Read Later") + suffix, act(actions.toggleReadLater)));
            items.push_back(Item::button(QStringLiteral("Add to Read Later and Close") + suffix,
                                         act(actions.addToReadLaterAndClose)));
        } else {
            items.push_back(Item::button(QStringLiteral("Mark as Read") + suffix, act(actions.markRead)));
            items.push_back(Item::button(QStringLiteral("Remove from Read Later") + suffix, act(actions.toggleReadLater)));
        }
        if (enabledFeatures.pinning) {
            items.push_back(Item::button(
                (record->pinned ? QStringLiteral("Unpin from Sidebar") : QStringLiteral("Pin in Sidebar")) + suffix,
                act(actions.togglePinned)));
        }
        if (enabledFeatures.muting) {
            items.push_back(Item::separator());
            items.push_back(Item::button((record->muted ? QStringLiteral("Unmute") : QStringLiteral("Mute")) + suffix,
                                         act(actions.toggleMuted)));
            if (hasNestedTabs) {
                const bool mute = !record->muted;
                items.push_back(Item::button(mute ? QStringLiteral("Mute Nested Tabs") : QStringLiteral("Unmute Nested Tabs"),
                                             [run = actions.muteSubtree, tab, mute] { run(tab, mute); }));
            }
        }
        if (enabledFeatures.grouping) {
            items.push_back(Item::separator());
            std::vector<Item> entries;
            for (const TabGroup &group : groups) {
                const bool current = currentGroup && currentGroup->id == group.id;
                Item entry = Item::button((current ? QStringLiteral("✓ ") : QString()) + group.name,
                                          [run = actions.assignGroup, tab, id = group.id] { run(tab, id); });
                entry.checked = current;
                entries.push_back(std::move(entry));
            }
            if (!groups.empty()) entries.push_back(Item::separator());
            entries.push_back(Item::button(QStringLiteral("New Group…"), act(actions.requestNewGroup)));
            items.push_back(Item::submenu(QStringLiteral("Move to Group") + suffix, std::move(entries)));
            if (record->groupID) {
                const QString title = currentGroup ? QStringLiteral("Remove from “%1”").arg(currentGroup->name)
                                                   : QStringLiteral("Remove from Group");
                items.push_back(Item::button(title + suffix, [run = actions.assignGroup, tab] { run(tab, std::nullopt); }));
            }
        }
        items.push_back(Item::separator());
        items.push_back(Item::button((record->locked ? QStringLiteral("Unlock") : QStringLiteral("Lock")) + suffix,
                                     act(actions.toggleLocked)));
    }
    items.push_back(Item::separator());
    items.push_back(Item::button(closeTitle(), act(actions.close), !(isLocked() && selectionCount == 1)));
    return menu;
}

TabRowGeometry TabRow::geometry(const QRectF &frame, bool compact, bool hovered, double countWidth) const {
    TabRowGeometry g;
    const double height = sidebar::kRowHeight;
    const double top = frame.top();
    const double midY = top + height / 2;
    if (compact) {
        g.background = QRectF(frame.center().x() - height / 2, top, height, height);
        g.favicon = QRectF(g.background.center().x() - 8, midY - 8, 16, 16);
        if (compactMark()) {
            // Padded 2 around a 6-point symbol, its bottom-trailing corner 2 beyond the favicon's.
            constexpr double side = 10;
            g.compactMark = QRectF(g.favicon.right() + 2 - side, g.favicon.bottom() + 2 - side, side, side);
        }
        return g;
    }
    const int levels = indentLevels();
    for (int level = 0; level < levels; ++level)
        g.indentCells.emplace_back(frame.left() + level * sidebar::kNestingStep, top, sidebar::kNestingStep, height);
    const double left = frame.left() + levels * sidebar::kNestingStep;
    g.background = QRectF(left, top, std::max(0.0, frame.right() - left), height);

    double x = g.background.left() + kHorizontalPadding;
    double right = g.background.right() - kHorizontalPadding;
    g.activeDot = QRectF(x + (kActiveDotFrame - kActiveDot) / 2, midY - kActiveDot / 2, kActiveDot, kActiveDot);
    x += kActiveDotFrame + kSpacing;
    g.favicon = QRectF(x, midY - 8, 16, 16);
    if (showsChevron(hovered)) g.chevron = QRectF(x, top, 16, height);
    x += 16 + kSpacing;

    // The trailing cluster, laid from the right edge inwards.
    if (showsCloseButton(hovered)) {
        g.closeButton = QRectF(right - kCloseSide, midY - kCloseSide / 2, kCloseSide, kCloseSide);
        right = g.closeButton.left() - kSpacing;
    }
    if (hiddenCountText()) {
        const double capsuleWidth = countWidth + 10;
        constexpr double capsuleHeight = 15;
        g.hiddenCount = QRectF(right - capsuleWidth, midY - capsuleHeight / 2, capsuleWidth, capsuleHeight);
        right = g.hiddenCount.left() - kSpacing;
    }
    const auto shown = badges();
    if (!shown.empty()) {
        double bx = right;
        std::vector<QRectF> rects(shown.size());
        for (std::size_t i = shown.size(); i-- > 0;) {
            const double side = shown[i].kind == TabRowBadge::Kind::groupDot ? 8 : kBadgeSide;
            rects[i] = QRectF(bx - side, midY - side / 2, side, side);
            bx -= side + kBadgeSpacing;
        }
        g.badges = std::move(rects);
        right = g.badges.front().left() - kSpacing;
    }
    g.title = QRectF(x, top, std::max(0.0, right - x), height);
    return g;
}

}  // namespace ondrake
