#include "ExtensionState.h"

#include "ExchangeJson.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <utility>

namespace ondrake {

namespace {

constexpr qint64 kReferenceDateMSecs = 978307200000;  // 2001-01-01T00:00:00Z after the Unix epoch
// About three million years either way: far beyond any real date, and safely inside 64-bit milliseconds.
constexpr double kSecondsLimit = 1e14;

}  // namespace

std::optional<ExtensionTab> ExtensionState::activeTab() const {
    for (const ExtensionTab &tab : tabs)
        if (tab.active && (!focusedWindowID || tab.safariWindowID == *focusedWindowID)) return tab;
    return std::nullopt;
}

double ExtensionState::secondsSinceReferenceDate(const QDateTime &date) {
    return double(date.toMSecsSinceEpoch() - kReferenceDateMSecs) / 1000.0;
}

std::optional<QDateTime> ExtensionState::dateFromReferenceSeconds(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > kSecondsLimit) return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0) + kReferenceDateMSecs, Qt::UTC);
}

std::optional<QByteArray> ExtensionState::encoded() const {
    if (!updatedAt.isValid()) return std::nullopt;
    ExtensionStateWriter writer(version, updatedAt, 64 + qsizetype(tabs.size()) * 256);
    for (const ExtensionTab &tab : tabs) writer.add(tab);
    return std::move(writer).finish(focusedWindowID);
}

ExtensionStateWriter::ExtensionStateWriter(qint64 version, const QDateTime &updatedAt, qsizetype capacity) {
    using namespace exchange;
    out_.reserve(std::max<qsizetype>(capacity, 64));
    out_ += '{';
    appendKey(out_, "version");
    appendInteger(out_, version);
    appendKey(out_, "updatedAt");
    appendNumber(out_, ExtensionState::secondsSinceReferenceDate(updatedAt));
    appendKey(out_, "tabs");
    out_ += '[';
}

void ExtensionStateWriter::add(const ExtensionTab &tab) {
    if (!std::exchange(first_, false)) out_ += ',';
    tab.appendJson(out_);
}

QByteArray ExtensionStateWriter::finish(std::optional<qint64> focusedWindowID) && {
    using namespace exchange;
    out_ += ']';
    if (focusedWindowID) {
        appendKey(out_, "focusedWindowID");
        appendInteger(out_, *focusedWindowID);
    }
    out_ += '}';
    return std::move(out_);
}

ExtensionState ExtensionState::fromJson(const QJsonValue &value) {
    using exchange::required;
    const auto reader = json::Reader::of(value, {});
    ExtensionState state;
    state.version = required(reader.optionalInteger(QStringLiteral("version")), reader, QStringLiteral("version"));
    const double seconds =
        required(reader.optionalDouble(QStringLiteral("updatedAt")), reader, QStringLiteral("updatedAt"));
    const auto date = dateFromReferenceSeconds(seconds);
    if (!date) reader.fail(QStringLiteral("updatedAt"), QStringLiteral("Date out of range."));
    state.updatedAt = *date;
    const QJsonArray tabs = required(reader.optionalArray(QStringLiteral("tabs")), reader, QStringLiteral("tabs"));
    state.tabs.reserve(std::size_t(tabs.size()));
    for (qsizetype i = 0; i < tabs.size(); ++i)
        state.tabs.push_back(ExtensionTab::fromJson(tabs[i], QStringLiteral("tabs[%1]").arg(i)));
    state.focusedWindowID = reader.optionalInteger(QStringLiteral("focusedWindowID"));
    return state;
}

std::optional<ExtensionState> ExtensionState::decode(const QByteArray &bytes, QString *error) {
    const auto document = json::parse(bytes, error);
    if (!document) return std::nullopt;
    if (!document->isObject()) {
        if (error) *error = QStringLiteral("The file does not hold one object.");
        return std::nullopt;
    }
    try {
        return fromJson(document->object());
    } catch (const json::DecodingError &e) {
        if (error) *error = QString::fromStdString(e.what());
        return std::nullopt;
    }
}

}  // namespace ondrake
