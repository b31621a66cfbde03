#include "TabStore.h"

#include "Browser/BrowserURL.h"
#include "Ondrake/Model/FaviconHost.h"
#include "Store/WindowTabs.h"

namespace ondrake {

void TabStore::toggleSearch() {
    if (isSearchActive_) {
        endSearch();
        return;
    }
    assign(isSearchActive_, true, &TabStore::isSearchActiveChanged);
    assign(searchFocusToken_, searchFocusToken_ + 1, &TabStore::searchFocusTokenChanged);
}

void TabStore::endSearch() {
    assign(isSearchActive_, false, &TabStore::isSearchActiveChanged);
    assign(searchQuery_, QString(), &TabStore::searchQueryChanged);
    assign(searchSelectedIndex_, 0, &TabStore::searchSelectedIndexChanged);
}

void TabStore::closeSearch() {
    if (searchQuery_.isEmpty()) {
        endSearch();
        return;
    }
    assign(searchQuery_, QString(), &TabStore::searchQueryChanged);
    assign(searchSelectedIndex_, 0, &TabStore::searchSelectedIndexChanged);
}

void TabStore::setSearchQuery(const QString &query) {
    if (query == searchQuery_) return;
    assign(searchQuery_, query, &TabStore::searchQueryChanged);
    assign(searchSelectedIndex_, 0, &TabStore::searchSelectedIndexChanged);
}

TabSearch::Document TabStore::searchDocument(const SafariTab &tab) const {
    TabSearch::Document document{tab.id, tab.title, absoluteText(tab.url), faviconHost(tab.url).value_or(QString()), {}, {}};
    const TabRecord *found = record(tab.id);
    if (!found) return document;
    if (found->groupID)
        if (const auto group = book_.groups.find(*found->groupID); group != book_.groups.end())
            document.groupName = group->second.name;
    // The metadata map iterates by key, so a tie between two records always breaks the same way.
    for (const auto &[key, value] : found->metadata)
        if (value.holds<QString>()) document.metadata.push_back(value.get<QString>());
    return document;
}

void TabStore::watchSearchInputs() {
    const auto forget = [this] { searchCache_.reset(); };
    for (const auto signal : {&TabStore::windowsChanged, &TabStore::recordsChanged, &TabStore::groupsChanged,
                              &TabStore::ondrakeIDsChanged, &TabStore::presentationRevisionChanged})
        connect(this, signal, this, forget);
}

const TabStore::SearchCache &TabStore::searchCache() const {
    // The scope is a user default that may change before its notification arrives.
    const auto scope = currentWindowScope(defaults_);
    if (searchCache_ && searchCache_->scope == scope && searchCache_->windowOrder == windowOrdering_.order)
        return *searchCache_;
    SearchCache cache{scope, windowOrdering_.order, allTabs(listedWindows()), {}, {}, std::nullopt, {}};
    cache.documents.reserve(cache.tabs.size());
    cache.tabByID.reserve(qsizetype(cache.tabs.size()));
    for (std::size_t i = 0; i < cache.tabs.size(); ++i) {
        cache.documents.push_back(searchDocument(cache.tabs[i]));
        cache.tabByID.insert(cache.tabs[i].id, i);
    }
    return searchCache_.emplace(std::move(cache));
}

std::vector<SafariTab> TabStore::searchResults() const {
    if (searchQuery_.isEmpty()) return {};
    const auto &cache = searchCache();
    if (cache.query != searchQuery_) {
        std::vector<SafariTab> results;
        for (const auto &result : TabSearch::search(searchQuery_, cache.documents))
            if (const auto tab = cache.tabByID.constFind(result.tabID); tab != cache.tabByID.cend())
                results.push_back(cache.tabs[*tab]);
        searchCache_->query = searchQuery_;
        searchCache_->results = std::move(results);
    }
    return searchCache_->results;
}

std::optional<SafariTab> TabStore::activateSearchSelection() const {
    const auto results = searchResults();
    if (searchSelectedIndex_ < 0 || std::size_t(searchSelectedIndex_) >= results.size()) return std::nullopt;
    return results[std::size_t(searchSelectedIndex_)];
}

void TabStore::moveSearchSelection(int step) {
    const auto count = std::int64_t(searchResults().size());
    if (count == 0) return;
    const auto next = ((std::int64_t(searchSelectedIndex_) + step) % count + count) % count;
    assign(searchSelectedIndex_, int(next), &TabStore::searchSelectedIndexChanged);
}

}  // namespace ondrake
