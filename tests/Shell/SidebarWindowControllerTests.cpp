#include "Shell/SidebarWindowController.h"

#include "ManualScheduler.h"
#include "SimulatedScreens.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

namespace ondrake {
namespace {

// A controller over a simulated desktop, with a line edit standing in for the sidebar's content.
struct PanelWorld {
    ManualScheduler scheduler;
    SimulatedScreens screens;
    SimulatedPointer pointer;
    UserDefaults defaults;
    QLineEdit *content = new QLineEdit;
    std::unique_ptr<SidebarWindowController> controller;

    PanelWorld() { make(); }
    void make() {
        if (controller) content = new QLineEdit;
        controller = std::make_unique<SidebarWindowController>(
            content, SidebarWindowController::Services{defaults, screens, pointer, scheduler});
    }
    SidebarPanel &panel() { return controller->panel(); }
    void show() {
        panel().setFrame(controller->sidebarFrame(), true);
        panel().orderFrontRegardless();
    }
};

void saveScreenshot(QWidget &widget, const QString &name) {
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

TEST(SidebarWindowController, StoredWidthsAndRadiusAreClampedOnReading) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        QString key;
        std::optional<double> stored;
        double expected;
    };
    const QString width = SidebarWindowController::kWidthKey, compact = SidebarWindowController::kCompactWidthKey,
                  radius = SidebarWindowController::kCornerRadiusKey;
    const Case cases[] = {
        {width, std::nullopt, 300}, {width, 0, 300},   {width, -5, 300},     {width, 150, 200},  {width, 900, 600},
        {width, 450, 450},          {width, nan, 300}, {compact, std::nullopt, 64}, {compact, 30, 48}, {compact, 200, 120},
        {compact, 0, 64},           {radius, std::nullopt, 20}, {radius, 0, 0}, {radius, 55, 40}, {radius, -3, 0},
    };
    for (const auto &c : cases) {
        UserDefaults defaults;
        if (c.stored) defaults.setDouble(c.key, *c.stored);
        const double read = c.key == width    ? SidebarWindowController::storedWidth(defaults)
                            : c.key == compact ? SidebarWindowController::storedCompactWidth(defaults)
                                               : SidebarWindowController::storedCornerRadius(defaults);
        EXPECT_EQ(read, c.expected) << c.key.toStdString() << " " << c.stored.value_or(-1);
    }
}

TEST(SidebarWindowController, ThePanelIsAFramelessToolWindowThatShowsWithoutActivating) {
    PanelWorld world;
    world.defaults.setDouble(SidebarWindowController::kCornerRadiusKey, 0);
    world.make();
    auto &panel = world.panel();
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(panel.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(panel.isVisible());
    EXPECT_NE(panel.windowNumber(), 0);
    EXPECT_EQ(panel.frame(), QRectF(0, 0, 300, 875));  // the visible frame of the screen under the mouse
    EXPECT_EQ(world.controller->cornerRadius(), 0);
    EXPECT_FALSE(world.controller->backdrop().hasCornerMask());
    EXPECT_FALSE(QApplication::activeWindow());
    world.show();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_FALSE(panel.isKeyWindow());
}

TEST(SidebarWindowController, LevelsBecomeStackingRequests) {
    EXPECT_EQ(SidebarPanel::stackingFor(3), (SidebarPanel::Stacking{true, true, false}));
    EXPECT_EQ(SidebarPanel::stackingFor(0), (SidebarPanel::Stacking{false, true, false}));
    EXPECT_EQ(SidebarPanel::stackingFor(SidebarWindowController::holdLevel), (SidebarPanel::Stacking{false, false, true}));

    PanelWorld world;
    QSignalSpy placements(&world.panel(), &SidebarPanel::placementChanged);
    world.panel().setLevel(SidebarWindowController::holdLevel);
    world.panel().orderFrontRegardless();
    EXPECT_TRUE(world.panel().isVisible());
    EXPECT_EQ(world.panel().level(), -1);
    world.panel().setLevel(3);
    EXPECT_TRUE(world.panel().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(world.panel().isVisible());
    world.panel().orderOut();
    EXPECT_FALSE(world.panel().isVisible());
    EXPECT_EQ(placements.count(), 4);
}

TEST(SidebarWindowController, ADragResizesFromTheWidthAtItsStart) {
    PanelWorld world;
    auto &c = *world.controller;
    c.resize(-500);
    EXPECT_EQ(c.expandedWidth(), 200);
    c.resize(50);  // the same gesture: from 300, not from the clamped 200
    EXPECT_EQ(c.expandedWidth(), 350);
    c.widthAtDragStart.reset();

    EXPECT_TRUE(c.setCompact(true));
    EXPECT_FALSE(c.setCompact(true));
    c.resize(500);
    EXPECT_EQ(c.compactWidth(), 120);
    EXPECT_EQ(c.currentWidth(), 120);
    EXPECT_EQ(c.expandedWidth(), 350);
}

TEST(SidebarWindowController, WidthChangesInOneTurnGiveOneFrameUpdateAndOneWrite) {
    PanelWorld world;
    auto &c = *world.controller;
    // Hidden: nothing is queued.
    c.resize(40);
    EXPECT_FALSE(c.frameUpdateScheduled());
    EXPECT_FALSE(world.defaults.objectForKey(SidebarWindowController::kWidthKey));
    c.widthAtDragStart.reset();

    world.show();
    QSignalSpy writes(&world.defaults, &UserDefaults::didChange);
    for (int step = 1; step <= 5; ++step) c.resize(step * 10);
    EXPECT_TRUE(c.frameUpdateScheduled());
    EXPECT_EQ(writes.count(), 0);
    world.scheduler.runUntilIdle();
    EXPECT_EQ(writes.count(), 1);
    EXPECT_EQ(world.defaults.doubleForKey(SidebarWindowController::kWidthKey), 390);
    EXPECT_EQ(world.panel().frame().width(), 390);
    EXPECT_EQ(world.panel().geometry(), world.screens.toNative(world.panel().frame()));

    // Compact widths go to their own key.
    c.widthAtDragStart.reset();
    c.setCompact(true);
    c.resize(-100);
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.defaults.doubleForKey(SidebarWindowController::kCompactWidthKey), 48);
    EXPECT_EQ(world.defaults.doubleForKey(SidebarWindowController::kWidthKey), 390);
}

TEST(SidebarWindowController, TheVisiblePanelFollowsTheBrowsersFrameTheEdgeBehaviourAndTheScreens) {
    PanelWorld world;
    auto &c = *world.controller;
    c.setSafariFrame(QRectF(100, 100, 800, 600));
    EXPECT_EQ(world.panel().frame(), QRectF(0, 0, 300, 875));  // hidden: the frame waits

    world.show();
    EXPECT_EQ(world.panel().frame(), QRectF(0, 100, 300, 600));
    // Flipped over the screen's height for the desktop, whose origin is the top left.
    EXPECT_EQ(world.panel().geometry(), QRect(0, 200, 300, 600));

    world.defaults.setString(kSidebarEdgeBehaviorKey, QStringLiteral("slideOffScreen"));
    c.setSafariFrame(QRectF(100, 100, 800, 600));  // same frame, new behaviour
    EXPECT_EQ(world.panel().frame(), QRectF(-200, 100, 300, 600));

    c.setSafariFrame(std::nullopt);
    EXPECT_EQ(world.panel().frame(), QRectF(0, 0, 300, 875));

    c.setSafariFrame(QRectF(1700, 100, 800, 600));
    world.screens.setScreens({SimulatedScreens::standardScreen(),
                              {QStringLiteral("Right"), QRectF(1440, 0, 1920, 1080), QRectF(1440, 0, 1920, 1055), 60}});
    EXPECT_EQ(world.panel().frame(), QRectF(1400, 100, 300, 600));
}

TEST(SidebarWindowController, CornerRadiusIsClampedAndStored) {
    PanelWorld world;
    auto &c = *world.controller;
    EXPECT_EQ(c.cornerRadius(), 20);
    QSignalSpy writes(&world.defaults, &UserDefaults::didChange);
    c.setCornerRadius(55);
    EXPECT_EQ(c.cornerRadius(), 40);
    EXPECT_EQ(world.defaults.doubleForKey(SidebarWindowController::kCornerRadiusKey), 40);
    EXPECT_EQ(c.backdrop().cornerRadius(), 40);
    c.setCornerRadius(40);
    EXPECT_EQ(writes.count(), 1);
    c.setCornerRadius(-1);
    EXPECT_EQ(c.cornerRadius(), 0);
    EXPECT_FALSE(c.backdrop().hasCornerMask());
}

TEST(SidebarWindowController, TheKeyMonitorActsOnlyWhileThePanelItselfHasTheKeyboard) {
    PanelWorld world;
    auto &c = *world.controller;
    std::vector<SidebarKeyCommand> done;
    c.onKeyCommand = [&](SidebarKeyCommand command) { done.push_back(command); };
    c.hasSelection = [] { return true; };
    world.show();
    world.content->setText(QStringLiteral("abc"));
    world.content->setFocus();
    const auto press = [&](QWidget *target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                           bool autoRepeat = false) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(target, &event);
    };

    press(world.content, Qt::Key_Backspace);  // the panel is not the key window yet
    EXPECT_TRUE(done.empty());
    EXPECT_EQ(world.content->text(), QStringLiteral("ab"));

    // A click into the panel makes it the key window, though it never activates on showing.
    QTest::mouseClick(world.content, Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(world.panel().isKeyWindow());
    press(world.content, Qt::Key_Backspace);
    press(world.content, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(done, (std::vector{SidebarKeyCommand::closeSelection, SidebarKeyCommand::toggleCompactMode}));
    EXPECT_EQ(world.content->text(), QStringLiteral("ab")) << "the handled key was swallowed";

    // Held down, the key acted once; its repeats reach nobody, marked or not.
    done.clear();
    press(world.content, Qt::Key_Backspace, Qt::NoModifier, true);
    for (const auto type : {QEvent::KeyRelease, QEvent::KeyPress}) {
        QKeyEvent event(type, Qt::Key_Backspace, Qt::NoModifier);
        event.setTimestamp(5000);
        QApplication::sendEvent(world.content, &event);
    }
    EXPECT_TRUE(done.empty());
    EXPECT_EQ(world.content->text(), QStringLiteral("ab"));

    // A menu open over the panel has the keyboard, though the panel stays the active window.
    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    menu.popup(world.panel().geometry().center());
    ASSERT_EQ(QApplication::activePopupWidget(), &menu);
    ASSERT_TRUE(world.panel().isKeyWindow());
    for (const auto key : {Qt::Key_Backspace, Qt::Key_Delete}) press(&menu, key);
    press(&menu, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    press(&menu, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(done.empty());
    EXPECT_TRUE(menu.isVisible());
    press(&menu, Qt::Key_Escape);
    EXPECT_TRUE(done.empty()) << "Escape is the menu's";
    EXPECT_FALSE(menu.isVisible());

    c.searchFieldIsFocused = true;
    press(world.content, Qt::Key_Backspace);
    EXPECT_TRUE(done.empty());
    EXPECT_EQ(world.content->text(), QStringLiteral("a"));
}

TEST(SidebarWindowController, TheBackdropRoundsThePanelsCorners) {
    PanelWorld world;
    world.content->setText(QStringLiteral("Sidebar"));
    world.content->setStyleSheet(QStringLiteral("background: transparent; border: none"));
    world.show();
    const auto image = world.panel().grab().toImage();
    saveScreenshot(world.panel(), QStringLiteral("sidebar-panel"));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_GT(qAlpha(image.pixel(image.width() / 2, image.height() - 5)), 200);
}

TEST(SidebarWindowController, WithoutACompositorTheWindowItselfIsCutToTheRoundedCorners) {
    struct Case {
        bool compositing;
        double radius;
        bool masked;
    };
    for (const auto &c : {Case{false, 20, true}, Case{false, 0, false}, Case{true, 20, false}}) {
        SCOPED_TRACE(testing::Message() << "compositing " << c.compositing << ", radius " << c.radius);
        PanelWorld world;
        world.screens.setCompositing(c.compositing);
        world.controller->setCornerRadius(c.radius);
        world.show();
        auto &panel = world.panel();
        EXPECT_EQ(panel.masksCorners(), c.masked);
        if (!c.masked) continue;
        // The desktop shows the panel inside the mask only: no corner, every edge's middle.
        const auto shown = [&](QPoint p) { return panel.mask().contains(p); };
        const int w = panel.width(), h = panel.height();
        for (const QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1), QPoint(3, 3)})
            EXPECT_FALSE(shown(corner)) << corner.x() << "," << corner.y();
        for (const QPoint inside : {QPoint(w / 2, 0), QPoint(0, h / 2), QPoint(w - 1, h / 2), QPoint(w / 2, h - 1),
                                    QPoint(20, 20), QPoint(w / 2, h / 2)})
            EXPECT_TRUE(shown(inside)) << inside.x() << "," << inside.y();

        // A new width is cut anew; a compositor that came meanwhile needs no cut at the next showing.
        panel.setFrame(QRectF(panel.frame().topLeft(), QSizeF(64, panel.frame().height())), true);
        EXPECT_EQ(panel.mask().boundingRect().width(), 64);
        world.screens.setCompositing(true);
        panel.orderOut();
        panel.orderFrontRegardless();
        EXPECT_FALSE(panel.masksCorners());
    }
}

}  // namespace
}  // namespace ondrake

namespace ondrake {
namespace {

TEST(SidebarWindowController, TheContentIsCutToTheRoundedCorners) {
    ManualScheduler scheduler;
    SimulatedScreens screens;
    SimulatedPointer pointer;
    UserDefaults defaults;
    auto *content = new QWidget;
    content->setAutoFillBackground(true);
    QPalette red;
    red.setColor(QPalette::Window, Qt::red);
    content->setPalette(red);
    SidebarWindowController controller(content, {defaults, screens, pointer, scheduler});
    controller.panel().setFrame(QRectF(0, 0, 300, 600), true);

    struct Case {
        double radius;
        bool cornerShowsContent;
    };
    for (const auto &c : {Case{20, false}, Case{0, true}}) {
        controller.setCornerRadius(c.radius);
        const QImage image = controller.panel().grab().toImage();
        ASSERT_EQ(image.size(), QSize(300, 600));
        EXPECT_EQ(image.pixelColor(150, 300), QColor(Qt::red)) << c.radius;
        for (const QPoint corner : {QPoint(1, 1), QPoint(298, 1), QPoint(1, 598), QPoint(298, 598)})
            EXPECT_EQ(image.pixelColor(corner) == QColor(Qt::red), c.cornerShowsContent) << c.radius << corner.x() << corner.y();
    }
}

}  // namespace
}  // namespace ondrake
