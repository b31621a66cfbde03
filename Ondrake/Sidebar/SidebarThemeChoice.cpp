#include "Ondrake/Sidebar/SidebarThemeChoice.h"

#include "FoundationJson.h"
#include "UserDefaults.h"

#include <algorithm>

namespace ondrake {

namespace {

struct ChoiceInfo {
    const char *rawValue;
    const char *displayName;
    PanelAppearance appearance;
};

// Indexed by the enumeration's order.
constexpr std::array<ChoiceInfo, kAllSidebarThemeChoices.size()> kChoices = {{
    {"system", "System", PanelAppearance::followSystem},
    {"light", "Light", PanelAppearance::light},
    {"grey", "Grey", PanelAppearance::light},
    {"dark", "Dark", PanelAppearance::dark},
    {"oled", "OLED", PanelAppearance::dark},
    {"warm", "Warm", PanelAppearance::light},
    {"highContrast", "High Contrast", PanelAppearance::followSystem},
    {"pastelMist", "Mist", PanelAppearance::light},
    {"pastelRose", "Rose", PanelAppearance::light},
    {"pastelMint", "Mint", PanelAppearance::light},
    {"pastelDusk", "Dusk", PanelAppearance::dark},
    {"neoSilver", "Silver", PanelAppearance::light},
    {"neoBlush", "Blush", PanelAppearance::light},
    {"neoCitrus", "Citrus", PanelAppearance::light},
    {"neoIndigo", "Indigo", PanelAppearance::dark},
}};

const ChoiceInfo &info(SidebarThemeChoice choice) { return kChoices[std::size_t(choice)]; }

constexpr unsigned kClassicMask = 0x7F;
constexpr unsigned kPastelMask = 0x780;

}  // namespace

QString toString(SidebarThemeChoice choice) { return QString::fromLatin1(info(choice).rawValue); }

std::optional<SidebarThemeChoice> sidebarThemeChoiceFromString(QStringView text) {
    for (const SidebarThemeChoice choice : kAllSidebarThemeChoices) {
        if (text == QLatin1String(info(choice).rawValue)) return choice;
    }
    return std::nullopt;
}

SidebarThemeChoice sidebarThemeChoiceFromJson(const QJsonValue &value, const QString &path) {
    if (!value.isString())
        throw json::DecodingError(
            path, QStringLiteral("Expected to decode string but found %1 instead.").arg(json::typeName(value)));
    const auto choice = sidebarThemeChoiceFromString(value.toString());
    if (!choice)
        throw json::DecodingError(
            path,
            QStringLiteral("Cannot initialize SidebarThemeChoice from invalid String value %1").arg(value.toString()));
    return *choice;
}

SidebarThemeChoice storedSidebarThemeChoice(const UserDefaults &defaults) {
    const auto stored = defaults.stringForKey(QString::fromLatin1(kSidebarThemeDefaultsKey));
    if (!stored) return SidebarThemeChoice::system;
    return sidebarThemeChoiceFromString(*stored).value_or(SidebarThemeChoice::system);
}

QString displayName(SidebarThemeChoice choice) { return QString::fromUtf8(info(choice).displayName); }

SidebarThemeFamily family(SidebarThemeChoice choice) {
    const unsigned bit = 1u << unsigned(choice);
    if (bit & kClassicMask) return SidebarThemeFamily::classic;
    if (bit & kPastelMask) return SidebarThemeFamily::pastel;
    return SidebarThemeFamily::macBookNeo;
}

PanelAppearance panelAppearance(SidebarThemeChoice choice) { return info(choice).appearance; }

QPalette panelPalette(PanelAppearance appearance) {
    QPalette palette;
    if (appearance == PanelAppearance::followSystem) return palette;
    const bool dark = appearance == PanelAppearance::dark;
    palette.setColor(QPalette::Window, dark ? QColor(30, 30, 32) : QColor(242, 242, 245));
    palette.setColor(QPalette::WindowText, dark ? QColor(235, 235, 240) : QColor(28, 28, 30));
    palette.setColor(QPalette::Base, dark ? QColor(22, 22, 24) : QColor(255, 255, 255));
    palette.setColor(QPalette::Text, palette.color(QPalette::WindowText));
    palette.setColor(QPalette::Button, palette.color(QPalette::Window));
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::WindowText));
    return palette;
}

QString toString(SidebarThemeFamily family) {
    switch (family) {
    case SidebarThemeFamily::classic: return QStringLiteral("classic");
    case SidebarThemeFamily::pastel: return QStringLiteral("pastel");
    case SidebarThemeFamily::macBookNeo: return QStringLiteral("macBookNeo");
    }
    return {};
}

std::vector<SidebarThemeChoice> choices(SidebarThemeFamily wanted) {
    std::vector<SidebarThemeChoice> result;
    std::copy_if(kAllSidebarThemeChoices.begin(), kAllSidebarThemeChoices.end(), std::back_inserter(result),
                 [wanted](SidebarThemeChoice choice) { return family(choice) == wanted; });
    return result;
}

}  // namespace ondrake
