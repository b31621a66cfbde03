#pragma once

#include <cstdint>

namespace ondrake {

// The modifier keys of a click or key press; the platform's other flags are not among them.
struct SidebarModifiers {
    std::int64_t rawValue = 0;

    static constexpr std::int64_t kCommand = 1, kShift = 2, kOption = 4, kControl = 8;
    static constexpr SidebarModifiers none() { return {}; }
    static constexpr SidebarModifiers command() { return {kCommand}; }
    static constexpr SidebarModifiers shift() { return {kShift}; }
    static constexpr SidebarModifiers option() { return {kOption}; }
    static constexpr SidebarModifiers control() { return {kControl}; }

    constexpr bool contains(SidebarModifiers other) const { return (rawValue & other.rawValue) == other.rawValue; }
    constexpr SidebarModifiers operator|(SidebarModifiers other) const { return {rawValue | other.rawValue}; }
    constexpr bool operator==(const SidebarModifiers &) const = default;
};

}  // namespace ondrake
