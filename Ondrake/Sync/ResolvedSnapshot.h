#pragma once

#include "Sync/ResolvedTabCache.h"
#include "Sync/TabIdentityMapping.h"

#include "Browser/SafariTab.h"
#include "Ondrake/Model/Identifiers.h"

#include <QHash>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <optional>
#include <vector>

namespace ondrake {

// One browser tab after identity resolution.
struct ResolvedTab {
    OndrakeID ondrakeID;
    QString sessionTabID;
    std::int64_t windowID = 0;
    std::int64_t index = 0;
    QString title;
    std::optional<QString> url;  // absolute text
    bool isActive = false;
    std::optional<OndrakeID> parentOndrakeID;

    bool operator==(const ResolvedTab &) const = default;
};

// One poll with persistent identities: tabs window by window in the browser's order.
struct ResolvedSnapshot {
    std::vector<ResolvedTab> tabs;
    std::vector<std::int64_t> windowIDs;  // every window, those without tabs included
    bool browserWasRunning = true;

    bool operator==(const ResolvedSnapshot &) const = default;
};

// Tabs without an entry in the mapping are left out; a parent without one counts as none.
// A poller passes its cache.
ResolvedSnapshot makeResolvedSnapshot(const std::vector<SafariWindow> &windows, const TabIdentityMapping &mapping,
                                      ResolvedTabCache *cache = nullptr);

}  // namespace ondrake
