#include "SidebarPanelMirror.h"

#include "Qt/QtWindowList.h"

#include <QWindow>

namespace ondrake {

SidebarPanelMirror::SidebarPanelMirror(SidebarPanel &panel, SimulatedWindowServer &server, const Screens &screens,
                                       std::int64_t ownProcessID)
    : panel_(panel), server_(server), screens_(screens), number_(panel.windowNumber()) {
    WindowInfo info;
    info.number = number_;
    info.layer = 0;
    info.ownerProcessID = ownProcessID;
    server_.addWindow(info);
    server_.orderBack(number_);
    placementChanged();
    placement_ = QObject::connect(&panel, &SidebarPanel::placementChanged, [this] { placementChanged(); });
    front_ = QObject::connect(&panel, &SidebarPanel::orderedFront, [this] { orderedFront(); });
}

SidebarPanelMirror::~SidebarPanelMirror() {
    QObject::disconnect(placement_);
    QObject::disconnect(front_);
    server_.removeWindow(number_);
}

void SidebarPanelMirror::placementChanged() {
    server_.setBounds(number_, flipped(panel_.frame(), screens_.firstScreenHeight()));
    server_.setOnScreen(number_, panel_.isVisible());
}

void SidebarPanelMirror::orderedFront() {
    // Below the normal level the panel sits under every normal window.
    if (panel_.level() < SidebarPanel::kNormalLevel)
        server_.orderBack(number_);
    else
        server_.orderFront(number_);
}

QtPanelRaiseNotes::QtPanelRaiseNotes(SidebarPanel &panel, QtWindowList &list) {
    front_ = QObject::connect(&panel, &SidebarPanel::orderedFront, [&panel, &list] {
        if (panel.level() >= SidebarPanel::kNormalLevel && panel.windowHandle()) list.noteRaised(panel.windowHandle());
    });
}

QtPanelRaiseNotes::~QtPanelRaiseNotes() { QObject::disconnect(front_); }

}  // namespace ondrake
