#include "Ondrake/Sidebar/SidebarEnvironment.h"

namespace ondrake {

SidebarEnvironment::SidebarEnvironment(QObject *parent) : QObject(parent), theme_(SidebarThemeTokens::light()) {}

void SidebarEnvironment::setTheme(const SidebarThemeTokens &theme) {
    if (theme == theme_) return;
    theme_ = theme;
    emit themeChanged();
}

void SidebarEnvironment::setCompact(bool compact) {
    if (compact == isCompact_) return;
    isCompact_ = compact;
    emit compactChanged();
}

}  // namespace ondrake
