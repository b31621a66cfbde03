#include "TabIdentityRegistry.h"

#include "Browser/BrowserURL.h"
#include "SessionIdentities/OrderKeepingMatching.h"
#include "SessionIdentities/SamePageMatching.h"
#include "SessionIdentities/WindowLineUp.h"

#include <QHash>

#include <algorithm>
#include <limits>
#include <map>
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

void TabIdentityRegistry::readTogether(std::vector<WindowWork> &work, UrlTable &now, const TextSet &claimed) const {
    // Only tabs of web pages and files can be told apart across windows: the address of one that
    // can, none for another.
    const auto following = [&](const QString &url) -> std::optional<std::uint32_t> {
        const auto found = now.numbers.constFind(HashedText(url));
        if (found == now.numbers.cend() || !canFollowAcrossWindows(parsedURL(now.infos[*found], url))) return std::nullopt;
        return *found;
    };
    // What each window may have done: its readings, and a window gone or new with one tab, which
    // closed or opened it.
    // A tab closed or opened alone: its place or tab, its address, and whether it shows a title,
    // which a tab dragged keeps.
    struct Alone {
        std::size_t at = 0;
        std::uint32_t address = 0;
        bool titled = true;
    };
    struct Option {
        ReadingCost cost{};
        std::vector<Alone> closed{};
        std::vector<Alone> opened{};
    };
    struct Side {
        std::size_t window;  // in `work`, or past it for a window gone
        const Entry *gone = nullptr;
        std::vector<Option> options;
    };
    const auto openedAlone = [] { return ReadingCost{ReadingCost::of({strip::Op::Kind::open, 0, 1, 0, false}), 1, 0, 0, 0}; };
    const auto closedAlone = [] { return ReadingCost{ReadingCost::of({strip::Op::Kind::close, 0, 1, 0, false}), 1, 0, 0, 0}; };
    std::vector<Side> sides;
    for (std::size_t w = 0; w < work.size(); ++w) {
        auto &k = work[w];
        if (!k.readings.empty()) {
            Side side{w, nullptr, {}};
            for (const auto &r : k.readings) {
                Option o{r.cost()};
                for (const auto p : r.closedAlone())
                    if (const auto address = following(k.offered[p]->url); address && !closed_.contains(k.offered[p]->id))
                        o.closed.push_back({p, *address, !k.offered[p]->title.isEmpty()});
                for (const auto t : r.openedAlone())
                    if (const auto address = following(k.window.tabs[t].url))
                        o.opened.push_back({t, *address, !k.window.tabs[t].title.isEmpty()});
                side.options.push_back(std::move(o));
            }
            sides.push_back(std::move(side));
        } else if (k.prev.empty() && k.window.tabs.size() == 1) {
            if (const auto address = following(k.window.tabs[0].url))
                sides.push_back({w, nullptr, {Option{.cost = openedAlone(), .opened = {{0, *address, !k.window.tabs[0].title.isEmpty()}}}}});
        }
    }
    if (sides.empty()) return;
    std::unordered_set<std::int64_t> shown;
    for (const auto &k : work) shown.insert(k.window.id);
    // A window gone with its one tab closed it; a tab dragged to another window that alone shows
    // its page now left its own window that way.
    for (const auto &[windowID, entries] : previous_) {
        const bool gone = !shown.count(windowID);
        if (!gone && claimed.empty()) continue;
        for (const auto &entry : entries) {
            if (gone ? entries.size() != 1 || claimed.contains(entry.id) : !claimed.contains(entry.id)) continue;
            if (closed_.contains(entry.id)) continue;
            if (const auto address = following(entry.url))
                sides.push_back({work.size(), &entry, {Option{.cost = closedAlone(), .closed = {{0, *address, !entry.title.isEmpty()}}}}});
        }
    }

    // The drags a choice of options reads: each tab closed alone paired with one opened alone of
    // its address in another window.
    struct Drag {
        std::size_t from, place, to, tab;
    };
    const auto dragsOf = [&](const std::vector<std::size_t> &choice) {
        std::vector<Drag> drags;
        std::vector<std::vector<bool>> used(sides.size());
        for (std::size_t s = 0; s < sides.size(); ++s) used[s].assign(sides[s].options[choice[s]].opened.size(), false);
        for (std::size_t s = 0; s < sides.size(); ++s)
            for (const auto &c : sides[s].options[choice[s]].closed) {
                bool paired = false;
                for (std::size_t o = 0; o < sides.size() && !paired; ++o) {
                    if (o == s) continue;
                    const auto &opened = sides[o].options[choice[o]].opened;
                    for (std::size_t i = 0; i < opened.size() && !paired; ++i)
                        if (!used[o][i] && opened[i].address == c.address && (opened[i].titled || !c.titled)) {
                            used[o][i] = true;
                            drags.push_back({s, c.at, o, opened[i].at});
                            paired = true;
                        }
                }
            }
        return drags;
    };
    // Each drag is one action fewer, and keeps the tab it took across.
    const auto scoreOf = [&](const std::vector<std::size_t> &choice) {
        ReadingCost score;
        for (std::size_t s = 0; s < sides.size(); ++s) score += sides[s].options[choice[s]].cost;
        const auto drags = dragsOf(choice).size();
        score.actions -= int(drags);
        score.total -= std::uint64_t(drags) * ReadingCost::kDraggedAcross;
        return score;
    };
    std::vector<std::size_t> choice(sides.size(), 0);
    std::size_t combinations = 1;
    for (const auto &side : sides) combinations = std::min<std::size_t>(combinations * side.options.size(), 1025);
    if (combinations > 1 && combinations <= 1024) {
        auto best = choice;
        auto bestScore = scoreOf(choice);
        for (auto next = choice;;) {
            std::size_t s = 0;
            while (s < sides.size() && ++next[s] == sides[s].options.size()) next[s++] = 0;
            if (s == sides.size()) break;
            if (const auto score = scoreOf(next); score < bestScore) {
                bestScore = score;
                best = next;
            }
        }
        choice = best;
    }

    for (std::size_t s = 0; s < sides.size(); ++s) {
        auto &k = work[sides[s].window < work.size() ? sides[s].window : 0];
        if (sides[s].window >= work.size() || k.readings.empty()) continue;
        const auto tabOf = k.readings[choice[s]].tabsOf(k.offered.size());
        for (std::size_t e = 0; e < tabOf.size(); ++e)
            if (const auto i = tabOf[e]; i && !k.ids[*i]) k.take(*i, e);
        k.read = true;
    }
    for (const auto &d : dragsOf(choice)) {
        auto &to = work[sides[d.to].window];
        const Entry *entry = sides[d.from].gone;
        if (!entry) {
            auto &from = work[sides[d.from].window];
            entry = from.offered[d.place];
            from.taken[d.place] = true;
        }
        to.ids[d.tab] = entry->id;
        to.from[d.tab] = entry;
    }
    for (const auto &side : sides)
        if (side.window < work.size() && !work[side.window].readings.empty()) work[side.window].release(false);
}

