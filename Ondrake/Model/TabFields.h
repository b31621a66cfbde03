#pragma once

#include <QString>

// The members that a tab record, an exported tab and a closed tab have in common, in their key
// order, so that each of the three codes, hashes and copies them by the same rules. Each list is
// visited as visit(key, member of every value given), see MemberCoding.h.
namespace ondrake::tabfields {

// What the tab showed and where it belonged: shared by all three.
template<typename Visit, typename... Tab>
void visitPlace(Visit &&visit, Tab &&...tab) {
    visit(QStringLiteral("url"), tab.url...);
    visit(QStringLiteral("title"), tab.title...);
    visit(QStringLiteral("faviconHost"), tab.faviconHost...);
    visit(QStringLiteral("parentID"), tab.parentID...);
    visit(QStringLiteral("groupID"), tab.groupID...);
}

// When the tab was made, last active and closed: records and exported tabs.
template<typename Visit, typename... Tab>
void visitLifetime(Visit &&visit, Tab &&...tab) {
    visit(QStringLiteral("createdAt"), tab.createdAt...);
    visit(QStringLiteral("lastActivatedAt"), tab.lastActivatedAt...);
    visit(QStringLiteral("closedAt"), tab.closedAt...);
}

// The user's marks, dates and metadata: records and exported tabs.
template<typename Visit, typename... Tab>
void visitUserState(Visit &&visit, Tab &&...tab) {
    visit(QStringLiteral("pinned"), tab.pinned...);
    visit(QStringLiteral("locked"), tab.locked...);
    visit(QStringLiteral("muted"), tab.muted...);
    visit(QStringLiteral("important"), tab.important...);
    visit(QStringLiteral("readLater"), tab.readLater...);
    visit(QStringLiteral("addedToReadLaterAt"), tab.addedToReadLaterAt...);
    visit(QStringLiteral("readAt"), tab.readAt...);
    visit(QStringLiteral("snoozeUntil"), tab.snoozeUntil...);
    visit(QStringLiteral("reminderAt"), tab.reminderAt...);
    visit(QStringLiteral("metadata"), tab.metadata...);
}

}  // namespace ondrake::tabfields
