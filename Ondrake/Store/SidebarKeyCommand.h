#pragma once

#include "Store/SidebarModifiers.h"

#include <QKeySequence>
#include <QString>

#include <optional>

namespace ondrake {

// The sidebar's own keyboard shortcuts.
enum class SidebarKeyCommand { selectAll, clearSelection, closeSelection, reopenLastClosed, focusSearch, toggleCompactMode };

// Nothing when the key press is not the sidebar's and must go on to the normal key handling.
// `characters` ignore the modifiers.
std::optional<SidebarKeyCommand> sidebarKeyCommand(const QString &characters, SidebarModifiers modifiers,
                                                   bool hasSelection);

// The key that gives the command, for a caption that names it (of Delete and Backspace, Delete).
QKeySequence keySequence(SidebarKeyCommand command);
// A key as this desktop writes it in its menus: "Ctrl+Shift+C" here, never the symbols of another.
QString keyCaption(const QKeySequence &keys);

}  // namespace ondrake
