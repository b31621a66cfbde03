#pragma once

#include "Ondrake/Sidebar/SidebarThemeTokens.h"

#include <QObject>
#include <QPalette>

namespace ondrake {

// What every sidebar view reads besides its own data: the resolved theme, the palette its system
// colours are turned into pixels against (the sidebar root's, which follows the panel's appearance
// and the desktop's scheme), and whether the sidebar shows favicons only. Writing a value that
// draws as before is not a change.
class SidebarEnvironment : public QObject {
    Q_OBJECT
public:
    explicit SidebarEnvironment(QObject *parent = nullptr);

    const SidebarThemeTokens &theme() const { return theme_; }
    void setTheme(const SidebarThemeTokens &theme) { setTheme(theme, palette_); }
    void setTheme(const SidebarThemeTokens &theme, const QPalette &palette);
    const QPalette &palette() const { return palette_; }
    // A colour of the theme as it is drawn now.
    QColor color(const ThemeColor &token) const { return token.resolved(palette_); }

    bool isCompact() const { return isCompact_; }
    void setCompact(bool compact);

signals:
    // The theme's colours changed: another set, or one whose system colours now draw otherwise.
    void themeChanged();
    void compactChanged();

private:
    SidebarThemeTokens theme_;
    QPalette palette_;
    bool isCompact_ = false;
};

}  // namespace ondrake
