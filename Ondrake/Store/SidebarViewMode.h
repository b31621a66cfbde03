#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <optional>

namespace ondrake {

// How the sidebar lists the tabs: the nested tree, or one of the flat arrangements.
enum class SidebarViewMode { tree, age, domain, group };

inline constexpr std::array<SidebarViewMode, 4> kAllSidebarViewModes = {
    SidebarViewMode::tree, SidebarViewMode::age, SidebarViewMode::domain, SidebarViewMode::group};

// The raw value, the case name.
QString toString(SidebarViewMode mode);
std::optional<SidebarViewMode> sidebarViewModeFromString(QStringView text);

inline std::size_t qHash(SidebarViewMode mode, std::size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(mode), seed);
}

}  // namespace ondrake
