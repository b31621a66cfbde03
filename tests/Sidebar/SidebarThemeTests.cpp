#include "SidebarTestSupport.h"

#include "Ondrake/Sidebar/SidebarEnvironment.h"
#include "Ondrake/Sidebar/SidebarThemeModifier.h"
#include "Ondrake/Sidebar/SidebarThemeTokens.h"

#include "FoundationJson.h"
#include "UserDefaults.h"

#include <QSignalSpy>

#include <map>
#include <set>
#include <vector>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// MARK: Choices, names and families

TEST(SidebarThemeChoice, NamesFamiliesAndAppearancesInDeclarationOrder) {
    struct Case {
        const char *raw;
        const char *display;
        SidebarThemeFamily family;
        PanelAppearance appearance;
    };
    using F = SidebarThemeFamily;
    using A = PanelAppearance;
    const std::vector<Case> cases = {
        {"system", "System", F::classic, A::followSystem},     {"light", "Light", F::classic, A::light},
        {"grey", "Grey", F::classic, A::light},                {"dark", "Dark", F::classic, A::dark},
        {"oled", "OLED", F::classic, A::dark},                 {"warm", "Warm", F::classic, A::light},
        {"highContrast", "High Contrast", F::classic, A::followSystem},
        {"pastelMist", "Mist", F::pastel, A::light},           {"pastelRose", "Rose", F::pastel, A::light},
        {"pastelMint", "Mint", F::pastel, A::light},           {"pastelDusk", "Dusk", F::pastel, A::dark},
        {"neoSilver", "Silver", F::macBookNeo, A::light},      {"neoBlush", "Blush", F::macBookNeo, A::light},
        {"neoCitrus", "Citrus", F::macBookNeo, A::light},      {"neoIndigo", "Indigo", F::macBookNeo, A::dark},
    };
    ASSERT_EQ(cases.size(), kAllSidebarThemeChoices.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const SidebarThemeChoice choice = kAllSidebarThemeChoices[i];
        const Case &c = cases[i];
        EXPECT_EQ(toString(choice), QLatin1String(c.raw));
        EXPECT_EQ(sidebarThemeChoiceFromString(QString::fromLatin1(c.raw)), choice) << c.raw;
        EXPECT_EQ(sidebarThemeChoiceFromJson(QJsonValue(QLatin1String(c.raw))), choice) << c.raw;
        EXPECT_EQ(displayName(choice), QLatin1String(c.display)) << c.raw;
        EXPECT_EQ(family(choice), c.family) << c.raw;
        EXPECT_EQ(panelAppearance(choice), c.appearance) << c.raw;
    }
}

TEST(SidebarThemeChoice, ReadsOnlyExactCaseNames) {
    for (const char *text : {"highcontrast", "HighContrast", "Dark", "pastel", "", " dark"})
        EXPECT_EQ(sidebarThemeChoiceFromString(QString::fromLatin1(text)), std::nullopt) << text;
    EXPECT_THROW(sidebarThemeChoiceFromJson(QJsonValue(QStringLiteral("highcontrast"))), json::DecodingError);
    EXPECT_THROW(sidebarThemeChoiceFromJson(QJsonValue(3)), json::DecodingError);
    EXPECT_THROW(sidebarThemeChoiceFromJson(QJsonValue()), json::DecodingError);
}

TEST(SidebarThemeChoice, StoredChoiceDefaultsToSystem) {
    UserDefaults defaults;
    EXPECT_EQ(storedSidebarThemeChoice(defaults), SidebarThemeChoice::system);
    defaults.setString(QStringLiteral("SidebarTheme"), QStringLiteral("neoCitrus"));
    EXPECT_EQ(storedSidebarThemeChoice(defaults), SidebarThemeChoice::neoCitrus);
    defaults.setString(QStringLiteral("SidebarTheme"), QStringLiteral("NeoCitrus"));
    EXPECT_EQ(storedSidebarThemeChoice(defaults), SidebarThemeChoice::system);
    defaults.setInteger(QStringLiteral("SidebarTheme"), 3);
    EXPECT_EQ(storedSidebarThemeChoice(defaults), SidebarThemeChoice::system);
}

