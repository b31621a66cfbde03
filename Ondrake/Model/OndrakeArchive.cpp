#include "Ondrake/Model/OndrakeArchive.h"

#include "FoundationJson.h"
#include "Ondrake/Model/FaviconHost.h"
#include "Ondrake/Model/Hashing.h"
#include "Ondrake/Model/MemberCoding.h"
#include "Ondrake/Model/TabFields.h"

#include <QJsonArray>
#include <QUrl>

#include <algorithm>
#include <unordered_map>

namespace ondrake {

namespace {

QString elementPath(const QString &key, qsizetype index) { return key + QStringLiteral("[%1]").arg(index); }

}  // namespace

// MARK: Tab

namespace {

// A record's stored members without its place in a window, plus "order" and "wasOpen".
template<typename Visit, typename... Tab>
void visitTab(Visit &&visit, Tab &&...tab) {
    visit(QStringLiteral("id"), tab.id...);
    tabfields::visitPlace(visit, tab...);
    tabfields::visitLifetime(visit, tab...);
    visit(QStringLiteral("order"), tab.order...);
    visit(QStringLiteral("wasOpen"), tab.wasOpen...);
    tabfields::visitUserState(visit, tab...);
}

}  // namespace

OndrakeArchive::Tab OndrakeArchive::Tab::fromRecord(const TabRecord &record, qint64 order) {
    Tab tab{.id = record.id, .order = order, .wasOpen = !record.closedAt};
    tabfields::visitPlace(members::copy, tab, record);
    tabfields::visitLifetime(members::copy, tab, record);
    tabfields::visitUserState(members::copy, tab, record);
    return tab;
}

QJsonObject OndrakeArchive::Tab::toJson() const {
    QJsonObject object;
    visitTab(members::JsonWriter(object), *this);
    return object;
}

OndrakeArchive::Tab OndrakeArchive::Tab::fromJson(const QJsonValue &value, const QDateTime &now, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    Tab tab{.id = OndrakeID(QUuid()), .createdAt = now};  // the identity is required and read below
    visitTab(members::JsonReader(reader), tab);
    if (!reader.has(QStringLiteral("wasOpen"))) tab.wasOpen = !tab.closedAt;
    return tab;
}

std::size_t qHash(const OndrakeArchive::Tab &tab, std::size_t seed) noexcept {
    Hasher hasher(seed);
    visitTab(members::HashWriter(hasher), tab);
    return hasher.value();
}

std::size_t qHash(const OndrakeArchive &archive, std::size_t seed) noexcept {
    Hasher hasher(seed);
    hasher.add(archive.format).add(archive.version).add(archive.exportedAt).add(qint64(archive.tabs.size()));
    for (const OndrakeArchive::Tab &tab : archive.tabs) hasher.mix(qHash(tab));
    hasher.add(qint64(archive.groups.size()));
    for (const TabGroup &group : archive.groups) hasher.mix(qHash(group));
    hasher.add(archive.settings).add(archive.featureOverrides.has_value());
    if (archive.featureOverrides)
        for (const auto &[key, value] : *archive.featureOverrides) hasher.add(key).add(value);
    return hasher.value();
}

// MARK: Errors

OndrakeArchive::ArchiveError::ArchiveError(Kind kind, qint64 version)
    : kind_(kind), version_(version), what_(description().toStdString()) {}

QString OndrakeArchive::ArchiveError::description() const {
    switch (kind_) {
    case Kind::unsupportedVersion: return QStringLiteral("unsupportedVersion(%1)").arg(version_);
    case Kind::malformed: return QStringLiteral("malformed");
    case Kind::unsupportedFormat: return QStringLiteral("unsupportedFormat");
    case Kind::duplicateTabID: return QStringLiteral("duplicateTabID");
    case Kind::duplicateGroupID: return QStringLiteral("duplicateGroupID");
    }
    return {};
}

// MARK: Coding

QJsonObject OndrakeArchive::toJson() const {
    QJsonArray tabArray;
    for (const Tab &tab : tabs) tabArray.append(tab.toJson());
    QJsonArray groupArray;
    for (const TabGroup &group : groups) groupArray.append(group.toJson());
    QJsonObject object{
        {QStringLiteral("format"), format},
        {QStringLiteral("version"), version},
        {QStringLiteral("exportedAt"), json::formatDate(exportedAt)},
        {QStringLiteral("tabs"), tabArray},
        {QStringLiteral("groups"), groupArray},
        {QStringLiteral("settings"), settings.toJson()},
    };
    if (featureOverrides) {
        QJsonObject overrides;
        for (const auto &[key, value] : *featureOverrides) overrides.insert(key, value);
        object.insert(QStringLiteral("featureOverrides"), overrides);
    }
    return object;
}

QByteArray OndrakeArchive::encode() const { return json::write(toJson()); }

OndrakeArchive OndrakeArchive::fromJson(const QJsonValue &value, const QDateTime &now) {
    const auto reader = json::Reader::of(value, {});
    const auto required = [&](const QString &key) {
        if (!reader.has(key)) reader.fail(key, QStringLiteral("No value associated with key \"%1\".").arg(key));
    };
    OndrakeArchive archive;
    archive.format = reader.requiredString(QStringLiteral("format"));
    required(QStringLiteral("version"));
    archive.version = reader.integer(QStringLiteral("version"));
    archive.exportedAt = reader.requiredDate(QStringLiteral("exportedAt"));

    required(QStringLiteral("tabs"));
    const QJsonArray tabArray = reader.array(QStringLiteral("tabs"));
    archive.tabs.reserve(std::size_t(tabArray.size()));
    for (qsizetype i = 0; i < tabArray.size(); ++i)
        archive.tabs.push_back(Tab::fromJson(tabArray.at(i), now, elementPath(QStringLiteral("tabs"), i)));

    required(QStringLiteral("groups"));
    const QJsonArray groupArray = reader.array(QStringLiteral("groups"));
    archive.groups.reserve(std::size_t(groupArray.size()));
    for (qsizetype i = 0; i < groupArray.size(); ++i)
        archive.groups.push_back(TabGroup::fromJson(groupArray.at(i), now, elementPath(QStringLiteral("groups"), i)));

    required(QStringLiteral("settings"));
    archive.settings = AppSettings::fromJson(reader.value(QStringLiteral("settings")), QStringLiteral("settings"));

    if (const auto overrides = reader.optionalObject(QStringLiteral("featureOverrides"))) {
        const json::Reader members(*overrides, QStringLiteral("featureOverrides"));
        FeatureOverrides map;
        for (auto it = overrides->begin(); it != overrides->end(); ++it) {
            if (!it.value().isBool())
                members.fail(it.key(), QStringLiteral("Expected to decode bool but found %1 instead.")
                                           .arg(json::typeName(it.value())));
            map.emplace(it.key(), it.value().toBool());
        }
        archive.featureOverrides = std::move(map);
    }
    return archive;
}

OndrakeArchive OndrakeArchive::read(const QByteArray &bytes, const QDateTime &now) {
    const auto document = json::parse(bytes);
    if (!document || !document->isObject()) throw ArchiveError::malformed();
    const QJsonObject object = document->object();

    const QJsonValue format = object.value(QStringLiteral("format"));
    if (!format.isString() || format.toString() != formatWord()) throw ArchiveError::unsupportedFormat();

    const auto version = json::integerValue(object.value(QStringLiteral("version")));
    if (!version) throw ArchiveError::malformed();
    if (*version != kVersion) throw ArchiveError::unsupportedVersion(*version);

    OndrakeArchive archive;
    try {
        archive = fromJson(object, now);
    } catch (const json::DecodingError &) {
        throw ArchiveError::malformed();
    }
    archive.validate();
    return archive;
}

void OndrakeArchive::validate() const {
    std::unordered_set<OndrakeID> tabIDs;
    for (const Tab &tab : tabs)
        if (!tabIDs.insert(tab.id).second) throw ArchiveError::duplicateTabID();
    std::unordered_set<TabGroupID> groupIDs;
    for (const TabGroup &group : groups)
        if (!groupIDs.insert(group.id).second) throw ArchiveError::duplicateGroupID();
}

OndrakeArchive OndrakeArchive::restricted(const std::unordered_set<OndrakeID> &tabIDs) const {
    OndrakeArchive copy = *this;
    std::unordered_set<TabGroupID> groupIDs;
    for (const TabGroup &group : copy.groups) groupIDs.insert(group.id);
    for (Tab &tab : copy.tabs) {
        if (tab.parentID && !tabIDs.contains(*tab.parentID)) tab.parentID.reset();
        if (tab.groupID && !groupIDs.contains(*tab.groupID)) tab.groupID.reset();
    }
    return copy;
}

// MARK: Import

OndrakeArchive::ImportResult OndrakeArchive::importedRecords(const ImportMode &mode, qint64 firstSortIndex,
                                                             const QDateTime &importDate, const QDateTime &now) const {
    const bool keepsStructure = mode.kind != ImportMode::Kind::openAsNewGroup;

    std::vector<const Tab *> ordered;
    ordered.reserve(tabs.size());
    for (const Tab &tab : tabs) ordered.push_back(&tab);
    std::sort(ordered.begin(), ordered.end(), [](const Tab *a, const Tab *b) {
        if (a->order != b->order) return a->order < b->order;
        return a->id < b->id;  // the same order as their upper-case text
    });

    std::unordered_map<OndrakeID, OndrakeID> newTabIDs;
    for (const Tab *tab : ordered) newTabIDs.emplace(tab->id, OndrakeID());

    ImportResult result;
    std::unordered_map<TabGroupID, TabGroupID> newGroupIDs;
    if (keepsStructure) {
        std::vector<const TabGroup *> sortedGroups;
        for (const TabGroup &group : groups) sortedGroups.push_back(&group);
        std::stable_sort(sortedGroups.begin(), sortedGroups.end(),
                         [](const TabGroup *a, const TabGroup *b) { return a->sortIndex < b->sortIndex; });
        for (std::size_t p = 0; p < sortedGroups.size(); ++p) {
            const TabGroup &old = *sortedGroups[p];
            TabGroup group{
                .id = TabGroupID(),
                .name = old.name,
                .colorName = old.colorName,
                .createdAt = old.createdAt,
                .sortIndex = firstSortIndex + qint64(p),
                .isCollapsed = old.isCollapsed,
            };
            newGroupIDs.emplace(old.id, group.id);
            result.groups.push_back(std::move(group));
        }
    } else {
        result.groups.push_back(TabGroup{
            .id = TabGroupID(),
            .name = mode.name,
            .colorName = std::nullopt,
            .createdAt = now,
            .sortIndex = firstSortIndex,
            .isCollapsed = false,
        });
    }

    std::vector<TabRecord> records;
    records.reserve(ordered.size());
    std::unordered_set<OndrakeID> toOpen;
    for (std::size_t p = 0; p < ordered.size(); ++p) {
        const Tab &tab = *ordered[p];
        std::optional<QString> host = tab.faviconHost;
        if (!host && tab.url && !tab.url->isEmpty()) {
            const QUrl url(*tab.url, QUrl::StrictMode);
            if (url.isValid()) host = faviconHost(url);
        }
        std::optional<OndrakeID> parent;
        std::optional<TabGroupID> group;
        if (keepsStructure) {
            if (tab.parentID)
                if (const auto it = newTabIDs.find(*tab.parentID); it != newTabIDs.end()) parent = it->second;
            if (tab.groupID)
                if (const auto it = newGroupIDs.find(*tab.groupID); it != newGroupIDs.end()) group = it->second;
        } else {
            group = result.groups.front().id;
        }
        const OndrakeID id = newTabIDs.at(tab.id);
        if (tab.wasOpen) toOpen.insert(id);
        TabRecord record{
            .id = id,
            .index = qint64(p) + 1,
            .url = tab.url,
            .title = tab.title,
            .faviconHost = std::move(host),
            .parentID = parent,
            .groupID = group,
        };
        tabfields::visitLifetime(members::copy, record, tab);
        tabfields::visitUserState(members::copy, record, tab);
        // Every imported record is closed; the open ones are handed back to be opened.
        record.closedAt = tab.wasOpen ? importDate : tab.closedAt.value_or(importDate);
        if (!record.addedToReadLaterAt && record.readLater) record.addedToReadLaterAt = record.createdAt;
        records.push_back(std::move(record));
    }

    result.records = breakParentCycles(std::move(records));
    if (mode.kind != ImportMode::Kind::merge) {
        for (const TabRecord &record : result.records)
            if (toOpen.contains(record.id)) result.recordsToOpen.push_back(record);
    }
    if (mode.kind == ImportMode::Kind::restoreCompleteStructure) {
        result.settings = settings;
        result.featureOverrides = featureOverrides;
    }
    return result;
}

std::vector<TabRecord> OndrakeArchive::breakParentCycles(std::vector<TabRecord> records) {
    std::unordered_map<OndrakeID, std::size_t> positionOf;
    positionOf.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) positionOf.emplace(records[i].id, i);

    // Each record is walked once: a walk stops at a record already known to lead nowhere circular.
    enum class Mark { unvisited, onPath, settled };
    std::vector<Mark> marks(records.size(), Mark::unvisited);
    std::vector<std::size_t> path;
    for (std::size_t start = 0; start < records.size(); ++start) {
        path.clear();
        std::size_t cursor = start;
        while (true) {
            if (marks[cursor] == Mark::settled) break;
            if (marks[cursor] == Mark::onPath) {
                // The first record of the loop this walk reached; its link closes the loop.
                records[cursor].parentID.reset();
                break;
            }
            marks[cursor] = Mark::onPath;
            path.push_back(cursor);
            const auto &parent = records[cursor].parentID;
            if (!parent) break;
            const auto it = positionOf.find(*parent);
            if (it == positionOf.end()) break;
            cursor = it->second;
        }
        for (const std::size_t visited : path) marks[visited] = Mark::settled;
    }
    return records;
}

}  // namespace ondrake
