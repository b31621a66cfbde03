#include "Ondrake/Model/ClosedTabStack.h"

#include "Ondrake/Model/Hashing.h"
#include "Ondrake/Model/WireFormat.h"

#include <algorithm>

namespace ondrake {

ClosedTab ClosedTab::fromRecord(const TabRecord &record, const QDateTime &closedAt) {
    return ClosedTab{
        .id = record.id,
        .url = record.url,
        .title = record.title,
        .faviconHost = record.faviconHost,
        .parentID = record.parentID,
        .groupID = record.groupID,
        .windowID = record.windowID,
        .index = record.index,
        .closedAt = closedAt,
    };
}

QJsonObject ClosedTab::toJson() const {
    QJsonObject object;
    object.insert(QStringLiteral("id"), id.toJson());
    json::putString(object, QStringLiteral("url"), url);
    object.insert(QStringLiteral("title"), title);
    json::putString(object, QStringLiteral("faviconHost"), faviconHost);
    json::putIdentity(object, QStringLiteral("parentID"), parentID);
    json::putIdentity(object, QStringLiteral("groupID"), groupID);
    if (windowID) object.insert(QStringLiteral("windowID"), *windowID);
    if (index) object.insert(QStringLiteral("index"), *index);
    object.insert(QStringLiteral("closedAt"), wire::dateText(closedAt));
    return object;
}

ClosedTab ClosedTab::fromJson(const QJsonValue &value, const QDateTime &now, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    return ClosedTab{
        .id = json::requiredIdentity<OndrakeID>(reader, QStringLiteral("id")),
        .url = reader.optionalString(QStringLiteral("url")),
        .title = reader.string(QStringLiteral("title")),
        .faviconHost = reader.optionalString(QStringLiteral("faviconHost")),
        .parentID = json::optionalIdentity<OndrakeID>(reader, QStringLiteral("parentID")),
        .groupID = json::optionalIdentity<TabGroupID>(reader, QStringLiteral("groupID")),
        .windowID = reader.optionalInteger(QStringLiteral("windowID")),
        .index = reader.optionalInteger(QStringLiteral("index")),
        .closedAt = wire::date(reader, QStringLiteral("closedAt"), now),
    };
}

QString ClosedTabBatch::title() const {
    if (tabs.empty()) return QStringLiteral("Closed tabs");
    const ClosedTab &first = tabs.front();
    QString text = !first.title.isEmpty() ? first.title : first.url.value_or(QStringLiteral("Untitled"));
    if (tabs.size() >= 2) text += QStringLiteral(" + %1 more").arg(tabs.size() - 1);
    return text;
}

QJsonObject ClosedTabBatch::toJson() const {
    QJsonArray tabArray;
    for (const ClosedTab &tab : tabs) tabArray.append(tab.toJson());
    return QJsonObject{
        {QStringLiteral("id"), wire::uuidText(id)},
        {QStringLiteral("tabs"), tabArray},
        {QStringLiteral("closedAt"), wire::dateText(closedAt)},
    };
}

ClosedTabBatch ClosedTabBatch::fromJson(const QJsonValue &value, const QDateTime &now, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    ClosedTabBatch batch;
    if (const auto text = reader.optionalString(QStringLiteral("id"))) {
        const auto id = wire::uuidFromText(*text);
        if (!id) reader.fail(QStringLiteral("id"), QStringLiteral("Attempted to decode UUID from invalid UUID string."));
        batch.id = *id;
    }
    const QJsonArray tabArray = reader.array(QStringLiteral("tabs"));
    batch.tabs.reserve(std::size_t(tabArray.size()));
    const QString tabsPath = reader.pathOf(QStringLiteral("tabs"));
    for (qsizetype i = 0; i < tabArray.size(); ++i)
        batch.tabs.push_back(ClosedTab::fromJson(tabArray.at(i), now, tabsPath + QStringLiteral("[%1]").arg(i)));
    batch.closedAt = wire::date(reader, QStringLiteral("closedAt"), now);
    return batch;
}

void ClosedTabStack::trim() {
    if (batches.size() <= kLimit) return;
    batches.erase(batches.begin(), batches.end() - std::ptrdiff_t(kLimit));
}

void ClosedTabStack::add(ClosedTabBatch batch) {
    if (batch.tabs.empty()) return;
    batches.push_back(std::move(batch));
    trim();
}

std::optional<ClosedTabBatch> ClosedTabStack::takeNewest() {
    if (batches.empty()) return std::nullopt;
    ClosedTabBatch newest = std::move(batches.back());
    batches.pop_back();
    return newest;
}

std::optional<ClosedTabBatch> ClosedTabStack::take(const QUuid &batchID) {
    const auto it = std::find_if(batches.begin(), batches.end(), [&](const auto &b) { return b.id == batchID; });
    if (it == batches.end()) return std::nullopt;
    ClosedTabBatch batch = std::move(*it);
    batches.erase(it);
    return batch;
}

QJsonArray ClosedTabStack::toJson() const {
    QJsonArray array;
    for (const ClosedTabBatch &batch : batches) array.append(batch.toJson());
    return array;
}

ClosedTabStack ClosedTabStack::fromJson(const QJsonValue &value, const QDateTime &now) {
    ClosedTabStack stack;
    if (!value.isArray()) return stack;
    const QJsonArray array = value.toArray();
    try {
        stack.batches.reserve(std::size_t(array.size()));
        for (qsizetype i = 0; i < array.size(); ++i)
            stack.batches.push_back(
                ClosedTabBatch::fromJson(array.at(i), now, QStringLiteral("recentlyClosed[%1]").arg(i)));
    } catch (const json::DecodingError &) {
        // One bad entry empties the whole history; the document around it still loads.
        return {};
    }
    stack.trim();
    return stack;
}

std::size_t qHash(const ClosedTab &tab, std::size_t seed) noexcept {
    return Hasher(seed)
        .add(tab.id)
        .add(tab.url)
        .add(tab.title)
        .add(tab.faviconHost)
        .add(tab.parentID)
        .add(tab.groupID)
        .add(tab.windowID)
        .add(tab.index)
        .add(tab.closedAt)
        .value();
}

std::size_t qHash(const ClosedTabBatch &batch, std::size_t seed) noexcept {
    Hasher hasher(seed);
    hasher.add(batch.id).add(qint64(batch.tabs.size()));
    for (const ClosedTab &tab : batch.tabs) hasher.mix(qHash(tab));
    return hasher.add(batch.closedAt).value();
}

std::size_t qHash(const ClosedTabStack &stack, std::size_t seed) noexcept {
    Hasher hasher(seed);
    hasher.add(qint64(stack.batches.size()));
    for (const ClosedTabBatch &batch : stack.batches) hasher.mix(qHash(batch));
    return hasher.value();
}

}  // namespace ondrake
