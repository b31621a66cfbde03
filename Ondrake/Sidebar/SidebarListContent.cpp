#include "Ondrake/Sidebar/SidebarListContent.h"

#include "Ondrake/Sidebar/SidebarMetrics.h"

#include "Ondrake/Model/FaviconHost.h"
#include "Store/TabStore.h"

#include <QCoreApplication>

#include <algorithm>
#include <memory>

namespace ondrake {

namespace {

// The store's lookup of a tab's record (its persistent id, then the record of that id), over a
// flat copy of the record map: a search of a few kilobytes of ids is much cheaper than walking
// the map's nodes once per row. Valid until the store's records next change.
TabRecordLookup recordIndex(const TabStore &store) {
    using Entry = std::pair<OndrakeID, const TabRecord *>;
    auto sorted = std::make_shared<std::vector<Entry>>();
    sorted->reserve(store.records().size());
    for (const auto &[id, record] : store.records()) sorted->emplace_back(id, &record);  // already in id order
    return [sorted, ids = &store.ondrakeIDs()](const QString &tabID) -> const TabRecord * {
        const auto *id = ids->find(tabID);
        if (!id) return nullptr;
        const auto found = std::lower_bound(sorted->begin(), sorted->end(), *id,
                                            [](const Entry &entry, const OndrakeID &key) { return entry.first < key; });
        return found != sorted->end() && found->first == *id ? found->second : nullptr;
    };
}

}  // namespace

SidebarListContent::Input SidebarListContent::Input::of(TabStore &store, const QDateTime &now, bool compact) {
    Input input;
    if (!store.searchQuery().isEmpty()) {
        input.form = Form::search;
        input.searchResults = store.searchResults();
        input.searchSelectedIndex = store.searchSelectedIndex();
    } else if (store.viewMode() == SidebarViewMode::tree) {
        input.form = Form::tree;
        input.layout = store.layout();
    } else {
        input.form = Form::mode;
        input.modeSections = store.modeSections();
    }
    input.selection = store.selection().ids;
    input.collapsedTabIDs = store.collapsedTabIDs();
    input.collapsedWindowIDs = store.collapsedWindowIDs();
    // The store's heading rule over the layout at hand, which spares laying the tabs out twice:
    // a listed window among several unlisted ones is the active-window scope, where headings show
    // whenever the browser has more than one window; otherwise more than one window section.
    input.showsWindowHeadings = input.form == Form::tree
                                && (store.listedWindows().size() < store.windows().size() || input.layout.windows.size() > 1);
    input.windowOrdering = store.windowOrdering();
    input.favicons = store.favicons();
    input.record = recordIndex(store);
    const FeatureFlags &flags = store.flags();
    input.pinningEnabled = flags.isEnabled(FeatureFlag::pinnedTabs());
    input.features = TabRowFeatures{
        .pinning = input.pinningEnabled,
        .snoozing = flags.isEnabled(FeatureFlag::snoozeAndReminders()),
        .muting = store.commands().adapter().capabilities().contains(BrowserCapabilities::mute),
        .grouping = flags.isEnabled(FeatureFlag::tabGroups()),
    };
    input.groups = store.sortedGroups();
    input.parentCloseBehavior = store.settings().parentCloseBehavior;
    input.now = now;
    input.compact = compact;
    return input;
}

namespace {

using Entry = SidebarListEntry;
using Section = SidebarListSection;

class Builder {
public:
    explicit Builder(const SidebarListContent::Input &input) : in_(input) {
        out_.form = input.form;
        out_.compact = input.compact;
        out_.groups = input.groups;
    }

    SidebarListContent build() && {
        switch (in_.form) {
        case SidebarListContent::Form::tree: buildTree(); break;
        case SidebarListContent::Form::mode: buildModes(); break;
        case SidebarListContent::Form::search: buildSearch(); break;
        }
        return std::move(out_);
    }

private:
    int sectionSpacing() const {
        return in_.compact ? SidebarListContent::kCompactSectionSpacing : SidebarListContent::kSectionSpacing;
    }
    // The stack's spacing above a section, none above the first.
    int spacingAbove() const { return out_.entries.empty() ? 0 : sectionSpacing(); }

    void countSelected(const std::vector<QString> &displayOrder) {
        selectedShown_ = 0;
        if (in_.selection.size() < 2) return;
        for (const QString &id : displayOrder)
            if (in_.selection.contains(id)) ++selectedShown_;
    }

