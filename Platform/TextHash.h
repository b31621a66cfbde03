#pragma once

#include <QHashFunctions>
#include <QStringView>

#include <QString>

#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace ondrake {

// A hash of a text for the application's tables, seeded per process as Qt's is. Qt's own string
// hash leaves the wide vector registers in use on processors with AVX-512, and the string code
// after it, its own for texts under eight characters included, then runs about a hundred times
// slower.
inline std::uint64_t textHash(QStringView text, std::uint64_t seed = 0) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    static const std::uint64_t processSeed = QHashSeed::globalSeed();
    // Two lanes, so that a long text takes half as many dependent steps.
    auto a = (processSeed ^ seed ^ std::uint64_t(text.size())) * kMultiplier;
    auto b = a ^ 0x6A09E667F3BCC909ull;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.utf16());
    const auto size = std::size_t(text.size()) * sizeof(char16_t);
    const auto step = [](std::uint64_t lane, const unsigned char *from, std::size_t count) {
        std::uint64_t word = 0;
        std::memcpy(&word, from, count);
        lane = (lane ^ word) * kMultiplier;
        return lane ^ (lane >> 31);
    };
    std::size_t at = 0;
    for (; at + 16 <= size; at += 16) {
        a = step(a, bytes + at, 8);
        b = step(b, bytes + at + 8, 8);
    }
    if (at + 8 <= size) {
        a = step(a, bytes + at, 8);
        at += 8;
    }
    if (at < size) b = step(b, bytes + at, size - at);
    auto h = a ^ ((b << 23) | (b >> 41));
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

// A text with its hash worked out once, as a key of Qt's hash tables.
struct HashedText {
    explicit HashedText(QStringView t) : text(t), hash(textHash(t)) {}
    HashedText(QStringView t, std::size_t h) : text(t), hash(h) {}
    QStringView text;
    std::size_t hash = 0;
    bool operator==(const HashedText &other) const { return hash == other.hash && text == other.text; }
};
inline std::size_t qHash(const HashedText &key, std::size_t seed) { return key.hash ^ seed; }

// A text as a key of Qt's hash tables, which keep their entries side by side where the standard
// ones allocate each: for the large tables built anew on every poll or keystroke.
struct TextKey {
    TextKey(const QString &t) : text(t) {}  // NOLINT: stands for the text it holds
    operator const QString &() const { return text; }  // NOLINT
    QString text;
    bool operator==(const TextKey &other) const { return text == other.text; }
};
inline std::size_t qHash(const TextKey &key, std::size_t seed) { return textHash(key.text) ^ seed; }

// The hash and equality of the tables keyed by text; a view looks a key up without a copy.
struct TextHasher {
    using is_transparent = void;
    // Not noexcept: the standard library then keeps each key's hash beside it, so that a lookup
    // compares hashes before texts and a table that grows hashes nothing again.
    std::size_t operator()(QStringView text) const { return std::size_t(textHash(text)); }
};
struct TextEqual {
    using is_transparent = void;
    bool operator()(QStringView a, QStringView b) const noexcept { return a == b; }
};

// The tables keyed by text: every table on a path a person waits on is one of these, never a
// QHash or QSet of QString.
template<typename V>
using TextMap = std::unordered_map<QString, V, TextHasher, TextEqual>;
using TextSet = std::unordered_set<QString, TextHasher, TextEqual>;
// Keyed by views of texts that outlive the table, for the tables of one pass over them.
template<typename V>
using TextViewMap = std::unordered_map<QStringView, V, TextHasher, TextEqual>;
using TextViewSet = std::unordered_set<QStringView, TextHasher, TextEqual>;

// The value under the key, or the fallback when there is none, as QHash::value gives it.
template<typename Map>
typename Map::mapped_type valueOr(const Map &map, QStringView key, typename Map::mapped_type fallback = {}) {
    const auto found = map.find(key);
    return found != map.end() ? found->second : std::move(fallback);
}

}  // namespace ondrake
