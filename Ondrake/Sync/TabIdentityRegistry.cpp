#include "TabIdentityRegistry.h"

#include "Browser/BrowserURL.h"

#include <QHash>
#include <QSet>

#include <cstdlib>
#include <unordered_set>

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
    Candidates(const std::vector<TabIdentityRegistry::Entry> &entries, const QSet<QString> &claimed) {
        for (const auto &e : entries) {
            if (claimed.contains(e.id)) continue;
            const int position = int(entries_.size());
            entries_.push_back(&e);
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
            const auto distance = std::llabs(e.index - tab.index);
            if (best < 0 || distance < bestDistance) {
                best = p;
                bestDistance = distance;
            }
        }
        return take(best);
    }

    const TabIdentityRegistry::Entry *takeAtIndex(std::int64_t index) {
        const auto it = byIndex_.find(index);
        if (it == byIndex_.end()) return nullptr;
        for (const int p : it->second)
            if (!taken_[std::size_t(p)]) return take(p);
        return nullptr;
    }

private:
    const TabIdentityRegistry::Entry *take(int position) {
        if (position < 0) return nullptr;
        taken_[std::size_t(position)] = true;
        return entries_[std::size_t(position)];
    }

    std::vector<const TabIdentityRegistry::Entry *> entries_;
    std::vector<bool> taken_;
    QHash<QString, std::vector<int>> byURL_;
    std::unordered_map<std::int64_t, std::vector<int>> byIndex_;
};

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
    // 1. The first window with a given id wins; windows without tabs count for nothing.
    std::vector<const SafariSnapshot::RawWindow *> selected;
    std::unordered_set<std::int64_t> taken;
    for (const auto &w : windows) {
        if (w.tabs.empty() || !taken.insert(w.id).second) continue;
        selected.push_back(&w);
    }

    // 2-4. A URL that one tab had before and one tab has now, in another window, is that tab
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
    static const std::vector<Entry> none;
    for (const auto *w : selected) {
        const auto prevIt = previous_.find(w->id);
        const auto &prev = prevIt == previous_.end() ? none : prevIt->second;
        Candidates candidates(prev, claimed);

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
        for (std::size_t i = 0; i < w->tabs.size(); ++i)
            if (!ids[i]) take(i, candidates.takeNearest(w->tabs[i], true));
        for (std::size_t i = 0; i < w->tabs.size(); ++i)
            if (!ids[i]) take(i, candidates.takeNearest(w->tabs[i], false));
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

    // 6.
    previous_ = std::move(remembered);
    lastURLs_ = std::move(now);
    return result;
}

}  // namespace ondrake
