#pragma once

#include "Sync/TabIdentityMapping.h"

#include "Browser/SafariTab.h"
#include "Browser/SafariTabMove.h"
#include "Log.h"
#include "Ondrake/Model/Identifiers.h"

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace ondrake {

// A reopened tab still to be put back where it was: right after its former parent and that
// parent's nested tabs, or else at its former position.
struct PendingRestore {
    // Polls in which the tab may still be missing before the wish is given up.
    static constexpr int kAttempts = 8;

    OndrakeID ondrakeID;
    std::optional<OndrakeID> parentID;
    std::optional<std::int64_t> targetIndex;  // 1-based
    int attemptsRemaining = kAttempts;

    struct NotVisibleYet {
        bool operator==(const NotVisibleYet &) const = default;
    };
    struct InPlace {
        bool operator==(const InPlace &) const = default;
    };
    using Plan = std::variant<NotVisibleYet, InPlace, SafariTabMove>;

    // What to do with the tab given the windows and identity mapping of the last poll. Pure.
    Plan plan(const std::vector<SafariWindow> &windows, const TabIdentityMapping &mapping) const;

    bool operator==(const PendingRestore &) const = default;
};

// Runs once per published poll over the waiting restores, in order: drops those in place or
// planned as a move, counts down those not seen yet and gives up on them at the end. Answers
// the moves to hand to the browser in that order; each is planned on the windows as the moves
// before it leave them.
std::vector<SafariTabMove> advancePendingRestores(std::vector<PendingRestore> &restores,
                                                  const std::vector<SafariWindow> &windows,
                                                  const TabIdentityMapping &mapping, const Logger &logger);

}  // namespace ondrake