TEST(SidebarThemeFamily, PartitionsTheChoicesInOrder) {
    std::vector<SidebarThemeChoice> joined;
    const std::vector<std::size_t> sizes = {7, 4, 4};
    for (std::size_t i = 0; i < kAllSidebarThemeFamilies.size(); ++i) {
        const auto members = choices(kAllSidebarThemeFamilies[i]);
        EXPECT_EQ(members.size(), sizes[i]) << toString(kAllSidebarThemeFamilies[i]).toStdString();
        joined.insert(joined.end(), members.begin(), members.end());
    }
    EXPECT_EQ(joined, std::vector<SidebarThemeChoice>(kAllSidebarThemeChoices.begin(), kAllSidebarThemeChoices.end()));
    EXPECT_EQ(toString(SidebarThemeFamily::macBookNeo), QStringLiteral("macBookNeo"));
}

// MARK: Token sets

// The twelve tokens of every set, in token order, as the design writes them.
const std::map<std::string, std::vector<const char *>> kExpectedSets = {
    {"light", {"rgb(0.961, 0.961, 0.957)", "rgb(0.91, 0.91, 0.906)", "rgb(0.13, 0.13, 0.13)", "rgb(0.13, 0.13, 0.13) × 0.7", "black × 0.06", "accent colour × 0.26", "black × 0.1", "black × 0.15", "accent colour", "black × 0.12", "black × 0.04", "black × 0.04"}},
    {"dark", {"none", "white × 0.045", "primary", "secondary", "primary × 0.08", "accent colour × 0.32", "primary × 0.12", "white × 0.11", "accent colour", "primary × 0.14", "white × 0.045", "white × 0.045"}},
    {"grey", {"none", "black × 0.035", "primary", "secondary", "primary × 0.06", "accent colour × 0.26", "primary × 0.1", "black × 0.15", "accent colour", "primary × 0.12", "primary × 0.035", "primary × 0.035"}},
    {"oled", {"black", "white × 0.06", "white", "white × 0.55", "white × 0.09", "rgb(0.35, 0.62, 1) × 0.35", "white × 0.14", "white × 0.14", "rgb(0.35, 0.62, 1)", "white × 0.16", "white × 0.05", "white × 0.05"}},
    {"warm", {"rgb(0.98, 0.94, 0.86)", "rgb(0.95, 0.88, 0.76)", "rgb(0.29, 0.2, 0.11)", "rgb(0.29, 0.2, 0.11) × 0.6", "rgb(0.55, 0.38, 0.15) × 0.1", "rgb(0.8, 0.47, 0.13) × 0.3", "rgb(0.55, 0.38, 0.15) × 0.22", "rgb(0.42, 0.28, 0.1) × 0.28", "rgb(0.8, 0.47, 0.13)", "rgb(0.55, 0.38, 0.15) × 0.28", "rgb(0.55, 0.38, 0.15) × 0.08", "rgb(0.55, 0.38, 0.15) × 0.08"}},
    {"highContrastLight", {"white", "black × 0.07", "black", "black × 0.75", "black × 0.12", "rgb(0, 0.32, 0.85) × 0.35", "black × 0.55", "black × 0.55", "rgb(0, 0.32, 0.85)", "black × 0.45", "black × 0.08", "black × 0.08"}},
    {"highContrastDark", {"black", "white × 0.1", "white", "white × 0.8", "white × 0.16", "rgb(1, 0.84, 0) × 0.35", "white × 0.6", "white × 0.6", "rgb(1, 0.84, 0)", "white × 0.5", "white × 0.1", "white × 0.1"}},
    {"pastelMist", {"rgb(0.949, 0.945, 0.98)", "rgb(0.902, 0.898, 0.961)", "rgb(0.2, 0.19, 0.31)", "rgb(0.2, 0.19, 0.31) × 0.7", "rgb(0.42, 0.44, 0.82) × 0.1", "rgb(0.42, 0.44, 0.82) × 0.3", "rgb(0.42, 0.44, 0.82) × 0.2", "rgb(0.3, 0.32, 0.66) × 0.28", "rgb(0.42, 0.44, 0.82)", "rgb(0.42, 0.44, 0.82) × 0.26", "rgb(0.42, 0.44, 0.82) × 0.07", "rgb(0.42, 0.44, 0.82) × 0.07"}},
    {"pastelRose", {"rgb(0.996, 0.941, 0.961)", "rgb(0.976, 0.886, 0.918)", "rgb(0.31, 0.16, 0.24)", "rgb(0.31, 0.16, 0.24) × 0.7", "rgb(0.72, 0.26, 0.46) × 0.1", "rgb(0.82, 0.36, 0.56) × 0.3", "rgb(0.72, 0.26, 0.46) × 0.2", "rgb(0.58, 0.18, 0.36) × 0.28", "rgb(0.82, 0.36, 0.56)", "rgb(0.72, 0.26, 0.46) × 0.26", "rgb(0.72, 0.26, 0.46) × 0.07", "rgb(0.72, 0.26, 0.46) × 0.07"}},
    {"pastelMint", {"rgb(0.937, 0.976, 0.957)", "rgb(0.867, 0.945, 0.91)", "rgb(0.11, 0.24, 0.19)", "rgb(0.11, 0.24, 0.19) × 0.7", "rgb(0.16, 0.58, 0.47) × 0.11", "rgb(0.16, 0.58, 0.47) × 0.3", "rgb(0.16, 0.58, 0.47) × 0.22", "rgb(0.1, 0.4, 0.32) × 0.28", "rgb(0.14, 0.52, 0.43)", "rgb(0.16, 0.58, 0.47) × 0.28", "rgb(0.16, 0.58, 0.47) × 0.07", "rgb(0.16, 0.58, 0.47) × 0.07"}},
    {"pastelDusk", {"rgb(0.13, 0.13, 0.18)", "rgb(0.7, 0.68, 0.95) × 0.1", "rgb(0.9, 0.9, 0.95)", "rgb(0.9, 0.9, 0.95) × 0.62", "rgb(0.7, 0.68, 0.95) × 0.12", "rgb(0.7, 0.68, 0.95) × 0.32", "rgb(0.7, 0.68, 0.95) × 0.22", "rgb(0.78, 0.76, 0.98) × 0.2", "rgb(0.72, 0.7, 0.96)", "rgb(0.7, 0.68, 0.95) × 0.26", "rgb(0.7, 0.68, 0.95) × 0.09", "rgb(0.7, 0.68, 0.95) × 0.09"}},
    {"neoSilver", {"rgb(0.957, 0.961, 0.969)", "rgb(0.898, 0.906, 0.922)", "rgb(0.16, 0.18, 0.21)", "rgb(0.16, 0.18, 0.21) × 0.7", "rgb(0.34, 0.41, 0.51) × 0.11", "rgb(0.34, 0.41, 0.51) × 0.3", "rgb(0.34, 0.41, 0.51) × 0.2", "rgb(0.22, 0.28, 0.36) × 0.28", "rgb(0.34, 0.41, 0.51)", "rgb(0.34, 0.41, 0.51) × 0.26", "rgb(0.34, 0.41, 0.51) × 0.07", "rgb(0.34, 0.41, 0.51) × 0.07"}},
    {"neoBlush", {"rgb(0.984, 0.949, 0.945)", "rgb(0.961, 0.894, 0.886)", "rgb(0.28, 0.19, 0.2)", "rgb(0.28, 0.19, 0.2) × 0.7", "rgb(0.62, 0.34, 0.34) × 0.11", "rgb(0.74, 0.44, 0.43) × 0.3", "rgb(0.62, 0.34, 0.34) × 0.2", "rgb(0.5, 0.24, 0.24) × 0.28", "rgb(0.74, 0.44, 0.43)", "rgb(0.62, 0.34, 0.34) × 0.26", "rgb(0.62, 0.34, 0.34) × 0.07", "rgb(0.62, 0.34, 0.34) × 0.07"}},
    {"neoCitrus", {"rgb(0.988, 0.976, 0.91)", "rgb(0.965, 0.937, 0.804)", "rgb(0.24, 0.21, 0.06)", "rgb(0.24, 0.21, 0.06) × 0.7", "rgb(0.48, 0.39, 0.06) × 0.11", "rgb(0.72, 0.56, 0.06) × 0.34", "rgb(0.48, 0.39, 0.06) × 0.2", "rgb(0.36, 0.29, 0.04) × 0.28", "rgb(0.72, 0.56, 0.06)", "rgb(0.48, 0.39, 0.06) × 0.26", "rgb(0.48, 0.39, 0.06) × 0.07", "rgb(0.48, 0.39, 0.06) × 0.07"}},
    {"neoIndigo", {"rgb(0.11, 0.12, 0.2)", "rgb(0.55, 0.6, 0.95) × 0.1", "rgb(0.9, 0.91, 0.96)", "rgb(0.9, 0.91, 0.96) × 0.62", "rgb(0.55, 0.6, 0.95) × 0.12", "rgb(0.55, 0.6, 0.95) × 0.32", "rgb(0.55, 0.6, 0.95) × 0.22", "rgb(0.68, 0.72, 0.99) × 0.2", "rgb(0.58, 0.63, 0.96)", "rgb(0.55, 0.6, 0.95) × 0.26", "rgb(0.55, 0.6, 0.95) × 0.09", "rgb(0.55, 0.6, 0.95) × 0.09"}},
};

