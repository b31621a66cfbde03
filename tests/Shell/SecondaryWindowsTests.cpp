#include "Shell/SecondaryWindows.h"
#include "Shell/SettingsPanelBinding.h"
#include "Shell/SidebarWindowController.h"

#include "ManualScheduler.h"
#include "SimulatedScreens.h"
#include "UserDefaults.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

using Kind = SecondaryWindows::Kind;
constexpr Kind kAllKinds[] = {Kind::settings, Kind::calibration, Kind::commandPalette};

// The three windows with a line edit of a fixed size as each one's content, recording whether the
// window was already on screen whenever the application was brought forward.
struct WindowsWorld {
    std::vector<std::pair<Kind, bool>> activations;
    std::map<Kind, int> built;
    std::map<Kind, int> closed;
    Kind opening = Kind::settings;
    SecondaryWindows windows{[this] {
        const QWidget *w = windows.window(opening);
        activations.emplace_back(opening, w && w->isVisible());
    }};

    WindowsWorld() {
        for (const Kind kind : kAllKinds) {
            windows.setContent(kind, [this, kind] {
                ++built[kind];
                auto content = std::make_unique<QLineEdit>();
                content->setObjectName(QStringLiteral("content"));
                content->setFixedSize(320, 120);
                return content;
            });
            windows.setOnClose(kind, [this, kind] { ++closed[kind]; });
        }
    }
    QWidget *open(Kind kind) {
        opening = kind;
        return windows.open(kind);
    }
};

TEST(SecondaryWindows, EachWindowIsMadeOnceAndShownAgainWithItsContent) {
    for (const Kind kind : kAllKinds) {
        WindowsWorld world;
        QWidget *first = world.open(kind);
        ASSERT_NE(first, nullptr);
        EXPECT_TRUE(first->isVisible());
        first->findChild<QLineEdit *>(QStringLiteral("content"))->setText(QStringLiteral("typed"));
        EXPECT_EQ(world.open(kind), first);
        world.windows.close(kind);
        EXPECT_FALSE(first->isVisible());
        EXPECT_EQ(world.open(kind), first);
        EXPECT_TRUE(first->isVisible());
        EXPECT_EQ(first->findChild<QLineEdit *>(QStringLiteral("content"))->text(), QStringLiteral("typed"));
        EXPECT_EQ(world.built[kind], 1);
        // Each request brought the application forward before the window showed.
        EXPECT_EQ(world.activations, (std::vector<std::pair<Kind, bool>>{{kind, false}, {kind, true}, {kind, false}}));
    }
}

TEST(SecondaryWindows, WindowsAreTitledClosableAndSizedToTheirContent) {
    const std::map<Kind, QString> titles = {{Kind::settings, "Settings"},
                                            {Kind::calibration, "Calibrate Overlay"},
                                            {Kind::commandPalette, "Command Palette"}};
    WindowsWorld world;
    for (const Kind kind : kAllKinds) {
        QWidget *w = world.open(kind);
        EXPECT_EQ(w->windowTitle(), titles.at(kind));
        EXPECT_TRUE(w->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        EXPECT_FALSE(w->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(w->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(w->size(), QSize(320, 120));
        EXPECT_EQ(w->minimumSize(), w->maximumSize());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        // Within the window frame's margins of the centre.
        EXPECT_LE((w->geometry().center() - screen.center()).manhattanLength(), 8);
    }
}

TEST(SecondaryWindows, OnlyClosingRunsTheWindowsReaction) {
    WindowsWorld world;
    QWidget *palette = world.open(Kind::commandPalette);
    world.windows.orderOut(Kind::commandPalette);
    EXPECT_FALSE(palette->isVisible());
    EXPECT_EQ(world.closed[Kind::commandPalette], 0);

    world.open(Kind::commandPalette);
    palette->close();  // the close button
    EXPECT_EQ(world.closed[Kind::commandPalette], 1);
    world.windows.close(Kind::commandPalette);  // already closed: nothing more
    EXPECT_EQ(world.closed[Kind::commandPalette], 1);
    EXPECT_EQ(world.closed[Kind::calibration], 0);
}

TEST(SecondaryWindows, AWindowWithoutContentDoesNotOpen) {
    int activations = 0;
    SecondaryWindows windows([&] { ++activations; });
    EXPECT_FALSE(windows.hasContent(Kind::calibration));
    EXPECT_EQ(windows.open(Kind::calibration), nullptr);
    EXPECT_EQ(activations, 0);
    windows.close(Kind::calibration);
    windows.orderOut(Kind::calibration);
    EXPECT_EQ(windows.window(Kind::calibration), nullptr);
}

// A sidebar panel over a simulated desktop, or none.
struct PanelWorld {
    ManualScheduler scheduler;
    SimulatedScreens screens;
    SimulatedPointer pointer;
    UserDefaults defaults;
    std::unique_ptr<SidebarWindowController> controller = std::make_unique<SidebarWindowController>(
        new QLineEdit, SidebarWindowController::Services{defaults, screens, pointer, scheduler});
    SettingsPanelGeometry geometry = settingsPanelBinding([this] { return controller.get(); }, defaults);
};

TEST(SettingsPanelBinding, ClampsTheRailWidthAndStoresOnlyAChange) {
    struct Case {
        double requested;
        double expected;
    };
    const Case cases[] = {{30, 48}, {200, 120}, {80, 80}, {80.5, 80.5}};
    for (const Case &c : cases) {
        PanelWorld world;
        world.geometry.setCompactWidth(c.requested);
        EXPECT_EQ(world.geometry.getCompactWidth(), c.expected) << c.requested;
        EXPECT_EQ(world.defaults.doubleForKey(SidebarWindowController::kCompactWidthKey), c.expected) << c.requested;
    }
    PanelWorld world;
    QSignalSpy writes(&world.defaults, &UserDefaults::didChange);
    world.geometry.setCompactWidth(64);
    world.geometry.setCompactWidth(20);
    world.geometry.setCompactWidth(48);
    EXPECT_EQ(writes.count(), 1);
}

TEST(SettingsPanelBinding, CornerRadiusGoesThroughThePanelsOwnClamp) {
    PanelWorld world;
    world.geometry.setCornerRadius(55);
    EXPECT_EQ(world.geometry.getCornerRadius(), 40);
    EXPECT_EQ(world.defaults.doubleForKey(SidebarWindowController::kCornerRadiusKey), 40);
}

TEST(SettingsPanelBinding, WithoutAPanelAnswersTheDefaultsAndIgnoresWrites) {
    PanelWorld world;
    world.controller.reset();
    QSignalSpy writes(&world.defaults, &UserDefaults::didChange);
    world.geometry.setCompactWidth(100);
    world.geometry.setCornerRadius(5);
    EXPECT_EQ(world.geometry.getCompactWidth(), 64);
    EXPECT_EQ(world.geometry.getCornerRadius(), 20);
    EXPECT_EQ(writes.count(), 0);
}

}  // namespace
