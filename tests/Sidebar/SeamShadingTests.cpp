#include "SidebarTestSupport.h"

#include "Ondrake/Sidebar/SeamShading.h"
#include "Ondrake/Sidebar/SidebarThemeTokens.h"

#include "UserDefaults.h"

#include <QPainter>

#include <cmath>
#include <limits>
#include <random>

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

// The seam as one fill of the whole band and one of the whole hairline.
void paintInOneGo(QPainter &painter, const SeamPaint &seam) {
    if (!seam.metrics.isVisible()) return;
    const QColor shade = seam.metrics.shade(seam.color);
    QColor clear = shade;
    clear.setAlpha(0);
    const double edge = seam.atRight ? seam.size.width() : 0;
    const double inner = seam.atRight ? seam.size.width() - seam.metrics.width : seam.metrics.width;
    if (seam.metrics.width > 0) {
        QLinearGradient gradient(QPointF(inner, 0), QPointF(edge, 0));
        gradient.setColorAt(0, clear);
        gradient.setColorAt(1, shade);
        painter.fillRect(QRectF(std::min(inner, edge), 0, seam.metrics.width, seam.size.height()), gradient);
    }
    if (seam.hairline) painter.fillRect(QRectF(seam.atRight ? edge - 1 : 0, 0, 1, seam.size.height()), shade);
}

TEST(SeamPaint, DrawsEveryPixelAsOneFillOfTheWholeBandWouldAtAnyScaleAndPlace) {
    std::mt19937 random(8117);
    const auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    const auto integer = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const double scales[] = {1, 1.25, 1.5, 1.75, 2, 3};
    for (int i = 0; i < 300; ++i) {
        SeamPaint seam;
        seam.size = QSize(integer(1, 40), integer(1, 900));
        const double width = integer(0, 3) == 0 ? double(integer(0, 24)) : uniform(0, 24);
        seam.metrics = SeamMetrics{integer(0, 5) == 0 ? 0.0 : uniform(0.05, 2), width};
        seam.color = QColor(integer(0, 255), integer(0, 255), integer(0, 255), integer(1, 255));
        seam.atRight = integer(0, 1) == 1;
        seam.hairline = integer(0, 1) == 1;
        const double scale = scales[std::size_t(integer(0, std::size(scales) - 1))];
        // The seam's place in its window, and the part of it being repainted.
        const QPoint place(integer(0, 30), integer(0, 30));
        const QRect repainted = integer(0, 1) ? QRect(QPoint(0, 0), seam.size)
                                              : QRect(0, integer(0, seam.size.height() - 1), seam.size.width(),
                                                      integer(1, seam.size.height()));
        const QSize window = seam.size + QSize(place.x() + 3, place.y() + 3);
        const QColor background(integer(0, 255), integer(0, 255), integer(0, 255), integer(0, 1) ? 255 : integer(0, 255));
        const auto render = [&](const std::function<void(QPainter &)> &paint) {
            QImage image((QSizeF(window) * scale).toSize() + QSize(1, 1), QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(scale);
            image.fill(background);
            QPainter painter(&image);
            painter.translate(place);
            painter.setClipRect(repainted);
            paint(painter);
            return image;
        };
        const QImage expected = render([&](QPainter &painter) { paintInOneGo(painter, seam); });
        const QImage actual = render([&](QPainter &painter) { seam.paint(painter, scale); });
        ASSERT_EQ(actual, expected) << "case " << i << ": " << seam.size.width() << "x" << seam.size.height() << " at "
                                    << scale << ", band " << seam.metrics.width << " strength " << seam.metrics.strength
                                    << (seam.atRight ? " right" : " left") << (seam.hairline ? " with hairline" : "");
    }
}

}  // namespace
