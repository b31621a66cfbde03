#include "SidebarKeyEvents.h"

namespace ondrake {

QString keyCharacters(const QKeyEvent &event) {
    const int key = event.key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return QString(QChar(u'a' + (key - Qt::Key_A)));
    switch (key) {
    case Qt::Key_Escape: return QString(QChar(0x1B));
    case Qt::Key_Backspace: return QString(QChar(0x7F));
    case Qt::Key_Delete: return QString(QChar(0xF728));
    default: break;
    }
    // With Control held the text is a control character; the key itself is what counts.
    if (key >= 0x20 && key < 0x7F) return QString(QChar(key)).toLower();
    return event.text();
}

std::optional<SidebarKeyCommand> sidebarKeyCommand(const QKeyEvent &event, bool hasSelection) {
    return sidebarKeyCommand(keyCharacters(event), SidebarModifiers::fromQt(event.modifiers()), hasSelection);
}

SidebarKeyRoute routeSidebarKey(const QString &characters, SidebarModifiers modifiers, bool isRepeat,
                                const SidebarKeyboard &keyboard) {
    if (!keyboard.panelIsKey || keyboard.popupIsOpen || keyboard.searchFieldIsFocused) return {};
    const auto command = sidebarKeyCommand(characters, modifiers, keyboard.hasSelection);
    if (!command) return {};
    if (isRepeat) return {.command = std::nullopt, .swallowed = true};
    return {.command = command, .swallowed = true};
}

SidebarKeyRoute routeSidebarKey(const QKeyEvent &press, bool isRepeat, const SidebarKeyboard &keyboard) {
    return routeSidebarKey(keyCharacters(press), SidebarModifiers::fromQt(press.modifiers()), isRepeat, keyboard);
}

}  // namespace ondrake
