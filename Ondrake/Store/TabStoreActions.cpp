#include "TabStore.h"

#include <algorithm>

namespace ondrake {

namespace {
bool isFeatureRefusal(const CommandOutcome &outcome) {
    return outcome.kind == CommandOutcome::Kind::refused &&
           outcome.refusal.kind == CommandOutcome::Refusal::Kind::featureDisabled;
}

const QString kGroupsOff = QStringLiteral("Tab Groups is switched off");
const QString kCannotMute = QStringLiteral("Safari can’t mute tabs");
}  // namespace

QCoro::Task<> TabStore::moveTabs(TabDropPlan plan) {
    if (!plan.changesAnything) co_return;
    const auto alive = lifetime();
    // The new parent's row showed open where the tab was dropped; a fold left on it from
    // children that have since gone would hide the tab.
    if (plan.move.newParentID && collapsedTabIDs_.contains(*plan.move.newParentID)) {
        auto ids = collapsedTabIDs_;
        ids.erase(*plan.move.newParentID);
        setCollapsedTabIDs(std::move(ids));
    }
    if (adapter_.supports(BrowserCapabilities::move)) {
        try {
            for (auto &move : plan.leadingMoves) {
                co_await adapter_.moveTabs(std::move(move));
                if (alive.expired()) co_return;
            }
            co_await adapter_.moveTabs(plan.move);
        } catch (const SafariControllerError &error) {
            if (alive.expired()) co_return;
            if (error.kind() == SafariControllerError::Kind::tabNotFound)
                logger_.debug("Reorder abandoned: the window changed mid-drag");
            else
                reportAdapterError(error);
        } catch (const std::exception &error) {
            if (alive.expired()) co_return;
            reportError(error);
        }
    }
    if (alive.expired()) co_return;
    // The rows show the browser's order again, moved or not.
    co_await requestRefresh();
}

// MARK: Marks

void TabStore::toggleImportant(const SafariTab &clicked) {
    const TabRecord *own = record(clicked.id);
    const bool important = !(own && own->important);
    const auto ids = recordIDs(targets(clicked));
    updateBook([&](TabRecordBook &book) {
        for (const auto &id : ids)
            if (const auto it = book.records.find(id); it != book.records.end()) it->second.important = important;
    });
}

void TabStore::toggleLocked(const SafariTab &clicked) {
    const TabRecord *own = record(clicked.id);
    const bool locked = !(own && own->locked);
    const auto tabs = targets(clicked);
    if (commands_->setLocked(locked, recordIDs(tabs)).kind == CommandOutcome::Kind::appliedLocally)
        announce(lockSummary(locked, int(tabs.size())));
}

void TabStore::markRead(const SafariTab &clicked) {
    const auto ids = recordIDs(targets(clicked));
    if (ids.empty()) return;
    updateBook([&](TabRecordBook &book) {
        for (const auto &id : ids) book.markRead(id, scheduler_.wallNow());
    });
}

QCoro::Task<> TabStore::togglePinned(bool pinned, std::vector<SafariTab> tabs) {
    const auto ids = recordIDs(tabs);
    if (ids.empty()) co_return;
    const auto commands = commands_;
    const auto alive = lifetime();
    const auto outcome = co_await commands->setPinned(pinned, ids);
    if (alive.expired()) co_return;
    if (isFeatureRefusal(outcome)) announce(QStringLiteral("Pinning is switched off"));
    else if (outcome.kind == CommandOutcome::Kind::appliedLocally)
        announce(pinned ? QStringLiteral("Pinned in Sidebar") : QStringLiteral("Unpinned"));
}

QCoro::Task<> TabStore::toggleMuted(bool muted, std::vector<SafariTab> tabs) {
    const auto commands = commands_;
    const auto alive = lifetime();
    const auto outcome = co_await commands->setMuted(muted, recordIDs(tabs));
    if (alive.expired()) co_return;
    if (outcome.kind == CommandOutcome::Kind::unavailable) announce(kCannotMute);
}

QCoro::Task<> TabStore::muteSubtree(bool muted, SafariTab tab) {
    const auto *found = ondrakeIDs_.find(tab.id);
    if (!found) co_return;
    const OndrakeID id = *found;
    const auto commands = commands_;
    const auto alive = lifetime();
    const auto outcome = co_await commands->muteSubtree(id, muted);
    if (alive.expired()) co_return;
    if (outcome.kind == CommandOutcome::Kind::unavailable) announce(kCannotMute);
}

// MARK: Groups

std::optional<TabGroup> TabStore::createGroup(const QString &name, const std::vector<SafariTab> &tabs) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        announce(QStringLiteral("A group needs a name"));
        return std::nullopt;
    }
    auto group = commands_->createGroup(trimmed, std::nullopt);
    if (!group) {
        announce(kGroupsOff);
        return std::nullopt;
    }
    if (!tabs.empty()) assignGroup(group->id, tabs);
    return group;
}

void TabStore::assignGroup(const std::optional<TabGroupID> &groupID, const std::vector<SafariTab> &tabs) {
    const auto ids = recordIDs(tabs);
    if (ids.empty()) return;
    if (isFeatureRefusal(commands_->assignGroup(ids, groupID))) announce(kGroupsOff);
}

void TabStore::renameGroup(const TabGroupID &id, const QString &name) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) return;
    commands_->editGroups(id, TabCommands::renameGroup(trimmed));
}

void TabStore::deleteGroup(const TabGroup &group) {
    // The caller may hand in the group the book holds, which the deletion destroys.
    const TabGroup deleted = group;
    // With the feature off the group stays, and saying it went would be wrong.
    if (isFeatureRefusal(commands_->editGroups(deleted.id, TabCommands::deleteGroup()))) {
        announce(kGroupsOff);
        return;
    }
    announce(QStringLiteral("Deleted “") + deleted.name + QStringLiteral("” — tabs kept"));
}

void TabStore::moveGroup(const TabGroupID &id, int step) {
    std::vector<TabGroupID> order;
    for (const auto &group : sortedGroups()) order.push_back(group.id);
    const auto found = std::find(order.begin(), order.end(), id);
    if (found == order.end()) return;
    const auto from = std::size_t(found - order.begin());
    const auto to = std::int64_t(from) + step;
    if (to < 0 || to >= std::int64_t(order.size())) return;
    std::swap(order[from], order[std::size_t(to)]);
    commands_->reorderGroups(order);
}

}  // namespace ondrake