std::vector<QString> describe(const SidebarThemeTokens &t) {
    const auto d = [](const ThemeColor &c) { return c.description(); };
    return {t.background ? d(*t.background) : QStringLiteral("none"),
            d(t.surface), d(t.foreground), d(t.mutedForeground), d(t.hover), d(t.selection), d(t.border),
            d(t.seam), d(t.accent), d(t.treeLine), d(t.pinnedArea), d(t.groupHeader)};
}

std::vector<QString> expected(const std::string &set) {
    std::vector<QString> texts;
    for (const char *text : kExpectedSets.at(set)) texts.push_back(QString::fromUtf8(text));
    return texts;
}

// Which set each choice gives in a light and in a dark scheme.
struct Resolution {
    SidebarThemeChoice choice;
    const char *inLight;
    const char *inDark;
};

const std::vector<Resolution> kResolutions = {
    {SidebarThemeChoice::system, "light", "dark"},
    {SidebarThemeChoice::light, "light", "light"},
    {SidebarThemeChoice::grey, "grey", "grey"},
    {SidebarThemeChoice::dark, "dark", "dark"},
    {SidebarThemeChoice::oled, "oled", "oled"},
    {SidebarThemeChoice::warm, "warm", "warm"},
    {SidebarThemeChoice::highContrast, "highContrastLight", "highContrastDark"},
    {SidebarThemeChoice::pastelMist, "pastelMist", "pastelMist"},
    {SidebarThemeChoice::pastelRose, "pastelRose", "pastelRose"},
    {SidebarThemeChoice::pastelMint, "pastelMint", "pastelMint"},
    {SidebarThemeChoice::pastelDusk, "pastelDusk", "pastelDusk"},
    {SidebarThemeChoice::neoSilver, "neoSilver", "neoSilver"},
    {SidebarThemeChoice::neoBlush, "neoBlush", "neoBlush"},
    {SidebarThemeChoice::neoCitrus, "neoCitrus", "neoCitrus"},
    {SidebarThemeChoice::neoIndigo, "neoIndigo", "neoIndigo"},
};

