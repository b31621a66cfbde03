#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace ondrake::test {

// What a tab of a randomised run shows.
struct Shows {
    QString title;
    QString url;
    bool operator==(const Shows &) const = default;
};

inline std::size_t qHash(const Shows &shows, std::size_t seed) { return ::qHash(shows.url, seed) ^ ::qHash(shows.title, 0); }

// One change a person makes to a window in the browser, of the kinds its tab list (with the
// active tab) tells apart from every other change: no tab of a closed block could as well be
// the one beside it, opened tabs are seen loading first, identical tabs retitle together, a
// block the browser moves begins and ends with pages shown once, and so do the tabs it passes.
struct BrowserChange {
    enum class Kind { close, open, move, retitle, closeBesideActive, activate, moveBlock };
    Kind kind = Kind::close;
    std::size_t at = 0;     // the first tab closed, opened, moved, activated, or one of those retitled
    std::size_t count = 1;  // tabs closed or moved
    std::size_t to = 0;     // where a moved tab or block goes, in the list without it
    std::vector<Shows> opened;
    QString title;  // the new title of a retitled group

    std::string name() const {
        switch (kind) {
        case Kind::close: return count > 1 ? "block closed" : "closed";
        case Kind::open: return opened.size() > 1 ? "block opened" : "opened";
        case Kind::move: return "moved by the browser";
        case Kind::retitle: return "identical tabs retitled together";
        case Kind::closeBesideActive: return "twin beside the active tab closed in the background";
        case Kind::activate: return "another tab activated";
        case Kind::moveBlock: return "block moved by the browser";
        }
        return {};
    }

    // Applies the change to a list kept alongside the browser's (truths, tabs): `made` gives the
    // element for an opened tab, `retitled` changes one element's title.
    template<typename T, typename Made, typename Retitled>
    void apply(std::vector<T> &list, std::size_t &active, const std::vector<Shows> &shown, Made made, Retitled retitled) const {
        const auto pos = [](std::size_t i) { return std::ptrdiff_t(i); };
        switch (kind) {
        case Kind::close:
        case Kind::closeBesideActive:
            list.erase(list.begin() + pos(at), list.begin() + pos(at + count));
            // The tab after a closed active one takes its place, else the one before.
            if (active >= at + count) active -= count;
            else if (active >= at) active = std::min(at, list.size() - 1);
            break;
        case Kind::open:
            for (std::size_t k = 0; k < opened.size(); ++k) list.insert(list.begin() + pos(at + k), made(opened[k]));
            // The browser activates what it opens, the first of a block.
            active = at;
            break;
        case Kind::move: {
            auto moving = std::move(list[at]);
            list.erase(list.begin() + pos(at));
            list.insert(list.begin() + pos(to), std::move(moving));
            if (active == at) active = to;
            else {
                if (active > at) --active;
                if (active >= to) ++active;
            }
            break;
        }
        case Kind::retitle:
            for (std::size_t i = 0; i < shown.size(); ++i)
                if (shown[i] == shown[at]) retitled(list[i], title);
            break;
        case Kind::activate: active = at; break;
        case Kind::moveBlock: {
            std::vector<T> block(std::make_move_iterator(list.begin() + pos(at)), std::make_move_iterator(list.begin() + pos(at + count)));
            list.erase(list.begin() + pos(at), list.begin() + pos(at + count));
            list.insert(list.begin() + pos(to), std::make_move_iterator(block.begin()), std::make_move_iterator(block.end()));
            // The active tab goes where its tab goes.
            if (active >= at && active < at + count) active = to + (active - at);
            else {
                if (active > at) active -= count;
                if (active >= to) active += count;
            }
            break;
        }
        }
    }
};

