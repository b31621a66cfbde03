#include "TabStore.h"

#include "SafeAddress.h"

#include <algorithm>
#include <unordered_set>

namespace ondrake {

bool TabStore::exportSortOrder(const TabRecord &a, const TabRecord &b) {
    constexpr auto none = std::numeric_limits<qint64>::max();
    if (const auto ai = a.index.value_or(none), bi = b.index.value_or(none); ai != bi) return ai < bi;
    if (a.createdAt != b.createdAt) return a.createdAt < b.createdAt;
    return a.id < b.id;  // the same order as their text
}

std::vector<TabGroup> TabStore::exportedGroups(const std::vector<TabRecord> &records) const {
    std::unordered_set<TabGroupID> named;
    for (const auto &record : records)
        if (record.groupID) named.insert(*record.groupID);
    std::vector<TabGroup> groups;
    for (auto &group : sortedGroups())
        if (named.contains(group.id)) groups.push_back(std::move(group));
    return groups;
}

OndrakeArchive TabStore::exportArchive(const ExportScope &scope) const {
    using Kind = ExportScope::Kind;
    std::vector<TabRecord> records;
    std::unordered_set<OndrakeID> exported;
    const auto addTab = [&](const SafariTab &tab) {
        const auto *id = ondrakeIDs_.find(tab.id);
        if (!id) return;
        const auto found = book_.records.find(*id);
        if (found != book_.records.end() && exported.insert(*id).second) records.push_back(found->second);
    };
    switch (scope.kind) {
    case Kind::group:
    case Kind::allData:
        for (const auto &[id, record] : book_.records)
            if (scope.kind == Kind::allData || record.groupID == scope.groupID) records.push_back(record);
        std::sort(records.begin(), records.end(), exportSortOrder);
        break;
    case Kind::selectedTabs:
        for (const auto &tab : selectedTabs()) addTab(tab);
        break;
    case Kind::currentWindow:
        if (!windows_.empty()) {
            const auto front = std::find_if(windows_.begin(), windows_.end(), [](const SafariWindow &w) { return w.isFrontmost; });
            for (const auto &tab : (front == windows_.end() ? windows_.front() : *front).tabs) addTab(tab);
        }
        break;
    }

    OndrakeArchive archive;
    switch (scope.kind) {
    case Kind::group:
        for (auto &group : sortedGroups())
            if (group.id == scope.groupID) archive.groups.push_back(std::move(group));
        break;
    case Kind::allData: archive.groups = sortedGroups(); break;
    case Kind::selectedTabs:
    case Kind::currentWindow: archive.groups = exportedGroups(records); break;
    }
    std::stable_sort(archive.groups.begin(), archive.groups.end(),
                     [](const TabGroup &a, const TabGroup &b) { return a.sortIndex < b.sortIndex; });
    archive.settings = settings_;
    if (scope.kind == Kind::allData) archive.featureOverrides = flags_->overrides();
    archive.exportedAt = scheduler_.wallNow();
    archive.tabs.reserve(records.size());
    std::unordered_set<OndrakeID> ids;
    for (const auto &record : records) {
        archive.tabs.push_back(OndrakeArchive::Tab::fromRecord(record, qint64(archive.tabs.size())));
        ids.insert(record.id);
    }
    return archive.restricted(ids);
}

QCoro::Task<> TabStore::importArchive(OndrakeArchive archive, OndrakeArchive::ImportMode mode) {
    const auto groups = sortedGroups();
    const qint64 firstSortIndex = groups.empty() ? 0 : groups.back().sortIndex + 1;
    const auto now = scheduler_.wallNow();
    auto imported = archive.importedRecords(mode, firstSortIndex, now, now);
    updateBook([&](TabRecordBook &book) { book.merge(imported.records, imported.groups); });
    if (imported.settings) setSettings(*imported.settings);
    if (imported.featureOverrides) flags_->replaceOverrides(*imported.featureOverrides);

    // An archive is a file from anywhere. A tab without an address is not opened either, but it
    // is no danger to speak of.
    std::vector<TabRecord> toOpen;
    qsizetype unsafe = 0;
    for (auto &record : imported.recordsToOpen) {
        if (!record.url) continue;
        if (isSafeToOpen(*record.url)) toOpen.push_back(std::move(record));
        else ++unsafe;
    }
    const auto count = imported.records.size();
    const QString unsafeNote = unsafeAddressNote(unsafe);
    if (toOpen.empty()) {
        announce(count == 0 ? QStringLiteral("Nothing to import") : QStringLiteral("Imported %1 tab(s)").arg(count) + unsafeNote);
        co_return;
    }

    const bool keepsPlaces = mode.kind == OndrakeArchive::ImportMode::Kind::restoreCompleteStructure;
    ClosedTabBatch batch{.id = QUuid::createUuid(), .tabs = {}, .closedAt = now};
    for (const auto &record : toOpen)
        batch.tabs.push_back(ClosedTab{
            .id = record.id,
            .url = record.url,
            .title = record.title,
            .faviconHost = record.faviconHost,
            .parentID = keepsPlaces ? record.parentID : std::nullopt,
            .groupID = record.groupID,
            .windowID = std::nullopt,
            .index = keepsPlaces ? record.index : std::nullopt,
            .closedAt = record.closedAt.value_or(now),
        });
    const auto front = std::find_if(windows_.begin(), windows_.end(), [](const SafariWindow &w) { return w.isFrontmost; });
    const auto window = front == windows_.end() ? std::nullopt : std::optional<std::int64_t>(front->safariID);

    const auto commands = commands_;
    const auto alive = lifetime();
    auto result = co_await commands->reopen(std::move(batch), window);
    if (alive.expired()) co_return;
    if (result.outcome.kind == CommandOutcome::Kind::applied || result.outcome.kind == CommandOutcome::Kind::appliedLocally) {
        addPendingRestores(result.restores);
        announce(QStringLiteral("Imported and opened %1 tab(s)").arg(toOpen.size()) + unsafeNote);
    } else {
        announce(QStringLiteral("Imported %1 tab(s); Safari couldn’t open them").arg(count) + unsafeNote);
    }
    co_await requestRefresh();
}

}  // namespace ondrake
