#include "Shell/SidebarGeometry.h"

#include "SimulatedScreens.h"

#include <gtest/gtest.h>

namespace ondrake {
namespace {

const ScreenInfo kLeft = SimulatedScreens::standardScreen();  // 1440 × 900, visible height 875
const ScreenInfo kRight{QStringLiteral("Right"), QRectF(1440, 0, 1920, 1080), QRectF(1440, 0, 1920, 1055), 60};

SidebarGeometry geometry(std::optional<QRectF> safari, double width = 300,
                         SidebarEdgeBehavior behavior = SidebarEdgeBehavior::moveSafari, bool saysZoomed = false) {
    SidebarGeometry g;
    g.screens = {kLeft, kRight};
    g.mainScreen = kLeft;
    g.mouseLocation = QPointF(700, 400);
    g.safariFrame = safari;
    g.width = width;
    g.edgeBehavior = behavior;
    g.safariSaysZoomed = saysZoomed;
    return g;
}

TEST(SidebarGeometry, FrameRoomAndOverlapForEachEdgeBehaviourWidthAndScreen) {
    constexpr auto move = SidebarEdgeBehavior::moveSafari;
    constexpr auto slide = SidebarEdgeBehavior::slideOffScreen;
    struct Case {
        const char *name;
        QRectF safari;
        double width;
        SidebarEdgeBehavior behavior;
        QRectF frame;
        bool needsRoom;
        bool overlaps;
    };
    const Case cases[] = {
        {"clear of the strip", QRectF(500, 100, 800, 600), 300, move, QRectF(200, 100, 300, 600), false, false},
        {"one point of slack", QRectF(299.5, 100, 800, 600), 300, move, QRectF(0, 100, 300, 600), false, false},
        {"reaching into the strip", QRectF(100, 100, 800, 600), 300, move, QRectF(0, 100, 300, 600), true, true},
        {"sliding off the screen", QRectF(100, 100, 800, 600), 300, slide, QRectF(-200, 100, 300, 600), false, true},
        {"at the screen's edge, slid off whole", QRectF(0, 100, 800, 600), 300, slide, QRectF(-300, 100, 300, 600),
         false, true},
        {"filling the visible frame stays on screen", QRectF(0, 0, 1440, 875), 300, slide, QRectF(0, 0, 300, 875),
         true, true},
        {"compact", QRectF(30, 100, 800, 600), 64, move, QRectF(0, 100, 64, 600), true, true},
        {"short window keeps its top", QRectF(500, 400, 800, 150), 300, move, QRectF(200, 350, 300, 200), false,
         false},
        {"cut to the visible frame", QRectF(500, 50, 800, 850), 300, move, QRectF(200, 50, 300, 825), false, false},
        {"across the edge, larger share right", QRectF(1300, 100, 800, 600), 300, move,
         QRectF(1440, 100, 300, 600), true, true},
        {"across the edge, sliding", QRectF(1300, 100, 800, 600), 300, slide, QRectF(1000, 100, 300, 600), false,
         true},
        {"across the edge, even shares go left", QRectF(1040, 100, 800, 600), 300, move,
         QRectF(740, 100, 300, 600), false, false},
        {"on the right screen", QRectF(2000, 200, 1000, 800), 300, move, QRectF(1700, 200, 300, 800), false, false},
    };
    for (const auto &c : cases) {
        const auto g = geometry(c.safari, c.width, c.behavior);
        EXPECT_EQ(g.sidebarFrame(), c.frame) << c.name;
        EXPECT_EQ(g.needsRoomFromSafari(), c.needsRoom) << c.name;
        EXPECT_EQ(g.overlapsSafari(), c.overlaps) << c.name;
    }
}

TEST(SidebarGeometry, ZoomStates) {
    struct Case {
        const char *name;
        QRectF safari;
        bool saysZoomed;
        SidebarGeometry::ZoomState expected;
    };
    const Case cases[] = {
        {"ordinary", QRectF(300, 100, 800, 600), true, SidebarGeometry::normal},
        {"full screen", QRectF(0, 0, 1440, 890), false, SidebarGeometry::fullScreen},
        {"filling the visible frame", QRectF(10, 5, 1420, 865), false, SidebarGeometry::fillsVisibleFrame},
        {"visible height only", QRectF(300, 0, 900, 875), false, SidebarGeometry::normal},
        {"visible height, and the browser says zoomed", QRectF(300, 0, 900, 875), true,
         SidebarGeometry::fillsVisibleFrame},
        // Only a window over the whole screen is in full screen; a larger one is an ordinary window.
        {"taller than the screen", QRectF(360, -10, 1040, 935), false, SidebarGeometry::normal},
        {"the screen's full height, part of its width", QRectF(300, 0, 900, 900), false, SidebarGeometry::normal},
        {"larger than the screen both ways", QRectF(-50, -60, 1600, 1000), false, SidebarGeometry::normal},
        {"the screen's size, standing partly off it", QRectF(400, -200, 1440, 900), false, SidebarGeometry::normal},
    };
    for (const auto &c : cases) {
        const auto g = geometry(c.safari, 300, SidebarEdgeBehavior::moveSafari, c.saysZoomed);
        EXPECT_EQ(g.zoomState(), c.expected) << c.name;
        // A window in full screen stays whole; any other reaching into the strip is moved aside.
        EXPECT_EQ(g.needsRoomFromSafari(), c.expected != SidebarGeometry::fullScreen && c.safari.left() < 299) << c.name;
    }
}

TEST(SidebarGeometry, WithoutTheBrowsersWindowThePanelStandsOnTheScreenUnderTheMouse) {
    auto g = geometry(std::nullopt);
    EXPECT_EQ(g.sidebarFrame(), QRectF(0, 0, 300, 875));
    g.mouseLocation = QPointF(1440, 10);  // on the shared edge: the screen it starts
    EXPECT_EQ(g.sidebarFrame(), QRectF(1440, 0, 300, 1055));
    g.mouseLocation = QPointF(-50, -50);
    g.mainScreen = kRight;
    EXPECT_EQ(g.sidebarFrame(), QRectF(1440, 0, 300, 1055));
    g.mainScreen.reset();
    EXPECT_EQ(g.sidebarFrame(), QRectF(0, 0, 300, 875));
    EXPECT_FALSE(g.needsRoomFromSafari());
    EXPECT_EQ(g.zoomState(), SidebarGeometry::normal);

    g.screens.clear();
    g.safariFrame = QRectF(100, 100, 800, 600);
    EXPECT_EQ(g.sidebarFrame(), QRectF(0, 0, 300, 800));
    EXPECT_FALSE(g.needsRoomFromSafari());
    EXPECT_FALSE(g.overlapsSafari());
}

TEST(SidebarGeometry, BrowsersLeftEdgeAfterAWidthChange) {
    EXPECT_EQ(geometry(QRectF(400, 100, 800, 600), 64).safariMinXAfterWidthChange(300), 164);
    EXPECT_EQ(geometry(QRectF(300, 100, 800, 600), 64).safariMinXAfterWidthChange(300), 64);  // never under the panel
    EXPECT_EQ(geometry(QRectF(1800, 100, 800, 600), 300).safariMinXAfterWidthChange(64), 2036);
    EXPECT_FALSE(geometry(std::nullopt).safariMinXAfterWidthChange(300));
}

}  // namespace
}  // namespace ondrake