// Tabs seen loading at the last poll (no title yet) show their page's title now, one of
// `pages` or "New" for a new address; answers whether any was loading.
template<typename Tab>
bool finishLoading(std::vector<Tab> &tabs, const std::vector<Shows> &pages) {
    bool loading = false;
    for (auto &tab : tabs)
        if (tab.title.isEmpty()) {
            const auto page = std::find_if(pages.begin(), pages.end(), [&](const Shows &p) { return p.url == tab.url; });
            tab.title = page != pages.end() ? page->title : QStringLiteral("New");
            loading = true;
        }
    return loading;
}

// How many ways `part` can be found in order within `whole`, up to two: one exactly when the
// earliest finding is the latest.
inline int embeddings(const std::vector<Shows> &part, const std::vector<Shows> &whole) {
    std::vector<std::size_t> earliest;
    for (std::size_t i = 0; i < whole.size() && earliest.size() < part.size(); ++i)
        if (whole[i] == part[earliest.size()]) earliest.push_back(i);
    if (earliest.size() < part.size()) return 0;
    auto k = part.size();
    for (auto i = whole.size(); i-- > 0 && k > 0;)
        if (whole[i] == part[k - 1] && earliest[--k] != i) return 2;
    return 1;
}

// How many tabs show each address, and each page.
inline QHash<QString, int> addressCounts(const std::vector<Shows> &tabs) {
    QHash<QString, int> counts;
    for (const auto &t : tabs) ++counts[t.url];
    return counts;
}
inline QHash<Shows, int> pageCounts(const std::vector<Shows> &tabs) {
    QHash<Shows, int> counts;
    for (const auto &t : tabs) ++counts[t];
    return counts;
}

// Picks changes the tab list tells apart, with what a poll's changes must not mix. `pages` are
// the addresses and titles the window's tabs take; a retitled group takes a title never seen.
class BrowserChanges {
public:
    struct Limits {
        std::size_t fewest = 6;
        std::size_t most = 40;
        std::size_t largestBlock = 200;  // tabs opened or closed at once, now and then
        std::size_t largestMovedBlock = 0;  // tabs the browser moves at once; none moved when 0
    };
    // What the changes of one poll to one window may not mix.
    struct Window {
        bool activeKept = true;    // the active tab is the one the last poll saw
        bool closed = false;       // a tab was closed since
        bool opened = false;       // a tab was opened since
        bool moved = false;        // a tab was moved since
        bool closedMany = false;   // more than one tab was closed since
        bool retitled = false;     // identical tabs were retitled since
        bool movedBlock = false;   // the browser moved a block since: nothing else opens or moves
        bool activated = false;    // another tab was activated since
        QSet<QString> uniqueURLs;  // addresses shown once at the last poll
    };

    BrowserChanges(std::mt19937 &random, Limits limits) : random_(random), limits_(limits) {}

    std::size_t pick(std::size_t n) { return std::size_t(random_() % n); }

    // A new poll: what each window shows is what the next changes start from.
    void polled(std::vector<Window> &windows, const std::vector<std::vector<Shows>> &shown) {
        for (std::size_t w = 0; w < windows.size(); ++w) {
            windows[w] = Window{};
            const auto counts = addressCounts(shown[w]);
            for (auto it = counts.cbegin(); it != counts.cend(); ++it)
                if (it.value() == 1) windows[w].uniqueURLs.insert(it.key());
        }
        closedURLs_.clear();
        openedURLs_.clear();
    }

