#pragma once

#include "Screens.h"
#include "SimulatedSafari.h"
#include "WindowCascade.h"

#include <QRectF>

namespace ondrake {

// The small browser session the app shows when no real browser is at hand: three windows of
// ordinary browsing, the same on every start, so an organisation made on top of it survives a
// restart.
struct DemoSession {
    // Window ids of the session, front to back.
    static constexpr std::int64_t kWindowIDs[] = {1001, 1002, 1003};
    // What a link followed from the first window's current page opens in a new tab.
    static const SimulatedSafari::Tab &linkedTab();

    // The screen the session is laid out on where none is known, in the browser's coordinates
    // (origin top left).
    static constexpr QRectF kDesignedScreen{0, 0, 1440, 900};
    // The windows in a cascade, so that a person sees each one's title bar and tab strip and can
    // click it forward: room at the left for the sidebar at its default width, above for the
    // desktop's title bar, and steps down past a title bar and a tab strip. The steps across leave
    // a title bar room for a click beside its buttons.
    static constexpr WindowCascade kCascade{.room = {300, 28, 8, 8},
                                            .step = {160, 64},
                                            .preferredSize = {1040, 835},
                                            .minimumSize = {int(SimulatedSafari::kMinimumWindowWidth), 200}};

    // As laid out on the designed screen.
    static std::vector<SimulatedSafari::Window> windows();
    // Inside `area` (the browser's coordinates), front to back, the first window lowest and
    // furthest right; see `kCascade` for what gives way on a small area.
    static std::vector<SimulatedSafari::Window> windows(const QRectF &area);
    // The available area of the screen the application opens on, in the browser's coordinates;
    // the designed screen when there is none.
    static QRectF openingArea(const Screens &screens);
    // Replaces the browser's windows with the session's, fitted to the screen it opens on.
    static void seed(SimulatedSafari &safari, const Screens &screens);
    // The page in the session's first window's current tab opens a link in a new background tab
    // right after it, as the browser does, whichever window is in front by then: a window manager
    // may already have brought up another. Run after the app has seen the seeded session once, so
    // the tab arrives as one opened from that page. False when that window is gone or the tab is
    // already there.
    static bool openLinkFromPage(SimulatedSafari &safari);
};

}  // namespace ondrake
