#include "MessageValue.h"

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <limits>

namespace ondrake {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

const char *skipSpace(const char *at, const char *end) {
    while (at < end && isSpace(*at)) ++at;
    return at;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool inRange(const char *at, unsigned char low, unsigned char high) {
    const auto c = static_cast<unsigned char>(*at);
    return c >= low && c <= high;
}

// Checks a whole JSON text without building anything, never reading past `end`.
class Checker {
public:
    Checker(const char *at, const char *end) : at_(at), end_(end) {}

    bool text() {
        if (!value(0)) return false;
        return skipSpace(at_, end_) == end_;
    }

private:
    bool value(int depth) {
        at_ = skipSpace(at_, end_);
        if (at_ == end_) return false;
        switch (*at_) {
        case '{': return container(depth + 1, '}', true);
        case '[': return container(depth + 1, ']', false);
        case '"': return string();
        case 't': return literal("true");
        case 'f': return literal("false");
        case 'n': return literal("null");
        default: return number();
        }
    }

    bool container(int depth, char close, bool object) {
        if (depth > MessageValue::kMaximumDepth) return false;
        at_ = skipSpace(at_ + 1, end_);
        if (at_ < end_ && *at_ == close) {
            ++at_;
            return true;
        }
        for (;;) {
            if (object) {
                at_ = skipSpace(at_, end_);
                if (at_ == end_ || *at_ != '"' || !string()) return false;
                at_ = skipSpace(at_, end_);
                if (at_ == end_ || *at_ != ':') return false;
                ++at_;
            }
            if (!value(depth)) return false;
            at_ = skipSpace(at_, end_);
            if (at_ == end_) return false;
            if (*at_ == close) {
                ++at_;
                return true;
            }
            if (*at_ != ',') return false;
            ++at_;
        }
    }

    bool literal(QByteArrayView word) {
        if (end_ - at_ < word.size() || QByteArrayView(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    bool digits() {
        const char *start = at_;
        while (at_ < end_ && isDigit(*at_)) ++at_;
        return at_ > start;
    }

    bool number() {
        if (*at_ == '-') ++at_;
        if (at_ == end_ || !isDigit(*at_)) return false;
        if (*at_ == '0') ++at_;
        else digits();
        if (at_ < end_ && *at_ == '.') {
            ++at_;
            if (!digits()) return false;
        }
        if (at_ < end_ && (*at_ == 'e' || *at_ == 'E')) {
            ++at_;
            if (at_ < end_ && (*at_ == '+' || *at_ == '-')) ++at_;
            if (!digits()) return false;
        }
        return true;
    }

    // Raw control characters are let through, as the platform's own reader does.
    bool string() {
        ++at_;
        while (at_ < end_) {
            const auto c = static_cast<unsigned char>(*at_);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c == '\\') {
                if (!escape()) return false;
            } else if (c < 0x80) {
                ++at_;
            } else if (!utf8Sequence()) {
                return false;
            }
        }
        return false;
    }

    bool escape() {
        if (end_ - at_ < 2) return false;
        switch (at_[1]) {
        case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't': at_ += 2; return true;
        case 'u':
            if (end_ - at_ < 6) return false;
            for (int i = 2; i < 6; ++i)
                if (hexValue(at_[i]) < 0) return false;
            at_ += 6;
            return true;
        default: return false;
        }
    }

    // Well-formed UTF-8 only: no overlong forms, no encoded surrogates, nothing past U+10FFFF.
    bool utf8Sequence() {
        const auto lead = static_cast<unsigned char>(*at_);
        int length = 0;
        unsigned char low = 0x80, high = 0xBF;  // the second byte's range
        if (lead >= 0xC2 && lead <= 0xDF) length = 2;
        else if (lead == 0xE0) length = 3, low = 0xA0;
        else if (lead == 0xED) length = 3, high = 0x9F;
        else if (lead >= 0xE1 && lead <= 0xEF) length = 3;
        else if (lead == 0xF0) length = 4, low = 0x90;
        else if (lead == 0xF4) length = 4, high = 0x8F;
        else if (lead >= 0xF1 && lead <= 0xF3) length = 4;
        else return false;
        if (end_ - at_ < length || !inRange(at_ + 1, low, high)) return false;
        for (int i = 2; i < length; ++i)
            if (!inRange(at_ + i, 0x80, 0xBF)) return false;
        at_ += length;
        return true;
    }

    const char *at_;
    const char *end_;
};

// Past the string that starts at `at` (its opening quote); notes whether it holds an escape. Most
// of a message is text, so the closing quote is looked for a run at a time.
const char *skipString(const char *at, const char *end, bool &escaped) {
    const char *start = ++at;
    for (;;) {
        const char *quote = static_cast<const char *>(std::memchr(at, '"', std::size_t(end - at)));
        const char *before = quote;
        while (before > start && before[-1] == '\\') --before;
        if ((quote - before) % 2 == 0) {  // not itself escaped
            escaped = escaped || std::memchr(start, '\\', std::size_t(quote - start)) != nullptr;
            return quote + 1;
        }
        at = quote + 1;
    }
}

// Past the array or object that starts at `at`.
const char *skipContainer(const char *at, const char *end) {
    int depth = 0;
    for (;;) {
        const char c = *at;
        if (c == '"') {
            bool escaped = false;
            at = skipString(at, end, escaped);
            continue;
        }
        ++at;
        if (c == '{' || c == '[') ++depth;
        else if ((c == '}' || c == ']') && --depth == 0) return at;
    }
}

}  // namespace

std::optional<MessageValue> MessageValue::parse(QByteArrayView bytes) {
    const char *begin = bytes.data();
    const char *end = begin + bytes.size();
    if (bytes.startsWith("\xEF\xBB\xBF")) begin += 3;
    if (!Checker(begin, end).text()) return std::nullopt;
    const char *at = skipSpace(begin, end);
    return read(at, end);
}

MessageValue MessageValue::read(const char *&at, const char *end) {
    const char *begin = at;
    switch (*at) {
    case '"': {
        bool escaped = false;
        at = skipString(at, end, escaped);
        return {begin, at, Kind::string, escaped};
    }
    case '{': at = skipContainer(at, end); return {begin, at, Kind::object, false};
    case '[': at = skipContainer(at, end); return {begin, at, Kind::array, false};
    case 't': at += 4; return {begin, at, Kind::boolean, false};
    case 'f': at += 5; return {begin, at, Kind::boolean, false};
    case 'n': at += 4; return {begin, at, Kind::null, false};
    default:
        while (at < end && (isDigit(*at) || *at == '-' || *at == '+' || *at == '.' || *at == 'e' || *at == 'E')) ++at;
        return {begin, at, Kind::number, false};
    }
}

std::optional<qint64> MessageValue::integer() const {
    if (kind_ != Kind::number) return std::nullopt;
    // The number is ±digits×10^(point−count): the digits of both parts run together, the decimal
    // point sitting after `point` of them. Exact, unlike a detour through a double, which would
    // round a number just past either end of the range onto it.
    const char *at = begin_;
    const bool negative = *at == '-';
    if (negative) ++at;
    const char *integral = at;
    while (at < end_ && isDigit(*at)) ++at;
    const qsizetype integralCount = at - integral;
    const char *fraction = at;
    qsizetype fractionCount = 0;
    if (at < end_ && *at == '.') {
        fraction = ++at;
        while (at < end_ && isDigit(*at)) ++at;
        fractionCount = at - fraction;
    }
    constexpr qint64 kExponentLimit = 1'000'000'000;  // far beyond any digit count a message can hold
    qint64 exponent = 0;
    if (at < end_ && (*at == 'e' || *at == 'E')) {
        ++at;
        const bool down = *at == '-';
        if (*at == '-' || *at == '+') ++at;
        for (; at < end_; ++at) exponent = std::min(exponent * 10 + (*at - '0'), kExponentLimit);
        if (down) exponent = -exponent;
    }
    const qsizetype count = integralCount + fractionCount;
    const auto digit = [&](qsizetype i) { return i < integralCount ? integral[i] : fraction[i - integralCount]; };

    qsizetype first = 0;  // the first significant digit
    while (first < count && digit(first) == '0') ++first;
    if (first == count) return 0;
    const qint64 point = integralCount + exponent - first;  // significant digits before the point
    if (point <= 0) return std::nullopt;                   // a nonzero fraction
    if (point > 19) return std::nullopt;                   // at least 10^19
    for (qsizetype i = first + point; i < count; ++i)
        if (digit(i) != '0') return std::nullopt;
    std::uint64_t magnitude = 0;
    for (qint64 i = 0; i < point; ++i) {
        const qsizetype at = first + i;
        magnitude = magnitude * 10 + std::uint64_t(at < count ? digit(at) - '0' : 0);
    }
    constexpr auto kMaximum = std::uint64_t(std::numeric_limits<qint64>::max());
    if (!negative) {
        if (magnitude > kMaximum) return std::nullopt;
        return qint64(magnitude);
    }
    if (magnitude > kMaximum + 1) return std::nullopt;
    return magnitude == kMaximum + 1 ? std::numeric_limits<qint64>::min() : -qint64(magnitude);
}

QString MessageValue::text() const {
    if (kind_ != Kind::string) return {};
    const char *at = begin_ + 1;
    const char *end = end_ - 1;
    if (!escaped_) return QString::fromUtf8(at, end - at);
    QString out;
    out.reserve(end - at);
    while (at < end) {
        const char *run = at;
        while (at < end && *at != '\\') ++at;
        if (at > run) out += QString::fromUtf8(run, at - run);  // a backslash never splits a character
        if (at == end) break;
        const char escaped = at[1];
        at += 2;
        switch (escaped) {
        case 'b': out += QChar(u'\b'); break;
        case 'f': out += QChar(u'\f'); break;
        case 'n': out += QChar(u'\n'); break;
        case 'r': out += QChar(u'\r'); break;
        case 't': out += QChar(u'\t'); break;
        case 'u': {
            char16_t unit = 0;
            for (int i = 0; i < 4; ++i) unit = char16_t(unit << 4 | hexValue(at[i]));
            out += QChar(unit);
            at += 4;
            break;
        }
        default: out += QLatin1Char(escaped); break;  // quote, backslash, slash
        }
    }
    return out;
}

bool MessageValue::textEquals(QLatin1StringView expected) const {
    if (kind_ != Kind::string) return false;
    if (escaped_) return text() == expected;
    // Expected texts are ASCII, whose UTF-8 is the same bytes.
    return QByteArrayView(begin_ + 1, end_ - begin_ - 2) == QByteArrayView(expected.data(), expected.size());
}

MessageCursor::MessageCursor(const MessageValue &container)
    : at_(container.begin_), end_(container.end_), object_(container.kind_ == MessageValue::Kind::object) {
    if (container.kind_ == MessageValue::Kind::array || container.kind_ == MessageValue::Kind::object) {
        ++at_;   // past the opening bracket
        --end_;  // at the closing one
    } else {
        at_ = end_;
    }
}

bool MessageCursor::next() {
    at_ = skipSpace(at_, end_);
    if (at_ == end_) return false;
    if (!first_) at_ = skipSpace(at_ + 1, end_);  // past the comma
    first_ = false;
    if (object_) {
        key_ = MessageValue::read(at_, end_);
        at_ = skipSpace(at_, end_) + 1;  // past the colon
        at_ = skipSpace(at_, end_);
    }
    value_ = MessageValue::read(at_, end_);
    return true;
}

}  // namespace ondrake
