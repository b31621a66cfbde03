#include "SidebarKeyCommand.h"

namespace ondrake {

std::optional<SidebarKeyCommand> sidebarKeyCommand(const QString &characters, SidebarModifiers modifiers,
                                                   bool hasSelection) {
    if (modifiers.contains(SidebarModifiers::option()) || modifiers.contains(SidebarModifiers::control()))
        return std::nullopt;
    const bool command = modifiers.contains(SidebarModifiers::command());
    const bool shift = modifiers.contains(SidebarModifiers::shift());
    const QString key = characters.toLower();

    if (command && !shift) {
        if (key == QLatin1String("a")) return SidebarKeyCommand::selectAll;
        if (key == QLatin1String("f")) return SidebarKeyCommand::focusSearch;
    }
    if (command && shift) {
        if (key == QLatin1String("t")) return SidebarKeyCommand::reopenLastClosed;
        if (key == QLatin1String("c")) return SidebarKeyCommand::toggleCompactMode;
    }
    if (!command && !shift && key == QString(QChar(0x1B)))
        return hasSelection ? std::optional(SidebarKeyCommand::clearSelection) : std::nullopt;
    const bool isDelete = key == QString(QChar(0x7F)) || key == QString(QChar(0xF728));
    if (!shift && isDelete) return hasSelection ? std::optional(SidebarKeyCommand::closeSelection) : std::nullopt;
    return std::nullopt;
}

QKeySequence keySequence(SidebarKeyCommand command) {
    // The command key is Control here, as sidebarKeyCommand reads it.
    switch (command) {
    case SidebarKeyCommand::selectAll: return QKeySequence(Qt::CTRL | Qt::Key_A);
    case SidebarKeyCommand::clearSelection: return QKeySequence(Qt::Key_Escape);
    case SidebarKeyCommand::closeSelection: return QKeySequence(Qt::Key_Delete);
    case SidebarKeyCommand::reopenLastClosed: return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T);
    case SidebarKeyCommand::focusSearch: return QKeySequence(Qt::CTRL | Qt::Key_F);
    case SidebarKeyCommand::toggleCompactMode: return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
    }
    return {};
}

QString keyCaption(const QKeySequence &keys) { return keys.toString(QKeySequence::NativeText); }

}  // namespace ondrake
