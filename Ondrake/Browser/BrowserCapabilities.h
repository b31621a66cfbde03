#pragma once

#include <QString>

#include <cstdint>
#include <initializer_list>

namespace ondrake {

// What an adapter can do, as a set of bits; callers test it before every guarded operation.
struct BrowserCapabilities {
    std::int64_t rawValue = 0;

    constexpr BrowserCapabilities() = default;
    constexpr explicit BrowserCapabilities(std::int64_t raw) : rawValue(raw) {}
    constexpr BrowserCapabilities(std::initializer_list<BrowserCapabilities> options) {
        for (const auto option : options) rawValue |= option.rawValue;
    }

    static const BrowserCapabilities activate;
    static const BrowserCapabilities close;
    static const BrowserCapabilities move;
    static const BrowserCapabilities open;
    static const BrowserCapabilities pin;
    static const BrowserCapabilities mute;
    static const BrowserCapabilities readingList;
    static const BrowserCapabilities zoomState;

    constexpr bool contains(BrowserCapabilities other) const { return (rawValue & other.rawValue) == other.rawValue; }
    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr BrowserCapabilities operator|(BrowserCapabilities other) const {
        return BrowserCapabilities(rawValue | other.rawValue);
    }
    constexpr BrowserCapabilities operator&(BrowserCapabilities other) const {
        return BrowserCapabilities(rawValue & other.rawValue);
    }
    constexpr bool operator==(const BrowserCapabilities &) const = default;

    // As log lines print it: "BrowserCapabilities(rawValue: 1024)".
    QString description() const { return QStringLiteral("BrowserCapabilities(rawValue: %1)").arg(rawValue); }
};

inline constexpr BrowserCapabilities BrowserCapabilities::activate{0x20};
inline constexpr BrowserCapabilities BrowserCapabilities::close{0x40};
inline constexpr BrowserCapabilities BrowserCapabilities::move{0x80};
inline constexpr BrowserCapabilities BrowserCapabilities::open{0x100};
inline constexpr BrowserCapabilities BrowserCapabilities::pin{0x400};
inline constexpr BrowserCapabilities BrowserCapabilities::mute{0x800};
inline constexpr BrowserCapabilities BrowserCapabilities::readingList{0x8000};
inline constexpr BrowserCapabilities BrowserCapabilities::zoomState{0x20000};

}  // namespace ondrake
