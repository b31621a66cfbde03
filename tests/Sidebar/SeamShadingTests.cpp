#include "SidebarTestSupport.h"

#include "Ondrake/Sidebar/SeamShading.h"
#include "Ondrake/Sidebar/SidebarThemeTokens.h"

#include "UserDefaults.h"

#include <limits>

using namespace ondrake;
using namespace ondrake::test;

namespace {

const QString kStrength = QStringLiteral("SidebarSeamStrength");
const QString kWidth = QStringLiteral("SidebarSeamWidth");

TEST(SeamMetrics, StoredValuesAreClampedAndAnythingElseReadsAsTheDefault) {
    using V = std::optional<QVariant>;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        V strength, width;
        double expectedStrength, expectedWidth;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, 1.0, 8.0},
        {QVariant(3.0), QVariant(40.0), 2.0, 24.0},
        {QVariant(-1.0), QVariant(0.0), 0.0, 0.0},
        {QVariant(0.35), QVariant(12), 0.35, 12.0},
        {QVariant(2), QVariant(qint64(-5)), 2.0, 0.0},
        {QVariant(QStringLiteral("strong")), QVariant(QStringLiteral("wide")), 1.0, 8.0},
        {QVariant(QStringLiteral("0.5")), QVariant(true), 1.0, 8.0},
        {QVariant(nan), QVariant(inf), 1.0, 8.0},
        {QVariant(-inf), QVariant(QVariantList{3}), 1.0, 8.0},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const SeamMetrics m = SeamMetrics::from(cases[i].strength, cases[i].width);
        EXPECT_DOUBLE_EQ(m.strength, cases[i].expectedStrength) << "case " << i;
        EXPECT_DOUBLE_EQ(m.width, cases[i].expectedWidth) << "case " << i;
    }
}

TEST(SeamMetrics, StrengthScalesOpacityUpToOpaque) {
    struct Case {
        double opacity, strength, expected;
    };
    for (const Case c : {Case{0.15, 2, 0.30}, Case{0.15, 1, 0.15}, Case{0.6, 2, 1.0}, Case{0.28, 0, 0.0}}) {
        QColor color = Qt::black;
        color.setAlphaF(float(c.opacity));
        EXPECT_NEAR((SeamMetrics{c.strength, 8}.shade(color).alphaF()), c.expected, 0.003)
            << c.opacity << " × " << c.strength;
    }
}

// The seam over an opaque sidebar fill, as the sidebar lays it over its trailing edge.
struct SeamScene {
    SeamScene(SeamShading::Side side, bool hairline)
        : host(QSize(60, 20), fill, {}), seam(side, theme.seam, hairline, &defaults, &host) {
        host.setPalette(lightPalette());
        seam.setGeometry(host.rect());
    }
    QImage render() { return host.grab().toImage(); }
    QColor expectedAtFraction(double t, const SeamMetrics &m) const {
        QColor shade = m.shade(theme.seam.resolved(lightPalette()));
        shade.setAlphaF(shade.alphaF() * float(t));
        return over(shade, fill);
    }

    const SidebarThemeTokens &theme = SidebarThemeTokens::light();
    const QColor fill = theme.fill().resolved(lightPalette());
    UserDefaults defaults;
    PaintHost host;
    SeamShading seam;
};

TEST(SeamShading, ShadesTowardsTheTrailingEdgeWithTheThemesSeamColour) {
    SeamScene scene(SeamShading::Side::trailing, false);
    const QImage image = scene.render();
    saveScreenshot(image, QStringLiteral("seam-trailing"));
    const SeamMetrics m{1.0, 8.0};
    EXPECT_TRUE(colorNear(image.pixelColor(10, 10), scene.fill, 0));
    EXPECT_TRUE(colorNear(image.pixelColor(51, 10), scene.fill, 1));
    // Half way across the band the shade is at half strength; at the edge nearly full.
    EXPECT_TRUE(colorNear(image.pixelColor(56, 10), scene.expectedAtFraction(4.5 / 8, m), 2));
    EXPECT_TRUE(colorNear(image.pixelColor(59, 10), scene.expectedAtFraction(7.5 / 8, m), 2));
}

TEST(SeamShading, LeadingSideMirrorsTheBandAndTheHairlineSitsOnTheEdge) {
    SeamScene scene(SeamShading::Side::leading, true);
    scene.defaults.setDouble(kWidth, 0);
    const QImage image = scene.render();
    const SeamMetrics m{1.0, 0.0};
    EXPECT_TRUE(colorNear(image.pixelColor(0, 10), scene.expectedAtFraction(1, m), 2));
    EXPECT_TRUE(colorNear(image.pixelColor(1, 10), scene.fill, 0));
    EXPECT_TRUE(colorNear(image.pixelColor(59, 10), scene.fill, 0));
}

TEST(SeamShading, FollowsTheStoredTunables) {
    SeamScene scene(SeamShading::Side::trailing, true);
    scene.defaults.setDouble(kWidth, 40);
    scene.defaults.setDouble(kStrength, 3);
    QImage image = scene.render();
    saveScreenshot(image, QStringLiteral("seam-wide-strong"));
    const SeamMetrics m{2.0, 24.0};
    EXPECT_EQ(scene.seam.metrics(), m);
    EXPECT_TRUE(colorNear(image.pixelColor(34, 10), scene.fill, 1));
    EXPECT_TRUE(colorNear(image.pixelColor(47, 10), scene.expectedAtFraction(11.5 / 24, m), 2));

    // No strength: no band and no hairline.
    scene.defaults.setDouble(kStrength, -1);
    image = scene.render();
    for (const int x : {0, 40, 58, 59}) EXPECT_TRUE(colorNear(image.pixelColor(x, 10), scene.fill, 0)) << x;
}

}  // namespace
