#pragma once

#include "Sync/ResolvedSnapshot.h"
#include "Sync/TabEvent.h"

#include <vector>

namespace ondrake {

// Compares two polls and tells what happened in between, in a fixed order: windows opened, tabs
// created, changes of tabs present in both, deactivations, activations, tabs closed, windows
// closed. A tab is known by its persistent identity only. Pure.
class TabEventDiffer {
public:
    // A snapshot is expected to name each identity once; should one repeat, only its first tab
    // counts. Nothing at all when the browser was not running.
    std::vector<TabEvent> diff(const std::vector<ResolvedTab> &previousTabs,
                               const std::vector<std::int64_t> &previousWindowIDs,
                               const std::vector<ResolvedTab> &currentTabs,
                               const std::vector<std::int64_t> &currentWindowIDs, bool browserWasRunning) const;
};

// Equal as Unicode text: canonically equivalent spellings compare equal.
bool canonicallyEqual(const QString &a, const QString &b);
bool canonicallyEqual(const std::optional<QString> &a, const std::optional<QString> &b);

}  // namespace ondrake
