#include "Qt/DevicePixels.h"
#include "Qt/WindowPlacement.h"

#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace ondrake {
namespace {

TEST(DevicePixels, MapsEveryEdgeOnItsOwnBothWays) {
    struct Case {
        const char *name;
        DevicePixels device;
        QRect pixels;
        QRectF qt;
    };
    const Case cases[] = {
        {"one to one", {1, {}}, QRect(450, 31, 1300, 1044), QRectF(450, 31, 1300, 1044)},
        {"a window at rest at 1.25", {1.25, {}}, QRect(450, 31, 1300, 1044), QRectF(360, 24.8, 1040, 835.2)},
        {"the sidebar beside it", {1.25, {}}, QRect(75, 31, 375, 1044), QRectF(60, 24.8, 300, 835.2)},
        {"between whole units at 1.25", {1.25, {}}, QRect(757, 202, 1300, 1044), QRectF(605.6, 161.6, 1040, 835.2)},
        {"between whole units at 1.5", {1.5, {}}, QRect(751, 205, 1560, 1252),
         QRectF(QPointF(751 / 1.5, 205 / 1.5), QPointF(2311 / 1.5, 1457 / 1.5))},
        {"at 2", {2, {}}, QRect(601, 43, 1734, 1485), QRectF(300.5, 21.5, 867, 742.5)},
        {"a second screen keeps its top left", {1.25, {1920, 0}}, QRect(2020, 10, 100, 100), QRectF(2000, 8, 80, 80)},
        {"left of the first screen", {1.5, {-1600, 0}}, QRect(-1000, 30, 300, 300), QRectF(-1200, 20, 200, 200)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto qt = c.device.toQt(c.pixels);
        EXPECT_NEAR(qt.left(), c.qt.left(), 1e-9);
        EXPECT_NEAR(qt.top(), c.qt.top(), 1e-9);
        EXPECT_NEAR(qt.right(), c.qt.right(), 1e-9);
        EXPECT_NEAR(qt.bottom(), c.qt.bottom(), 1e-9);
        EXPECT_EQ(c.device.toPixels(c.qt), c.pixels);
    }
    // A place in whole units between two pixels goes to the nearer one, halves to the right and down.
    EXPECT_EQ((DevicePixels{1.5, {}}.toPixels(QRectF(1, 1, 3, 3))), QRect(2, 2, 4, 4));
    EXPECT_EQ((DevicePixels{1.25, {}}.toPixels(QRectF(2, 3, 2, 2))), QRect(3, 4, 2, 2));
}

TEST(DevicePixels, QtsOwnGeometryRoundsThePositionAndTheSizeApart) {
    // As Qt reports a window the server has on these pixels (measured against Qt under Xvfb).
    struct Case {
        const char *name;
        DevicePixels device;
        QRect pixels;
        QRect qt;
    };
    const Case cases[] = {
        {"a window at rest at 1.25", {1.25, {}}, QRect(450, 31, 1300, 1044), QRect(360, 25, 1040, 835)},
        {"between whole units at 1.25", {1.25, {}}, QRect(757, 202, 1299, 1043), QRect(606, 162, 1039, 834)},
        {"at 1.5", {1.5, {}}, QRect(751, 205, 1561, 1253), QRect(501, 137, 1041, 835)},
        {"halves up at 2", {2, {}}, QRect(601, 43, 1735, 1485), QRect(301, 22, 868, 743)},
        {"about a second screen's top left", {1.25, {1920, 0}}, QRect(2020, 10, 100, 100), QRect(2000, 8, 80, 80)},
    };
    for (const auto &c : cases) EXPECT_EQ(c.device.qtGeometry(c.pixels), c.qt) << c.name;
}

TEST(DevicePixels, AnyRectangleComesBackToItsPixelsAndRectanglesThatMeetStillMeet) {
    // Ground truth: the rectangles the test draws, and a row of them laid edge to edge.
    std::mt19937 random(20260601);
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    int checked = 0;
    for (const double ratio : {1.0, 1.25, 1.5, 1.75, 2.0}) {
        for (int round = 0; round < 400; ++round) {
            const DevicePixels device{ratio, QPoint(between(-4000, 4000), between(-2000, 2000))};
            SCOPED_TRACE(::testing::Message() << "ratio " << ratio << ", origin " << device.origin.x() << ","
                                              << device.origin.y() << ", round " << round);
            // A row of rectangles, each starting where the last ends, and one below the first.
            std::vector<QRect> row;
            QPoint at(device.origin.x() + between(-3000, 3000), device.origin.y() + between(-1500, 1500));
            for (int i = 0; i < 4; ++i) {
                row.emplace_back(at, QSize(between(1, 2000), between(1, 1500)));
                at.rx() += row.back().width();
            }
            const QRect below(row.front().bottomLeft() + QPoint(0, 1), QSize(between(1, 900), between(1, 900)));
            row.push_back(below);

            std::vector<QRectF> qt;
            for (const auto &r : row) {
                qt.push_back(device.toQt(r));
                EXPECT_EQ(device.toPixels(qt.back()), r) << "there and back";
                // Qt's geometry of a window there is within half a unit of each edge's place.
                const auto whole = device.qtGeometry(r);
                EXPECT_LE(std::abs(whole.x() - qt.back().x()), 0.5 + 1e-9);
                EXPECT_LE(std::abs(whole.y() - qt.back().y()), 0.5 + 1e-9);
                ++checked;
            }
            for (std::size_t i = 0; i + 2 < row.size(); ++i) EXPECT_NEAR(qt[i].right(), qt[i + 1].left(), 1e-9) << i;
            EXPECT_NEAR(qt.front().bottom(), qt.back().top(), 1e-9);

            // The other way: a sidebar put left of a window's place, the window's top, the width any
            // number of units, meets the window on the screen.
            const double width = between(48, 600) + between(0, 3) / 4.0;
            const auto &window = qt[1];
            const auto sidebar = device.toPixels(QRectF(window.left() - width, window.top(), width, window.height()));
            EXPECT_EQ(sidebar.x() + sidebar.width(), row[1].x());
            EXPECT_EQ(sidebar.y(), row[1].y());
            EXPECT_EQ(sidebar.height(), row[1].height());
        }
    }
    EXPECT_EQ(checked, 5 * 400 * 5);
}

TEST(WindowPlacement, WithoutAServerAWindowGoesWhereQtsRoundingOfTheNearestPixelsLands) {
    const WindowPlacement placement(nullptr);
    EXPECT_FALSE(placement.readsPixels());
    QWidget window;
    const auto ratio = window.devicePixelRatioF();
    const QRectF wanted(100.4, 50.6, 300, 200.2);
    const auto pixels = placement.place(window, wanted);
    const DevicePixels device{ratio, window.screen()->geometry().topLeft()};
    EXPECT_EQ(pixels, device.toPixels(wanted));
    EXPECT_EQ(window.geometry(), device.qtGeometry(pixels));
    EXPECT_EQ(placement.placeOf(window), QRectF(window.geometry()));
}

}  // namespace
}  // namespace ondrake
