#pragma once

#include "Settings/SettingsPanelGeometry.h"

#include <functional>

namespace ondrake {

class SidebarWindowController;
class UserDefaults;

// The settings window's view of the sidebar panel's rail width and corner radius. `controller`
// answers the panel's window controller at the moment of asking, or none while there is no panel:
// the getters then answer the defaults (64 and 20) and the setters do nothing.
SettingsPanelGeometry settingsPanelBinding(std::function<SidebarWindowController *()> controller,
                                           UserDefaults &defaults);

}  // namespace ondrake
