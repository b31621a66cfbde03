#include "Ondrake/Settings/AppearanceSettings.h"

#include "Store/SidebarKeyCommand.h"
#include "UserDefaults.h"

#include <QCoreApplication>

#include <cmath>

namespace ondrake {

std::vector<ThemePickerSection> themePickerSections() {
    std::vector<ThemePickerSection> sections;
    for (const SidebarThemeFamily family : kAllSidebarThemeFamilies) {
        QString header;
        switch (family) {
        case SidebarThemeFamily::classic: break;
        case SidebarThemeFamily::pastel: header = QString::fromUtf8(QT_TRANSLATE_NOOP("AppearanceSettingsView", "Pastel")); break;
        case SidebarThemeFamily::macBookNeo:
            header = QString::fromUtf8(QT_TRANSLATE_NOOP("AppearanceSettingsView", "MacBook Neo"));
            break;
        }
        sections.push_back({header, choices(family)});
    }
    return sections;
}

QString themeDescription(SidebarThemeChoice choice) {
    switch (choice) {
    case SidebarThemeChoice::system: return QStringLiteral("Follows the desktop's light/dark appearance automatically.");
    case SidebarThemeChoice::light: return QStringLiteral("Always light, matching Safari's own window colour.");
    case SidebarThemeChoice::grey:
        return QStringLiteral("The translucent grey the panel used to default to — tinted by whatever is behind it.");
    case SidebarThemeChoice::dark: return QStringLiteral("Always dark, regardless of the system setting.");
    case SidebarThemeChoice::oled: return QStringLiteral("True black, for OLED displays and maximum battery savings.");
    case SidebarThemeChoice::warm: return QStringLiteral("A sepia, low-blue-light palette.");
    case SidebarThemeChoice::highContrast:
        return QStringLiteral("Stronger borders and near-binary text for maximum legibility.");
    case SidebarThemeChoice::pastelMist: return QStringLiteral("Soft periwinkle. The most neutral of the pastels.");
    case SidebarThemeChoice::pastelRose: return QStringLiteral("Bright pink, on a cool rose ground.");
    case SidebarThemeChoice::pastelMint: return QStringLiteral("Soft green, on a cool mint ground.");
    case SidebarThemeChoice::pastelDusk: return QStringLiteral("The dark pastel — lilac on an indigo slate ground.");
    case SidebarThemeChoice::neoSilver: return QStringLiteral("Cool aluminium. The quietest of the four finishes.");
    case SidebarThemeChoice::neoBlush: return QStringLiteral("Dusty rose, on a soft pink ground.");
    case SidebarThemeChoice::neoCitrus: return QStringLiteral("Yellow-gold, on a cream ground.");
    case SidebarThemeChoice::neoIndigo: return QStringLiteral("Deep blue — the dark one of the four.");
    }
    return {};
}

QString compactRailNote() {
    return QCoreApplication::translate("AppearanceSettingsView",
                                       "Collapses the sidebar to icons only. Toggle with %1, the Ondrake menu in the "
                                       "system tray, or the arrow at the top of the sidebar.")
        .arg(keyCaption(keySequence(SidebarKeyCommand::toggleCompactMode)));
}

QString wholePointsText(double points) {
    const double whole = std::isfinite(points) ? std::trunc(points) : 0.0;
    return QStringLiteral("%1 pt").arg(qint64(whole));
}

void storeThemeChoice(UserDefaults &defaults, SidebarThemeChoice choice) {
    defaults.setString(QString::fromLatin1(kSidebarThemeDefaultsKey), toString(choice));
}

bool expandsSafariWhenCompact(const UserDefaults &defaults) { return defaults.boolForKey(kExpandSafariWhenCompactKey); }

void storeExpandsSafariWhenCompact(UserDefaults &defaults, bool expands) {
    defaults.setBool(kExpandSafariWhenCompactKey, expands);
}

}  // namespace ondrake
