#pragma once

#include "Overlay/AccessibilityElement.h"

#include <QRectF>

#include <optional>

namespace ondrake {

// Safari's focused window as Accessibility describes it.
struct SafariFocusedWindow {
    // Windows this small or smaller are panels and sheets, not a browser window to cover.
    static constexpr double minimumSide = 200;

    AccessibilityElement element;
    QRectF frame;  // screen coordinates, origin at the bottom left
    bool isMinimized = false;
    bool isFullScreen = false;

    // From Safari's application element: its "AXFocusedWindow", when that has a readable frame
    // larger than the minimum on both sides.
    static std::optional<SafariFocusedWindow> read(const AccessibilityElement &application,
                                                   FirstScreenHeight firstScreenHeight);

    bool operator==(const SafariFocusedWindow &) const = default;
};

// What the observer reports: Safari's focused window now, or that it has none (or is not running).
class SafariChromeChange {
public:
    static SafariChromeChange replaced(SafariFocusedWindow window) { return SafariChromeChange(std::move(window)); }
    static SafariChromeChange gone() { return SafariChromeChange(std::nullopt); }

    bool isGone() const { return !window_; }
    const std::optional<SafariFocusedWindow> &window() const { return window_; }

    bool operator==(const SafariChromeChange &) const = default;

private:
    explicit SafariChromeChange(std::optional<SafariFocusedWindow> window) : window_(std::move(window)) {}
    std::optional<SafariFocusedWindow> window_;
};

}  // namespace ondrake
