#include "Overlay/SafariChromeCandidate.h"

namespace ondrake {

std::optional<SafariChromeCandidate> SafariChromeCandidate::make(const AccessibilityElement &element,
                                                                 const std::optional<QString> &role,
                                                                 FirstScreenHeight firstScreenHeight) {
    const auto frame = element.frame(firstScreenHeight);
    if (!frame || !(frame->height() >= minimumHeight && frame->height() <= maximumHeight && frame->width() > 0))
        return std::nullopt;
    const QString subroleKey = QStringLiteral("AXSubrole");
    SafariChromeCandidate candidate{
        .role = role,
        .subrole = element.string(subroleKey),
        .identifier = element.string(QStringLiteral("AXIdentifier")),
        .label = element.string(QStringLiteral("AXDescription")),
        .frame = *frame,
        .hasTabsAttribute = element.attributeNames().contains(QStringLiteral("AXTabs")),
        .childSubroles = {},
    };
    const auto children = element.children();
    const auto count = std::min<std::size_t>(children.size(), subroleChildren);
    for (std::size_t i = 0; i < count; ++i)
        if (const auto subrole = children[i].string(subroleKey)) candidate.childSubroles.insert(*subrole);
    return candidate;
}

}  // namespace ondrake