void TabIdentityRegistry::followAcrossWindows(std::vector<WindowWork> &work, const TextSet &claimed) const {
    // The entries no tab of their window took, by address: of windows that changed, and of those
    // gone since.
    struct Left {
        std::size_t window;  // in `work`, or past its end for a window gone
        std::size_t index;   // of the entry on offer, or in the gone window
        const Entry *entry;
    };
    // One window, and none gone: nothing crossed.
    if (work.size() < 2 && std::all_of(previous_.begin(), previous_.end(), [&](const auto &p) {
            return !work.empty() && p.first == work.front().window.id;
        }))
        return;
    TextViewMap<std::vector<Left>> left;
    for (std::size_t w = 0; w < work.size(); ++w) {
        const auto &k = work[w];
        if (!k.changed) continue;
        for (std::size_t e = 0; e < k.offered.size(); ++e)
            if (!k.taken[e] && !closed_.contains(k.offered[e]->id)) left[k.offered[e]->url].push_back({w, e, k.offered[e]});
    }
    std::unordered_set<std::int64_t> shown;
    for (const auto &k : work) shown.insert(k.window.id);
    std::size_t gone = work.size();
    for (const auto &[windowID, entries] : previous_) {
        if (shown.count(windowID)) continue;
        for (std::size_t e = 0; e < entries.size(); ++e)
            if (!claimed.contains(entries[e].id) && !closed_.contains(entries[e].id))
                left[entries[e].url].push_back({gone, e, &entries[e]});
        ++gone;
    }
    if (left.empty()) return;
    // The tabs that took no entry of their window, by address.
    TextViewMap<std::vector<std::pair<std::size_t, std::size_t>>> arrived;
    for (std::size_t w = 0; w < work.size(); ++w)
        for (std::size_t i = 0; i < work[w].ids.size(); ++i)
            if (!work[w].ids[i] && left.contains(work[w].window.tabs[i].url)) arrived[work[w].window.tabs[i].url].push_back({w, i});
    if (arrived.empty()) return;

    // How many tabs of an address a window showed at the last poll and shows now, each window
    // counted once, so that many addresses crossing at once stay linear.
    std::vector<std::optional<TextViewMap<std::pair<std::size_t, std::size_t>>>> counts(work.size());
    const auto count = [&](std::size_t w, QStringView url, bool before) {
        if (w >= work.size()) return before ? std::size_t(-1) : std::size_t(0);  // gone: lost all it had
        auto &byAddress = counts[w];
        if (!byAddress) {
            byAddress.emplace();
            for (const auto *e : work[w].offered) ++(*byAddress)[e->url].first;
            for (const auto &t : work[w].window.tabs) ++(*byAddress)[t.url].second;
        }
        const auto shown = valueOr(*byAddress, url);
        return before ? shown.first : shown.second;
    };
    for (const auto &[url, arrivals] : arrived) {
        if (!canFollowAcrossWindows(parseURL(url.toString()))) continue;
        // The tabs that leave a window are those its line-up left over, as many as it lost; those
        // that arrive, as many as a window gained.
        std::vector<Left> leaving;
        std::map<std::size_t, std::size_t> lost;
        for (const auto &l : left.find(url)->second) {
            if (!lost.count(l.window)) {
                const auto before = count(l.window, url, true);
                const auto after = count(l.window, url, false);
                lost[l.window] = before > after ? before - after : 0;
            }
            if (lost[l.window] > 0) {
                --lost[l.window];
                leaving.push_back(l);
            }
        }
        std::vector<std::pair<std::size_t, std::size_t>> arriving;
        std::map<std::size_t, std::size_t> gained;
        for (const auto &[w, i] : arrivals) {
            if (!gained.count(w)) {
                const auto before = count(w, url, true);
                const auto after = count(w, url, false);
                gained[w] = after > before ? after - before : 0;
            }
            if (gained[w] > 0) {
                --gained[w];
                arriving.emplace_back(w, i);
            }
        }
        std::vector<bool> used(arriving.size(), false);
        for (const auto &l : leaving) {
            for (std::size_t a = 0; a < arriving.size(); ++a) {
                const auto [w, i] = arriving[a];
                if (used[a] || w == l.window) continue;
                used[a] = true;
                work[w].ids[i] = l.entry->id;
                work[w].from[i] = l.entry;
                if (l.window < work.size()) work[l.window].taken[l.index] = true;
                break;
            }
        }
    }
}

