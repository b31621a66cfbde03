#pragma once

#include <QColor>
#include <QString>

#include <algorithm>
#include <optional>

namespace ondrake {

// One section heading of the tab list as it is drawn: every part already decided for the full or
// the compact form, so the painter only places them.
struct SidebarHeading {
    QString symbol;               // leading symbol; empty for none
    double symbolRotation = 0;    // degrees, about the symbol's centre
    bool symbolIsBold = false;
    std::optional<QColor> dot;    // a group's colour
    QString title;                // empty when the form hides it
    double titleSize = 11;
    double minimumScaleFactor = 1;  // how far a title too long for its line may shrink before it is cut
    std::optional<QString> count;  // plain count after the title
    std::optional<QString> badge;  // count on a capsule (a collapsed window)
    double height = 22;
    double horizontalPadding = 8;
    bool centred = false;         // compact headings sit in the middle of the rail
    QString help;
    QString accessibilityLabel;
    QString accessibilityHint;

    // The title's size when its full-size width is `naturalWidth` and `available` is left for it.
    double fittedTitleSize(double naturalWidth, double available) const {
        if (naturalWidth <= available || naturalWidth <= 0) return titleSize;
        return titleSize * std::max(minimumScaleFactor, std::max(0.0, available) / naturalWidth);
    }

    bool operator==(const SidebarHeading &) const = default;
};

}  // namespace ondrake
