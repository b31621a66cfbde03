#pragma once

#include "Store/SidebarKeyCommand.h"

#include <QKeyEvent>

namespace ondrake {

// The characters a key produces without its modifiers, as the sidebar's key commands name them:
// letters in lower case, Escape as U+001B, Backspace as U+007F and forward Delete as U+F728.
QString keyCharacters(const QKeyEvent &event);

// The sidebar's command for a key press in its panel, if it has one.
std::optional<SidebarKeyCommand> sidebarKeyCommand(const QKeyEvent &event, bool hasSelection);

// Who has the keyboard when a key goes down, as far as the sidebar's key commands care.
struct SidebarKeyboard {
    bool panelIsKey = false;   // the sidebar's panel is the key window
    bool popupIsOpen = false;  // a menu, or another popup of the application's, has the keyboard
    bool searchFieldIsFocused = false;
    bool hasSelection = false;
};

// What the panel's key monitor does with one key press.
struct SidebarKeyRoute {
    std::optional<SidebarKeyCommand> command;  // to carry out
    bool swallowed = false;                    // the key goes no further
    bool operator==(const SidebarKeyRoute &) const = default;
};

// The sidebar's commands are the panel's keys: none while another window, an open popup or the
// search field has the keyboard, so that the key reaches them unchanged. A held key gives its
// command once, as a menu's key equivalent does: its repeats are swallowed and do nothing.
SidebarKeyRoute routeSidebarKey(const QString &characters, SidebarModifiers modifiers, bool isRepeat,
                                const SidebarKeyboard &keyboard);
SidebarKeyRoute routeSidebarKey(const QKeyEvent &press, bool isRepeat, const SidebarKeyboard &keyboard);

}  // namespace ondrake