std::vector<SafariWindow> TabIdentityRegistry::assign(const std::vector<SafariSnapshot::RawWindow> &windows) {
    // The first window with a given id wins; windows without tabs count for nothing.
    std::vector<const SafariSnapshot::RawWindow *> selected;
    std::unordered_set<std::int64_t> taken;
    for (const auto &w : windows) {
        if (w.tabs.empty() || !taken.insert(w.id).second) continue;
        selected.push_back(&w);
    }

    // This poll's tabs by URL, each URL parsed once: most were parsed at the last poll.
    std::size_t currentCount = 0;
    for (const auto *w : selected) currentCount += w->tabs.size();
    UrlTable now;
    now.numbers.reserve(qsizetype(currentCount));
    now.infos.reserve(currentCount);
    std::vector<std::vector<std::uint32_t>> urlNumbers;
    urlNumbers.reserve(selected.size());
    for (const auto *w : selected) {
        auto &numbers = urlNumbers.emplace_back();
        numbers.reserve(w->tabs.size());
        for (const auto &t : w->tabs) {
            const auto number = now.add(t.url);
            auto &c = now.infos[number];
            ++c.count;
            c.windowID = w->id;
            numbers.push_back(number);
        }
    }
    // A URL that one tab had before and one tab has now, in another window, is that tab dragged
    // across; the old window's tabs may not claim its id. The last poll's numbers, in this one's.
    constexpr auto kUnshown = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> lastToNow(lastURLs_.infos.size(), kUnshown);
    std::unordered_map<std::uint32_t, QString> moved;  // by this poll's number of the URL
    TextSet claimed;
    for (auto it = now.numbers.cbegin(); it != now.numbers.cend(); ++it) {
        const auto last = lastURLs_.numbers.constFind(it.key());
        if (last == lastURLs_.numbers.cend()) continue;
        lastToNow[*last] = *it;
        auto &info = now.infos[*it];
        auto &was = lastURLs_.infos[*last];
        info.parsed = std::move(was.parsed);  // the last poll's table goes at the end of this one
        if (info.count != 1 || was.count != 1 || info.windowID == was.windowID) continue;
        if (!canFollowAcrossWindows(parsedURL(info, info.text))) continue;
        moved.emplace(*it, was.id);
        claimed.insert(was.id);
    }
    // A URL no tab shows now: a number of its own.
    QHash<HashedText, std::uint32_t> unshown;
    const auto addressOf = [&](const Entry &e) {
        if (const auto number = e.urlNumber < lastToNow.size() ? lastToNow[e.urlNumber] : kUnshown; number != kUnshown) return number;
        const HashedText url(e.url);
        auto found = unshown.constFind(url);
        if (found == unshown.cend()) found = unshown.insert(url, std::uint32_t(now.infos.size()) + std::uint32_t(unshown.size()));
        return *found;
    };

    static const std::vector<Entry> none;
    std::size_t previousCount = 0;
    for (const auto &[id, entries] : previous_) previousCount += entries.size();
    // One budget for every window the poll reads, made when the first needs it.
    std::optional<SearchBudget> budget;
    std::vector<WindowWork> work;
    work.reserve(selected.size());
    for (std::size_t s = 0; s < selected.size(); ++s) {
        const auto *w = selected[s];
        const auto prevIt = previous_.find(w->id);
        const auto &prev = prevIt == previous_.end() ? none : prevIt->second;
        const auto &tabs = w->tabs;
        auto &k = work.emplace_back(*w, prev);
        k.urlNumbers = std::move(urlNumbers[s]);
        k.offered.reserve(prev.size());
        for (const auto &e : prev)
            if (claimed.empty() || !claimed.contains(e.id)) k.offered.push_back(&e);
        k.taken.assign(k.offered.size(), false);
        k.ids.resize(tabs.size());
        k.from.assign(tabs.size(), nullptr);
        if (!moved.empty()) {
            for (std::size_t i = 0; i < tabs.size(); ++i)
                if (const auto m = moved.find(k.urlNumbers[i]); m != moved.end()) k.ids[i] = m->second;
        }

        // The usual poll: the window shows what it showed, and every tab keeps its id.
        const bool unchanged = closed_.empty() && moved.empty() && k.offered.size() == tabs.size() &&
                               std::equal(k.offered.begin(), k.offered.end(), tabs.begin(), [](const Entry *e, const auto &t) {
                                   return e->url == t.url && e->title == t.title;
                               });
        if (unchanged) {
            k.taken.assign(tabs.size(), true);
            for (std::size_t i = 0; i < tabs.size(); ++i) {
                k.ids[i] = k.offered[i]->id;
                k.from[i] = k.offered[i];
            }
            continue;
        }
        // The tab active at the last poll and the one active now.
        WindowFocus focus;
        if (const auto last = activeIDs_.find(w->id); last != activeIDs_.end()) {
            // An active tab dragged to another window handed on as a closed one does: to the tab
            // after it, or the one before when it was the last.
            const auto was = std::find_if(prev.begin(), prev.end(), [&](const Entry &e) { return e.id == last->second; });
            std::size_t before = 0;
            for (auto it = prev.begin(); it != was; ++it) before += !claimed.contains(it->id);
            if (was != prev.end() && !k.offered.empty()) focus.activePlace = std::min(before, k.offered.size() - 1);
        }
        if (const auto active = std::find_if(tabs.begin(), tabs.end(), [&](const auto &t) { return t.index == w->currentTabIndex; });
            active != tabs.end())
            focus.activeTab = std::size_t(active - tabs.begin());
        std::vector<char> closedPlaces;
        if (!closed_.empty()) {
            closedPlaces.reserve(k.offered.size());
            for (const auto *e : k.offered) closedPlaces.push_back(closed_.contains(e->id) ? 1 : 0);
        }
        k.placeKeys.reserve(k.offered.size());
        k.placeAddresses.reserve(k.offered.size());
        for (const auto *e : k.offered) {
            k.placeKeys.push_back({e->url, e->title});
            k.placeAddresses.push_back(addressOf(*e));
        }
        k.tabKeys.reserve(tabs.size());
        for (const auto &t : tabs) k.tabKeys.push_back({t.url, t.title});
        k.changed = true;

        // A poll holds what a person did and what pages did by themselves: where a few actions
        // explain the change, they tell which tab is which.
        focus.closedPlaces = closedPlaces;
        if (!budget) budget.emplace(ActionReader::budgetFor(currentCount + previousCount));
        k.readings = reader_.read({k.placeKeys, k.tabKeys, k.placeAddresses, k.urlNumbers}, focus, *budget);
        if (!k.readings.empty()) continue;

        // Otherwise a line-up. A tab that lines up with its own page keeps that entry's id,
        // unless this system closed that tab: a twin of it may stand there now.
        k.lined = lineUpWindow({k.placeKeys, k.placeAddresses}, {k.tabKeys, k.urlNumbers});
        for (std::size_t e = 0; e < k.offered.size(); ++e) {
            const auto i = k.lined->tabOf[e];
            if (i && !k.ids[*i] && !closed_.contains(k.offered[e]->id)) k.take(*i, e);
        }
        // Nothing left to pair by address: what the line-up holds is no longer needed.
        if (std::find(k.taken.begin(), k.taken.end(), false) == k.taken.end() ||
            std::find(k.ids.begin(), k.ids.end(), std::nullopt) == k.ids.end())
            k.release(false);
    }
    readTogether(work, now, claimed);
    followAcrossWindows(work, claimed);

    std::vector<SafariWindow> result;
    std::unordered_map<std::int64_t, std::vector<Entry>> remembered;
    std::unordered_map<std::int64_t, QString> activeNow;
    for (auto &k : work) {
        const auto *w = &k.window;
        const auto &prev = k.prev;
        const auto &tabs = w->tabs;
        auto &ids = k.ids;
        auto &taken = k.taken;
        const auto &offered = k.offered;
        if (k.lined) {
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
                std::vector<std::uint32_t> rowAddresses;
                rowKeys.reserve(rows.size());
                rowAddresses.reserve(rows.size());
                for (const auto i : rows) {
                    rowKeys.push_back(k.tabKeys[i]);
                    rowAddresses.push_back(k.urlNumbers[i]);
                }
                std::vector<PageKey> columnKeys;
                std::vector<std::uint32_t> columnAddresses;
                columnKeys.reserve(columns.size());
                columnAddresses.reserve(columns.size());
                for (const auto e : columns) {
                    columnKeys.push_back(k.placeKeys[e]);
                    columnAddresses.push_back(k.placeAddresses[e]);
                }
                const auto matching = matchSamePages(rowKeys, columnKeys, rowAddresses, columnAddresses, [&](std::size_t r, std::size_t c) {
                    const auto e = columns[c];
                    const auto distance = positionDistance(k.lined->expected[e], 2 * std::int64_t(rows[r]));
                    return closed_.contains(offered[e]->id) ? addCosts(distance, kClosedCost) : distance;
                });
                for (std::size_t r = 0; r < rows.size(); ++r)
                    if (matching[r]) k.take(rows[r], columns[*matching[r]]);
            }
            k.release(false);
        }

        // A window that kept its number of tabs: a tab that navigated keeps the id of its place.
        if (!k.read && tabs.size() == prev.size() && std::find(ids.begin(), ids.end(), std::nullopt) != ids.end()) {
            std::unordered_map<std::int64_t, std::vector<std::size_t>> byIndex;
            for (std::size_t e = 0; e < offered.size(); ++e)
                if (!taken[e]) byIndex[offered[e]->index].push_back(e);
            for (std::size_t i = 0; i < tabs.size(); ++i) {
                if (ids[i]) continue;
                const auto found = byIndex.find(tabs[i].index);
                if (found == byIndex.end()) continue;
                for (const auto e : found->second)
                    if (!taken[e]) {
                        k.take(i, e);
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
            const auto *from = k.from[i];
            const QString &rawTitle = from && from->title == raw.title ? from->title : raw.title;
            entries.push_back({*ids[i], raw.url, rawTitle, raw.index, k.urlNumbers[i]});
            SafariTab tab;
            tab.id = *ids[i];
            tab.windowID = w->id;
            tab.index = raw.index;
            tab.title = displayTitle(rawTitle, raw.url);
            auto &info = now.infos[k.urlNumbers[i]];
            if (info.count == 1) info.id = tab.id;
            tab.url = parsedURL(info, raw.url);
            tab.isActive = raw.index == w->currentTabIndex;
            if (tab.isActive) activeNow[w->id] = tab.id;
            window.tabs.push_back(std::move(tab));
        }
        result.push_back(std::move(window));
        k.release(true);
    }

    if (!closed_.empty()) {
        TextMap<int> stillShown;
        for (const auto &window : result)
            for (const auto &tab : window.tabs)
                if (const int left = valueOr(closed_, tab.id) - 1; left > 0) stillShown.emplace(tab.id, left);
        closed_ = std::move(stillShown);
    }
    previous_ = std::move(remembered);
    activeIDs_ = std::move(activeNow);
    lastURLs_ = std::move(now);
    return result;
}

}  // namespace ondrake
