#include "Overlay/SafariFocusedWindow.h"

namespace ondrake {

std::optional<SafariFocusedWindow> SafariFocusedWindow::read(const AccessibilityElement &application,
                                                             FirstScreenHeight firstScreenHeight) {
    auto window = application.elementValue(QStringLiteral("AXFocusedWindow"));
    if (!window) return std::nullopt;
    const auto frame = window->frame(firstScreenHeight);
    if (!frame || !(frame->width() > minimumSide && frame->height() > minimumSide)) return std::nullopt;
    const bool minimized = window->boolean(QStringLiteral("AXMinimized")).value_or(false);
    const bool fullScreen = window->boolean(QStringLiteral("AXFullScreen")).value_or(false);
    return SafariFocusedWindow{std::move(*window), *frame, minimized, fullScreen};
}

}  // namespace ondrake
