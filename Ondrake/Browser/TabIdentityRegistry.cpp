#include "TabIdentityRegistry.h"

#include "Browser/LeastCostMatching.h"

#include "Browser/BrowserURL.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace ondrake {

namespace {

bool canFollowAcrossWindows(const std::optional<QUrl> &url) {
    if (!url) return false;
    const auto scheme = lowerScheme(*url);
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("file");
}

// One window's remembered entries that are still on offer. Each is taken at most once; lookups
// by URL and by index keep the matching linear in the number of tabs.
class Candidates {
public:
    Candidates(const std::vector<TabIdentityRegistry::Entry> &entries, const QSet<QString> &claimed,
               const QHash<QString, int> &closed) {
        entries_.reserve(entries.size());
        for (const auto &e : entries) {
            if (claimed.contains(e.id)) continue;
            const int position = int(entries_.size());
            entries_.push_back(&e);
            if (!closed.isEmpty()) {
                closed_.resize(entries_.size(), false);
                closed_.back() = closed.contains(e.id);
            }
            byURL_[e.url].push_back(position);
            byIndex_[e.index].push_back(position);
        }
        taken_.assign(entries_.size(), false);
    }

    // The nearest remembered entry with the tab's URL (and title, when asked), the earlier one on a tie.
    const TabIdentityRegistry::Entry *takeNearest(const SafariSnapshot::RawTab &tab, bool matchTitle) {
        const auto it = byURL_.find(tab.url);
        if (it == byURL_.end()) return nullptr;
        int best = -1;
        std::int64_t bestDistance = 0;
        for (const int p : it.value()) {
            if (taken_[std::size_t(p)]) continue;
            const auto &e = *entries_[std::size_t(p)];
            if (matchTitle && e.title != tab.title) continue;
            const auto distance = addCosts(positionDistance(e.index, tab.index), closedCost(p));
            if (best < 0 || distance < bestDistance) {
                best = p;
                bestDistance = distance;
            }
        }
        return take(best);
    }

    // The entries still on offer with this URL (and title, when given), in remembered order.
    std::vector<int> available(const QString &url, const QString *title) const {
        std::vector<int> positions;
        const auto it = byURL_.find(url);
        if (it == byURL_.end()) return positions;
        for (const int p : it.value())
            if (!taken_[std::size_t(p)] && (!title || entries_[std::size_t(p)]->title == *title)) positions.push_back(p);
        return positions;
    }
    const TabIdentityRegistry::Entry &entry(int position) const { return *entries_[std::size_t(position)]; }
    // What taking an entry whose tab this system closed costs on top: any other entry comes first.
    std::int64_t closedCost(int position) const {
        return std::size_t(position) < closed_.size() && closed_[std::size_t(position)] ? kClosedCost : 0;
    }
    // Where the entry stood among the entries with its URL, and how many those were.
    std::int64_t rank(int position) const {
        const auto &sameURL = byURL_.find(entries_[std::size_t(position)]->url).value();
        return std::find(sameURL.begin(), sameURL.end(), position) - sameURL.begin();
    }
    std::size_t countWithURL(const QString &url) const {
        const auto it = byURL_.find(url);
        return it == byURL_.end() ? 0 : it.value().size();
    }

    // The entry still on offer that stood exactly where the tab stands, with its URL (and title,
    // when asked); -1 when there is none.
    int unmovedAt(const SafariSnapshot::RawTab &tab, bool matchTitle) const {
        const auto it = byIndex_.find(tab.index);
        if (it == byIndex_.end()) return -1;
        for (const int p : it->second) {
            const auto &e = *entries_[std::size_t(p)];
            if (!taken_[std::size_t(p)] && e.url == tab.url && (!matchTitle || e.title == tab.title)) return p;
        }
        return -1;
    }

    const TabIdentityRegistry::Entry *takeAtIndex(std::int64_t index) {
        const auto it = byIndex_.find(index);
        if (it == byIndex_.end()) return nullptr;
        for (const int p : it->second)
            if (!taken_[std::size_t(p)]) return take(p);
        return nullptr;
    }

