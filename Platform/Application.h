#pragma once

#include "Workspace.h"

#include <cstdint>

namespace ondrake {

// This process as an application of the desktop: its activation, its policy and its end.
// Main thread.
class Application {
public:
    virtual ~Application() = default;

    virtual std::int64_t processIdentifier() const = 0;
    // A menu-bar application: no Dock icon, no main menu.
    virtual void setAccessoryActivationPolicy() = 0;
    // Brings this application to the front, even while another one is active.
    virtual void activateIgnoringOtherApps() = 0;
    // Brings another running application to the front.
    virtual void activate(const RunningApplication &application) = 0;
    // Asks the application to end; its termination handler runs from the main loop.
    virtual void terminate() = 0;
};

}  // namespace ondrake
