#pragma once

#include "Ondrake/Sidebar/TabRowActions.h"

#include <QString>
#include <QStringList>

namespace ondrake::test {

// Row actions that write down every call as "name(tab[, argument])".
struct RowRecorder {
    QStringList calls;

    TabRowActions actions() {
        TabRowActions a;
        const auto one = [this](const char *name) {
            return [this, name](const SafariTab &tab) { calls << QStringLiteral("%1(%2)").arg(QLatin1String(name), tab.id); };
        };
        a.click = [this](const SafariTab &tab, SidebarModifiers modifiers) {
            calls << QStringLiteral("click(%1, %2)").arg(tab.id).arg(modifiers.rawValue);
        };
        a.close = one("close");
        a.toggleSubtree = one("toggleSubtree");
        a.toggleImportant = one("toggleImportant");
        a.toggleLocked = one("toggleLocked");
        a.toggleReadLater = one("toggleReadLater");
        a.addToReadLaterAndClose = one("addToReadLaterAndClose");
        a.markRead = one("markRead");
        a.togglePinned = one("togglePinned");
        a.toggleMuted = one("toggleMuted");
        a.muteSubtree = [this](const SafariTab &tab, bool mute) {
            calls << QStringLiteral("muteSubtree(%1, %2)").arg(tab.id, mute ? QStringLiteral("true") : QStringLiteral("false"));
        };
        a.assignGroup = [this](const SafariTab &tab, std::optional<TabGroupID> group) {
            calls << QStringLiteral("assignGroup(%1, %2)").arg(tab.id, group ? group->toString() : QStringLiteral("none"));
        };
        a.requestNewGroup = one("requestNewGroup");
        return a;
    }
};

}  // namespace ondrake::test
