#include "Ondrake/Sidebar/GroupPrompt.h"

#include <QCoreApplication>

namespace ondrake {

QString GroupPrompt::id() const {
    if (const auto *rename = std::get_if<Rename>(&kind)) return QStringLiteral("rename-") + rename->group.id.toString();
    return QStringLiteral("create");
}

QString GroupPrompt::message() const {
    if (const auto *rename = std::get_if<Rename>(&kind))
        return QStringLiteral("Renaming “") + rename->group.name + QStringLiteral("”.");
    const auto count = std::get<Create>(kind).tabs.size();
    if (count == 0) return QStringLiteral("Ondrake’s own grouping — separate from Safari, and kept even after it quits.");
    const QString what = count == 1 ? QStringLiteral("this tab")
                                    : QStringLiteral("these ") + QString::number(count) + QStringLiteral(" tabs");
    return QStringLiteral("Files ") + what + QStringLiteral(" into the new group.");
}

QString GroupPrompt::confirmTitle() const {
    return isRename() ? QCoreApplication::translate("SidebarView", "Rename")
                      : QCoreApplication::translate("SidebarView", "Create");
}

QString GroupPrompt::initialName() const {
    if (const auto *rename = std::get_if<Rename>(&kind)) return rename->group.name;
    return {};
}

bool GroupPrompt::canConfirm(const QString &name) { return !name.trimmed().isEmpty(); }

}  // namespace ondrake
