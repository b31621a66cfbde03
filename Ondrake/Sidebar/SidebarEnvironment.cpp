#include "Ondrake/Sidebar/SidebarEnvironment.h"

#include <algorithm>
#include <iterator>

namespace ondrake {

namespace {
// Whether the set draws in the same colours under both palettes; sets of fixed colours always do.
bool drawsAlike(const SidebarThemeTokens &theme, const QPalette &a, const QPalette &b) {
    const ThemeColor SidebarThemeTokens::*const tokens[] = {
        &SidebarThemeTokens::surface,  &SidebarThemeTokens::foreground, &SidebarThemeTokens::mutedForeground,
        &SidebarThemeTokens::hover,    &SidebarThemeTokens::selection,  &SidebarThemeTokens::border,
        &SidebarThemeTokens::seam,     &SidebarThemeTokens::accent,     &SidebarThemeTokens::treeLine,
        &SidebarThemeTokens::pinnedArea, &SidebarThemeTokens::groupHeader};
    if (theme.fill().resolved(a) != theme.fill().resolved(b)) return false;
    return std::all_of(std::begin(tokens), std::end(tokens),
                       [&](auto token) { return (theme.*token).resolved(a) == (theme.*token).resolved(b); });
}
}  // namespace

SidebarEnvironment::SidebarEnvironment(QObject *parent) : QObject(parent), theme_(SidebarThemeTokens::light()) {}

void SidebarEnvironment::setTheme(const SidebarThemeTokens &theme, const QPalette &palette) {
    const bool changed = theme != theme_ || !drawsAlike(theme, palette, palette_);
    theme_ = theme;
    palette_ = palette;
    if (changed) emit themeChanged();
}

void SidebarEnvironment::setCompact(bool compact) {
    if (compact == isCompact_) return;
    isCompact_ = compact;
    emit compactChanged();
}

}  // namespace ondrake
