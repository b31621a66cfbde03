#pragma once

// The exchange file's JSON in the platform encoder's default form: compact, members in field order.

#include "FoundationJson.h"
#include "JsonOutput.h"

#include <QByteArray>
#include <QString>

#include <charconv>
#include <cmath>
#include <optional>

namespace ondrake::exchange {

// Starts a member, after a comma unless it is the object's first.
inline void appendKey(QByteArray &out, const char *name) {
    if (!out.endsWith('{')) out += ',';
    out += '"';
    out += name;
    out += "\":";
}

inline void appendInteger(QByteArray &out, qint64 value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

// Finite numbers only: whole ones without a fraction, others in their shortest round-trip form.
inline void appendNumber(QByteArray &out, double value) {
    constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63
    if (value == std::trunc(value) && std::fabs(value) < kInt64Limit) {
        appendInteger(out, static_cast<qint64>(value));
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

inline void appendBool(QByteArray &out, bool value) { out += value ? "true" : "false"; }

inline void appendString(QByteArray &out, const QString &text) { JsonOutput::appendString(out, text.toUtf8()); }

// A member the model requires: missing or null fails the whole value.
template<typename T>
T required(const std::optional<T> &value, const json::Reader &reader, const QString &key) {
    if (!value) reader.fail(key, QStringLiteral("No value associated with key \"%1\".").arg(key));
    return *value;
}

}  // namespace ondrake::exchange
