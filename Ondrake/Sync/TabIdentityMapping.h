#pragma once

#include "Ondrake/Model/Identifiers.h"
#include "Platform/SharedTextMap.h"

#include <QString>

#include <optional>

namespace ondrake {

// Session tab id ("tab-" and a serial) to the persistent identity of the tab's record. A poll
// that binds nothing new hands the last poll's mapping on without copying it.
using TabIdentityMapping = SharedTextMap<OndrakeID>;

// The identity the mapping gives a session id; none without an id or an entry.
inline std::optional<OndrakeID> identityOf(const TabIdentityMapping &mapping, const std::optional<QString> &sessionTabID) {
    if (!sessionTabID) return std::nullopt;
    const auto *found = mapping.find(*sessionTabID);
    return found ? std::optional<OndrakeID>(*found) : std::nullopt;
}

}  // namespace ondrake
