#include "ResolvedSnapshot.h"

#include "Browser/BrowserURL.h"

namespace ondrake {

namespace {
// One shared value, told without reading it.
bool sameShared(const QString &a, const QString &b) {
    return a.data_ptr().data() == b.data_ptr().data() && a.size() == b.size();
}

// Assignments that leave a field alone when it holds the value already: a tab written over what
// it was two polls ago mostly touches none of its texts.
template<typename T>
void overwrite(T &field, const T &value) {
    if (!(field == value)) field = value;
}
void overwrite(QString &field, const QString &value) {
    if (!sameShared(field, value)) field = value;
}
void overwrite(std::optional<QString> &field, const QString *value) {
    if (!value) field.reset();
    else if (field) overwrite(*field, *value);
    else field = *value;
}

// Puts the tab at `position` of the list, writing over a recycled one there.
void put(std::vector<ResolvedTab> &tabs, std::size_t position, const OndrakeID &id, const SafariTab &tab,
         const QString *urlText, const std::optional<OndrakeID> &parent) {
    if (position == tabs.size()) {
        tabs.push_back(ResolvedTab{
            .ondrakeID = id,
            .sessionTabID = tab.id,
            .windowID = tab.windowID,
            .index = tab.index,
            .title = tab.title,
            .url = urlText ? std::optional<QString>(*urlText) : std::nullopt,
            .isActive = tab.isActive,
            .parentOndrakeID = parent,
        });
        return;
    }
    auto &slot = tabs[position];
    overwrite(slot.ondrakeID, id);
    overwrite(slot.sessionTabID, tab.id);
    overwrite(slot.windowID, tab.windowID);
    overwrite(slot.index, tab.index);
    overwrite(slot.title, tab.title);
    overwrite(slot.url, urlText);
    overwrite(slot.isActive, tab.isActive);
    overwrite(slot.parentOndrakeID, parent);
}
}  // namespace

ResolvedSnapshot makeResolvedSnapshot(const std::vector<SafariWindow> &windows, const TabIdentityMapping &mapping,
                                      ResolvedTabCache *cache) {
    ResolvedSnapshot snapshot;
    snapshot.windowIDs.reserve(windows.size());
    std::size_t tabCount = 0;
    for (const auto &window : windows) tabCount += window.tabs.size();
    if (cache) {
        cache->beginPoll(mapping, tabCount);
        snapshot.tabs = cache->takeRecycled();
    }
    snapshot.tabs.reserve(tabCount);
    std::size_t written = 0;  // tabs of the snapshot so far; recycled ones past them wait to be written over

    for (const auto &window : windows) {
        snapshot.windowIDs.push_back(window.safariID);
        for (const auto &tab : window.tabs) {
            if (cache) {
                const auto &resolved = cache->resolve(tab);
                if (!resolved.id) continue;
                put(snapshot.tabs, written++, *resolved.id, tab, tab.url ? &resolved.urlText : nullptr, resolved.parentID);
                continue;
            }
            const auto id = identityOf(mapping, tab.id);
            if (!id) continue;
            const auto urlText = tab.url ? absoluteText(*tab.url) : QString();
            put(snapshot.tabs, written++, *id, tab, tab.url ? &urlText : nullptr, identityOf(mapping, tab.parentID));
        }
    }
    snapshot.tabs.erase(snapshot.tabs.begin() + std::ptrdiff_t(written), snapshot.tabs.end());
    if (cache) cache->finishPoll();
    snapshot.browserWasRunning = true;
    return snapshot;
}

}  // namespace ondrake
