#include "Ondrake/Model/JsonOutput.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QVariant>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace ondrake {

void JsonOutput::appendString(QByteArray &out, QByteArrayView utf8) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    qsizetype plain = 0;  // start of the run not yet copied
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        const char *escape = nullptr;
        switch (c) {
        case '"': escape = "\\\""; break;
        case '\\': escape = "\\\\"; break;
        case '/': escape = "\\/"; break;
        case '\b': escape = "\\b"; break;
        case '\f': escape = "\\f"; break;
        case '\n': escape = "\\n"; break;
        case '\r': escape = "\\r"; break;
        case '\t': escape = "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20) continue;
        }
        out.append(utf8.data() + plain, i - plain);
        plain = i + 1;
        if (escape) {
            out += escape;
        } else {
            out += "\\u00";
            out += hex[(c >> 4) & 0xF];
            out += hex[c & 0xF];
        }
    }
    out.append(utf8.data() + plain, utf8.size() - plain);
    out += '"';
}

void JsonOutput::beforeValue() {
    if (levels_.empty()) return;
    Level &level = levels_.back();
    if (level.awaitingValue) {
        level.awaitingValue = false;
        return;
    }
    // An array element.
    out_ += level.count++ == 0 ? "\n" : ",\n";
    out_.append(qsizetype(levels_.size()) * 2, ' ');
}

void JsonOutput::open(char bracket) {
    beforeValue();
    out_ += bracket;
    levels_.push_back({});
}

void JsonOutput::close(char bracket) {
    const Level level = levels_.back();
    levels_.pop_back();
    out_ += level.count == 0 ? "\n\n" : "\n";
    out_.append(qsizetype(levels_.size()) * 2, ' ');
    out_ += bracket;
}

void JsonOutput::beginObject() { open('{'); }
void JsonOutput::endObject() { close('}'); }
void JsonOutput::beginArray() { open('['); }
void JsonOutput::endArray() { close(']'); }

void JsonOutput::key(QLatin1StringView name) {
    // Our own member names: ASCII, so already UTF-8.
    Level &level = levels_.back();
    out_ += level.count++ == 0 ? "\n" : ",\n";
    out_.append(qsizetype(levels_.size()) * 2, ' ');
    appendString(out_, QByteArrayView(name.data(), name.size()));
    out_ += " : ";
    level.awaitingValue = true;
}

void JsonOutput::key(const QString &name) {
    Level &level = levels_.back();
    out_ += level.count++ == 0 ? "\n" : ",\n";
    out_.append(qsizetype(levels_.size()) * 2, ' ');
    appendString(out_, name.toUtf8());
    out_ += " : ";
    level.awaitingValue = true;
}

void JsonOutput::string(const QString &text) {
    beforeValue();
    appendString(out_, text.toUtf8());
}

void JsonOutput::integer(qint64 value) {
    beforeValue();
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out_.append(buffer, result.ptr - buffer);
}

void JsonOutput::number(double value) {
    beforeValue();
    if (!std::isfinite(value)) {
        out_ += "null";
        return;
    }
    constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63
    char buffer[64];
    if (value == std::trunc(value) && std::fabs(value) < kInt64Limit) {
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<qint64>(value));
        out_.append(buffer, result.ptr - buffer);
        return;
    }
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out_.append(buffer, result.ptr - buffer);
}

void JsonOutput::boolean(bool value) {
    beforeValue();
    out_ += value ? "true" : "false";
}

void JsonOutput::null() {
    beforeValue();
    out_ += "null";
}

void JsonOutput::value(const QJsonValue &value) {
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: null(); break;
    case QJsonValue::Bool: boolean(value.toBool()); break;
    case QJsonValue::Double: {
        const QVariant variant = value.toVariant();
        if (variant.typeId() == QMetaType::LongLong || variant.typeId() == QMetaType::Int) integer(variant.toLongLong());
        else number(value.toDouble());
        break;
    }
    case QJsonValue::String: string(value.toString()); break;
    case QJsonValue::Array: {
        beginArray();
        for (const QJsonValue &element : value.toArray()) this->value(element);
        endArray();
        break;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        std::vector<std::pair<QByteArray, QString>> keys;
        for (auto it = object.begin(); it != object.end(); ++it) keys.emplace_back(it.key().toUtf8(), it.key());
        std::sort(keys.begin(), keys.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
        beginObject();
        for (const auto &[utf8, name] : keys) {
            key(name);
            this->value(object.value(name));
        }
        endObject();
        break;
    }
    }
}

}  // namespace ondrake
