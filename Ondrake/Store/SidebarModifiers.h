#pragma once

#include <Qt>

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

    // Qt names the command key Control and the control key Meta; caps lock, keypad and the
    // other flags are not modifiers here.
    static constexpr SidebarModifiers fromQt(Qt::KeyboardModifiers flags) {
        std::int64_t raw = 0;
        if (flags.testFlag(Qt::ControlModifier)) raw |= kCommand;
        if (flags.testFlag(Qt::ShiftModifier)) raw |= kShift;
        if (flags.testFlag(Qt::AltModifier)) raw |= kOption;
        if (flags.testFlag(Qt::MetaModifier)) raw |= kControl;
        return {raw};
    }

    constexpr bool contains(SidebarModifiers other) const { return (rawValue & other.rawValue) == other.rawValue; }
    constexpr SidebarModifiers operator|(SidebarModifiers other) const { return {rawValue | other.rawValue}; }
    constexpr bool operator==(const SidebarModifiers &) const = default;
};

}  // namespace ondrake
