#include "ResolvedSnapshot.h"

#include "Browser/BrowserURL.h"

namespace ondrake {

QString URLTextCache::text(const QString &sessionTabID, const QUrl &url) {
    auto &entry = entries_[sessionTabID];
    if (entry.text.isNull() || entry.url != url) {
        entry.url = url;
        entry.text = absoluteText(url);
    }
    return entry.text;
}

void URLTextCache::trim(qsizetype tabCount) {
    if (entries_.size() > 2 * tabCount + 64) entries_.clear();
}

ResolvedSnapshot makeResolvedSnapshot(const std::vector<SafariWindow> &windows, const TabIdentityMapping &mapping,
                                      URLTextCache *cache) {
    ResolvedSnapshot snapshot;
    snapshot.windowIDs.reserve(windows.size());
    std::size_t tabCount = 0;
    for (const auto &window : windows) tabCount += window.tabs.size();
    snapshot.tabs.reserve(tabCount);

    for (const auto &window : windows) {
        snapshot.windowIDs.push_back(window.safariID);
        for (const auto &tab : window.tabs) {
            const auto entry = mapping.constFind(tab.id);
            if (entry == mapping.cend()) continue;
            std::optional<OndrakeID> parent;
            if (tab.parentID) {
                const auto parentEntry = mapping.constFind(*tab.parentID);
                if (parentEntry != mapping.cend()) parent = *parentEntry;
            }
            snapshot.tabs.push_back(ResolvedTab{
                .ondrakeID = *entry,
                .sessionTabID = tab.id,
                .windowID = tab.windowID,
                .index = tab.index,
                .title = tab.title,
                .url = !tab.url ? std::nullopt
                       : cache  ? std::optional<QString>(cache->text(tab.id, *tab.url))
                                : std::optional<QString>(absoluteText(*tab.url)),
                .isActive = tab.isActive,
                .parentOndrakeID = parent,
            });
        }
    }
    if (cache) cache->trim(qsizetype(tabCount));
    snapshot.browserWasRunning = true;
    return snapshot;
}

}  // namespace ondrake
