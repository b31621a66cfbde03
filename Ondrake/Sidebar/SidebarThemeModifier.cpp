#include "Ondrake/Sidebar/SidebarThemeModifier.h"

#include "Ondrake/Sidebar/SidebarEnvironment.h"
#include "Ondrake/Sidebar/SidebarThemeTokens.h"

#include <QEvent>
#include <QWidget>

namespace ondrake {

SidebarThemeModifier::SidebarThemeModifier(SidebarThemeChoice choice, QWidget *root, SidebarEnvironment *environment)
    : QObject(root), choice_(choice), root_(root), environment_(environment) {
    root->installEventFilter(this);
    apply();
}

void SidebarThemeModifier::setChoice(SidebarThemeChoice choice) {
    choice_ = choice;
    apply();
}

ColorScheme SidebarThemeModifier::colorScheme() const {
    return root_ ? colorSchemeOf(root_->palette()) : platformColorScheme();
}

bool SidebarThemeModifier::eventFilter(QObject *watched, QEvent *event) {
    if (watched == root_
        && (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange))
        apply();
    return false;
}

void SidebarThemeModifier::apply() {
    if (!environment_) return;
    // The same set may resolve to other colours under another palette: the dark and grey sets
    // draw with the palette's own text colours.
    const auto theme = SidebarThemeTokens::resolve(colorScheme(), choice_);
    if (root_) environment_->setTheme(theme, root_->palette());
    else environment_->setTheme(theme);
}

}  // namespace ondrake
