#pragma once

#include "Ondrake/Model/Identifiers.h"
#include "Store/TabDropPlan.h"

#include <QPointF>
#include <QRectF>

#include <optional>
#include <utility>
#include <vector>

namespace ondrake {

// The frames of the group sections in the list's content coordinates, top to bottom, so that
// the first frame holding a point is always the same one.
using GroupFrames = std::vector<std::pair<TabGroupID, QRectF>>;

// The first group whose frame holds `location`, skipping `except`.
inline std::optional<TabGroupID> groupAt(const GroupFrames &frames, QPointF location,
                                         std::optional<TabGroupID> except = std::nullopt) {
    for (const auto &[id, frame] : frames)
        if (id != except && frame.contains(location)) return id;
    return std::nullopt;
}

// What one finished row drag asks for; at most one thing per drag.
struct TabDragOutcome {
    enum class Kind { none, move, pin, unpin, assignGroup };

    Kind kind = Kind::none;
    std::optional<TabDropPlan> plan;  // move
    std::optional<TabGroupID> group;  // assignGroup: the group, or none to leave the tab's group

    static TabDragOutcome none() { return {}; }
    static TabDragOutcome move(TabDropPlan plan) { return {Kind::move, std::move(plan), std::nullopt}; }
    static TabDragOutcome pin() { return {Kind::pin, std::nullopt, std::nullopt}; }
    static TabDragOutcome unpin() { return {Kind::unpin, std::nullopt, std::nullopt}; }
    static TabDragOutcome assignGroup(std::optional<TabGroupID> group) { return {Kind::assignGroup, std::nullopt, group}; }

    bool operator==(const TabDragOutcome &) const = default;
};

// A drag translation in whole rows and whole nesting steps; halves round away from zero.
int rowsMoved(double translationHeight);
int levelsMoved(double translationWidth);

}  // namespace ondrake