TEST(SidebarThemeTokens, EveryChoiceResolvesToItsSetInBothSchemes) {
    for (const Resolution &r : kResolutions) {
        const std::string name = toString(r.choice).toStdString();
        EXPECT_EQ(describe(SidebarThemeTokens::resolve(ColorScheme::light, r.choice)), expected(r.inLight)) << name;
        EXPECT_EQ(describe(SidebarThemeTokens::resolve(ColorScheme::dark, r.choice)), expected(r.inDark)) << name;
    }
}

TEST(SidebarThemeTokens, SharedSetsAreTheOnesChoicesResolveTo) {
    EXPECT_EQ(SidebarThemeTokens::resolve(ColorScheme::light, SidebarThemeChoice::system), SidebarThemeTokens::light());
    EXPECT_EQ(SidebarThemeTokens::resolve(ColorScheme::dark, SidebarThemeChoice::system), SidebarThemeTokens::dark());
    EXPECT_EQ(&SidebarThemeTokens::light(), &SidebarThemeTokens::light());
    EXPECT_NE(SidebarThemeTokens::light(), SidebarThemeTokens::dark());
    for (const auto choice : {SidebarThemeChoice::dark, SidebarThemeChoice::grey}) {
        const auto once = SidebarThemeTokens::resolve(ColorScheme::light, choice);
        EXPECT_FALSE(once.background.has_value());
        EXPECT_EQ(once, SidebarThemeTokens::resolve(ColorScheme::dark, choice));
    }
    // The background counts in equality even where nothing else differs.
    SidebarThemeTokens withoutBackground = SidebarThemeTokens::light();
    withoutBackground.background.reset();
    EXPECT_NE(withoutBackground, SidebarThemeTokens::light());
}

