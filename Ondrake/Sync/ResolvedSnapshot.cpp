#include "ResolvedSnapshot.h"

#include "Browser/BrowserURL.h"

namespace ondrake {

ResolvedSnapshot makeResolvedSnapshot(const std::vector<SafariWindow> &windows, const TabIdentityMapping &mapping) {
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
                .url = tab.url ? std::optional<QString>(absoluteText(*tab.url)) : std::nullopt,
                .isActive = tab.isActive,
                .parentOndrakeID = parent,
            });
        }
    }
    snapshot.browserWasRunning = true;
    return snapshot;
}

}  // namespace ondrake
