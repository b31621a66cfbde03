#pragma once

#include <QJsonValue>
#include <QPalette>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace ondrake {

class UserDefaults;

// The user's theme. Stored (user defaults, JSON) as the case name.
enum class SidebarThemeChoice {
    system,
    light,
    grey,
    dark,
    oled,
    warm,
    highContrast,
    pastelMist,
    pastelRose,
    pastelMint,
    pastelDusk,
    neoSilver,
    neoBlush,
    neoCitrus,
    neoIndigo,
};

inline constexpr std::array<SidebarThemeChoice, 15> kAllSidebarThemeChoices = {
    SidebarThemeChoice::system,     SidebarThemeChoice::light,      SidebarThemeChoice::grey,
    SidebarThemeChoice::dark,       SidebarThemeChoice::oled,       SidebarThemeChoice::warm,
    SidebarThemeChoice::highContrast, SidebarThemeChoice::pastelMist, SidebarThemeChoice::pastelRose,
    SidebarThemeChoice::pastelMint, SidebarThemeChoice::pastelDusk, SidebarThemeChoice::neoSilver,
    SidebarThemeChoice::neoBlush,   SidebarThemeChoice::neoCitrus,  SidebarThemeChoice::neoIndigo,
};

enum class SidebarThemeFamily { classic, pastel, macBookNeo };

inline constexpr std::array<SidebarThemeFamily, 3> kAllSidebarThemeFamilies = {
    SidebarThemeFamily::classic, SidebarThemeFamily::pastel, SidebarThemeFamily::macBookNeo};

// The appearance the docked panel takes for a choice; followSystem leaves the platform's.
enum class PanelAppearance { light, dark, followSystem };

inline constexpr const char *kSidebarThemeDefaultsKey = "SidebarTheme";

QString toString(SidebarThemeChoice choice);
// Exact, case-sensitive match of a case name.
std::optional<SidebarThemeChoice> sidebarThemeChoiceFromString(QStringView text);
// Strict form for a value coded on its own: anything but a case name throws json::DecodingError.
SidebarThemeChoice sidebarThemeChoiceFromJson(const QJsonValue &value, const QString &path = {});
// The stored choice; absent or unknown gives system.
SidebarThemeChoice storedSidebarThemeChoice(const UserDefaults &defaults);

QString displayName(SidebarThemeChoice choice);
SidebarThemeFamily family(SidebarThemeChoice choice);
PanelAppearance panelAppearance(SidebarThemeChoice choice);
// What the panel sets of its palette for an appearance: the window and text colours, light or
// dark. The roles it leaves unset, the accent among them, stay the desktop's; followSystem sets none.
QPalette panelPalette(PanelAppearance appearance);

QString toString(SidebarThemeFamily family);
// The family's choices in declaration order.
std::vector<SidebarThemeChoice> choices(SidebarThemeFamily family);

}  // namespace ondrake
