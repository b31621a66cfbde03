#include "SidebarTestSupport.h"

#include "Ondrake/Model/TabGroup.h"
#include "Ondrake/Sidebar/FaviconView.h"
#include "Ondrake/Sidebar/SeamShading.h"
#include "Ondrake/Sidebar/SidebarMetrics.h"
#include "Ondrake/Sidebar/SidebarThemeTokens.h"
#include "Ondrake/Sidebar/SymbolCatalog.h"
#include "Ondrake/Sidebar/TabGroupColorName.h"

#include "UserDefaults.h"

#include <QPainter>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// MARK: Group colours

TEST(TabGroupColorName, RawValuesReadBackExactlyAndNameTheColourCapitalised) {
    EXPECT_EQ(displayName(TabGroupColorName::blue), QStringLiteral("Blue"));
    EXPECT_EQ(tabGroupColorNameFromString(u"Blue"), std::nullopt);
    EXPECT_EQ(toString(kAllTabGroupColorNames.back()), QStringLiteral("pink"));
    for (const TabGroupColorName name : kAllTabGroupColorNames) {
        EXPECT_EQ(tabGroupColorNameFromString(toString(name)), name);
        EXPECT_EQ(displayName(name).toLower(), toString(name));
    }
}

TEST(TabGroupColorName, AGroupWithoutAKnownColourIsGray) {
    struct Case {
        std::optional<QString> stored;
        TabGroupColorName expected;
    };
    const Case cases[] = {
        {std::nullopt, TabGroupColorName::gray},
        {QStringLiteral("blue"), TabGroupColorName::blue},
        {QStringLiteral("Blue"), TabGroupColorName::gray},
        {QStringLiteral("teal"), TabGroupColorName::gray},
        {QString(), TabGroupColorName::gray},
    };
    for (const Case &c : cases) {
        TabGroup group;
        group.colorName = c.stored;
        EXPECT_EQ(colorName(group), c.expected) << c.stored.value_or(QStringLiteral("(none)")).toStdString();
        EXPECT_EQ(groupColor(group), drawingColor(c.expected));
    }
    // Distinct colours, so groups can be told apart.
    for (std::size_t i = 1; i < kAllTabGroupColorNames.size(); ++i)
        EXPECT_NE(drawingColor(kAllTabGroupColorNames[i]), drawingColor(kAllTabGroupColorNames[i - 1]));
}

TEST(TabGroupColorDot, FillsACircleOfItsDiameterCentredInItsFrame) {
    const QColor background(245, 245, 244);
    const QColor blue = drawingColor(TabGroupColorName::blue);
    PaintHost host(QSize(16, 16), background, [&](QPainter &p, const QRect &frame) {
        TabGroupColorDot{blue, 8}.paint(p, frame);
    });
    const QImage image = host.grab().toImage();
    EXPECT_TRUE(colorNear(image.pixelColor(8, 8), blue, 0));
    EXPECT_TRUE(colorNear(image.pixelColor(5, 8), blue, 0));
    EXPECT_TRUE(colorNear(image.pixelColor(2, 8), background, 0));
    EXPECT_TRUE(colorNear(image.pixelColor(4, 4), background, 8));
}

// MARK: Favicons

TEST(FaviconView, FitsAnyImageSizeKeepingItsShape) {
    const QRectF frame(10, 20, 16, 16);
    struct Case {
        QSizeF image;
        QRectF expected;
    };
    const Case cases[] = {
        {{32, 16}, {10, 24, 16, 8}},   {{8, 16}, {14, 20, 8, 16}}, {{64, 64}, {10, 20, 16, 16}},
        {{1, 1}, {10, 20, 16, 16}},    {{160, 10}, {10, 27.5, 16, 1}},
        {{0, 16}, {}},                 {{16, 0}, {}},
    };
    for (const Case &c : cases) EXPECT_EQ(FaviconView::fittedRect(c.image, frame), c.expected) << c.image.width() << "x" << c.image.height();
}

QImage solid(QSize size, QColor color) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

struct FaviconScene {
    explicit FaviconScene(std::optional<QImage> image)
        : host(QSize(16, 16), background, [view = FaviconView{std::move(image)}, this](QPainter &p, const QRect &frame) {
              view.paint(p, frame, muted);
          }) {}

    const SidebarThemeTokens &theme = SidebarThemeTokens::pastelMint();
    const QColor background = theme.fill().resolved(lightPalette());
    const QColor muted = theme.mutedForeground.resolved(lightPalette());
    PaintHost host;
};

TEST(FaviconView, DrawsTheImageLetterboxedWithRoundedCorners) {
    const QColor red(220, 30, 30);
    FaviconScene scene(solid(QSize(64, 32), red));
    const QImage image = scene.host.grab().toImage();
    saveScreenshot(image, QStringLiteral("favicon-wide"));
    EXPECT_TRUE(colorNear(image.pixelColor(8, 8), red, 0));
    EXPECT_TRUE(colorNear(image.pixelColor(8, 2), scene.background, 0));   // above the letterboxed image
    EXPECT_TRUE(colorNear(image.pixelColor(8, 13), scene.background, 0));  // below it
    // The corner is rounded off: neither the image's colour nor left untouched.
    const QColor corner = image.pixelColor(0, 4);
    EXPECT_FALSE(colorNear(corner, red, 10));
}

