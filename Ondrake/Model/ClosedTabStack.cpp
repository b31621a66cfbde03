#include "Ondrake/Model/ClosedTabStack.h"

#include "Ondrake/Model/Hashing.h"
#include "Ondrake/Model/MemberCoding.h"
#include "Ondrake/Model/TabFields.h"

#include <algorithm>

namespace ondrake {

namespace {

template<typename Visit, typename... Tab>
void visitClosedTab(Visit &&visit, Tab &&...tab) {
    visit(QStringLiteral("id"), tab.id...);
    tabfields::visitPlace(visit, tab...);
    visit(QStringLiteral("windowID"), tab.windowID...);
    visit(QStringLiteral("index"), tab.index...);
    visit(QStringLiteral("closedAt"), tab.closedAt...);
}

}  // namespace

ClosedTab ClosedTab::fromRecord(const TabRecord &record, const QDateTime &closedAt) {
    ClosedTab tab{.id = record.id, .windowID = record.windowID, .index = record.index, .closedAt = closedAt};
    tabfields::visitPlace(members::copy, tab, record);
    return tab;
}

QJsonObject ClosedTab::toJson() const {
    QJsonObject object;
    visitClosedTab(members::JsonWriter(object), *this);
    return object;
}

ClosedTab ClosedTab::fromJson(const QJsonValue &value, const QDateTime &now, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    ClosedTab tab{.id = OndrakeID(QUuid()), .closedAt = now};  // the identity is required and read below
    visitClosedTab(members::JsonReader(reader), tab);
    return tab;
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
        {QStringLiteral("id"), json::uuidString(id)},
        {QStringLiteral("tabs"), tabArray},
        {QStringLiteral("closedAt"), json::formatDate(closedAt)},
    };
}

ClosedTabBatch ClosedTabBatch::fromJson(const QJsonValue &value, const QDateTime &now, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    ClosedTabBatch batch;
    if (const auto text = reader.optionalString(QStringLiteral("id"))) {
        const auto id = json::parseUuid(*text);
        if (!id) reader.fail(QStringLiteral("id"), QStringLiteral("Attempted to decode UUID from invalid UUID string."));
        batch.id = *id;
    }
    const QJsonArray tabArray = reader.array(QStringLiteral("tabs"));
    batch.tabs.reserve(std::size_t(tabArray.size()));
    const QString tabsPath = reader.pathOf(QStringLiteral("tabs"));
    for (qsizetype i = 0; i < tabArray.size(); ++i)
        batch.tabs.push_back(ClosedTab::fromJson(tabArray.at(i), now, tabsPath + QStringLiteral("[%1]").arg(i)));
    batch.closedAt = reader.date(QStringLiteral("closedAt"), now);
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
    Hasher hasher(seed);
    visitClosedTab(members::HashWriter(hasher), tab);
    return hasher.value();
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
