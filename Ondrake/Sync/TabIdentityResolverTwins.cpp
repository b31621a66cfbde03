#include "TabIdentityResolver.h"

#include "Browser/BrowserURL.h"
#include "SessionIdentities/OrderKeepingMatching.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>
#include <span>
#include <utility>

// The records of pages open more than once: which window's tabs they go to, in what order, and
// where the records left waiting belong.
namespace ondrake {

namespace {

std::int64_t shifted(std::int64_t index, std::int64_t shift) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    if (shift > 0 && index > kMax - shift) return kMax;
    if (shift < 0 && index < kMin - shift) return kMin;
    return index + shift;
}

// A tab placed with certainty as a landmark: where it stands and where its record stood.
struct Anchor {
    std::int64_t tab = 0;
    std::int64_t stored = 0;
};

// The anchors, by tab position, that keep their order on both sides, the most of them.
std::vector<Anchor> keptInOrder(const std::vector<Anchor> &anchors) {
    std::vector<std::int64_t> stored;
    stored.reserve(anchors.size());
    for (const auto &a : anchors) stored.push_back(a.stored);
    std::vector<Anchor> kept;
    for (const auto k : longestRisingRun(stored)) kept.push_back(anchors[k]);
    return kept;
}

// An entry's stored position as a sort key: entries without one come before all others.
std::pair<int, std::int64_t> storedPosition(const TabIdentityResolver::PoolEntry &entry) {
    return entry.index ? std::pair(1, *entry.index) : std::pair(0, std::int64_t(0));
}

// Stored positions first, entries without one before them, as they stand in the pool otherwise.
void sortByStoredPosition(std::vector<std::size_t> &columns, const std::vector<TabIdentityResolver::PoolEntry> &pool) {
    std::stable_sort(columns.begin(), columns.end(),
                     [&](std::size_t a, std::size_t b) { return storedPosition(pool[a]) < storedPosition(pool[b]); });
}

}  // namespace
namespace {

using Expectation = TabIdentityResolver::Expectation;

// Where each of a window's tabs (by their positions, ascending) is expected among the stored
// positions of the records whose landmarks these are (by tab position).
void expectAmong(const std::vector<Anchor> &anchors, const std::vector<std::int64_t> &indexes, std::span<Expectation> out) {
    // Each tab is expected where it stood, shifted as the nearest landmark before it (or after
    // it, with none before) of those that kept their order was: one moved far away says nothing
    // of its neighbours. But a block moved while the application was away may keep its order
    // better than the few landmarks around a tab: the nearest landmark on either side tells as
    // much.
    const auto kept = anchors.empty() ? std::vector<Anchor>() : keptInOrder(anchors);
    std::size_t n = 0;
    std::size_t a = 0;
    std::optional<std::int64_t> last;
    for (std::size_t k = 0; k < indexes.size(); ++k) {
        const auto index = indexes[k];
        while (n < kept.size() && kept[n].tab <= index) ++n;
        std::int64_t shift = 0;
        if (!kept.empty()) {
            const auto &anchor = n > 0 ? kept[n - 1] : kept.front();
            shift = anchor.tab - anchor.stored;
        }
        // Never before the tab ahead of it in its window, so that its window's order holds.
        auto &e = out[k];
        e = Expectation{};
        e.at = std::max(shifted(index, -shift), last.value_or(std::numeric_limits<std::int64_t>::min()));
        last = e.at;
        while (a < anchors.size() && anchors[a].tab <= index) ++a;
        if (a > 0) e.before = shifted(anchors[a - 1].stored, index - anchors[a - 1].tab);
        if (a < anchors.size()) e.after = shifted(anchors[a].stored, index - anchors[a].tab);
    }
}

// The least distance from a place a tab is expected at to one of these stored positions
// (ascending), as the cost measures it.
std::int64_t leastDistance(const std::vector<std::int64_t> &positions, const Expectation &e) {
    auto least = std::numeric_limits<std::int64_t>::max();
    const auto near = [&](std::int64_t at) {
        const auto it = std::lower_bound(positions.begin(), positions.end(), at);
        if (it != positions.end()) least = std::min(least, positionDistance(*it, at));
        if (it != positions.begin()) least = std::min(least, positionDistance(*(it - 1), at));
    };
    near(e.at);
    if (e.before) near(*e.before);
    if (e.after) near(*e.after);
    return least;
}

// An earlier window the records of twin pages were seen in: a key that poll windows show, or,
// for records that carry none, the poll window their links place them in.
struct Origin {
    std::optional<std::int64_t> key{};      // none: placed by links
    std::vector<std::size_t> windows{};     // the poll windows showing it, ascending
    std::vector<std::size_t> landmarks{};   // how many of its records each of them placed with certainty
    std::vector<std::size_t> offsets{};     // where each of them starts in `expected`
    std::vector<Expectation> expected{};    // of the twin tabs of its windows, among its positions
    std::vector<std::size_t> columns{};     // its records, by stored position