    // Rows made for the occasion are moved in; rows the sections keep are copied.
    template <typename Row>
    TabRow makeRow(Row &&treeRow, bool hasNestedTabs, ParentCloseBehavior behaviour) const {
        TabRow row;
        row.row = std::forward<Row>(treeRow);
        const SafariTab &tab = row.row.tab;
        if (!in_.favicons.isEmpty()) {
            if (const auto host = in_.faviconHostOf ? in_.faviconHostOf(tab) : faviconHost(tab.url)) {
                if (const auto *found = in_.favicons.find(*host)) row.favicon = *found;
            }
        }
        if (const TabRecord *record = in_.record(tab.id)) row.record = TabRowMarks::of(*record, in_.now);
        row.enabledFeatures = in_.features;
        row.isSelected = in_.selection.contains(tab.id);
        row.selectionCount = TabRow::selectionCountFor(tab.id, in_.selection, selectedShown_);
        row.hasNestedTabs = hasNestedTabs;
        row.parentCloseBehavior = behaviour;
        row.currentGroup = TabRow::currentGroupOf(row.record, in_.groups);
        return row;
    }

    static TabTreeRow flat(const SafariTab &tab) { return TabTreeRow{tab, 0, false, false, 0, false}; }

    int beginSection(Section section) {
        section.firstEntry = int(out_.entries.size());
        out_.sections.push_back(std::move(section));
        return int(out_.sections.size()) - 1;
    }
    void endSection(int index) {
        Section &section = out_.sections[std::size_t(index)];
        section.endEntry = int(out_.entries.size());
        for (int i = section.firstEntry; i < section.endEntry; ++i) {
            if (out_.entries[std::size_t(i)].kind == Entry::Kind::tab) {
                section.firstRowEntry = i;
                break;
            }
        }
    }

    Entry &push(Entry entry) {
        out_.entries.push_back(std::move(entry));
        return out_.entries.back();
    }
    Entry headingEntry(int section, const QString &key, SidebarHeading heading, int lead) const {
        Entry entry;
        entry.kind = Entry::Kind::heading;
        entry.key = key;
        entry.section = section;
        entry.lead = lead;
        entry.content = int(heading.height);
        entry.heading = std::move(heading);
        return entry;
    }
    Entry rowEntry(int section, TabRow row, int lead, int padTop) const {
        Entry entry;
        entry.kind = Entry::Kind::tab;
        entry.key = row.tab().id;
        entry.section = section;
        entry.lead = lead;
        entry.padTop = padTop;
        entry.content = int(sidebar::kRowHeight);
        entry.row = std::move(row);
        return entry;
    }

    // A tinted section: padding 4 outside above and 6 below, 4 inside above and below, a line
    // along the bottom of the tint.
    void fillSection(int section, Entry::Fill fill) {
        const Section &s = out_.sections[std::size_t(section)];
        if (s.endEntry <= s.firstEntry) return;
        for (int i = s.firstEntry; i < s.endEntry; ++i) out_.entries[std::size_t(i)].fill = fill;
        Entry &first = out_.entries[std::size_t(s.firstEntry)];
        first.lead += 4;
        first.padTop += 4;
        Entry &last = out_.entries[std::size_t(s.endEntry - 1)];
        last.padBottom += 4;
        last.trail += 6;
        last.bottomBorder = true;
    }

