#include "PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QVariantList>

#include <plist/plist.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace ondrake::PropertyList {

namespace {

// Preferences files are small; these bounds keep the parser away from inputs built to exhaust
// its stack or memory.
constexpr qint64 kMaxBytes = 32 * 1024 * 1024;
constexpr int kMaxDepth = 256;
// A binary list can name one object many times; once shared objects are copied out, a few
// hundred bytes could otherwise stand for millions of objects and tens of megabytes of text.
constexpr std::uint64_t kMaxExpandedObjects = 100'000;
constexpr std::uint64_t kMaxExpandedBytes = 4 * 1024 * 1024;

// No NUL character, raw or as a character reference: the parser asserts on text that holds one.
bool xmlHasNoNul(const QByteArray &data) {
    if (data.contains('\0')) return false;
    for (qsizetype at = data.indexOf("&#"); at >= 0; at = data.indexOf("&#", at + 2)) {
        qsizetype i = at + 2;
        if (i < data.size() && (data[i] == 'x' || data[i] == 'X')) ++i;
        const qsizetype digits = i;
        while (i < data.size() && data[i] == '0') ++i;
        if (i > digits && i < data.size() && data[i] == ';') return false;
    }
    return true;
}

// Container tags nest at most kMaxDepth deep. Counts generously (tags inside comments too).
bool xmlNestingIsBounded(const QByteArray &data) {
    const auto startsWithName = [&](qsizetype at) {
        while (at < data.size() && (data[at] == ' ' || data[at] == '\t' || data[at] == '\n' || data[at] == '\r')) ++at;
        const auto rest = QByteArrayView(data).sliced(at);
        return rest.startsWith("array") || rest.startsWith("dict");
    };
    int depth = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (data[i] != '<') continue;
        if (i + 1 < data.size() && data[i + 1] == '/') {
            if (startsWithName(i + 2) && depth > 0) --depth;
            continue;
        }
        if (!startsWithName(i + 1)) continue;
        const qsizetype end = data.indexOf('>', i);
        if (end < 0) return true;  // unterminated: the parser rejects it
        if (data[end - 1] == '/') continue;  // <array/>
        if (++depth > kMaxDepth) return false;
    }
    return true;
}

// Checks a binary property list's structure before the parser sees it: every object lies inside
// the object area, every reference names an object, keys are strings, there is no loop, and the
// tree the references describe is neither too deep nor too large once shared objects are copied.
class BinaryCheck {
public:
    explicit BinaryCheck(const QByteArray &data) : data_(reinterpret_cast<const std::uint8_t *>(data.constData())), size_(std::uint64_t(data.size())) {}

    bool run() {
        if (size_ < 8 + 1 + 1 + 32) return false;
        const std::uint8_t *trailer = data_ + size_ - 32;
        offsetSize_ = trailer[6];
        refSize_ = trailer[7];
        const std::uint64_t count = be(trailer + 8, 8);
        const std::uint64_t top = be(trailer + 16, 8);
        tableOffset_ = be(trailer + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return false;
        if (count == 0 || top >= count || tableOffset_ < 9 || tableOffset_ > size_ - 32) return false;
        if (count > (size_ - 32 - tableOffset_) / offsetSize_) return false;
        count_ = count;
        return walk(top);
    }

private:
    enum class State : std::uint8_t { unvisited, open, done };

    struct Object {
        std::vector<std::uint64_t> children;
        std::vector<bool> mustBeString;  // dictionary keys
    };

    static std::uint64_t be(const std::uint8_t *p, unsigned n) {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < n; ++i) v = (v << 8) | p[i];
        return v;
    }

    bool offsetOf(std::uint64_t index, std::uint64_t &offset) const {
        offset = be(data_ + tableOffset_ + index * offsetSize_, offsetSize_);
        return offset >= 8 && offset < tableOffset_;
    }

    // The length that follows a marker whose low nibble is 0xF.
    bool extendedLength(std::uint64_t &at, std::uint64_t &length) const {
        if (at >= tableOffset_) return false;
        const std::uint8_t marker = data_[at];
        if ((marker >> 4) != 0x1 || (marker & 0xF) > 3) return false;
        const unsigned bytes = 1u << (marker & 0xF);
        if (at + 1 + bytes > tableOffset_) return false;
        length = be(data_ + at + 1, bytes);
        at += 1 + bytes;
        return true;
    }