TEST(FaviconView, WithoutAnImageDrawsTheGlobeInTheMutedColour) {
    for (const auto &image : {std::optional<QImage>{}, std::optional<QImage>{QImage()}}) {
        FaviconScene scene(image);
        const QImage drawn = scene.host.grab().toImage();
        saveScreenshot(drawn, QStringLiteral("favicon-placeholder"));
        // Antialiased hairlines: some pixels carry the full muted colour, many a blend towards it.
        const QColor fullyCovered = over(scene.muted, scene.background);
        int touched = 0, full = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QColor pixel = drawn.pixelColor(x, y);
                if (!colorNear(pixel, scene.background, 2)) ++touched;
                if (colorNear(pixel, fullyCovered, 6)) ++full;
                // Outside the 12-point glyph box nothing is drawn.
                if (x < 2 || x > 13 || y < 2 || y > 13) {
                    EXPECT_TRUE(colorNear(pixel, scene.background, 0)) << x << "," << y;
                }
            }
        }
        EXPECT_GE(touched, 40);
        EXPECT_GE(full, 4);
    }
}

// MARK: Layout

TEST(SidebarMetrics, IndentLevelsStayBetweenRootAndTheDeepestDrawnLevel) {
    const std::pair<int, int> cases[] = {{-3, 0}, {-1, 0}, {0, 0}, {1, 1}, {6, 6}, {9, 6}};
    for (const auto &[depth, levels] : cases) EXPECT_EQ(sidebar::indentLevels(depth), levels) << depth;
}

// MARK: Every theme drawn

// The tokens laid out as the sidebar uses them, to look at; the fill is checked against the token.
void paintSwatch(QPainter &p, const QRect &r, const SidebarThemeTokens &t, const QPalette &palette) {
    const auto c = [&](const ThemeColor &color) { return color.resolved(palette); };
    p.fillRect(r, c(t.fill()));
    p.fillRect(QRect(0, 0, r.width(), 40), c(t.pinnedArea));
    p.fillRect(QRect(0, 39, r.width(), 1), c(t.border));
    SymbolCatalog::paint(p, u"pin.fill", QRectF(10, 6, 12, 12), c(t.mutedForeground));
    p.fillRect(QRect(4, 44, r.width() - 8, 28), c(t.selection));
    p.fillRect(QRect(4, 73, r.width() - 8, 28), c(t.hover));
    p.fillRect(QRect(4, 102, r.width() - 8, 28), Qt::transparent);
    for (int row = 0; row < 3; ++row) {
        const double y = 44 + row * sidebar::kRowPitch;
        FaviconView{}.paint(p, QRectF(24, y + 6, 16, 16), c(t.mutedForeground));
        p.fillRect(QRectF(48, y + 10, 70 - row * 12, 8), c(t.foreground));
    }
    p.fillRect(QRect(15, 102, 1, 28), c(t.treeLine));
    p.fillRect(QRect(0, 134, r.width(), 40), c(t.groupHeader));
    TabGroupColorDot{drawingColor(TabGroupColorName::orange), 8}.paint(p, QRectF(8, 138, 16, 16));
    p.fillRect(QRectF(30, 142, 50, 8), c(t.mutedForeground));
    p.setBrush(c(t.surface));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(r.width() - 40, 142, 24, 14), 7, 7);
    p.fillRect(QRect(4, 180, r.width() - 8, 2), c(t.accent));
    SymbolCatalog::paint(p, u"magnifyingglass", QRectF(10, 190, 12, 12), c(t.mutedForeground));
    SymbolCatalog::paint(p, u"chevron.right", QRectF(30, 190, 12, 12), c(t.mutedForeground));
    SymbolCatalog::paint(p, u"lock.fill", QRectF(50, 190, 12, 12), c(t.mutedForeground));
}

TEST(SidebarThemeTokens, EveryThemeDrawnInLightAndDark) {
    UserDefaults defaults;
    for (const auto &[scheme, palette, suffix] :
         {std::tuple{ColorScheme::light, lightPalette(), "light"}, std::tuple{ColorScheme::dark, darkPalette(), "dark"}}) {
        for (const SidebarThemeChoice choice : kAllSidebarThemeChoices) {
            const SidebarThemeTokens tokens = SidebarThemeTokens::resolve(scheme, choice);
            PaintHost swatch(QSize(160, 210), Qt::transparent, [&](QPainter &p, const QRect &r) {
                paintSwatch(p, r, tokens, palette);
            });
            swatch.setPalette(palette);
            SeamShading seam(SeamShading::Side::trailing, tokens.seam, true, &defaults, &swatch);
            seam.setGeometry(swatch.rect());
            const QImage image = swatch.grab().toImage();
            saveScreenshot(image, QStringLiteral("theme-%1-%2").arg(toString(choice), QLatin1String(suffix)));
            EXPECT_TRUE(colorNear(image.pixelColor(80, 205), tokens.fill().resolved(palette), 0))
                << toString(choice).toStdString() << " " << suffix;
        }
    }
}

}  // namespace
