#pragma once

#include <QColor>
#include <QString>

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
    std::optional<QString> count;  // plain count after the title
    std::optional<QString> badge;  // count on a capsule (a collapsed window)
    double height = 22;
    double horizontalPadding = 8;
    bool centred = false;         // compact headings sit in the middle of the rail
    QString help;
    QString accessibilityLabel;
    QString accessibilityHint;

    bool operator==(const SidebarHeading &) const = default;
};

}  // namespace ondrake