    bool fits(std::uint64_t at, std::uint64_t length) const { return at <= tableOffset_ && length <= tableOffset_ - at; }

    // `bytes`: what the object itself weighs once read: its text or data, or a word for anything else.
    bool parse(std::uint64_t index, Object &object, bool &isString, std::uint64_t &bytes) const {
        std::uint64_t at = 0;
        if (!offsetOf(index, at)) return false;
        const std::uint8_t marker = data_[at];
        const unsigned type = marker >> 4;
        const unsigned info = marker & 0xF;
        ++at;
        isString = type == 0x5 || type == 0x6;
        std::uint64_t length = info;
        const bool counted = type == 0x4 || type == 0x5 || type == 0x6 || type == 0xA || type == 0xC || type == 0xD;
        if (counted && info == 0xF && !extendedLength(at, length)) return false;
        bytes = type == 0x4 || type == 0x5 ? length : type == 0x6 ? 2 * length : 8;
        switch (type) {
        case 0x0: return marker == 0x00 || marker == 0x08 || marker == 0x09 || marker == 0x0F;
        case 0x1: return info <= 4 && fits(at, 1ull << info);
        case 0x2: return (info == 2 || info == 3) && fits(at, 1ull << info);
        case 0x3: return marker == 0x33 && fits(at, 8);
        case 0x4: return fits(at, length);
        // The parser insists that text holds no NUL character.
        case 0x5: return fits(at, length) && !std::memchr(data_ + at, 0, length);
        case 0x6: {
            if (length > tableOffset_ / 2 || !fits(at, length * 2)) return false;
            for (std::uint64_t i = 0; i < length; ++i)
                if (data_[at + 2 * i] == 0 && data_[at + 2 * i + 1] == 0) return false;
            return true;
        }
        case 0x8: return fits(at, info + 1);
        case 0xA:
        case 0xC:
        case 0xD: {
            const std::uint64_t refs = type == 0xD ? length * 2 : length;
            if (length > tableOffset_ || refs > tableOffset_ / refSize_ || !fits(at, refs * refSize_)) return false;
            object.children.reserve(refs);
            for (std::uint64_t i = 0; i < refs; ++i) {
                const std::uint64_t ref = be(data_ + at + i * refSize_, refSize_);
                if (ref >= count_) return false;
                object.children.push_back(ref);
                object.mustBeString.push_back(type == 0xD && i < length);
            }
            return true;
        }
        default: return false;
        }
    }

    bool walk(std::uint64_t top) {
        std::vector<State> state(count_, State::unvisited);
        std::vector<std::uint32_t> height(count_, 0);
        std::vector<std::uint64_t> expanded(count_, 0);
        std::vector<std::uint64_t> expandedBytes(count_, 0);
        struct Frame {
            std::uint64_t index;
            Object object;
            std::size_t next = 0;
        };
        std::vector<Frame> stack;
        const auto enter = [&](std::uint64_t index, bool mustBeString) {
            Frame frame{index, {}, 0};
            bool isString = false;
            if (!parse(index, frame.object, isString, expandedBytes[index]) || (mustBeString && !isString)) return false;
            state[index] = State::open;
            stack.push_back(std::move(frame));
            return stack.size() <= std::size_t(kMaxDepth);
        };
        if (!enter(top, false)) return false;
        while (!stack.empty()) {
            Frame &frame = stack.back();
            if (frame.next < frame.object.children.size()) {
                const std::uint64_t child = frame.object.children[frame.next];
                const bool mustBeString = frame.object.mustBeString[frame.next];
                ++frame.next;
                if (state[child] == State::open) return false;  // a loop
                if (state[child] == State::done) {
                    if (mustBeString) {
                        Object ignored;
                        bool isString = false;
                        std::uint64_t bytes = 0;
                        if (!parse(child, ignored, isString, bytes) || !isString) return false;
                    }
                    continue;
                }
                if (!enter(child, mustBeString)) return false;
                continue;
            }
            std::uint32_t h = 0;
            std::uint64_t n = 1;
            std::uint64_t bytes = expandedBytes[frame.index];
            for (const std::uint64_t child : frame.object.children) {
                h = std::max(h, height[child]);
                n += expanded[child];
                bytes += expandedBytes[child];
                if (n > kMaxExpandedObjects || bytes > kMaxExpandedBytes) return false;
            }
            height[frame.index] = h + 1;
            expanded[frame.index] = n;
            expandedBytes[frame.index] = bytes;
            state[frame.index] = State::done;
            stack.pop_back();
        }
        return true;
    }