    std::size_t place(std::size_t window) const {
        return std::size_t(std::lower_bound(windows.begin(), windows.end(), window) - windows.begin());
    }
};

// Whether a window shows a page; each window's addresses are gathered on first need.
class WindowPages {
public:
    explicit WindowPages(const std::vector<SafariWindow> &windows) : windows_(windows), pages_(windows.size()) {}

    bool shows(std::size_t window, const QString &url) {
        auto &pages = pages_[window];
        if (!pages) {
            pages.emplace();
            for (const auto &tab : windows_[window].tabs)
                if (tab.url) pages->insert(absoluteText(*tab.url));
        }
        return pages->contains(url);
    }

private:
    const std::vector<SafariWindow> &windows_;
    std::vector<std::optional<TextSet>> pages_;
};

// Stored positions of one origin's records of one page, ascending.
struct Spread {
    bool unplaced = false;  // a record without a position, which costs nothing anywhere
    std::vector<std::int64_t> positions;
};

}  // namespace
std::vector<std::optional<std::size_t>> TabIdentityResolver::linkedWindows(const Poll &poll,
                                                                           const std::vector<std::size_t> &columns) const {
    std::vector<std::optional<std::size_t>> homes(columns.size());
    if (poll.certain.empty()) return homes;

    // Links of the records placed with certainty place the others: a child stands in its
    // parent's window, a parent in its children's, a group's member in the one window its
    // certain members stand in.
    QSet<OndrakeID> linked;  // parents and ids of the records not placed
    QHash<TabGroupID, std::optional<std::size_t>> groupWindow;  // none when they stand in several
    for (const auto position : columns) {
        const auto &entry = pool_[position];
        linked.insert(entry.id);
        if (entry.parentID) linked.insert(*entry.parentID);
        if (entry.groupID) groupWindow.insert(*entry.groupID, std::nullopt);
    }
    QHash<OndrakeID, std::size_t> windowOf;      // of each certain record linked so
    QHash<OndrakeID, std::size_t> parentWindow;  // of each certain record's parent
    QSet<TabGroupID> grouped;
    for (const auto &c : poll.certain) {
        const auto &entry = pool_[c.position];
        const auto w = poll.pending[c.pending].windowOrdinal;
        if (linked.contains(entry.id)) windowOf.insert(entry.id, w);
        if (entry.parentID && linked.contains(*entry.parentID)) parentWindow.insert(*entry.parentID, w);
        if (entry.groupID)
            if (const auto found = groupWindow.find(*entry.groupID); found != groupWindow.end()) {
                if (!grouped.contains(*entry.groupID)) *found = w;
                else if (*found != w) *found = std::nullopt;
                grouped.insert(*entry.groupID);
            }
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const auto &entry = pool_[columns[c]];
        if (entry.parentID)
            if (const auto found = windowOf.constFind(*entry.parentID); found != windowOf.cend()) {
                homes[c] = *found;
                continue;
            }
        if (const auto found = parentWindow.constFind(entry.id); found != parentWindow.cend()) {
            homes[c] = *found;
            continue;
        }
        if (entry.groupID && grouped.contains(*entry.groupID)) homes[c] = groupWindow.value(*entry.groupID);
    }
    return homes;
}

