#pragma once

#include "SidebarPanel.h"

#include "SimulatedWindowServer.h"

#include <QMetaObject>

namespace ondrake {

class QtWindowList;

// Whatever keeps a window list told where the panel stands; it lets go when destroyed.
class PanelWindowListLink {
public:
    virtual ~PanelWindowListLink() = default;
};

// Keeps the panel's window in the simulated window server, where the window tracker looks for it:
// its bounds and visibility, and its place in the stack when it is brought up.
class SidebarPanelMirror final : public PanelWindowListLink {
public:
    SidebarPanelMirror(SidebarPanel &panel, SimulatedWindowServer &server, const Screens &screens,
                       std::int64_t ownProcessID);
    ~SidebarPanelMirror() override;
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

// On a desktop whose stacking order cannot be read (Wayland), Qt's window list learns of the
// panel's raises, which take no focus and so would go unseen: without this the panel would always
// seem to lie behind the browser's window. Where the X server's order is read, this changes nothing.
class QtPanelRaiseNotes final : public PanelWindowListLink {
public:
    QtPanelRaiseNotes(SidebarPanel &panel, QtWindowList &list);
    ~QtPanelRaiseNotes() override;
    QtPanelRaiseNotes(const QtPanelRaiseNotes &) = delete;
    QtPanelRaiseNotes &operator=(const QtPanelRaiseNotes &) = delete;

private:
    QMetaObject::Connection front_;
};

}  // namespace ondrake
