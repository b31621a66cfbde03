#pragma once

#include <QHashFunctions>
#include <QStringView>

#include <cstdint>
#include <cstring>

namespace ondrake {

// A hash of a text for the tables that compare pages, seeded per process as Qt's is. Qt's own
// takes a hundred times longer for texts under eight characters on some processors, and titles
// ("Inbox") are often that short.
inline std::uint64_t textHash(QStringView text, std::uint64_t seed = 0) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    static const std::uint64_t processSeed = QHashSeed::globalSeed();
    auto h = (processSeed ^ seed ^ std::uint64_t(text.size())) * kMultiplier;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.utf16());
    const auto size = std::size_t(text.size()) * sizeof(char16_t);
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + at, 8);
        h = (h ^ word) * kMultiplier;
        h ^= h >> 31;
    }
    if (at < size) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + at, size - at);
        h = (h ^ word) * kMultiplier;
    }
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
    QStringView text;
    std::size_t hash = 0;
    bool operator==(const HashedText &other) const { return hash == other.hash && text == other.text; }
};
inline std::size_t qHash(const HashedText &key, std::size_t seed) { return key.hash ^ seed; }

}  // namespace ondrake
