#include "TabIdentityRegistry.h"

#include "Browser/BrowserURL.h"
#include "Browser/OrderKeepingMatching.h"
#include "Browser/SamePageMatching.h"
#include "Browser/WindowLineUp.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace ondrake {

namespace {

// What taking an entry whose tab this system closed costs on top: any other entry comes first.
constexpr std::int64_t kClosedCost = std::int64_t(1) << 61;

bool canFollowAcrossWindows(const std::optional<QUrl> &url) {
    if (!url) return false;
    const auto scheme = lowerScheme(*url);
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("file");
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

void TabIdentityRegistry::noteMoved(const SafariTabMove &move) {
    const auto found = previous_.find(move.windowID);
    if (found == previous_.end() || move.fromIndex == move.toIndex) return;
    auto &entries = found->second;
    const auto size = std::int64_t(entries.size());
    // The browser's own checks passed: the block it moved is the one at these places.
    if (size != move.expectedTabCount || move.count < 1 || move.fromIndex < 1 || move.toIndex < 1 ||
        move.fromIndex - 1 + move.count > size || move.toIndex - 1 + move.count > size)
        return;
    const auto first = entries.begin() + (move.fromIndex - 1);
    std::vector<Entry> block(std::make_move_iterator(first), std::make_move_iterator(first + move.count));
    entries.erase(first, first + move.count);
    entries.insert(entries.begin() + (move.toIndex - 1), std::make_move_iterator(block.begin()),
                   std::make_move_iterator(block.end()));
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i].index = std::int64_t(i) + 1;
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
    for (const auto *w : selected) {
        for (const auto &t : w->tabs) {
            auto &c = now[t.url];
            ++c.count;
            c.windowID = w->id;
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
    std::unordered_map<std::int64_t, QString> activeNow;
    static const std::vector<Entry> none;
    for (const auto *w : selected) {
        const auto prevIt = previous_.find(w->id);
        const auto &prev = prevIt == previous_.end() ? none : prevIt->second;
        const auto &tabs = w->tabs;
        // The entries on offer: those of a tab dragged to another window are not.
        std::vector<const Entry *> offered;
        offered.reserve(prev.size());
        for (const auto &e : prev)
            if (claimed.isEmpty() || !claimed.contains(e.id)) offered.push_back(&e);
        std::vector<bool> taken(offered.size(), false);

        std::vector<std::optional<QString>> ids(tabs.size());
        // The entry of this window that gave the tab its id, if one did.
        std::vector<const Entry *> from(tabs.size(), nullptr);
        const auto take = [&](std::size_t i, std::size_t e) {
            taken[e] = true;
            ids[i] = offered[e]->id;
            from[i] = offered[e];
        };
        if (!moved.isEmpty()) {
            for (std::size_t i = 0; i < tabs.size(); ++i)
                if (const auto m = moved.constFind(tabs[i].url); m != moved.cend()) ids[i] = *m;
        }

        // The usual poll: the window shows what it showed, and every tab keeps its id.
        const bool unchanged = closed_.isEmpty() && moved.isEmpty() && offered.size() == tabs.size() &&
                               std::equal(offered.begin(), offered.end(), tabs.begin(), [](const Entry *e, const auto &t) {
                                   return e->url == t.url && e->title == t.title;
                               });
        if (unchanged) {
            for (std::size_t i = 0; i < tabs.size(); ++i) take(i, i);
        } else {
            // The tab active at the last poll, if it is on offer, and the one active now.
            std::optional<std::pair<std::size_t, std::size_t>> active;
            if (const auto last = activeIDs_.find(w->id); last != activeIDs_.end()) {
                const auto place = std::find_if(offered.begin(), offered.end(), [&](const Entry *e) { return e->id == last->second; });
                const auto now = std::find_if(tabs.begin(), tabs.end(), [&](const auto &t) { return t.index == w->currentTabIndex; });
                if (place != offered.end() && now != tabs.end())
                    active = std::pair(std::size_t(place - offered.begin()), std::size_t(now - tabs.begin()));
            }
            std::vector<PageKey> placeKeys;
            placeKeys.reserve(offered.size());
            for (const auto *e : offered) placeKeys.push_back({e->url, e->title});
            std::vector<PageKey> tabKeys;
            tabKeys.reserve(tabs.size());
            for (const auto &t : tabs) tabKeys.push_back({t.url, t.title});

            // A tab that lines up with its own page keeps that entry's id, unless this system closed
            // that tab: a twin of it may stand there now.
            const auto lined = lineUpWindow(placeKeys, tabKeys, active);
            for (std::size_t e = 0; e < offered.size(); ++e) {
                const auto i = lined.tabOf[e];
                if (i && !ids[*i] && !closed_.contains(offered[e]->id)) take(*i, e);
            }

            // The rest by address and title, then address alone, in order; each entry costs its
            // distance from where it should stand now, and a closed tab's entry comes after every other.
            std::vector<std::size_t> rows;
            for (std::size_t i = 0; i < tabs.size(); ++i)
                if (!ids[i]) rows.push_back(i);
            std::vector<std::size_t> columns;
            for (std::size_t e = 0; e < offered.size(); ++e)
                if (!taken[e]) columns.push_back(e);
            if (!rows.empty() && !columns.empty()) {
                std::vector<PageKey> rowKeys;
                rowKeys.reserve(rows.size());
                for (const auto i : rows) rowKeys.push_back(tabKeys[i]);
                std::vector<PageKey> columnKeys;
                columnKeys.reserve(columns.size());
                for (const auto e : columns) columnKeys.push_back(placeKeys[e]);
                const auto matching = matchSamePages(rowKeys, columnKeys, [&](std::size_t r, std::size_t c) {
                    const auto e = columns[c];
                    const auto distance = positionDistance(lined.expected[e], 2 * std::int64_t(rows[r]));
                    return closed_.contains(offered[e]->id) ? addCosts(distance, kClosedCost) : distance;
                });
                for (std::size_t r = 0; r < rows.size(); ++r)
                    if (matching[r]) take(rows[r], columns[*matching[r]]);
            }
        }

        // A window that kept its number of tabs: a tab that navigated keeps the id of its place.
        if (tabs.size() == prev.size() && std::find(ids.begin(), ids.end(), std::nullopt) != ids.end()) {
            std::unordered_map<std::int64_t, std::vector<std::size_t>> byIndex;
            for (std::size_t e = 0; e < offered.size(); ++e)
                if (!taken[e]) byIndex[offered[e]->index].push_back(e);
            for (std::size_t i = 0; i < tabs.size(); ++i) {
                if (ids[i]) continue;
                const auto found = byIndex.find(tabs[i].index);
                if (found == byIndex.end()) continue;
                for (const auto e : found->second)
                    if (!taken[e]) {
                        take(i, e);
                        break;
                    }
            }
        }
        for (auto &id : ids)
            if (!id) id = QStringLiteral("tab-") + QString::number(nextSerial_++);

        SafariWindow window;
        window.safariID = w->id;
        window.index = w->index;
        window.isFrontmost = w->index == 1;
        auto &entries = remembered[w->id];
        entries.reserve(tabs.size());
        window.tabs.reserve(tabs.size());
        for (std::size_t i = 0; i < tabs.size(); ++i) {
            const auto &raw = tabs[i];
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
            if (tab.isActive) activeNow[w->id] = tab.id;
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
    activeIDs_ = std::move(activeNow);
    lastURLs_ = std::move(now);
    return result;
}

}  // namespace ondrake
