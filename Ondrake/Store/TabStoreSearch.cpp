#include "TabStore.h"

#include "Browser/BrowserURL.h"
#include "Ondrake/Model/FaviconHost.h"

namespace ondrake {

void TabStore::toggleSearch() {
    if (isSearchActive_) {
        endSearch();
        return;
    }
    assign(isSearchActive_, true, &TabStore::isSearchActiveChanged);
    assign(searchFocusToken_, searchFocusToken_ + 1, &TabStore::searchFocusTokenChanged);
}

void TabStore::focusSearch() {
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
    return searchDocument(tab, absoluteText(tab.url), faviconHost(tab.url).value_or(QString()));
}

TabSearch::Document TabStore::searchDocument(const SafariTab &tab, const QString &url, const QString &domain) const {
    TabSearch::Document document{tab.id, tab.title, url, domain, {}, {}};
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

const TabStore::SearchCache &TabStore::searchCache() const {
    // The scope is a user default that may change before its notification arrives.
    const auto scope = currentWindowScope(defaults_);
    if (searchCache_ && searchCache_->scope == scope && searchCache_->windowOrder == windowOrdering_.order)
        return *searchCache_;
    SearchCache cache{scope, windowOrdering_.order, listedTabs(), {}, std::nullopt, {}, {}};
    cache.documents.reserve(cache.tabs.size());
    TextMap<SearchAddress> addresses;
    addresses.reserve(cache.tabs.size());
    for (const auto &tab : cache.tabs) {
        const auto known = searchAddresses_.find(tab.id);
        SearchAddress address = known != searchAddresses_.end() && sameURL(known->second.url, tab.url)
                                    ? known->second
                                    : SearchAddress{tab.url, absoluteText(tab.url), faviconHost(tab.url).value_or(QString())};
        cache.documents.push_back(searchDocument(tab, address.text, address.domain));
        addresses.insert_or_assign(tab.id, std::move(address));
    }
    searchAddresses_ = std::move(addresses);
    cache.index = TabSearch::Index(cache.documents);
    return searchCache_.emplace(std::move(cache));
}

const std::vector<std::size_t> &TabStore::searchMatches() const {
    static const std::vector<std::size_t> none;
    if (searchQuery_.isEmpty()) return none;
    const auto &cache = searchCache();
    if (cache.query != searchQuery_) {
        std::vector<std::size_t> matches;
        std::vector<TabSearch::Ranked> ranked;
        if (cache.query && TabSearch::Index::narrows(*cache.query, searchQuery_)) {
            // Typing on only narrows: rank the previous matches again, in the documents' order so
            // that ties still fall as they would over all documents.
            std::vector<bool> matched(cache.documents.size(), false);
            for (const auto match : cache.matches) matched[match] = true;
            std::vector<std::size_t> previous;
            previous.reserve(cache.matches.size());
            for (std::size_t i = 0; i < matched.size(); ++i)
                if (matched[i]) previous.push_back(i);
            ranked = cache.index.rank(searchQuery_, previous);
        } else {
            ranked = cache.index.rank(searchQuery_);
        }
        matches.reserve(ranked.size());
        for (const auto &result : ranked) matches.push_back(result.document);
        searchCache_->query = searchQuery_;
        searchCache_->matches = std::move(matches);
    }
    return searchCache_->matches;
}

std::vector<SafariTab> TabStore::searchResults() const {
    const auto &matches = searchMatches();
    if (matches.empty()) return {};
    std::vector<SafariTab> results;
    results.reserve(matches.size());
    for (const auto match : matches) results.push_back(searchCache_->tabs[match]);
    return results;
}

std::optional<SafariTab> TabStore::activateSearchSelection() const {
    const auto &matches = searchMatches();
    if (searchSelectedIndex_ < 0 || std::size_t(searchSelectedIndex_) >= matches.size()) return std::nullopt;
    return searchCache_->tabs[matches[std::size_t(searchSelectedIndex_)]];
}

void TabStore::moveSearchSelection(int step) {
    const auto count = std::int64_t(searchMatches().size());
    if (count == 0) return;
    const auto next = ((std::int64_t(searchSelectedIndex_) + step) % count + count) % count;
    assign(searchSelectedIndex_, int(next), &TabStore::searchSelectedIndexChanged);
}

}  // namespace ondrake
