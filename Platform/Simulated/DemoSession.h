#pragma once

#include "SimulatedSafari.h"

namespace ondrake {

// The small browser session the app shows when no real browser is at hand: three windows of
// ordinary browsing, the same on every start, so an organisation made on top of it survives a
// restart.
struct DemoSession {
    // Window ids of the session, front to back.
    static constexpr std::int64_t kWindowIDs[] = {1001, 1002, 1003};
    // What a link followed from the first window's current page opens in a new tab.
    static const SimulatedSafari::Tab &linkedTab();

    static std::vector<SimulatedSafari::Window> windows();
    // Replaces the browser's windows with the session's.
    static void seed(SimulatedSafari &safari);
    // The page in the session's first window's current tab opens a link in a new background tab
    // right after it, as the browser does, whichever window is in front by then: a window manager
    // may already have brought up another. Run after the app has seen the seeded session once, so
    // the tab arrives as one opened from that page. False when that window is gone or the tab is
    // already there.
    static bool openLinkFromPage(SimulatedSafari &safari);
};

}  // namespace ondrake
