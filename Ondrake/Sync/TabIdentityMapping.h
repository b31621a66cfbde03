#pragma once

#include "Ondrake/Model/Identifiers.h"

#include <QHash>
#include <QString>

#include <optional>

namespace ondrake {

// Session tab id ("tab-" and a serial) to the persistent identity of the tab's record.
using TabIdentityMapping = QHash<QString, OndrakeID>;

// The identity the mapping gives a session id; none without an id or an entry.
inline std::optional<OndrakeID> identityOf(const TabIdentityMapping &mapping, const std::optional<QString> &sessionTabID) {
    if (!sessionTabID) return std::nullopt;
    const auto found = mapping.constFind(*sessionTabID);
    return found == mapping.cend() ? std::nullopt : std::optional<OndrakeID>(*found);
}

}  // namespace ondrake
