#pragma once

#include "Ondrake/Model/AppSettings.h"
#include "Ondrake/Model/ClosedTabStack.h"
#include "Ondrake/Model/FeatureFlags.h"
#include "Ondrake/Model/TabGroup.h"
#include "Ondrake/Model/TabRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>

#include <vector>

namespace ondrake {

// The layout version this build reads and writes.
inline constexpr qint64 kCurrentSchemaVersion = 3;

// Everything kept across launches that the browser does not know: the record file as one value.
struct PersistedState {
    qint64 schemaVersion = kCurrentSchemaVersion;
    std::vector<TabRecord> records{};
    std::vector<TabGroup> groups{};
    FeatureOverrides featureOverrides{};
    AppSettings settings{};
    ClosedTabStack recentlyClosed{};
    QDateTime savedAt{};

    bool operator==(const PersistedState &) const = default;

    // What a launch without a usable file starts from.
    static PersistedState fresh(const QDateTime &now);

    // The copy that is written: session fields cleared (each record's last index kept), stamped with `now` and the
    // current version, records ordered by the second they were made in then identity and groups
    // by sort index then identity, so the same state always gives the same bytes, also once it has
    // been read back.
    PersistedState preparedForSave(const QDateTime &now) const;

    QJsonObject toJson() const;
    // The record file's bytes: json::write(toJson()), without the intermediate DOM.
    QByteArray encode() const;
    // Missing or null members take their defaults; a wrong type anywhere fails the whole document,
    // except in the closed-tab history, which then reads as empty. Throws json::DecodingError.
    static PersistedState fromJson(const QJsonValue &value, const QDateTime &now);
};

std::size_t qHash(const PersistedState &state, std::size_t seed = 0) noexcept;

}  // namespace ondrake