std::size_t TabIdentityResolver::claimTwins(const Poll &poll, const std::vector<std::size_t> &rows,
                                            const std::vector<std::size_t> &columns, Claims &claimed,
                                            TabIdentityMapping &mapping) const {
    const auto &pending = poll.pending;
    const auto &certain = poll.certain;
    const auto windowCount = poll.windows.size();
    // Rows and certain records come in the poll's order: each window's are rows[first[w]] up to
    // rows[first[w + 1]], and likewise.
    const auto starts = [&](std::size_t size, const auto &windowAt) {
        std::vector<std::size_t> first(windowCount + 1, size);
        for (std::size_t i = size; i-- > 0;) first[windowAt(i)] = i;
        for (std::size_t w = windowCount; w-- > 0;) first[w] = std::min(first[w], first[w + 1]);
        return first;
    };
    const auto windowOf = [&](std::size_t i) { return pending[rows[i]].windowOrdinal; };
    const auto first = starts(rows.size(), windowOf);
    const auto firstCertain = starts(certain.size(), [&](std::size_t c) { return pending[certain[c].pending].windowOrdinal; });

    // Each key a window shows is an origin; records of no such key go with the window their
    // links place them in, or with no window.
    std::vector<Origin> origins;
    QHash<std::int64_t, std::size_t> byKey;
    for (std::size_t w = 0; w < windowCount; ++w)
        for (const auto key : poll.shows[w]) {
            auto found = byKey.find(key);
            if (found == byKey.end()) {
                found = byKey.insert(key, origins.size());
                origins.push_back({.key = key});
            }
            origins[*found].windows.push_back(w);
        }
    std::vector<std::size_t> unplaced;
    for (const auto position : columns) {
        const auto &key = pool_[position].windowKey;
        const auto found = key ? byKey.constFind(*key) : byKey.cend();
        if (found != byKey.cend()) origins[*found].columns.push_back(position);
        else unplaced.push_back(position);
    }
    std::vector<std::size_t> homeless;
    if (!unplaced.empty()) {
        const auto linked = linkedWindows(poll, unplaced);
        QHash<std::size_t, std::size_t> byWindow;
        for (std::size_t c = 0; c < unplaced.size(); ++c) {
            if (!linked[c]) {
                homeless.push_back(unplaced[c]);
                continue;
            }
            auto found = byWindow.find(*linked[c]);
            if (found == byWindow.end()) {
                found = byWindow.insert(*linked[c], origins.size());
                origins.push_back({.windows = {*linked[c]}});
            }
            origins[*found].columns.push_back(unplaced[c]);
        }
    }
    sortByStoredPosition(homeless, pool_);

    // Each window's twins expected among the stored positions of each origin it shows, as that
    // origin's records placed with certainty in the window say: a window may show several.
    std::vector<Anchor> anchors;
    std::vector<std::int64_t> indexes;
    const auto expectIn = [&](std::size_t w, const std::optional<std::int64_t> &key, std::span<Expectation> out) {
        anchors.clear();
        for (auto c = firstCertain[w]; c < firstCertain[w + 1]; ++c) {
            const auto &entry = pool_[certain[c].position];
            if (entry.index && (!key || entry.windowKey == key)) anchors.push_back({pending[certain[c].pending].index, *entry.index});
        }
        indexes.clear();
        for (auto i = first[w]; i < first[w + 1]; ++i) indexes.push_back(pending[rows[i]].index);
        expectAmong(anchors, indexes, out);
        return anchors.size();
    };
    std::vector<std::vector<std::size_t>> originsIn(windowCount);  // of the origins with records
    for (std::size_t o = 0; o < origins.size(); ++o) {
        auto &origin = origins[o];
        if (origin.columns.empty()) continue;
        sortByStoredPosition(origin.columns, pool_);
        for (const auto w : origin.windows) {
            origin.offsets.push_back(origin.expected.size());
            origin.expected.resize(origin.expected.size() + (first[w + 1] - first[w]));
            origin.landmarks.push_back(expectIn(w, origin.key, std::span(origin.expected).subspan(origin.offsets.back())));
            originsIn[w].push_back(o);
        }
    }
    const auto expectation = [&](std::size_t o, std::size_t i) -> const Expectation & {
        const auto &origin = origins[o];
        const auto w = windowOf(i);
        return origin.expected[origin.offsets[origin.place(w)] + (i - first[w])];
    };
    // For records of no origin: every landmark of the tab's window.
    std::vector<Expectation> anywhere;
    const auto expectAnywhere = [&] {
        if (!anywhere.empty()) return;
        anywhere.resize(rows.size());
        for (std::size_t w = 0; w < windowCount; ++w)
            if (first[w] < first[w + 1]) expectIn(w, std::nullopt, std::span(anywhere).subspan(first[w]));
    };

    std::size_t count = 0;
    std::vector<std::size_t> tabs;
    std::vector<Expectation> expected;
    // These twins, in the order they are expected in, with these records.
    const auto pairUp = [&](std::vector<std::size_t> &which, const auto &expect, const std::vector<std::size_t> &records) {
        if (which.empty() || records.empty()) return;
        std::stable_sort(which.begin(), which.end(), [&](std::size_t a, std::size_t b) {
            return std::tuple(expect(a).at, windowOf(a), pending[rows[a]].index) <
                   std::tuple(expect(b).at, windowOf(b), pending[rows[b]].index);
        });
        tabs.clear();
        expected.clear();
        for (const auto i : which) {
            tabs.push_back(rows[i]);
            expected.push_back(expect(i));
        }
        count += claim(pending, tabs, expected, records, claimed, mapping);
    };
    const auto unmapped = [&](std::size_t i) { return !mapping.contains(pending[rows[i]].sessionTabID); };
    const bool several = std::any_of(originsIn.begin(), originsIn.end(), [](const auto &in) { return in.size() > 1; });
    WindowPages windowPages(poll.windows);

    // Records of open tabs first: a record whose tab had closed goes to a tab only when no open
    // record of its page is left for it.
    for (const bool closed : {false, true}) {
        const auto waiting = [&](std::size_t position) { return !claimed[position] && pool_[position].closed == closed; };
        std::vector<std::vector<std::size_t>> records(origins.size());
        for (std::size_t o = 0; o < origins.size(); ++o)
            for (const auto position : origins[o].columns)
                if (waiting(position)) records[o].push_back(position);

        // Each tab with the origin it fits best of those its window shows that have a record of
        // its page: of windows merged, the tabs beside one's landmarks take its records.
        std::vector<QHash<HashedText, Spread>> spreads(several ? origins.size() : 0);
        for (std::size_t o = 0; o < spreads.size(); ++o)
            for (const auto position : records[o]) {
                auto &spread = spreads[o][HashedText(*pool_[position].url)];
                if (pool_[position].index) spread.positions.push_back(*pool_[position].index);
                else spread.unplaced = true;
            }
        std::vector<std::vector<std::size_t>> chose(origins.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const auto &candidates = originsIn[windowOf(i)];
            if (candidates.empty() || !unmapped(i)) continue;
            if (candidates.size() == 1) {
                chose[candidates.front()].push_back(i);
                continue;
            }
            // The nearest, then the origin with the most landmarks in the window.
            std::optional<std::tuple<std::int64_t, std::ptrdiff_t, std::size_t>> best;
            for (const auto o : candidates) {
                const auto found = spreads[o].constFind(HashedText(*pending[rows[i]].url));
                if (found == spreads[o].cend()) continue;
                const auto distance = found->unplaced ? 0 : leastDistance(found->positions, expectation(o, i));
                const auto strength = std::ptrdiff_t(origins[o].landmarks[origins[o].place(windowOf(i))]);
                const auto mark = std::tuple(distance, -strength, o);
                if (!best || mark < *best) best = mark;
            }
            if (best) chose[std::get<2>(*best)].push_back(i);
        }
        for (std::size_t o = 0; o < origins.size(); ++o)
            pairUp(chose[o], [&](std::size_t i) -> const Expectation & { return expectation(o, i); }, records[o]);

        // Tabs left, with the records left of any origin their window shows.
        std::vector<std::size_t> which;
        for (std::size_t o = 0; o < origins.size(); ++o) {
            std::erase_if(records[o], [&](std::size_t position) { return claimed[position]; });
            if (records[o].empty()) continue;
            which.clear();
            for (const auto w : origins[o].windows)
                for (auto i = first[w]; i < first[w + 1]; ++i)
                    if (unmapped(i)) which.push_back(i);
            pairUp(which, [&](std::size_t i) -> const Expectation & { return expectation(o, i); }, records[o]);
        }

        // A record waits in its windows while one of them shows its page; records of no window
        // shown, and those whose windows show none of their page, go to any tab left.
        std::vector<std::size_t> rest;
        for (const auto position : homeless)
            if (waiting(position)) rest.push_back(position);
        for (std::size_t o = 0; o < origins.size(); ++o)
            for (const auto position : records[o])
                if (!claimed[position] &&
                    std::none_of(origins[o].windows.begin(), origins[o].windows.end(),
                                 [&](std::size_t w) { return windowPages.shows(w, *pool_[position].url); }))
                    rest.push_back(position);
        if (rest.empty()) continue;
        sortByStoredPosition(rest, pool_);
        expectAnywhere();
        which.clear();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (unmapped(i)) which.push_back(i);
        pairUp(which, [&](std::size_t i) -> const Expectation & { return anywhere[i]; }, rest);
    }
    return count;
}

