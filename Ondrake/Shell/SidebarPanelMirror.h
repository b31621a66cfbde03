#pragma once

#include "SidebarPanel.h"

#include "SimulatedWindowServer.h"

#include <QMetaObject>

namespace ondrake {

// Keeps the panel's window in the simulated window server, where the window tracker looks for it:
// its bounds and visibility, and its place in the stack when it is brought up.
class SidebarPanelMirror {
public:
    SidebarPanelMirror(SidebarPanel &panel, SimulatedWindowServer &server, const Screens &screens,
                       std::int64_t ownProcessID);
    ~SidebarPanelMirror();
    SidebarPanelMirror(const SidebarPanelMirror &) = delete;
    SidebarPanelMirror &operator=(const SidebarPanelMirror &) = delete;

    std::int64_t windowNumber() const { return number_; }

private:
    void placementChanged();
    void orderedFront();

    SidebarPanel &panel_;
    SimulatedWindowServer &server_;
    const Screens &screens_;
    const std::int64_t number_;
    QMetaObject::Connection placement_, front_;
};

}  // namespace ondrake
