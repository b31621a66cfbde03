#pragma once

#include "Store/SidebarModifiers.h"

#include <QString>

#include <optional>

namespace ondrake {

// The sidebar's own keyboard shortcuts.
enum class SidebarKeyCommand { selectAll, clearSelection, closeSelection, reopenLastClosed, focusSearch, toggleCompactMode };

// Nothing when the key press is not the sidebar's and must go on to the normal key handling.
// `characters` ignore the modifiers.
std::optional<SidebarKeyCommand> sidebarKeyCommand(const QString &characters, SidebarModifiers modifiers,
                                                   bool hasSelection);

}  // namespace ondrake
