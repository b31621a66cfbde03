#include "ResolvedSnapshot.h"

#include "Browser/BrowserURL.h"

namespace ondrake {

ResolvedSnapshot makeResolvedSnapshot(const std::vector<SafariWindow> &windows, const TabIdentityMapping &mapping,
                                      ResolvedTabCache *cache) {
    ResolvedSnapshot snapshot;
    snapshot.windowIDs.reserve(windows.size());
    std::size_t tabCount = 0;
    for (const auto &window : windows) tabCount += window.tabs.size();
    snapshot.tabs.reserve(tabCount);
    if (cache) cache->beginPoll(mapping, tabCount);

    for (const auto &window : windows) {
        snapshot.windowIDs.push_back(window.safariID);
        for (const auto &tab : window.tabs) {
            std::optional<OndrakeID> id;
            std::optional<OndrakeID> parent;
            std::optional<QString> url;
            if (cache) {
                const auto &resolved = cache->resolve(tab);
                id = resolved.id;
                parent = resolved.parentID;
                if (tab.url) url = resolved.urlText;
            } else {
                id = identityOf(mapping, tab.id);
                parent = identityOf(mapping, tab.parentID);
                if (tab.url) url = absoluteText(*tab.url);
            }
            if (!id) continue;
            snapshot.tabs.push_back(ResolvedTab{
                .ondrakeID = *id,
                .sessionTabID = tab.id,
                .windowID = tab.windowID,
                .index = tab.index,
                .title = tab.title,
                .url = std::move(url),
                .isActive = tab.isActive,
                .parentOndrakeID = parent,
            });
        }
    }
    if (cache) cache->finishPoll();
    snapshot.browserWasRunning = true;
    return snapshot;
}

}  // namespace ondrake
