#pragma once

#include "Accessibility.h"
#include "Platform/TextHash.h"

#include <QRectF>

#include <optional>
#include <vector>

namespace ondrake {

// The height of the first screen, which turns the interface's top-left positions into screen
// coordinates; none when there is no screen.
using FirstScreenHeight = std::optional<double>;

// Reads the attributes of one interface element. Every failure of the interface, a missing value
// or a value of another type reads as absent.
struct AccessibilityElement {
    AXUIElement element;

    std::optional<QString> string(const QString &attribute) const;
    std::optional<bool> boolean(const QString &attribute) const;
    std::optional<AccessibilityElement> elementValue(const QString &attribute) const;
    std::vector<AccessibilityElement> children() const;  // "AXChildren"; empty when unreadable
    TextSet attributeNames() const;
    // From "AXPosition" and "AXSize", in screen coordinates with the origin at the bottom left.
    std::optional<QRectF> frame(FirstScreenHeight firstScreenHeight) const;

    // Flips a top-left-origin rectangle about the first screen's height. Without a screen the
    // rectangle's own bottom edge stands in for it, so the result lies at y 0.
    static QRectF cocoaFrame(const QRectF &topLeftFrame, FirstScreenHeight firstScreenHeight);

    bool operator==(const AccessibilityElement &) const = default;
};

}  // namespace ondrake