    const TabIdentityRegistry::Entry *take(int position) {
        if (position < 0) return nullptr;
        taken_[std::size_t(position)] = true;
        return entries_[std::size_t(position)];
    }

private:
    static constexpr std::int64_t kClosedCost = std::int64_t(1) << 61;

    std::vector<const TabIdentityRegistry::Entry *> entries_;
    std::vector<bool> taken_;
    std::vector<bool> closed_;  // empty when no entry's tab was closed
    QHash<QString, std::vector<int>> byURL_;
    std::unordered_map<std::int64_t, std::vector<int>> byIndex_;
};

// Where a tab stands, or an entry stood: among those of its window with its URL, and in the window.
struct Place {
    std::int64_t rank = 0;
    std::int64_t index = 0;
    std::int64_t extraCost = 0;  // of an entry whose tab was closed
};

// Pairs the tabs of one window that show one page with the entries remembered for it so that
// they move least in all. While the window holds as many of them as before, their order among
// themselves counts first: tabs opening, closing or moving around them shift every twin alike.
// No pair is settled before the rest are weighed: when a tab of the page closes before two
// twins, the later twin lands exactly where the earlier stood. Answers (tab, entry) pairs as
// positions in the two lists.
std::vector<std::pair<std::size_t, std::size_t>> pairByPlace(const std::vector<Place> &tabs,
                                                             const std::vector<Place> &entries, bool byRank) {
    constexpr std::int64_t kRankWeight = std::int64_t(1) << 32;
    const auto cost = [&](const Place &tab, const Place &entry) {
        const auto moved = positionDistance(tab.index, entry.index);
        if (!byRank) return addCosts(moved, entry.extraCost);
        const auto rankCost = std::min(positionDistance(tab.rank, entry.rank), std::int64_t(1) << 28) * kRankWeight;
        return addCosts(std::min(moved, kRankWeight - 1) + rankCost, entry.extraCost);
    };
    const auto matching = leastCostMatching(tabs.size(), entries.size(), [&](std::size_t t, std::size_t e) {
        return cost(tabs[t], entries[e]);
    });
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t t = 0; t < tabs.size(); ++t)
        if (matching[t]) pairs.emplace_back(t, *matching[t]);
    return pairs;
}

// Pairs the tabs of one group of twins that still lack an id (those with the first tab's title,
// when asked) with the entries on offer for them; marks them as matched together. Answers
// (tab, entry) pairs as positions in the window and among the candidates. Kept apart from the
// usual path, which it would otherwise weigh down.
[[gnu::noinline]] std::vector<std::pair<std::size_t, int>> matchTwins(
    const Candidates &candidates, const std::vector<SafariSnapshot::RawTab> &tabs, const std::vector<std::size_t> &group,
    std::size_t first, bool sameTitle, bool byRank, const std::vector<std::optional<QString>> &ids,
    std::vector<bool> &grouped) {
    const auto &tab = tabs[first];
    std::vector<std::size_t> rows;
    std::vector<Place> tabPlaces;
    for (std::size_t rank = 0; rank < group.size(); ++rank) {
        const auto j = group[rank];
        if (ids[j] || (sameTitle && tabs[j].title != tab.title)) continue;
        grouped[j] = true;
        rows.push_back(j);
        tabPlaces.push_back({std::int64_t(rank), tabs[j].index});
    }
    const auto columns = candidates.available(tab.url, sameTitle ? &tab.title : nullptr);
    std::vector<Place> entryPlaces;
    entryPlaces.reserve(columns.size());
    for (const int p : columns) entryPlaces.push_back({candidates.rank(p), candidates.entry(p).index, candidates.closedCost(p)});
    std::vector<std::pair<std::size_t, int>> pairs;
    for (const auto &[r, c] : pairByPlace(tabPlaces, entryPlaces, byRank)) pairs.emplace_back(rows[r], columns[c]);
    return pairs;
}

}  // namespace