    std::optional<BrowserChange> next(const std::vector<Shows> &tabs, std::size_t active, Window &window,
                                      const std::vector<Shows> &pages) {
        auto change = pickChange(tabs, active, window, pages);
        if (!change || !keepsApart(*change, tabs)) return std::nullopt;
        using Kind = BrowserChange::Kind;
        if (change->kind == Kind::close || change->kind == Kind::closeBesideActive) window.closed = true;
        if (change->kind == Kind::open) window.opened = true;
        if (change->kind == Kind::move || change->kind == Kind::moveBlock) window.moved = true;
        if (change->kind == Kind::moveBlock) window.movedBlock = true;
        if (change->kind == Kind::close && change->count > 1) window.closedMany = true;
        if (change->kind == Kind::retitle) window.retitled = true;
        if (change->kind == Kind::activate) window.activated = true;
        if (change->kind == Kind::close || change->kind == Kind::open || change->kind == Kind::activate) window.activeKept = false;
        return change;
    }

private:
    std::optional<BrowserChange> pickChange(const std::vector<Shows> &tabs, std::size_t active, const Window &window,
                                            const std::vector<Shows> &pages) {
        const auto n = tabs.size();
        BrowserChange change;
        if (limits_.largestMovedBlock > 0 && pick(6) == 0) return pickBlockMove(tabs, window);
        switch (pick(13)) {
        case 0:
        case 1:
        case 2: {
            // One close a poll: two could together look like two others, a close with an open
            // like a tab that navigated, and a move could take away what told the closed tab.
            if (n <= limits_.fewest || window.closed || window.opened || window.moved) return std::nullopt;
            change.kind = BrowserChange::Kind::close;
            change.at = pick(n);
            // Now and then a block; a window grown past its most by one closes back to it.
            const auto block = n > limits_.most ? n - limits_.most : 1 + (pick(8) == 0 ? pick(limits_.largestBlock) : pick(2));
            change.count = std::min(n - limits_.fewest, block);
            change.count = std::max<std::size_t>(1, std::min(change.count, n - change.at));
            // Most of a group closed while the group retitled: the one left could as well be a
            // tab of another title of its address that took the new title.
            if (change.count > 1 && window.retitled) return std::nullopt;
            const auto end = change.at + change.count;
            // Other tabs whose closing would leave the same list could be the ones closed.
            std::vector<Shows> left(tabs.begin(), tabs.begin() + std::ptrdiff_t(change.at));
            left.insert(left.end(), tabs.begin() + std::ptrdiff_t(end), tabs.end());
            if (embeddings(left, tabs) != 1) return std::nullopt;
            // A closed active tab hands the browser's focus on: to a twin of it, it would say the
            // twin stayed.
            if (active >= change.at && active < end) {
                const auto next = end < n ? end : change.at - 1;
                if (next < n && tabs[next] == tabs[active]) return std::nullopt;
            }
            return change;
        }
        case 3:
        case 4:
        case 5: {
            if (n >= limits_.most || window.closed || window.movedBlock) return std::nullopt;
            change.kind = BrowserChange::Kind::open;
            change.at = pick(n + 1);
            const auto count = pick(8) == 0 ? 1 + pick(limits_.largestBlock) : 1;
            for (std::size_t k = 0; k < count; ++k) {
                // Now a page the window shows, now one of a folder of new addresses; seen loading.
                const auto url = pick(3) == 0 ? QStringLiteral("https://new%1.example/").arg(newPages_++)
                                              : pages[pick(pages.size())].url;
                change.opened.push_back({QString(), url});
            }
            return change;
        }
        case 6:
        case 7: {
            // A tab alone with its address now and at the last poll: what else moved is clear.
            std::vector<std::size_t> alone;
            const auto counts = addressCounts(tabs);
            for (std::size_t i = 0; i < n; ++i)
                if (window.uniqueURLs.contains(tabs[i].url) && counts.value(tabs[i].url) == 1) alone.push_back(i);
            // One a poll, and not with another tab activated: two moves could give the list one
            // block dragged would, and a twin dragged alone and made active the list of a move and
            // an activation.
            if (alone.empty() || window.closed || window.moved || window.activated) return std::nullopt;
            change.kind = BrowserChange::Kind::move;
            change.at = alone[pick(alone.size())];
            change.to = pick(n);
            return change;
        }
        case 8:
        case 9: {
            std::vector<std::size_t> twins;
            const auto counts = pageCounts(tabs);
            for (std::size_t i = 0; i < n; ++i)
                if (!tabs[i].title.isEmpty() && counts.value(tabs[i]) > 1) twins.push_back(i);
            if (twins.empty() || window.closedMany) return std::nullopt;
            change.kind = BrowserChange::Kind::retitle;
            change.at = twins[pick(twins.size())];
            change.title = QStringLiteral("%1 (%2)").arg(tabs[change.at].title.section(QLatin1Char(' '), 0, 0)).arg(++retitles_);
            return change;
        }
        case 10:
        case 11: {
            if (!window.activeKept || window.closed || window.opened || window.moved || n <= limits_.fewest)
                return std::nullopt;
            // The twin right beside the active tab, with nothing identical beyond it. Not the one
            // before the last tab: closing the active last tab would activate that twin and leave
            // the same list.
            const auto side = pick(2) == 0 ? active - 1 : active + 1;
            if (side >= n || tabs[side] != tabs[active] || (side + 1 == active && active + 1 == n)) return std::nullopt;
            const auto beyond = side < active ? side - 1 : side + 1;
            if (beyond < n && tabs[beyond] == tabs[side]) return std::nullopt;
            change.kind = BrowserChange::Kind::closeBesideActive;
            change.at = side;
            return change;
        }
        default:
            if (window.closed || window.moved) return std::nullopt;
            change.kind = BrowserChange::Kind::activate;
            change.at = pick(n);
            return change;
        }
    }

