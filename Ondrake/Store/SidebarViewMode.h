#pragma once

namespace ondrake {

// How the sidebar arranges the tabs.
enum class SidebarViewMode { tree, age, domain, group };

}  // namespace ondrake
