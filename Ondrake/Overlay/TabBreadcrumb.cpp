#include "Overlay/TabBreadcrumb.h"

#include "Platform/TextHash.h"

#include <algorithm>

namespace ondrake {

namespace {
QString crumbTitle(const SafariTab &tab) {
    if (!tab.title.isEmpty()) return tab.title;
    if (tab.url && !tab.url->host().isEmpty()) return tab.url->host();
    return QStringLiteral("Untitled");
}
}  // namespace

TabBreadcrumb TabBreadcrumb::make(const SafariTab &activeTab, const std::vector<SafariTab> &tabs, int maximum,
                                  const GroupNameLookup &groupName) {
    TextViewMap<const SafariTab *> byID;
    byID.reserve(tabs.size());
    for (const auto &tab : tabs) byID.insert_or_assign(tab.id, &tab);  // a later tab with the same id wins

    // Up the tree from the active tab; a missing parent or a cycle ends the chain where it occurs.
    std::vector<const SafariTab *> chain{&activeTab};
    TextViewSet seen{activeTab.id};
    for (const SafariTab *current = &activeTab; current->parentID;) {
        const auto parent = byID.find(*current->parentID);
        if (parent == byID.end() || seen.contains(*current->parentID) || chain.size() > tabs.size()) break;
        current = parent->second;
        chain.push_back(current);
        seen.insert(current->id);
    }
    std::reverse(chain.begin(), chain.end());

    std::vector<Crumb> crumbs;
    crumbs.reserve(chain.size() + 1);
    if (groupName) {
        if (const auto name = groupName(activeTab.id); name && !name->isEmpty())
            crumbs.push_back({QStringLiteral("group"), *name, Crumb::Kind::group, std::nullopt});
    }
    for (std::size_t i = 0; i < chain.size(); ++i) {
        const SafariTab &tab = *chain[i];
        const bool isActive = i + 1 == chain.size();
        crumbs.push_back({tab.id, crumbTitle(tab), Crumb::Kind::tab, isActive ? std::nullopt : std::optional(tab.id)});
    }
    return {elided(maximum, std::move(crumbs))};
}

std::vector<TabBreadcrumb::Crumb> TabBreadcrumb::elided(int maximum, std::vector<Crumb> crumbs) {
    if (maximum < 3 || crumbs.size() <= std::size_t(maximum)) return crumbs;
    std::vector<Crumb> out;
    out.reserve(std::size_t(maximum));
    out.push_back(std::move(crumbs.front()));
    out.push_back({QStringLiteral("elision"), QStringLiteral("\u2026"), Crumb::Kind::elision, std::nullopt});
    std::move(crumbs.end() - (maximum - 2), crumbs.end(), std::back_inserter(out));
    return out;
}

}  // namespace ondrake
