#pragma once

#include "SidebarEdgeBehavior.h"

#include "Screens.h"

#include <optional>
#include <vector>

namespace ondrake {

// Where the sidebar goes beside the browser's window, on which screen, and whether the window must
// make room: plain arithmetic over one moment's screens and frames, in screen coordinates.
struct SidebarGeometry {
    enum ZoomState { normal = 0, fillsVisibleFrame = 1, fullScreen = 2 };
    static constexpr double kZoomTolerance = 16;
    static constexpr double kMinimumHeight = 200;
    static constexpr double kNoScreenHeight = 800;

    std::vector<ScreenInfo> screens;  // in the system's order
    std::optional<ScreenInfo> mainScreen;
    QPointF mouseLocation;
    std::optional<QRectF> safariFrame;
    double width = 300;  // the width in force, compact or expanded
    SidebarEdgeBehavior edgeBehavior = SidebarEdgeBehavior::moveSafari;
    bool safariSaysZoomed = false;

    // The window stands over the whole screen, each edge within the tolerance of the screen's: a
    // window larger than the screen, or standing partly off it, is an ordinary window.
    static bool isFullScreen(const QRectF &window, const QRectF &screenFrame);
    // The screen under the mouse, else the main one, else the first.
    std::optional<ScreenInfo> fallbackScreen() const;
    // The screen holding the larger share of the browser's window; ties go to the earlier screen.
    std::optional<ScreenInfo> screenForSafari() const;
    ZoomState zoomState() const;
    // The browser's window reaches into the sidebar's strip, whatever the edge behaviour.
    bool overlapsSafari() const;
    // Never for a window in full screen.
    bool needsRoomFromSafari() const;
    QRectF sidebarFrame() const;
    // Where the browser's left edge goes after the sidebar's width changed from `oldWidth`.
    std::optional<double> safariMinXAfterWidthChange(double oldWidth) const;

private:
    bool reachesIntoStrip(const ScreenInfo &screen) const;
};

}  // namespace ondrake