    const std::uint8_t *data_;
    std::uint64_t size_;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t tableOffset_ = 0;
};

struct PlistFree {
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct CFree {
    void operator()(void *p) const { std::free(p); }
};

QString takeString(char *text) {
    const std::unique_ptr<char, CFree> owned(text);
    return owned ? QString::fromUtf8(owned.get()) : QString();
}

std::optional<QVariant> convert(plist_t node, int depth);

std::optional<QVariantMap> convertDictionary(plist_t node, int depth) {
    QVariantMap map;
    plist_dict_iter raw = nullptr;
    plist_dict_new_iter(node, &raw);
    const std::unique_ptr<void, CFree> iter(raw);
    while (true) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iter.get(), &key, &value);
        if (!value) {
            std::free(key);
            break;
        }
        const QString name = takeString(key);
        auto converted = convert(value, depth + 1);
        if (!converted) return std::nullopt;
        map.insert(name, *converted);
    }
    return map;
}

std::optional<QVariant> convert(plist_t node, int depth) {
    if (depth > kMaxDepth) return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return QVariant(value != 0);
    }
    case PLIST_UINT: {
        std::uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QVariant(static_cast<qint64>(value));  // negative integers arrive in two's complement
    }
    case PLIST_UID: {
        std::uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return QVariant(static_cast<qint64>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QVariant(value);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        char *text = nullptr;
        plist_get_string_val(node, &text);
        return QVariant(takeString(text));
    }
    case PLIST_DATE: {
        std::int32_t seconds = 0;
        std::int32_t micros = 0;
        plist_get_date_val(node, &seconds, &micros);
        static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
        return QVariant(reference.addMSecs(qint64(seconds) * 1000 + micros / 1000));
    }
    case PLIST_DATA: {
        char *bytes = nullptr;
        std::uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        const std::unique_ptr<char, CFree> owned(bytes);
        return QVariant(QByteArray(owned.get(), qsizetype(length)));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const std::uint32_t size = plist_array_get_size(node);
        for (std::uint32_t i = 0; i < size; ++i) {
            auto converted = convert(plist_array_get_item(node, i), depth + 1);
            if (!converted) return std::nullopt;
            list.append(*converted);
        }
        return QVariant(list);
    }
    case PLIST_DICT: {
        auto map = convertDictionary(node, depth);
        if (!map) return std::nullopt;
        return QVariant(*map);
    }
    case PLIST_NONE: break;
    }
    return std::nullopt;
}

}  // namespace

std::optional<QVariantMap> dictionaryFromData(const QByteArray &data) {
    if (data.isEmpty() || data.size() > kMaxBytes) return std::nullopt;
    plist_t raw = nullptr;
    if (data.startsWith("bplist")) {
        if (!data.startsWith("bplist00") || !BinaryCheck(data).run()) return std::nullopt;
        plist_from_bin(data.constData(), std::uint32_t(data.size()), &raw);
    } else {
        if (!xmlHasNoNul(data) || !xmlNestingIsBounded(data)) return std::nullopt;
        plist_from_xml(data.constData(), std::uint32_t(data.size()), &raw);
    }
    const PlistPtr root(raw);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
    return convertDictionary(root.get(), 0);
}

std::optional<QVariantMap> readDictionary(const QString &path, qint64 maxBytes) {
    // Only a regular file, so that opening never waits on a FIFO.
    if (!QFileInfo(path).isFile()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    if (file.size() > std::min(maxBytes, kMaxBytes)) return std::nullopt;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return dictionaryFromData(data);
}

}  // namespace ondrake::PropertyList
