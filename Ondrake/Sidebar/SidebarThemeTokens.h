#pragma once

#include "Ondrake/Sidebar/SidebarThemeChoice.h"
#include "Ondrake/Sidebar/ThemeColor.h"

#include <optional>

namespace ondrake {

// The twelve colours every sidebar view draws with.
struct SidebarThemeTokens {
    std::optional<ThemeColor> background;  // none: the window material shows through
    ThemeColor surface;
    ThemeColor foreground;
    ThemeColor mutedForeground;
    ThemeColor hover;
    ThemeColor selection;
    ThemeColor border;
    ThemeColor seam;
    ThemeColor accent;
    ThemeColor treeLine;
    ThemeColor pinnedArea;
    ThemeColor groupHeader;

    bool operator==(const SidebarThemeTokens &) const = default;

    // What the sidebar paints behind everything: the background, or an opaque stand-in for the
    // translucent material where the set has none.
    ThemeColor fill() const { return background.value_or(ThemeColor::material()); }

    static SidebarThemeTokens resolve(ColorScheme scheme, SidebarThemeChoice choice);

    // The shared sets, made once. The immersive bar takes light or dark directly.
    static const SidebarThemeTokens &light();
    static const SidebarThemeTokens &dark();
    static const SidebarThemeTokens &grey();
    static const SidebarThemeTokens &oled();
    static const SidebarThemeTokens &warm();
    static const SidebarThemeTokens &highContrastLight();
    static const SidebarThemeTokens &highContrastDark();
    static const SidebarThemeTokens &pastelMist();
    static const SidebarThemeTokens &pastelRose();
    static const SidebarThemeTokens &pastelMint();
    static const SidebarThemeTokens &pastelDusk();
    static const SidebarThemeTokens &neoSilver();
    static const SidebarThemeTokens &neoBlush();
    static const SidebarThemeTokens &neoCitrus();
    static const SidebarThemeTokens &neoIndigo();
};

}  // namespace ondrake
