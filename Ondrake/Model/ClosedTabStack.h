#pragma once

#include "Ondrake/Model/Identifiers.h"
#include "Ondrake/Model/TabRecord.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

namespace ondrake {

// One closed tab, with enough of its place to put it back.
struct ClosedTab {
    OndrakeID id{};  // the record the tab had
    std::optional<QString> url{};
    QString title{};
    std::optional<QString> faviconHost{};
    std::optional<OndrakeID> parentID{};
    std::optional<TabGroupID> groupID{};
    std::optional<qint64> windowID{};
    std::optional<qint64> index{};
    QDateTime closedAt{};

    bool operator==(const ClosedTab &) const = default;

    // Keeps the record's place and address; marks, dates and metadata stay with the record.
    static ClosedTab fromRecord(const TabRecord &record, const QDateTime &closedAt);

    QJsonObject toJson() const;
    static ClosedTab fromJson(const QJsonValue &value, const QDateTime &now, const QString &path = {});
};

// The tabs closed by one command.
struct ClosedTabBatch {
    QUuid id = QUuid::createUuid();
    std::vector<ClosedTab> tabs{};  // in the order the command listed them
    QDateTime closedAt{};

    bool operator==(const ClosedTabBatch &) const = default;

    // The menu line: the first tab's title (else its URL, else "Untitled"), plus " + N more".
    QString title() const;

    QJsonObject toJson() const;
    // A missing "id" becomes a fresh one, a missing "closedAt" becomes `now`.
    static ClosedTabBatch fromJson(const QJsonValue &value, const QDateTime &now, const QString &path = {});
};

// The closed-tab history, oldest batch first, at most kLimit batches.
struct ClosedTabStack {
    static constexpr std::size_t kLimit = 25;

    std::vector<ClosedTabBatch> batches{};

    bool operator==(const ClosedTabStack &) const = default;

    // Drops the oldest batches beyond the limit.
    void trim();
    // Appends and trims; a batch without tabs is never added.
    void add(ClosedTabBatch batch);
    // Removes and returns the newest batch.
    std::optional<ClosedTabBatch> takeNewest();
    // Removes and returns the batch with this id.
    std::optional<ClosedTabBatch> take(const QUuid &batchID);

    QJsonArray toJson() const;
    // Anything that is not a list of valid batches reads as an empty history; the rest of the
    // enclosing document is unaffected.
    static ClosedTabStack fromJson(const QJsonValue &value, const QDateTime &now);
};

std::size_t qHash(const ClosedTab &tab, std::size_t seed = 0) noexcept;
std::size_t qHash(const ClosedTabBatch &batch, std::size_t seed = 0) noexcept;
std::size_t qHash(const ClosedTabStack &stack, std::size_t seed = 0) noexcept;

}  // namespace ondrake

template<>
struct std::hash<ondrake::ClosedTab> {
    std::size_t operator()(const ondrake::ClosedTab &tab) const noexcept { return qHash(tab); }
};
template<>
struct std::hash<ondrake::ClosedTabBatch> {
    std::size_t operator()(const ondrake::ClosedTabBatch &batch) const noexcept { return qHash(batch); }
};
