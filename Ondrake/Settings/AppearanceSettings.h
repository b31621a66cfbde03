#pragma once

#include "Ondrake/Sidebar/SidebarThemeChoice.h"

#include <QString>

#include <vector>

namespace ondrake {

class UserDefaults;

inline const QString kExpandSafariWhenCompactKey = QStringLiteral("SidebarExpandSafariWhenCompact");

// One family of the theme picker; the classic family has no header. Headers are translation
// sources of the "AppearanceSettingsView" context.
struct ThemePickerSection {
    QString header;
    std::vector<SidebarThemeChoice> choices;
    bool operator==(const ThemePickerSection &) const = default;
};

std::vector<ThemePickerSection> themePickerSections();
QString themeDescription(SidebarThemeChoice choice);
// How else the rail is switched: its key, the status menu and the sidebar's own arrow.
QString compactRailNote();
// A whole number of points, truncated toward zero: 63.7 reads "63 pt".
QString wholePointsText(double points);

void storeThemeChoice(UserDefaults &defaults, SidebarThemeChoice choice);
bool expandsSafariWhenCompact(const UserDefaults &defaults);
void storeExpandsSafariWhenCompact(UserDefaults &defaults, bool expands);

}  // namespace ondrake
