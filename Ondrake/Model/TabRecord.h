#pragma once

#include "Ondrake/Model/Identifiers.h"
#include "Ondrake/Model/TabMetadataValue.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace ondrake {

class JsonOutput;

// Everything remembered about one tab, open or closed. `sessionTabID` and `windowID` describe
// only the current browser session and are never written.
struct TabRecord {
    OndrakeID id{};
    std::optional<QString> sessionTabID{};  // set while bound to a browser tab
    std::optional<qint64> windowID{};
    std::optional<qint64> index{};
    // The browser window the tab was last seen in, by a number the application gives each window
    // it sees and never gives again; kept when unbound, so that twins in several windows come
    // back to their own window's tabs.
    std::optional<qint64> windowKey{};
    std::optional<QString> url{};
    QString title{};
    std::optional<QString> faviconHost{};
    std::optional<OndrakeID> parentID{};
    std::optional<TabGroupID> groupID{};
    QDateTime createdAt{};
    std::optional<QDateTime> lastActivatedAt{};
    std::optional<QDateTime> closedAt{};  // none while open
    bool pinned = false;
    bool locked = false;
    bool muted = false;
    bool important = false;
    bool readLater = false;
    std::optional<QDateTime> addedToReadLaterAt{};
    std::optional<QDateTime> readAt{};
    std::optional<QDateTime> snoozeUntil{};
    std::optional<QDateTime> reminderAt{};
    TabMetadata metadata{};

    bool operator==(const TabRecord &) const = default;

    bool isOpen() const { return !closedAt; }
    bool isBound() const { return sessionTabID.has_value(); }

    // Whether the record carries something the user made that is worth keeping once the tab is
    // gone. Muting alone does not count.
    bool hasUserState() const;

    QJsonObject toJson() const;
    // The bytes toJson() would give, streamed.
    void write(JsonOutput &out) const;
    // Lenient about everything but "id"; every record read is unbound. A missing "createdAt"
    // becomes `now`.
    static TabRecord fromJson(const QJsonValue &value, const QDateTime &now, const QString &path = {});
};

std::size_t qHash(const TabRecord &record, std::size_t seed = 0) noexcept;

}  // namespace ondrake

template<>
struct std::hash<ondrake::TabRecord> {
    std::size_t operator()(const ondrake::TabRecord &record) const noexcept { return qHash(record); }
};
