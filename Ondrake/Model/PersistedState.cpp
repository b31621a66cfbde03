#include "Ondrake/Model/PersistedState.h"

#include "Ondrake/Model/Hashing.h"
#include "JsonOutput.h"

#include <QJsonArray>

#include <algorithm>

namespace ondrake {

namespace {

const QString kSchemaVersion = QStringLiteral("schemaVersion");
const QString kRecords = QStringLiteral("records");
const QString kGroups = QStringLiteral("groups");
const QString kFeatureOverrides = QStringLiteral("featureOverrides");
const QString kSettings = QStringLiteral("settings");
const QString kRecentlyClosed = QStringLiteral("recentlyClosed");
const QString kSavedAt = QStringLiteral("savedAt");

QString elementPath(const QString &key, qsizetype index) { return key + QStringLiteral("[%1]").arg(index); }

// The whole second a date is written as (json::formatDate rounds down).
qint64 writtenSecond(const QDateTime &date) {
    const qint64 ms = date.toMSecsSinceEpoch();
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

}  // namespace

PersistedState PersistedState::fresh(const QDateTime &now) {
    PersistedState state;
    state.savedAt = now;
    return state;
}

PersistedState PersistedState::preparedForSave(const QDateTime &now) const {
    PersistedState copy = *this;
    // The last position stays: after a relaunch it tells identical tabs apart.
    for (TabRecord &record : copy.records) {
        record.sessionTabID.reset();
        record.windowID.reset();
    }
    // By the creation second as written, not the millisecond held in memory, so that a state read
    // back from the file saves to the same bytes.
    std::sort(copy.records.begin(), copy.records.end(), [](const TabRecord &a, const TabRecord &b) {
        const qint64 x = writtenSecond(a.createdAt);
        const qint64 y = writtenSecond(b.createdAt);
        if (x != y) return x < y;
        return a.id < b.id;
    });
    std::sort(copy.groups.begin(), copy.groups.end(), [](const TabGroup &a, const TabGroup &b) {
        if (a.sortIndex != b.sortIndex) return a.sortIndex < b.sortIndex;
        return a.id < b.id;
    });
    copy.savedAt = now;
    copy.schemaVersion = kCurrentSchemaVersion;
    return copy;
}

QJsonObject PersistedState::toJson() const {
    QJsonArray recordArray;
    for (const TabRecord &record : records) recordArray.append(record.toJson());
    QJsonArray groupArray;
    for (const TabGroup &group : groups) groupArray.append(group.toJson());
    QJsonObject overrides;
    for (const auto &[key, value] : featureOverrides) overrides.insert(key, value);
    return QJsonObject{
        {kSchemaVersion, schemaVersion},
        {kRecords, recordArray},
        {kGroups, groupArray},
        {kFeatureOverrides, overrides},
        {kSettings, settings.toJson()},
        {kRecentlyClosed, recentlyClosed.toJson()},
        {kSavedAt, json::formatDate(savedAt)},
    };
}

QByteArray PersistedState::encode() const {
    JsonOutput out(qsizetype(records.size()) * 800 + 4096);
    out.beginObject();
    QJsonObject overrides;
    for (const auto &[key, value] : featureOverrides) overrides.insert(key, value);
    out.key(kFeatureOverrides);
    out.value(overrides);
    out.key(kGroups);
    out.beginArray();
    for (const TabGroup &group : groups) out.value(group.toJson());
    out.endArray();
    out.key(kRecentlyClosed);
    out.value(recentlyClosed.toJson());
    out.key(kRecords);
    out.beginArray();
    for (const TabRecord &record : records) record.write(out);
    out.endArray();
    out.key(kSavedAt);
    out.string(json::formatDate(savedAt));
    out.key(kSchemaVersion);
    out.integer(schemaVersion);
    out.key(kSettings);
    out.value(settings.toJson());
    out.endObject();
    return out.take();
}

PersistedState PersistedState::fromJson(const QJsonValue &value, const QDateTime &now) {
    const auto reader = json::Reader::of(value, {});
    PersistedState state;
    state.schemaVersion = reader.integer(kSchemaVersion, kCurrentSchemaVersion);

    const QJsonArray recordArray = reader.array(kRecords);
    state.records.reserve(std::size_t(recordArray.size()));
    for (qsizetype i = 0; i < recordArray.size(); ++i)
        state.records.push_back(TabRecord::fromJson(recordArray.at(i), now, elementPath(kRecords, i)));

    const QJsonArray groupArray = reader.array(kGroups);
    state.groups.reserve(std::size_t(groupArray.size()));
    for (qsizetype i = 0; i < groupArray.size(); ++i)
        state.groups.push_back(TabGroup::fromJson(groupArray.at(i), now, elementPath(kGroups, i)));

    if (const auto overrides = reader.optionalObject(kFeatureOverrides)) {
        const json::Reader members(*overrides, kFeatureOverrides);
        for (auto it = overrides->begin(); it != overrides->end(); ++it) {
            // A null member is a value of the wrong type here, not a missing one.
            if (!it.value().isBool())
                members.fail(it.key(), QStringLiteral("Expected to decode bool but found %1 instead.")
                                           .arg(json::typeName(it.value())));
            state.featureOverrides.emplace(it.key(), it.value().toBool());
        }
    }

    if (reader.has(kSettings)) state.settings = AppSettings::fromJson(reader.value(kSettings), kSettings);
    state.recentlyClosed = ClosedTabStack::fromJson(reader.value(kRecentlyClosed), now);
    state.savedAt = reader.date(kSavedAt, now);
    return state;
}

std::size_t qHash(const PersistedState &state, std::size_t seed) noexcept {
    Hasher hasher(seed);
    hasher.add(state.schemaVersion).add(qint64(state.records.size()));
    for (const TabRecord &record : state.records) hasher.mix(qHash(record));
    hasher.add(qint64(state.groups.size()));
    for (const TabGroup &group : state.groups) hasher.mix(qHash(group));
    for (const auto &[key, value] : state.featureOverrides) hasher.add(key).add(value);
    return hasher.add(state.settings).mix(qHash(state.recentlyClosed)).add(state.savedAt).value();
}

}  // namespace ondrake
