#pragma once

#include "Store/SidebarKeyCommand.h"

#include <QKeyEvent>

namespace ondrake {

// The characters a key produces without its modifiers, as the sidebar's key commands name them:
// letters in lower case, Escape as U+001B, Backspace as U+007F and forward Delete as U+F728.
QString keyCharacters(const QKeyEvent &event);

// The sidebar's command for a key press in its panel, if it has one.
std::optional<SidebarKeyCommand> sidebarKeyCommand(const QKeyEvent &event, bool hasSelection);

}  // namespace ondrake
