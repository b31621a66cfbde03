#include "SamePageMatching.h"

#include "Platform/TextHash.h"

#include <QHash>

#include <algorithm>

namespace ondrake {

namespace {

using Matching = std::vector<std::optional<std::size_t>>;

// Members of each address, laid out one address after the other in their own order.
struct Grouped {
    std::vector<std::size_t> start;    // of each address, and one past the last
    std::vector<std::size_t> members;  // positions in the caller's list

    std::span<const std::size_t> of(std::size_t group) const {
        return std::span(members).subspan(start[group], start[group + 1] - start[group]);
    }
};

Grouped group(const std::vector<int> &groupOf, std::size_t groups) {
    Grouped grouped;
    grouped.start.assign(groups + 1, 0);
    for (const int g : groupOf)
        if (g >= 0) ++grouped.start[std::size_t(g) + 1];
    for (std::size_t g = 0; g < groups; ++g) grouped.start[g + 1] += grouped.start[g];
    grouped.members.resize(grouped.start[groups]);
    auto next = grouped.start;
    for (std::size_t i = 0; i < groupOf.size(); ++i)
        if (groupOf[i] >= 0) grouped.members[next[std::size_t(groupOf[i])]++] = i;
    return grouped;
}

class Pairing {
public:
    Pairing(std::span<const PageKey> tabs, std::span<const PageKey> places, const MatchingCost &cost)
        : tabs_(tabs), places_(places), cost_(cost), result_(tabs.size()), taken_(places.size(), false) {}

    // The tab's cheapest free place among these, with its title when asked; the earlier on a tie.
    void takeCheapest(std::size_t tab, std::span<const std::size_t> places, bool sameTitle) {
        std::optional<std::size_t> best;
        std::int64_t least = 0;
        for (const auto p : places) {
            if (taken_[p] || (sameTitle && places_[p].title != tabs_[tab].title)) continue;
            const auto c = cost_(tab, p);
            if (!best || c < least) {
                best = p;
                least = c;
                if (c == 0) break;  // nothing later is strictly cheaper
            }
        }
        if (best) take(tab, *best);
    }

    // Tabs of one address (and title), paired together with the free places given, in order.
    void matchTogether(const std::vector<std::size_t> &rows, std::span<const std::size_t> places, bool sameTitle) {
        if (rows.size() == 1) {
            takeCheapest(rows.front(), places, sameTitle);
            return;
        }
        std::vector<std::size_t> columns;
        for (const auto p : places)
            if (!taken_[p] && (!sameTitle || places_[p].title == tabs_[rows.front()].title)) columns.push_back(p);
        if (columns.empty()) return;
        const auto matching = orderKeepingMatching(rows.size(), columns.size(), [&](std::size_t r, std::size_t c) {
            return cost_(rows[r], columns[c]);
        });
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (matching[r]) take(rows[r], columns[*matching[r]]);
    }

    void matchAddress(std::span<const std::size_t> tabs, std::span<const std::size_t> places) {
        if (tabs.size() == 1) {
            const auto tab = tabs.front();
            if (places.size() == 1) {
                take(tab, places.front());
                return;
            }
            takeCheapest(tab, places, true);
            if (!result_[tab]) takeCheapest(tab, places, false);
            return;
        }
        // Titles first: each title's tabs together, in the order their first tab stands.
        QHash<HashedText, std::vector<std::size_t>> byTitle;
        std::vector<HashedText> titles;
        for (const auto t : tabs) {
            const HashedText title(tabs_[t].title);
            auto &rows = byTitle[title];
            if (rows.empty()) titles.push_back(title);
            rows.push_back(t);
        }
        for (const auto &title : titles) matchTogether(byTitle.value(title), places, true);
        std::vector<std::size_t> rest;
        for (const auto t : tabs)
            if (!result_[t]) rest.push_back(t);
        if (!rest.empty()) matchTogether(rest, places, false);
    }

    Matching result() && { return std::move(result_); }

private:
    void take(std::size_t tab, std::size_t place) {
        result_[tab] = place;
        taken_[place] = true;
    }

    std::span<const PageKey> tabs_;
    std::span<const PageKey> places_;
    const MatchingCost &cost_;
    Matching result_;
    std::vector<bool> taken_;
};

}  // namespace

std::vector<std::optional<std::size_t>> matchSamePages(std::span<const PageKey> tabs, std::span<const PageKey> places,
                                                       const MatchingCost &cost) {
    if (tabs.empty() || places.empty()) return Matching(tabs.size());
    QHash<HashedText, std::uint32_t> numberOf;
    numberOf.reserve(qsizetype(places.size()));
    const auto numbered = [&](std::span<const PageKey> keys) {
        std::vector<std::uint32_t> numbers;
        numbers.reserve(keys.size());
        for (const auto &key : keys) {
            const HashedText url(key.url);
            auto found = numberOf.constFind(url);
            if (found == numberOf.cend()) found = numberOf.insert(url, std::uint32_t(numberOf.size()));
            numbers.push_back(*found);
        }
        return numbers;
    };
    const auto placeNumbers = numbered(places);
    const auto tabNumbers = numbered(tabs);
    return matchSamePages(tabs, places, tabNumbers, placeNumbers, cost);
}

std::vector<std::optional<std::size_t>> matchSamePages(std::span<const PageKey> tabs, std::span<const PageKey> places,
                                                       std::span<const std::uint32_t> tabAddresses,
                                                       std::span<const std::uint32_t> placeAddresses, const MatchingCost &cost) {
    if (tabs.empty() || places.empty()) return Matching(tabs.size());
    // Addresses numbered afresh in the order of their first place; a tab of no such address has none.
    std::uint32_t most = 0;
    for (const auto a : placeAddresses) most = std::max(most, a);
    std::vector<int> dense(std::size_t(most) + 1, -1);
    std::size_t addresses = 0;
    std::vector<int> placeAddress(places.size());
    for (std::size_t p = 0; p < places.size(); ++p) {
        auto &d = dense[placeAddresses[p]];
        if (d < 0) d = int(addresses++);
        placeAddress[p] = d;
    }
    std::vector<int> tabAddress(tabs.size(), -1);
    for (std::size_t t = 0; t < tabs.size(); ++t)
        if (tabAddresses[t] <= most) tabAddress[t] = dense[tabAddresses[t]];

    const auto placesOf = group(placeAddress, addresses);
    const auto tabsOf = group(tabAddress, addresses);
    Pairing pairing(tabs, places, cost);
    for (std::size_t a = 0; a < addresses; ++a)
        if (const auto rows = tabsOf.of(a); !rows.empty()) pairing.matchAddress(rows, placesOf.of(a));
    return std::move(pairing).result();
}

}  // namespace ondrake