TEST(SidebarThemeTokens, FixedColoursKeepTheirValuesWhateverThePalette) {
    const auto contrast = SidebarThemeTokens::resolve(ColorScheme::dark, SidebarThemeChoice::highContrast);
    for (const QPalette &palette : {lightPalette(), darkPalette()}) {
        EXPECT_EQ(contrast.accent.resolved(palette), QColor::fromRgbF(1, 0.84f, 0));
        EXPECT_EQ(contrast.foreground.resolved(palette), QColor(Qt::white));
        const QColor selection = contrast.selection.resolved(palette);
        EXPECT_NEAR(selection.alphaF(), 0.35, 0.002);
        EXPECT_EQ(selection.rgb(), QColor::fromRgbF(1, 0.84f, 0).rgb());
        EXPECT_EQ(SidebarThemeTokens::warm().background->resolved(palette), QColor::fromRgbF(0.98f, 0.94f, 0.86f));
    }
}

TEST(SidebarThemeTokens, SystemColoursFollowThePaletteTheyAreDrawnWith) {
    const SidebarThemeTokens &dark = SidebarThemeTokens::dark();
    const QPalette light = lightPalette();
    const QPalette night = darkPalette();
    EXPECT_EQ(dark.foreground.resolved(light).rgb(), light.color(QPalette::WindowText).rgb());
    EXPECT_EQ(dark.foreground.resolved(night).rgb(), night.color(QPalette::WindowText).rgb());
    EXPECT_EQ(dark.accent.resolved(night), night.color(QPalette::Highlight));
    const QColor selection = dark.selection.resolved(night);
    EXPECT_EQ(selection.rgb(), night.color(QPalette::Highlight).rgb());
    EXPECT_NEAR(selection.alphaF(), 0.32, 0.002);
    // Secondary text is weaker than primary in either scheme.
    EXPECT_LT(dark.mutedForeground.resolved(light).alphaF(), 1.0);
    EXPECT_EQ(dark.mutedForeground.resolved(night).rgb(), night.color(QPalette::WindowText).rgb());
}

TEST(SidebarThemeTokens, SetsWithoutBackgroundFillWithAnOpaqueMaterialOfTheScheme) {
    for (const auto *set : {&SidebarThemeTokens::dark(), &SidebarThemeTokens::grey()}) {
        const QColor onLight = set->fill().resolved(lightPalette());
        const QColor onDark = set->fill().resolved(darkPalette());
        EXPECT_EQ(onLight.alpha(), 255);
        EXPECT_EQ(onDark.alpha(), 255);
        EXPECT_GT(onLight.lightnessF(), 0.8);
        EXPECT_LT(onDark.lightnessF(), 0.25);
    }
    EXPECT_EQ(SidebarThemeTokens::oled().fill(), ThemeColor::black());
}

TEST(ColorScheme, ReadFromWhetherTextIsLighterThanItsWindow) {
    EXPECT_EQ(colorSchemeOf(lightPalette()), ColorScheme::light);
    EXPECT_EQ(colorSchemeOf(darkPalette()), ColorScheme::dark);
}

// MARK: Environment and modifier

