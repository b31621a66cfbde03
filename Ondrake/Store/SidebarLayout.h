#pragma once

#include "Browser/SafariTab.h"
#include "Ondrake/Model/TabGroup.h"
#include "Platform/TextHash.h"

#include <QSet>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace ondrake {

// The tree arrangement's split of the listed windows: pinned tabs on top, one section per group,
// then each window's remaining tabs as a tree. Pure; recomputed on every read.
namespace SidebarLayout {

struct GroupSection {
    TabGroup group;
    std::vector<SafariTab> tabs;  // window order, then tab order
    bool operator==(const GroupSection &) const = default;
};

struct Sections {
    std::vector<SafariTab> pinned;
    std::vector<GroupSection> groups;
    std::vector<SafariWindow> windows;
    bool operator==(const Sections &) const = default;
};

// Every group gets a section, tabs or not.
std::vector<GroupSection> groupSections(const std::vector<TabGroup> &groups,
                                        std::map<TabGroupID, std::vector<SafariTab>> tabsByGroup);

// A tab whose group is not among `groups` stays in its window. Children of a tab that left its
// window become roots there, and so does a tab kept apart from its parent by such a root; a
// window left without tabs is dropped.
Sections sections(std::vector<SafariWindow> windows, const std::vector<TabGroup> &groups,
                  const std::function<bool(const SafariTab &)> &isPinned,
                  const std::function<std::optional<TabGroupID>(const SafariTab &)> &groupOf);

// The tab ids the tree arrangement shows, top to bottom: pinned tabs, the tabs of each group that
// is not collapsed, then each window's visible rows (tabs under a collapsed tab left out).
std::vector<QString> displayOrder(const std::vector<SafariTab> &pinned, const std::vector<GroupSection> &groups,
                                  const std::vector<SafariWindow> &windows, const TextSet &collapsedTabIDs);
inline std::vector<QString> displayOrder(const Sections &sections, const TextSet &collapsedTabIDs) {
    return displayOrder(sections.pinned, sections.groups, sections.windows, collapsedTabIDs);
}

}  // namespace SidebarLayout
}  // namespace ondrake
