#pragma once

#include "Sync/ResolvedTab.h"
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

// One poll with persistent identities: tabs window by window in the browser's order.
struct ResolvedSnapshot {
    std::vector<ResolvedTab> tabs;
    std::vector<std::int64_t> windowIDs;  // every window, those without tabs included
    bool browserWasRunning = true;

    bool operator==(const ResolvedSnapshot &) const = default;
};

// Tabs without an entry in the mapping are left out; a parent without one counts as none.
// A poller passes its cache, and the snapshot is written over the tabs it recycled there.
ResolvedSnapshot makeResolvedSnapshot(const std::vector<SafariWindow> &windows, const TabIdentityMapping &mapping,
                                      ResolvedTabCache *cache = nullptr);

}  // namespace ondrake
