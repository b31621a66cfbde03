#pragma once

#include "Shared/ExtensionTab.h"
#include "Shared/OndrakeExtensionProtocol.h"

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>

#include <optional>
#include <vector>

namespace ondrake {

// The content of the exchange file: the extension's view of the browser's tabs at one moment.
struct ExtensionState {
    qint64 version = OndrakeExtensionProtocol::version;
    QDateTime updatedAt;
    std::vector<ExtensionTab> tabs;  // in the order the extension reported them
    std::optional<qint64> focusedWindowID;

    bool operator==(const ExtensionState &) const = default;

    // The active tab of the focused window, never one of another window; without a focused
    // window, the first active tab.
    std::optional<ExtensionTab> activeTab() const;

    // Compact JSON, members in field order, `focusedWindowID` left out when absent, `updatedAt`
    // as seconds since 2001-01-01T00:00:00Z. Nothing when `updatedAt` is not a valid date.
    std::optional<QByteArray> encoded() const;
    // Throws json::DecodingError. Members the model does not name are ignored.
    static ExtensionState fromJson(const QJsonValue &value);
    // Nothing for bytes that are not one such object; `error` says why.
    static std::optional<ExtensionState> decode(const QByteArray &bytes, QString *error = nullptr);

    // Dates in the file: seconds since 2001-01-01T00:00:00Z, kept to the millisecond.
    static double secondsSinceReferenceDate(const QDateTime &date);
    static std::optional<QDateTime> dateFromReferenceSeconds(double seconds);
};

// Writes the JSON of a state one tab at a time, so that a writer with many tabs need not hold
// them all as values first. The output is that of ExtensionState::encoded.
class ExtensionStateWriter {
public:
    // `updatedAt` must be a valid date; `capacity` is a guess of the bytes to come.
    ExtensionStateWriter(qint64 version, const QDateTime &updatedAt, qsizetype capacity = 0);
    void add(const ExtensionTab &tab);
    QByteArray finish(std::optional<qint64> focusedWindowID) &&;

private:
    QByteArray out_;
    bool first_ = true;
};

}  // namespace ondrake

Q_DECLARE_METATYPE(ondrake::ExtensionState)
