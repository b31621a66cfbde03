#pragma once

#include "Ondrake/Sidebar/SidebarThemeTokens.h"

#include <QObject>

namespace ondrake {

// What every sidebar view reads besides its own data: the resolved theme and whether the sidebar
// shows favicons only. Writing an equal value is not a change.
class SidebarEnvironment : public QObject {
    Q_OBJECT
public:
    explicit SidebarEnvironment(QObject *parent = nullptr);

    const SidebarThemeTokens &theme() const { return theme_; }
    void setTheme(const SidebarThemeTokens &theme);

    bool isCompact() const { return isCompact_; }
    void setCompact(bool compact);

signals:
    void themeChanged();
    void compactChanged();

private:
    SidebarThemeTokens theme_;
    bool isCompact_ = false;
};

}  // namespace ondrake
