#pragma once

#include "Overlay/AccessibilityElement.h"
#include "Platform/TextHash.h"

#include <QRectF>
#include <QString>

#include <optional>

namespace ondrake {

// An element of Safari's window whose size could make it the tab row, with what scoring asks of it.
struct SafariChromeCandidate {
    static constexpr double minimumHeight = 16;
    static constexpr double maximumHeight = 80;
    static constexpr int subroleChildren = 3;

    std::optional<QString> role;
    std::optional<QString> subrole;
    std::optional<QString> identifier;
    std::optional<QString> label;  // the element's description
    QRectF frame;  // screen coordinates, origin at the bottom left
    bool hasTabsAttribute = false;
    TextSet childSubroles;  // of its first three children

    bool operator==(const SafariChromeCandidate &) const = default;

    // None unless the element's frame is readable, 16 to 80 points tall and wider than nothing.
    static std::optional<SafariChromeCandidate> make(const AccessibilityElement &element,
                                                     const std::optional<QString> &role,
                                                     FirstScreenHeight firstScreenHeight);
};

}  // namespace ondrake