    void buildTree() {
        const auto &layout = in_.layout;
        std::size_t tabs = layout.pinned.size();
        for (const auto &group : layout.groups) tabs += group.tabs.size();
        for (const auto &window : layout.windows) tabs += window.tabs.size();
        out_.entries.reserve(tabs + 2 * (layout.groups.size() + layout.windows.size()) + 1);
        // Only a selection of two or more is counted; the order costs a second pass over the tree.
        if (in_.selection.size() >= 2) countSelected(SidebarLayout::displayOrder(layout, in_.collapsedTabIDs));
        if (!layout.pinned.empty()) {
            PinnedTabsView view{layout.pinned};
            const int index = beginSection(Section{.kind = Section::Kind::pinned, .key = QStringLiteral("pinned"), .pinned = view});
            push(headingEntry(index, QStringLiteral("pinned"), view.heading(in_.compact), spacingAbove()));
            for (const SafariTab &tab : layout.pinned)
                push(rowEntry(index, makeRow(flat(tab), false, in_.parentCloseBehavior), 0, SidebarListContent::kRowSpacing));
            endSection(index);
            fillSection(index, Entry::Fill::pinnedArea);
        }
        for (const auto &groupSection : layout.groups) {
            const auto [up, down] = GroupedTabsView::canMove(in_.groups, groupSection.group.id);
            GroupedTabsView view{groupSection, up, down};
            const QString key = QStringLiteral("group:") + groupSection.group.id.toString();
            const int index = beginSection(Section{.kind = Section::Kind::group, .key = key, .group = view});
            push(headingEntry(index, key, view.heading(in_.compact), spacingAbove()));
            if (view.showsHint(in_.compact)) {
                Entry hint;
                hint.kind = Entry::Kind::hint;
                hint.key = QStringLiteral("hint:") + key;
                hint.section = index;
                hint.padTop = SidebarListContent::kRowSpacing;
                hint.content = SidebarListContent::kHintHeight;
                hint.text = GroupedTabsView::hintText();
                push(std::move(hint));
            }
            if (view.showsRows()) {
                for (const SafariTab &tab : groupSection.tabs)
                    push(rowEntry(index, makeRow(flat(tab), false, in_.parentCloseBehavior), 0, SidebarListContent::kRowSpacing));
            }
            endSection(index);
            fillSection(index, Entry::Fill::groupHeader);
        }
        bool first = true;
        for (const SafariWindow &window : layout.windows) {
            SafariWindowView view;
            view.window = window;
            view.name = in_.windowOrdering.label(window.safariID, window.index);
            view.isCollapsed = in_.collapsedWindowIDs.contains(window.id());
            view.showsHeading = in_.showsWindowHeadings;
            view.pinsOnDragOut = first && in_.pinningEnabled;
            first = false;
            if (view.showsRows()) view.rows = TabTreeRow::rows(in_.collapsedTabIDs, window);
            const QString key = window.id();
            const bool showsHeading = view.showsHeading;
            const SidebarHeading heading = view.heading(in_.compact);
            const int index = beginSection(Section{.kind = Section::Kind::window, .key = key, .window = std::move(view)});
            const int lead = spacingAbove();
            if (showsHeading) push(headingEntry(index, key, heading, lead));
            bool firstRow = true;
            for (const TabTreeRow &treeRow : out_.sections[std::size_t(index)].window->rows) {
                const int rowLead = firstRow && !showsHeading ? lead : 0;
                const int padTop = firstRow && !showsHeading ? 0 : SidebarListContent::kRowSpacing;
                push(rowEntry(index, makeRow(treeRow, treeRow.hasChildren, in_.parentCloseBehavior), rowLead, padTop));
                firstRow = false;
            }
            endSection(index);
        }
    }

    void buildModes() {
        std::vector<QString> order;
        for (const auto &section : in_.modeSections)
            for (const auto &row : section.rows) order.push_back(row.tab.id);
        countSelected(order);
        if (in_.modeSections.empty()) {
            pushMessage(QCoreApplication::translate("SidebarView", "No tabs to show"));
            return;
        }
        for (const TabViewSection &modeSection : in_.modeSections) {
            TabSectionView view{modeSection};
            const QString key = QStringLiteral("mode:") + modeSection.id;
            const int index = beginSection(Section{.kind = Section::Kind::mode, .key = key, .mode = view});
            push(headingEntry(index, key, view.heading(in_.compact), spacingAbove()));
            for (const TabTreeRow &row : modeSection.rows)
                push(rowEntry(index, makeRow(flat(row.tab), false, ParentCloseBehavior::parentOnly), 0,
                              SidebarListContent::kRowSpacing));
            out_.entries.back().trail += int(TabSectionView::kBottomPadding);
            endSection(index);
        }
        padScrollingContent();
    }

    void buildSearch() {
        if (in_.searchResults.empty()) {
            pushMessage(QCoreApplication::translate("SidebarView", "No matching tabs"));
            return;
        }
        const int index = beginSection(Section{.kind = Section::Kind::search, .key = QStringLiteral("search")});
        out_.entries.reserve(in_.searchResults.size());
        int position = 0;
        for (const SafariTab &tab : in_.searchResults) {
            TabRow row = makeRow(flat(tab), false, ParentCloseBehavior::parentOnly);
            // The keyboard highlight stands in for the selection here.
            row.isSelected = position == in_.searchSelectedIndex;
            row.selectionCount = 1;
            push(rowEntry(index, std::move(row), 0, position == 0 ? 0 : SidebarListContent::kRowSpacing));
            ++position;
        }
        endSection(index);
        padScrollingContent();
    }

    void pushMessage(const QString &text) {
        Entry entry;
        entry.kind = Entry::Kind::message;
        entry.key = QStringLiteral("message");
        entry.lead = 12;
        entry.content = SidebarListContent::kMessageHeight - 12;
        entry.text = text;
        push(std::move(entry));
    }

    void padScrollingContent() {
        if (out_.entries.empty()) return;
        out_.entries.front().lead += SidebarListContent::kVerticalPadding;
        out_.entries.back().trail += SidebarListContent::kVerticalPadding;
    }

    const SidebarListContent::Input &in_;
    SidebarListContent out_;
    int selectedShown_ = 0;
};

}  // namespace

SidebarListContent SidebarListContent::build(const Input &input) { return Builder(input).build(); }

}  // namespace ondrake