void TabIdentityResolver::rekeyWaiting(const Poll &poll, const std::vector<std::optional<std::int64_t>> &own,
                                       const Claims &claimed) {
    QSet<std::int64_t> owned;
    for (const auto &key : own)
        if (key) owned.insert(*key);
    // Mostly each window shows its own key alone: nothing was taken over.
    const bool takenOver = std::any_of(poll.shows.begin(), poll.shows.end(), [&](const auto &keys) {
        return std::any_of(keys.begin(), keys.end(), [&](std::int64_t key) { return !owned.contains(key); });
    });
    if (!takenOver) return;
    // How many records of each key no window owns each window took.
    QHash<std::pair<std::int64_t, std::size_t>, int> took;
    for (std::size_t position = 0; position < pool_.size(); ++position)
        if (const auto &key = pool_[position].windowKey; claimed[position] && key && !owned.contains(*key))
            ++took[{*key, poll.pending[claimed[position] - 1].windowOrdinal}];
    // The windows that took over each such key: those that show it and took its records.
    QHash<std::int64_t, std::vector<std::size_t>> windowsOf;
    for (std::size_t w = 0; w < poll.shows.size(); ++w)
        for (const auto key : poll.shows[w])
            if (own[w] && took.contains({key, w})) windowsOf[key].push_back(w);
    if (windowsOf.isEmpty()) return;

    WindowPages windowPages(poll.windows);
    for (std::size_t position = 0; position < pool_.size(); ++position) {
        auto &entry = pool_[position];
        if (claimed[position] || !entry.windowKey) continue;
        const auto found = windowsOf.constFind(*entry.windowKey);
        if (found == windowsOf.cend()) continue;
        // It waits in the one of them that shows its page; else it goes with the one that took
        // the most of its window's records.
        auto among = *found;
        if (among.size() > 1 && entry.url) {
            std::vector<std::size_t> showing;
            for (const auto w : among)
                if (windowPages.shows(w, *entry.url)) showing.push_back(w);
            if (!showing.empty()) among = std::move(showing);
        }
        auto window = among.front();
        for (const auto w : among)
            if (took.value({*entry.windowKey, w}) > took.value({*entry.windowKey, window})) window = w;
        const auto key = *own[window];
        rekeyed_.emplace_back(entry.id, key);
        entry.windowKey = key;
    }
}

}  // namespace ondrake