    // A block the browser moves, alone in its window's poll: it begins and ends with pages shown
    // once in the window, and so do the tabs it moves past, so that identical tabs inside either
    // stand between tabs that tell where they went.
    std::optional<BrowserChange> pickBlockMove(const std::vector<Shows> &tabs, const Window &window) {
        const auto n = tabs.size();
        if (window.closed || window.opened || window.moved || window.retitled) return std::nullopt;
        const auto counts = pageCounts(tabs);
        std::vector<std::size_t> once;
        for (std::size_t i = 0; i < n; ++i)
            if (counts.value(tabs[i]) == 1 && !tabs[i].title.isEmpty()) once.push_back(i);
        if (once.size() < 3) return std::nullopt;
        const auto isOnce = [&](std::size_t i) { return std::binary_search(once.begin(), once.end(), i); };
        // The block: from a page shown once to another, at most the largest block on.
        const auto first = pick(once.size());
        auto end = first;
        while (end < once.size() && once[end] < once[first] + limits_.largestMovedBlock) ++end;
        const auto last = first + pick(end - first);
        BrowserChange change;
        change.kind = BrowserChange::Kind::moveBlock;
        change.at = once[first];
        change.count = once[last] - once[first] + 1;
        // The tabs it passes: from the tab beside it to another page shown once.
        if (pick(2) == 0) {
            if (change.at == 0 || !isOnce(change.at - 1) || first == 0) return std::nullopt;
            change.to = once[pick(first)];
        } else {
            const auto after = change.at + change.count;
            if (after >= n || !isOnce(after) || last + 1 >= once.size()) return std::nullopt;
            change.to = once[last + 1 + pick(once.size() - last - 1)] + 1 - change.count;
        }
        return change;
    }

    // No tab opens with the address of one that closed in the same poll: the browser's list
    // would show it as that tab, reloaded or dragged across.
    bool keepsApart(const BrowserChange &change, const std::vector<Shows> &tabs) {
        QSet<QString> closing;
        if (change.kind == BrowserChange::Kind::close || change.kind == BrowserChange::Kind::closeBesideActive)
            for (std::size_t i = change.at; i < change.at + change.count; ++i) closing.insert(tabs[i].url);
        QSet<QString> opening;
        for (const auto &t : change.opened) opening.insert(t.url);
        if (closing.intersects(openedURLs_) || opening.intersects(closedURLs_)) return false;
        closedURLs_.unite(closing);
        openedURLs_.unite(opening);
        return true;
    }

    std::mt19937 &random_;
    Limits limits_;
    int newPages_ = 0;
    int retitles_ = 0;
    QSet<QString> closedURLs_;
    QSet<QString> openedURLs_;
};

}  // namespace ondrake::test
