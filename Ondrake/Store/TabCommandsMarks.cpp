#include "TabCommands.h"

#include "Store/WindowTabs.h"

#include "Browser/BrowserURL.h"

namespace ondrake {

namespace {
QString describe(const std::exception &error) { return QString::fromUtf8(error.what()); }

CommandOutcome noSuchRecord() { return CommandOutcome::refused(CommandOutcome::Refusal::noSuchRecord()); }
CommandOutcome nothingToDo() { return CommandOutcome::refused(CommandOutcome::Refusal::nothingToDo()); }
CommandOutcome featureDisabled(const FeatureFlag &flag) {
    return CommandOutcome::refused(CommandOutcome::Refusal::featureDisabled(flag.key));
}
}  // namespace

std::optional<SafariTab> TabCommands::liveTab(const OndrakeID &id) const {
    const auto store = records_.lock();
    if (!store) return std::nullopt;
    const auto it = store->book().records.find(id);
    if (it == store->book().records.end()) return std::nullopt;
    const TabRecord &record = it->second;
    if (!record.sessionTabID || !record.windowID || !record.index) return std::nullopt;
    return SafariTab{*record.sessionTabID, *record.windowID, *record.index, record.title,
                     record.url ? parseURL(*record.url) : std::nullopt, false, std::nullopt};
}

// MARK: Pinning

QCoro::Task<CommandOutcome> TabCommands::setPinned(bool pinned, std::vector<OndrakeID> ids) {
    const auto self = shared_from_this();
    std::vector<CommandOutcome> outcomes;
    outcomes.reserve(ids.size());
    std::vector<OndrakeID> marked;
    for (const auto &id : ids) {
        if (records_.expired()) break;
        if (!flags_.isEnabled(FeatureFlag::pinnedTabs())) {
            outcomes.push_back(featureDisabled(FeatureFlag::pinnedTabs()));
            continue;
        }
        {
            const auto store = records_.lock();
            if (!store || !store->book().records.contains(id)) {
                outcomes.push_back(noSuchRecord());
                continue;
            }
        }
        auto outcome = CommandOutcome::appliedLocally();
        if (const auto tab = liveTab(id); tab && adapter_.supports(BrowserCapabilities::pin)) {
            try {
                co_await adapter_.setPinned(pinned, *tab);
                outcome = CommandOutcome::applied();
            } catch (const std::exception &error) {
                logger_.debug("Native pin failed, keeping it local: %s", describe(error));
            }
        }
        marked.push_back(id);
        outcomes.push_back(outcome);
    }
    // One write for the whole list: a pin of thousands of tabs publishes once.
    if (const auto store = records_.lock(); store && !marked.empty())
        store->updateBook([&](TabRecordBook &book) {
            for (const auto &id : marked) book.setPinned(pinned, id);
        });
    co_return CommandOutcome::combined(outcomes);
}

// MARK: Muting

QCoro::Task<CommandOutcome> TabCommands::setMuted(bool muted, std::vector<OndrakeID> ids) {
    const auto self = shared_from_this();
    if (!adapter_.supports(BrowserCapabilities::mute)) co_return CommandOutcome::unavailable(BrowserCapabilities::mute);
    if (ids.empty()) co_return nothingToDo();
    std::vector<CommandOutcome> outcomes;
    outcomes.reserve(ids.size());
    std::vector<OndrakeID> done;
    for (const auto &id : ids) {
        const auto tab = liveTab(id);
        if (!tab) {
            outcomes.push_back(CommandOutcome::unavailable(BrowserCapabilities::mute));
            continue;
        }
        try {
            co_await adapter_.setMuted(muted, *tab);
        } catch (const std::exception &) {
            outcomes.push_back(CommandOutcome::unavailable(BrowserCapabilities::mute));
            continue;
        }
        done.push_back(id);
        outcomes.push_back(CommandOutcome::applied());
    }
    // One write for the whole list, as for pins: muting a long selection copies the book once.
    if (const auto store = records_.lock(); store && !done.empty())
        store->updateBook([&](TabRecordBook &book) {
            for (const auto &id : done)
                if (const auto it = book.records.find(id); it != book.records.end()) it->second.muted = muted;
        });
    co_return CommandOutcome::combined(outcomes);
}

QCoro::Task<CommandOutcome> TabCommands::muteSubtree(OndrakeID id, bool muted) {
    const auto self = shared_from_this();
    if (!adapter_.supports(BrowserCapabilities::mute)) co_return CommandOutcome::unavailable(BrowserCapabilities::mute);
    std::vector<OndrakeID> open;
    {
        const auto store = records_.lock();
        if (!store) co_return noSuchRecord();
        const auto &records = store->book().records;
        if (!records.contains(id)) co_return noSuchRecord();
        std::vector<OndrakeID> ids{id};
        const auto nested = descendantRecordIDs(id, records);
        ids.insert(ids.end(), nested.begin(), nested.end());
        for (const auto &candidate : ids)
            if (const auto it = records.find(candidate); it != records.end() && it->second.sessionTabID)
                open.push_back(candidate);
    }
    co_return co_await setMuted(muted, std::move(open));
}

// MARK: Locking

CommandOutcome TabCommands::setLocked(bool locked, const std::vector<OndrakeID> &ids) {
    if (ids.empty()) return nothingToDo();
    const auto store = records_.lock();
    std::vector<CommandOutcome> outcomes;
    outcomes.reserve(ids.size());
    for (const auto &id : ids)
        outcomes.push_back(store && store->book().records.contains(id) ? CommandOutcome::appliedLocally() : noSuchRecord());
    if (store)
        store->updateBook([&](TabRecordBook &book) {
            for (const auto &id : ids)
                if (const auto it = book.records.find(id); it != book.records.end()) it->second.locked = locked;
        });
    return CommandOutcome::combined(outcomes);
}

// MARK: Read later

QCoro::Task<CommandOutcome> TabCommands::toggleReadLater(bool readLater, OndrakeID id) {
    const auto self = shared_from_this();
    std::optional<TabRecord> before;
    {
        const auto store = records_.lock();
        if (store) before = store->book().record(id);
        if (!before) co_return noSuchRecord();
        store->updateBook([&](TabRecordBook &book) { book.setReadLater(readLater, id, scheduler_.wallNow()); });
    }
    const auto url = before->url ? parseURL(*before->url) : std::nullopt;
    if (!readLater || !url || !adapter_.supports(BrowserCapabilities::readingList))
        co_return CommandOutcome::appliedLocally();
    try {
        co_await adapter_.addReadingListItem(*url, before->title);
    } catch (const std::exception &) {
        logger_.debug("Reading list add failed; the local flag still stands");
        co_return CommandOutcome::appliedLocally();
    }
    co_return CommandOutcome::applied();
}

// MARK: Groups

std::optional<TabGroup> TabCommands::createGroup(const QString &name, const std::optional<QString> &colorName) {
    const auto store = records_.lock();
    if (!store || !flags_.isEnabled(FeatureFlag::tabGroups())) return std::nullopt;
    const auto sorted = store->book().sortedGroups();
    const TabGroup group{
        .id = TabGroupID(),
        .name = name,
        .colorName = colorName,
        .createdAt = scheduler_.wallNow(),
        .sortIndex = sorted.empty() ? 0 : sorted.back().sortIndex + 1,
        .isCollapsed = false,
    };
    store->updateBook([&](TabRecordBook &book) { book.groups[group.id] = group; });
    return group;
}

CommandOutcome TabCommands::editGroups(const TabGroupID &id, const GroupEdit &edit) {
    if (!flags_.isEnabled(FeatureFlag::tabGroups())) return featureDisabled(FeatureFlag::tabGroups());
    const auto store = records_.lock();
    if (!store || !store->book().groups.contains(id)) return noSuchRecord();
    store->updateBook([&](TabRecordBook &book) { edit(book, id); });
    return CommandOutcome::appliedLocally();
}

TabCommands::GroupEdit TabCommands::renameGroup(QString name) {
    return [name = std::move(name)](TabRecordBook &book, const TabGroupID &id) { book.renameGroup(id, name); };
}

TabCommands::GroupEdit TabCommands::setGroupColor(std::optional<QString> colorName) {
    return [colorName = std::move(colorName)](TabRecordBook &book, const TabGroupID &id) {
        book.setGroupColor(colorName, id);
    };
}

TabCommands::GroupEdit TabCommands::setGroupCollapsed(bool collapsed) {
    return [collapsed](TabRecordBook &book, const TabGroupID &id) { book.setGroupCollapsed(collapsed, id); };
}

TabCommands::GroupEdit TabCommands::deleteGroup() {
    return [](TabRecordBook &book, const TabGroupID &id) { book.deleteGroup(id); };
}

CommandOutcome TabCommands::reorderGroups(const std::vector<TabGroupID> &order) {
    if (!flags_.isEnabled(FeatureFlag::tabGroups())) return featureDisabled(FeatureFlag::tabGroups());
    const auto store = records_.lock();
    if (!store) return noSuchRecord();
    if (order.empty()) return nothingToDo();
    store->updateBook([&](TabRecordBook &book) { book.reorderGroups(order); });
    return CommandOutcome::appliedLocally();
}

CommandOutcome TabCommands::assignGroup(const std::vector<OndrakeID> &ids, const std::optional<TabGroupID> &groupID) {
    if (!flags_.isEnabled(FeatureFlag::tabGroups())) return featureDisabled(FeatureFlag::tabGroups());
    const auto store = records_.lock();
    if (!store) return noSuchRecord();
    if (ids.empty()) return nothingToDo();
    if (groupID && !store->book().groups.contains(*groupID)) return noSuchRecord();
    store->updateBook([&](TabRecordBook &book) { book.assignGroup(groupID, ids); });
    return CommandOutcome::appliedLocally();
}

}  // namespace ondrake
