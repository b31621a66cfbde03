#include "SidebarTestSupport.h"

#include "Ondrake/Sidebar/ResizeHandle.h"
#include "Ondrake/Sidebar/SidebarEnvironment.h"

#include <QAccessible>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QTest>

#include <memory>
#include <vector>

using namespace ondrake;
using namespace ondrake::test;

namespace {

struct Calls {
    int began = 0;
    int ended = 0;
    std::vector<double> drags;

    ResizeGesture::Actions actions() {
        return {[this] { ++began; }, [this](double change) { drags.push_back(change); }, [this] { ++ended; }};
    }
};

TEST(ResizeGesture, ReportsTheNegatedTravelOnceItPassesTwoPoints) {
    struct Case {
        const char *name;
        std::vector<QPointF> moves;  // relative to the press
        int began;
        std::vector<double> drags;
        int ended;
    };
    const std::vector<Case> cases = {
        {"too short", {{1, 0}, {1.5, 1}, {-1.9, 0}}, 0, {}, 0},
        {"leftwards", {{-1, 0}, {-10, 0}, {-30, 2}, {-50, 1}}, 1, {10, 30, 50}, 1},
        {"rightwards", {{5, 0}, {30, -4}}, 1, {-5, -30}, 1},
        {"vertical start", {{0, 3}, {-20, 3}}, 1, {0, 20}, 1},
        {"back through the start", {{-8, 0}, {0, 0}, {1, 0}}, 1, {8, 0, -1}, 1},
    };
    for (const Case &c : cases) {
        Calls calls;
        ResizeGesture gesture(calls.actions());
        const QPointF start(400, 300);
        gesture.press(start);
        for (const QPointF &move : c.moves) gesture.move(start + move);
        EXPECT_EQ(calls.began, c.began) << c.name;
        EXPECT_EQ(calls.drags, c.drags) << c.name;
        gesture.release();
        EXPECT_EQ(calls.ended, c.ended) << c.name;
        EXPECT_FALSE(gesture.isDragging()) << c.name;
    }
}

TEST(ResizeGesture, EachPressStartsAFreshDrag) {
    Calls calls;
    ResizeGesture gesture(calls.actions());
    for (int i = 0; i < 2; ++i) {
        gesture.press(QPointF(100, 100));
        gesture.move(QPointF(90, 100));
        gesture.release();
    }
    gesture.move(QPointF(0, 0));  // no press: nothing
    EXPECT_EQ(calls.began, 2);
    EXPECT_EQ(calls.ended, 2);
    EXPECT_EQ(calls.drags, (std::vector<double>{10, 10}));
}

// A handle on the leading edge of a sidebar-sized host.
struct HandleScene {
    HandleScene() : host(QSize(240, 120), QColor(245, 245, 244), {}) {
        environment.setTheme(SidebarThemeTokens::light());
        host.setPalette(lightPalette());
        handle = std::make_unique<ResizeHandle>(&environment, calls.actions(), &host);
        handle->setGeometry(0, 0, ResizeHandle::kWidth, host.height());
        host.show();
    }
    ~HandleScene() { handle.reset(); }

    void enter() {
        QEnterEvent event(QPointF(3, 60), QPointF(3, 60), handle->mapToGlobal(QPointF(3, 60)));
        QCoreApplication::sendEvent(handle.get(), &event);
    }
    void leave() {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(handle.get(), &event);
    }

    Calls calls;
    SidebarEnvironment environment;
    PaintHost host;
    std::unique_ptr<ResizeHandle> handle;
};

bool showsResizeCursor() {
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::SizeHorCursor;
}

TEST(ResizeHandle, MouseDragLeftReportsTheWidening) {
    HandleScene scene;
    ResizeHandle &handle = *scene.handle;
    QTest::mousePress(&handle, Qt::LeftButton, {}, QPoint(3, 60));
    QTest::mouseMove(&handle, QPoint(2, 60));
    EXPECT_EQ(scene.calls.began, 0);
    for (const int x : {-7, -27, -47}) QTest::mouseMove(&handle, QPoint(x, 60));
    EXPECT_TRUE(showsResizeCursor());
    QTest::mouseRelease(&handle, Qt::LeftButton, {}, QPoint(-47, 60));
    EXPECT_EQ(scene.calls.began, 1);
    ASSERT_FALSE(scene.calls.drags.empty());
    EXPECT_DOUBLE_EQ(scene.calls.drags.back(), 50);
    EXPECT_EQ(scene.calls.ended, 1);
    // Let go away from the strip: no highlight, no cursor left behind.
    EXPECT_FALSE(handle.isHighlighted());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ResizeHandle, AShortDragReportsNothing) {
    HandleScene scene;
    QTest::mousePress(scene.handle.get(), Qt::LeftButton, {}, QPoint(3, 60));
    QTest::mouseMove(scene.handle.get(), QPoint(4, 60));
    QTest::mouseRelease(scene.handle.get(), Qt::LeftButton, {}, QPoint(4, 60));
    EXPECT_EQ(scene.calls.began, 0);
    EXPECT_TRUE(scene.calls.drags.empty());
    EXPECT_EQ(scene.calls.ended, 0);
}

TEST(ResizeHandle, HoverPushesTheResizeCursorOnceAndLeavingPopsIt) {
    HandleScene scene;
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    scene.enter();
    scene.enter();
    EXPECT_TRUE(scene.handle->isHighlighted());
    EXPECT_TRUE(showsResizeCursor());
    scene.leave();
    EXPECT_FALSE(scene.handle->isHighlighted());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    scene.leave();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ResizeHandle, GoingAwayWhileHoveredTakesItsCursorAlong) {
    HandleScene scene;
    scene.enter();
    ASSERT_TRUE(showsResizeCursor());
    scene.handle.reset();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ResizeHandle, HidingMidDragEndsTheDrag) {
    HandleScene scene;
    QTest::mousePress(scene.handle.get(), Qt::LeftButton, {}, QPoint(3, 60));
    QTest::mouseMove(scene.handle.get(), QPoint(-20, 60));
    scene.handle->hide();
    EXPECT_EQ(scene.calls.began, 1);
    EXPECT_EQ(scene.calls.ended, 1);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ResizeHandle, HighlightsWithTheThemesBorderAndIsNamed) {
    HandleScene scene;
    const QColor fill(245, 245, 244);
    EXPECT_TRUE(colorNear(scene.host.grab().toImage().pixelColor(3, 60), fill, 0));
    scene.enter();
    const QImage hovered = scene.host.grab().toImage();
    saveScreenshot(hovered, QStringLiteral("resize-handle-hovered"));
    const QColor border = SidebarThemeTokens::light().border.resolved(lightPalette());
    EXPECT_TRUE(colorNear(hovered.pixelColor(3, 60), over(border, fill), 1));
    EXPECT_TRUE(colorNear(hovered.pixelColor(ResizeHandle::kWidth, 60), fill, 0));
    EXPECT_EQ(scene.handle->accessibleName(), QStringLiteral("Resize sidebar"));
    scene.leave();
}

}  // namespace
