#include "Ondrake/Sidebar/SidebarThemeTokens.h"

namespace ondrake {

namespace {

using C = ThemeColor;

constexpr C rgb(double r, double g, double b) { return C::rgb(r, g, b); }

// Most coloured sets tint every fill with one hue; only the fills' opacities differ.
struct Tint {
    C background, surface, foreground;
    double mutedOpacity;
    C hoverHue;
    double hover;
    C selectionHue;
    double selection;
    double border;
    C seamHue;
    double seam;
    C accent;
    double treeLine, area;
};

SidebarThemeTokens tinted(const Tint &t) {
    return SidebarThemeTokens{
        .background = t.background,
        .surface = t.surface,
        .foreground = t.foreground,
        .mutedForeground = t.foreground.opacity(t.mutedOpacity),
        .hover = t.hoverHue.opacity(t.hover),
        .selection = t.selectionHue.opacity(t.selection),
        .border = t.hoverHue.opacity(t.border),
        .seam = t.seamHue.opacity(t.seam),
        .accent = t.accent,
        .treeLine = t.hoverHue.opacity(t.treeLine),
        .pinnedArea = t.hoverHue.opacity(t.area),
        .groupHeader = t.hoverHue.opacity(t.area),
    };
}

}  // namespace

const SidebarThemeTokens &SidebarThemeTokens::light() {
    static const SidebarThemeTokens set{
        .background = rgb(0.961, 0.961, 0.957),
        .surface = rgb(0.91, 0.91, 0.906),
        .foreground = rgb(0.13, 0.13, 0.13),
        .mutedForeground = rgb(0.13, 0.13, 0.13).opacity(0.7),
        .hover = C::black().opacity(0.06),
        .selection = C::accent().opacity(0.26),
        .border = C::black().opacity(0.1),
        .seam = C::black().opacity(0.15),
        .accent = C::accent(),
        .treeLine = C::black().opacity(0.12),
        .pinnedArea = C::black().opacity(0.04),
        .groupHeader = C::black().opacity(0.04),
    };
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::dark() {
    static const SidebarThemeTokens set{
        .background = std::nullopt,
        .surface = C::white().opacity(0.045),
        .foreground = C::primary(),
        .mutedForeground = C::secondary(),
        .hover = C::primary().opacity(0.08),
        .selection = C::accent().opacity(0.32),
        .border = C::primary().opacity(0.12),
        .seam = C::white().opacity(0.11),
        .accent = C::accent(),
        .treeLine = C::primary().opacity(0.14),
        .pinnedArea = C::white().opacity(0.045),
        .groupHeader = C::white().opacity(0.045),
    };
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::grey() {
    static const SidebarThemeTokens set{
        .background = std::nullopt,
        .surface = C::black().opacity(0.035),
        .foreground = C::primary(),
        .mutedForeground = C::secondary(),
        .hover = C::primary().opacity(0.06),
        .selection = C::accent().opacity(0.26),
        .border = C::primary().opacity(0.1),
        .seam = C::black().opacity(0.15),
        .accent = C::accent(),
        .treeLine = C::primary().opacity(0.12),
        .pinnedArea = C::primary().opacity(0.035),
        .groupHeader = C::primary().opacity(0.035),
    };
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::oled() {
    static const SidebarThemeTokens set{
        .background = C::black(),
        .surface = C::white().opacity(0.06),
        .foreground = C::white(),
        .mutedForeground = C::white().opacity(0.55),
        .hover = C::white().opacity(0.09),
        .selection = rgb(0.35, 0.62, 1).opacity(0.35),
        .border = C::white().opacity(0.14),
        .seam = C::white().opacity(0.14),
        .accent = rgb(0.35, 0.62, 1),
        .treeLine = C::white().opacity(0.16),
        .pinnedArea = C::white().opacity(0.05),
        .groupHeader = C::white().opacity(0.05),
    };
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::warm() {
    static const SidebarThemeTokens set = tinted({
        .background = rgb(0.98, 0.94, 0.86), .surface = rgb(0.95, 0.88, 0.76), .foreground = rgb(0.29, 0.2, 0.11),
        .mutedOpacity = 0.6, .hoverHue = rgb(0.55, 0.38, 0.15), .hover = 0.1,
        .selectionHue = rgb(0.8, 0.47, 0.13), .selection = 0.3, .border = 0.22,
        .seamHue = rgb(0.42, 0.28, 0.1), .seam = 0.28, .accent = rgb(0.8, 0.47, 0.13), .treeLine = 0.28, .area = 0.08,
    });
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::highContrastLight() {
    static const SidebarThemeTokens set{
        .background = C::white(),
        .surface = C::black().opacity(0.07),
        .foreground = C::black(),
        .mutedForeground = C::black().opacity(0.75),
        .hover = C::black().opacity(0.12),
        .selection = rgb(0, 0.32, 0.85).opacity(0.35),
        .border = C::black().opacity(0.55),
        .seam = C::black().opacity(0.55),
        .accent = rgb(0, 0.32, 0.85),
        .treeLine = C::black().opacity(0.45),
        .pinnedArea = C::black().opacity(0.08),
        .groupHeader = C::black().opacity(0.08),
    };
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::highContrastDark() {
    static const SidebarThemeTokens set{
        .background = C::black(),
        .surface = C::white().opacity(0.1),
        .foreground = C::white(),
        .mutedForeground = C::white().opacity(0.8),
        .hover = C::white().opacity(0.16),
        .selection = rgb(1, 0.84, 0).opacity(0.35),
        .border = C::white().opacity(0.6),
        .seam = C::white().opacity(0.6),
        .accent = rgb(1, 0.84, 0),
        .treeLine = C::white().opacity(0.5),
        .pinnedArea = C::white().opacity(0.1),
        .groupHeader = C::white().opacity(0.1),
    };
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::pastelMist() {
    static const SidebarThemeTokens set = tinted({
        .background = rgb(0.949, 0.945, 0.98), .surface = rgb(0.902, 0.898, 0.961), .foreground = rgb(0.2, 0.19, 0.31),
        .mutedOpacity = 0.7, .hoverHue = rgb(0.42, 0.44, 0.82), .hover = 0.1,
        .selectionHue = rgb(0.42, 0.44, 0.82), .selection = 0.3, .border = 0.2,
        .seamHue = rgb(0.3, 0.32, 0.66), .seam = 0.28, .accent = rgb(0.42, 0.44, 0.82), .treeLine = 0.26, .area = 0.07,
    });
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::pastelRose() {
    static const SidebarThemeTokens set = tinted({
        .background = rgb(0.996, 0.941, 0.961), .surface = rgb(0.976, 0.886, 0.918), .foreground = rgb(0.31, 0.16, 0.24),
        .mutedOpacity = 0.7, .hoverHue = rgb(0.72, 0.26, 0.46), .hover = 0.1,
        .selectionHue = rgb(0.82, 0.36, 0.56), .selection = 0.3, .border = 0.2,
        .seamHue = rgb(0.58, 0.18, 0.36), .seam = 0.28, .accent = rgb(0.82, 0.36, 0.56), .treeLine = 0.26, .area = 0.07,
    });
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::pastelMint() {
    static const SidebarThemeTokens set = tinted({
        .background = rgb(0.937, 0.976, 0.957), .surface = rgb(0.867, 0.945, 0.91), .foreground = rgb(0.11, 0.24, 0.19),
        .mutedOpacity = 0.7, .hoverHue = rgb(0.16, 0.58, 0.47), .hover = 0.11,
        .selectionHue = rgb(0.16, 0.58, 0.47), .selection = 0.3, .border = 0.22,
        .seamHue = rgb(0.1, 0.4, 0.32), .seam = 0.28, .accent = rgb(0.14, 0.52, 0.43), .treeLine = 0.28, .area = 0.07,
    });
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::pastelDusk() {
    static const SidebarThemeTokens set = tinted({
        .background = rgb(0.13, 0.13, 0.18), .surface = rgb(0.7, 0.68, 0.95).opacity(0.1), .foreground = rgb(0.9, 0.9, 0.95),
        .mutedOpacity = 0.62, .hoverHue = rgb(0.7, 0.68, 0.95), .hover = 0.12,
        .selectionHue = rgb(0.7, 0.68, 0.95), .selection = 0.32, .border = 0.22,
        .seamHue = rgb(0.78, 0.76, 0.98), .seam = 0.2, .accent = rgb(0.72, 0.7, 0.96), .treeLine = 0.26, .area = 0.09,
    });
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::neoSilver() {
    static const SidebarThemeTokens set = tinted({
        .background = rgb(0.957, 0.961, 0.969), .surface = rgb(0.898, 0.906, 0.922), .foreground = rgb(0.16, 0.18, 0.21),
        .mutedOpacity = 0.7, .hoverHue = rgb(0.34, 0.41, 0.51), .hover = 0.11,
        .selectionHue = rgb(0.34, 0.41, 0.51), .selection = 0.3, .border = 0.2,
        .seamHue = rgb(0.22, 0.28, 0.36), .seam = 0.28, .accent = rgb(0.34, 0.41, 0.51), .treeLine = 0.26, .area = 0.07,
    });
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::neoBlush() {
    static const SidebarThemeTokens set = tinted({
        .background = rgb(0.984, 0.949, 0.945), .surface = rgb(0.961, 0.894, 0.886), .foreground = rgb(0.28, 0.19, 0.2),
        .mutedOpacity = 0.7, .hoverHue = rgb(0.62, 0.34, 0.34), .hover = 0.11,
        .selectionHue = rgb(0.74, 0.44, 0.43), .selection = 0.3, .border = 0.2,
        .seamHue = rgb(0.5, 0.24, 0.24), .seam = 0.28, .accent = rgb(0.74, 0.44, 0.43), .treeLine = 0.26, .area = 0.07,
    });
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::neoCitrus() {
    static const SidebarThemeTokens set = tinted({
        .background = rgb(0.988, 0.976, 0.91), .surface = rgb(0.965, 0.937, 0.804), .foreground = rgb(0.24, 0.21, 0.06),
        .mutedOpacity = 0.7, .hoverHue = rgb(0.48, 0.39, 0.06), .hover = 0.11,
        .selectionHue = rgb(0.72, 0.56, 0.06), .selection = 0.34, .border = 0.2,
        .seamHue = rgb(0.36, 0.29, 0.04), .seam = 0.28, .accent = rgb(0.72, 0.56, 0.06), .treeLine = 0.26, .area = 0.07,
    });
    return set;
}

const SidebarThemeTokens &SidebarThemeTokens::neoIndigo() {
    static const SidebarThemeTokens set = tinted({
        .background = rgb(0.11, 0.12, 0.2), .surface = rgb(0.55, 0.6, 0.95).opacity(0.1), .foreground = rgb(0.9, 0.91, 0.96),
        .mutedOpacity = 0.62, .hoverHue = rgb(0.55, 0.6, 0.95), .hover = 0.12,
        .selectionHue = rgb(0.55, 0.6, 0.95), .selection = 0.32, .border = 0.22,
        .seamHue = rgb(0.68, 0.72, 0.99), .seam = 0.2, .accent = rgb(0.58, 0.63, 0.96), .treeLine = 0.26, .area = 0.09,
    });
    return set;
}

SidebarThemeTokens SidebarThemeTokens::resolve(ColorScheme scheme, SidebarThemeChoice choice) {
    const bool isDark = scheme == ColorScheme::dark;
    switch (choice) {
    case SidebarThemeChoice::system: return isDark ? dark() : light();
    case SidebarThemeChoice::light: return light();
    case SidebarThemeChoice::grey: return grey();
    case SidebarThemeChoice::dark: return dark();
    case SidebarThemeChoice::oled: return oled();
    case SidebarThemeChoice::warm: return warm();
    case SidebarThemeChoice::highContrast: return isDark ? highContrastDark() : highContrastLight();
    case SidebarThemeChoice::pastelMist: return pastelMist();
    case SidebarThemeChoice::pastelRose: return pastelRose();
    case SidebarThemeChoice::pastelMint: return pastelMint();
    case SidebarThemeChoice::pastelDusk: return pastelDusk();
    case SidebarThemeChoice::neoSilver: return neoSilver();
    case SidebarThemeChoice::neoBlush: return neoBlush();
    case SidebarThemeChoice::neoCitrus: return neoCitrus();
    case SidebarThemeChoice::neoIndigo: return neoIndigo();
    }
    return light();
}

}  // namespace ondrake