const std::optional<QUrl> &TabIdentityRegistry::parsedURL(UrlInfo &info, const QString &text) {
    if (!info.parsed) info.parsed = parseURL(text);
    return *info.parsed;
}

std::optional<std::vector<TabIdentityRegistry::Entry>> TabIdentityRegistry::previousEntries(std::int64_t windowID) const {
    if (previous_.empty()) return std::nullopt;
    const auto it = previous_.find(windowID);
    if (it == previous_.end()) return std::nullopt;
    return it->second;
}

QString TabIdentityRegistry::displayTitle(const QString &rawTitle, const QString &urlText) {
    if (const auto trimmed = rawTitle.trimmed(); !trimmed.isEmpty()) return trimmed;
    if (const auto url = parseURL(urlText); url && !url->host().isEmpty()) return url->host();
    if (!urlText.isEmpty()) return urlText;
    return QStringLiteral("Untitled");
}

std::vector<SafariWindow> TabIdentityRegistry::assign(const std::vector<SafariSnapshot::RawWindow> &windows) {
    // The first window with a given id wins; windows without tabs count for nothing.
    std::vector<const SafariSnapshot::RawWindow *> selected;
    std::unordered_set<std::int64_t> taken;
    for (const auto &w : windows) {
        if (w.tabs.empty() || !taken.insert(w.id).second) continue;
        selected.push_back(&w);
    }

    // A URL that one tab had before and one tab has now, in another window, is that tab
    // dragged across; the old window's tabs may not claim its id. The last poll's index by URL is
    // kept from that poll, with each URL already parsed.
    std::size_t currentCount = 0;
    for (const auto *w : selected) currentCount += w->tabs.size();
    QHash<QString, UrlInfo> now;
    now.reserve(qsizetype(currentCount));
    // Per window, the tabs that show the same URL as another tab of it, by URL. The windows'
    // tabs are counted one window after the other, so a URL last counted in the same window is a
    // twin there.
    std::unordered_map<std::int64_t, QHash<QString, std::vector<std::size_t>>> twins;
    for (const auto *w : selected) {
        for (std::size_t i = 0; i < w->tabs.size(); ++i) {
            const auto &t = w->tabs[i];
            auto &c = now[t.url];
            if (c.count > 0 && c.windowID == w->id) {
                auto &group = twins[w->id][t.url];
                if (group.empty()) group.push_back(std::size_t(c.position));
                group.push_back(i);
            }
            ++c.count;
            c.windowID = w->id;
            c.position = int(i);
        }
    }
    QHash<QString, QString> moved;
    QSet<QString> claimed;
    for (auto it = now.begin(); it != now.end(); ++it) {
        const auto last = lastURLs_.constFind(it.key());
        if (last == lastURLs_.cend()) continue;
        it->parsed = last->parsed;
        if (it->count != 1 || last->count != 1 || it->windowID == last->windowID) continue;
        if (!canFollowAcrossWindows(parsedURL(*it, it.key()))) continue;
        moved.insert(it.key(), last->id);
        claimed.insert(last->id);
    }

    std::vector<SafariWindow> result;
    std::unordered_map<std::int64_t, std::vector<Entry>> remembered;
    static const std::vector<Entry> none;
    for (const auto *w : selected) {
        const auto prevIt = previous_.find(w->id);
        const auto &prev = prevIt == previous_.end() ? none : prevIt->second;
        Candidates candidates(prev, claimed, closed_);

        std::vector<std::optional<QString>> ids(w->tabs.size());
        // The entry of this window that gave the tab its id, if one did.
        std::vector<const Entry *> from(w->tabs.size(), nullptr);
        const auto take = [&](std::size_t i, const Entry *entry) {
            if (!entry) return;
            ids[i] = entry->id;
            from[i] = entry;
        };
        if (!moved.isEmpty()) {
            for (std::size_t i = 0; i < w->tabs.size(); ++i)
                if (const auto m = moved.constFind(w->tabs[i].url); m != moved.cend()) ids[i] = *m;
        }
        // The twins each tab belongs to, if any, and its rank among them.
        struct Twins {
            const std::vector<std::size_t> *group = nullptr;
            std::int64_t rank = 0;
        };
        std::vector<Twins> twinsOf;
        if (const auto found = twins.find(w->id); found != twins.end()) {
            twinsOf.assign(w->tabs.size(), Twins{});
            for (const auto &group : found->second)
                for (std::size_t rank = 0; rank < group.size(); ++rank) twinsOf[group[rank]] = {&group, std::int64_t(rank)};
        }
        // Same URL and title, then same URL alone; twins are matched together.
        const auto matchPass = [&](bool sameTitle) {
            std::vector<bool> grouped;
            for (std::size_t i = 0; i < w->tabs.size(); ++i) {
                if (ids[i]) continue;
                const auto &tab = w->tabs[i];
                const auto *group = twinsOf.empty() ? nullptr : twinsOf[i].group;
                if (!group) {
                    take(i, candidates.takeNearest(tab, sameTitle));
                    continue;
                }
                if (!grouped.empty() && grouped[i]) continue;
                const auto sameCount = [&] { return candidates.countWithURL(tab.url) == group->size(); };
                // The usual poll: a twin that stands exactly where it stood keeps its id at once.
                if (const int p = candidates.unmovedAt(tab, sameTitle);
                    p >= 0 && candidates.closedCost(p) == 0 && (candidates.rank(p) == twinsOf[i].rank || !sameCount())) {
                    take(i, candidates.take(p));
                    continue;
                }
                if (grouped.empty()) grouped.assign(w->tabs.size(), false);
                for (const auto &[row, position] :
                     matchTwins(candidates, w->tabs, *group, i, sameTitle, sameCount(), ids, grouped))
                    take(row, candidates.take(position));
            }
        };
        matchPass(true);
        matchPass(false);
        if (w->tabs.size() == prev.size()) {
            for (std::size_t i = 0; i < w->tabs.size(); ++i)
                if (!ids[i]) take(i, candidates.takeAtIndex(w->tabs[i].index));
        }
        for (auto &id : ids)
            if (!id) id = QStringLiteral("tab-") + QString::number(nextSerial_++);

        SafariWindow window;
        window.safariID = w->id;
        window.index = w->index;
        window.isFrontmost = w->index == 1;
        auto &entries = remembered[w->id];
        entries.reserve(w->tabs.size());
        window.tabs.reserve(w->tabs.size());
        for (std::size_t i = 0; i < w->tabs.size(); ++i) {
            const auto &raw = w->tabs[i];
            // An unchanged title goes on as the text the last poll had, so whoever compares the
            // two polls later finds one shared value instead of reading both.
            const QString &rawTitle = from[i] && from[i]->title == raw.title ? from[i]->title : raw.title;
            entries.push_back({*ids[i], raw.url, rawTitle, raw.index});
            SafariTab tab;
            tab.id = *ids[i];
            tab.windowID = w->id;
            tab.index = raw.index;
            tab.title = displayTitle(rawTitle, raw.url);
            auto &info = now[raw.url];
            if (info.count == 1) info.id = tab.id;
            tab.url = parsedURL(info, raw.url);
            tab.isActive = raw.index == w->currentTabIndex;
            window.tabs.push_back(std::move(tab));
        }
        result.push_back(std::move(window));
    }

    if (!closed_.isEmpty()) {
        QHash<QString, int> stillShown;
        for (const auto &window : result)
            for (const auto &tab : window.tabs)
                if (const int left = closed_.value(tab.id) - 1; left > 0) stillShown.insert(tab.id, left);
        closed_ = std::move(stillShown);
    }
    previous_ = std::move(remembered);
    lastURLs_ = std::move(now);
    return result;
}

}  // namespace ondrake