TEST(SidebarEnvironment, StartsLightAndExpandedAndSignalsOnlyRealChanges) {
    SidebarEnvironment environment;
    EXPECT_EQ(environment.theme(), SidebarThemeTokens::light());
    EXPECT_FALSE(environment.isCompact());
    QSignalSpy themes(&environment, &SidebarEnvironment::themeChanged);
    QSignalSpy compacts(&environment, &SidebarEnvironment::compactChanged);
    environment.setTheme(SidebarThemeTokens::resolve(ColorScheme::light, SidebarThemeChoice::system));
    environment.setCompact(false);
    EXPECT_EQ(themes.count(), 0);
    EXPECT_EQ(compacts.count(), 0);
    environment.setTheme(SidebarThemeTokens::oled());
    environment.setCompact(true);
    environment.setCompact(true);
    EXPECT_EQ(themes.count(), 1);
    EXPECT_EQ(compacts.count(), 1);
}

TEST(SidebarThemeModifier, ResolvesFromTheRootsSchemeAndFollowsItsChanges) {
    QWidget root;
    root.setPalette(lightPalette());
    SidebarEnvironment environment;
    SidebarThemeModifier modifier(SidebarThemeChoice::highContrast, &root, &environment);
    EXPECT_EQ(environment.theme(), SidebarThemeTokens::highContrastLight());

    QSignalSpy themes(&environment, &SidebarEnvironment::themeChanged);
    root.setPalette(darkPalette());
    EXPECT_EQ(environment.theme(), SidebarThemeTokens::highContrastDark());
    EXPECT_EQ(themes.count(), 1);

    modifier.setChoice(SidebarThemeChoice::pastelMint);
    EXPECT_EQ(environment.theme(), SidebarThemeTokens::pastelMint());
    // A scheme change that leaves the resolved set as it was is not a change.
    root.setPalette(lightPalette());
    EXPECT_EQ(themes.count(), 2);

    modifier.setChoice(SidebarThemeChoice::system);
    EXPECT_EQ(environment.theme(), SidebarThemeTokens::light());
}

TEST(SidebarThemeModifier, ASetOfSystemColoursDrawsInTheRootsNewPalette) {
    QWidget root;
    root.setPalette(lightPalette());
    SidebarEnvironment environment;
    SidebarThemeModifier modifier(SidebarThemeChoice::dark, &root, &environment);
    EXPECT_EQ(environment.color(environment.theme().foreground), QColor(Qt::black));

    // The panel turns dark after the sidebar was made: the set stays, its text turns light.
    QSignalSpy themes(&environment, &SidebarEnvironment::themeChanged);
    root.setPalette(darkPalette());
    EXPECT_EQ(environment.theme(), SidebarThemeTokens::dark());
    EXPECT_EQ(themes.count(), 1);
    EXPECT_EQ(environment.color(environment.theme().foreground), QColor(Qt::white));
    EXPECT_EQ(environment.color(environment.theme().mutedForeground).rgb(), QColor(Qt::white).rgb());
}

TEST(ThemeColor, ContrastRatiosAndTheLeastChangeThatReads) {
    struct Case {
        const char *name;
        QColor a, b;
        double ratio;
    };
    const std::vector<Case> cases = {
        {"black on white", Qt::black, Qt::white, 21},
        {"equal", QColor(120, 30, 200), QColor(120, 30, 200), 1},
        {"either order", Qt::white, QColor(118, 118, 118), 4.54},
    };
    for (const auto &c : cases) EXPECT_NEAR(contrastRatio(c.a, c.b), c.ratio, 0.01) << c.name;

    const QColor cream = QColor::fromRgbF(0.988f, 0.976f, 0.91f);
    const QColor gold = QColor::fromRgbF(0.72f, 0.56f, 0.06f);
    ASSERT_LT(contrastRatio(gold, cream), 3);
    const QColor read = legibleOn(gold, cream, 3);
    EXPECT_GE(contrastRatio(read, cream), 3);
    EXPECT_LT(contrastRatio(read, cream), 3.05);  // no darker than it must be
    EXPECT_GT(read.red(), read.blue());            // still gold, only deeper
    // On a dark ground a pale text is left alone; a dim one is lifted towards white.
    EXPECT_EQ(legibleOn(Qt::white, Qt::black, 4.5), QColor(Qt::white));
    EXPECT_GT(legibleOn(QColor(60, 60, 60), Qt::black, 4.5).lightness(), 60);
    // A translucent text is judged as it lies on the surface.
    EXPECT_GE(contrastRatio(legibleOn(QColor(0, 0, 0, 40), Qt::white, 4.5), Qt::white), 4.5);
}

}  // namespace
