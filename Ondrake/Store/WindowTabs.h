#pragma once

#include "Browser/SafariTab.h"
#include "Ondrake/Model/TabRecord.h"

#include <map>
#include <vector>

namespace ondrake {

// Every tab of the windows, window by window, each in tab order.
std::vector<SafariTab> allTabs(const std::vector<SafariWindow> &windows);
std::vector<SafariTab> allTabs(std::vector<SafariWindow> &&windows);
// The window's tabs nested under the tab at any depth (at most 64 levels), in tab order.
std::vector<SafariTab> subtreeTabs(const QString &sessionTabID, const SafariWindow &window);
// The records nested under the record through their parent links, level by level and within a
// level in identity order; at most 64 levels, cycles harmless.
std::vector<OndrakeID> descendantRecordIDs(const OndrakeID &id, const std::map<OndrakeID, TabRecord> &records);

}  // namespace ondrake
