#include "SidebarGeometry.h"

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {
// Screen coordinates grow upwards, so QRectF's top() is the lower edge; these say what is meant.
double minY(const QRectF &r) { return r.y(); }
double maxY(const QRectF &r) { return r.y() + r.height(); }

// Screens meet edge to edge: a point on the shared edge belongs to the one it starts.
bool containsPoint(const QRectF &r, const QPointF &p) {
    return p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom();
}
}  // namespace

bool SidebarGeometry::isFullScreen(const QRectF &window, const QRectF &screenFrame) {
    const auto near = [](double a, double b) { return std::abs(a - b) <= kZoomTolerance; };
    return near(window.left(), screenFrame.left()) && near(window.right(), screenFrame.right())
           && near(minY(window), minY(screenFrame)) && near(maxY(window), maxY(screenFrame));
}

std::optional<ScreenInfo> SidebarGeometry::fallbackScreen() const {
    for (const auto &s : screens)
        if (containsPoint(s.frame, mouseLocation)) return s;
    if (mainScreen) return mainScreen;
    if (!screens.empty()) return screens.front();
    return std::nullopt;
}

std::optional<ScreenInfo> SidebarGeometry::screenForSafari() const {
    if (!safariFrame || screens.empty()) return fallbackScreen();
    std::size_t best = 0;
    double bestArea = intersectionArea(screens.front().frame, *safariFrame);
    for (std::size_t i = 1; i < screens.size(); ++i) {
        const double area = intersectionArea(screens[i].frame, *safariFrame);
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return screens[best];
}

SidebarGeometry::ZoomState SidebarGeometry::zoomState() const {
    if (!safariFrame) return normal;
    const auto screen = screenForSafari();
    if (!screen) return normal;
    const auto &f = *safariFrame;
    const auto &v = screen->visibleFrame;
    if (isFullScreen(f, screen->frame)) return fullScreen;
    if (std::abs(minY(f) - minY(v)) <= kZoomTolerance && std::abs(maxY(f) - maxY(v)) <= kZoomTolerance) {
        const bool fillsWidth = f.left() <= v.left() + kZoomTolerance && f.right() >= v.right() - kZoomTolerance;
        return (fillsWidth || safariSaysZoomed) ? fillsVisibleFrame : normal;
    }
    return normal;
}

bool SidebarGeometry::reachesIntoStrip(const ScreenInfo &screen) const {
    return safariFrame->left() < screen.visibleFrame.left() + width - 1;  // one point of slack
}

bool SidebarGeometry::overlapsSafari() const {
    if (!safariFrame) return false;
    const auto screen = screenForSafari();
    return screen && reachesIntoStrip(*screen);
}

bool SidebarGeometry::needsRoomFromSafari() const {
    // The sidebar leaves a window in full screen; moving it would only take it out of full screen.
    if (!safariFrame || zoomState() == fullScreen) return false;
    if (edgeBehavior == SidebarEdgeBehavior::slideOffScreen && zoomState() != fillsVisibleFrame) return false;
    const auto screen = screenForSafari();
    return screen && reachesIntoStrip(*screen);
}

QRectF SidebarGeometry::sidebarFrame() const {
    if (safariFrame) {
        if (const auto screen = screenForSafari()) {
            const auto &f = *safariFrame;
            const auto &v = screen->visibleFrame;
            double x = f.left() - width;
            if (edgeBehavior == SidebarEdgeBehavior::moveSafari || zoomState() == fillsVisibleFrame)
                x = std::max(x, v.left());
            const double top = std::min(maxY(f), maxY(v));
            const double bottom = std::max(minY(f), minY(v));
            const double height = std::max(top - bottom, kMinimumHeight);
            return {x, top - height, width, height};
        }
    }
    if (const auto screen = fallbackScreen()) {
        const auto &v = screen->visibleFrame;
        return {v.left(), v.top(), width, v.height()};
    }
    return {0, 0, width, kNoScreenHeight};
}

std::optional<double> SidebarGeometry::safariMinXAfterWidthChange(double oldWidth) const {
    if (!safariFrame) return std::nullopt;
    const auto screen = screenForSafari();
    if (!screen) return std::nullopt;
    return std::max(screen->visibleFrame.left() + width, safariFrame->left() + (width - oldWidth));
}

}  // namespace ondrake
