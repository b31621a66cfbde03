#include "../Browser/BrowserTestWorld.h"

#include "Browser/SafariController.h"
#include "Qt/TabStripLayout.h"
#include "Shell/SidebarGeometry.h"

#include "DemoSession.h"
#include "SimulatedScreens.h"

#include <QSet>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace ondrake {
namespace {

TEST(DemoSession, ThreeWindowsOfOrdinaryBrowsingTheSameEveryTime) {
    const auto windows = DemoSession::windows();
    EXPECT_EQ(windows, DemoSession::windows());
    ASSERT_EQ(windows.size(), 3u);
    std::size_t tabs = 0;
    QSet<QString> urls;
    int duplicates = 0;
    for (const auto &w : windows) {
        tabs += w.tabs.size();
        EXPECT_GE(w.currentTab, 1);
        EXPECT_LE(w.currentTab, std::int64_t(w.tabs.size()));
        EXPECT_GE(w.bounds.right - w.bounds.left, SimulatedSafari::kMinimumWindowWidth);
        for (const auto &t : w.tabs) {
            if (urls.contains(t.url)) ++duplicates;
            urls.insert(t.url);
            EXPECT_TRUE(QUrl(t.url, QUrl::StrictMode).isValid()) << t.url.toStdString();
        }
    }
    EXPECT_GE(tabs + 1, 28u);
    EXPECT_LE(tabs + 1, 32u);
    EXPECT_GE(duplicates, 2);
}

// What a fitted session must be on any area: every window inside it on whole points, none
// narrower than the browser allows where the area has the room, in the designed order.
void expectFits(const std::vector<SimulatedSafari::Window> &windows, const QRectF &area) {
    const auto designed = DemoSession::windows();
    ASSERT_EQ(windows.size(), designed.size());
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const auto &b = windows[i].bounds;
        SCOPED_TRACE(windows[i].id);
        EXPECT_EQ(windows[i].id, designed[i].id);
        EXPECT_EQ(windows[i].tabs, designed[i].tabs);
        EXPECT_TRUE(area.contains(QRectF(QPointF(b.left, b.top), QPointF(b.right, b.bottom))))
            << b.left << "," << b.top << " " << b.right << "," << b.bottom;
        for (const double edge : {b.left, b.top, b.right, b.bottom}) EXPECT_EQ(edge, std::round(edge));
        EXPECT_GE(b.right - b.left, std::min(SimulatedSafari::kMinimumWindowWidth, std::floor(area.width())));
    }
}

void showOneScreen(SimulatedScreens &screens, QSizeF size, double menuBar) {
    const QRectF frame(QPointF(0, 0), size);
    screens.setScreens({{QStringLiteral("Screen"), frame, frame.adjusted(0, 0, 0, -menuBar), 60}});
}

TEST(DemoSession, TheSeededSessionFitsTheScreenItOpensOn) {
    struct Case {
        const char *name;
        QSize screen;
        double menuBar;
    };
    // Screens in Qt's units: 1600 x 1000 at scale 2 is 800 x 500, 2400 x 1600 at 1.25 is 1920 x 1280.
    const Case cases[] = {
        {"designed", {1440, 900}, 25},
        {"1920 x 1080", {1920, 1080}, 0},
        {"1366 x 768", {1366, 768}, 0},
        {"1600 x 1000 at scale 2", {800, 500}, 0},
        {"2400 x 1600 at scale 1.5", {1600, 1067}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedScreens screens;
        showOneScreen(screens, c.screen, c.menuBar);
        const auto area = DemoSession::openingArea(screens);
        EXPECT_EQ(area, QRectF(0, c.menuBar, c.screen.width(), c.screen.height() - c.menuBar));
        const auto windows = DemoSession::windows(area);
        expectFits(windows, area);
        EXPECT_EQ(windows, DemoSession::windows(area)) << "the same on every start";

        ManualScheduler scheduler;
        SimulatedWorkspace workspace(scheduler);
        SimulatedSafari safari(workspace);
        safari.launch();
        DemoSession::seed(safari, screens);
        EXPECT_EQ(safari.windows(), windows);
    }

    // Any area, of any size and place.
    std::mt19937 random(20260601);
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int i = 0; i < 300; ++i) {
        const QRectF area(between(-2000, 2000), between(-1000, 1000), between(300, 3000), between(240, 2000));
        SCOPED_TRACE(::testing::PrintToString(std::vector{area.x(), area.y(), area.width(), area.height()}));
        expectFits(DemoSession::windows(area), area);
    }
}

// How much of one row of a window shows in front of `covers` (frames, in the browser's
// coordinates): the widest stretch left uncovered.
double widestShown(double left, double right, double y, const std::vector<QRectF> &covers) {
    std::vector<std::pair<double, double>> shown{{left, right}};
    for (const auto &c : covers) {
        if (y < c.top() || y >= c.bottom()) continue;
        std::vector<std::pair<double, double>> rest;
        for (const auto &[l, r] : shown) {
            if (l < c.left()) rest.emplace_back(l, std::min(r, c.left()));
            if (r > c.right()) rest.emplace_back(std::max(l, c.right()), r);
        }
        shown = std::move(rest);
    }
    double widest = 0;
    for (const auto &[l, r] : shown) widest = std::max(widest, r - l);
    return widest;
}

TEST(DemoSession, EveryWindowsTitleBarAndTabStripShowWhicheverIsInFrontWithTheSidebarBesideIt) {
    // Screens in Qt's units, from the designed one down to the smallest the session fits.
    const std::pair<const char *, QSize> screensFit[] = {
        {"designed", {1440, 900}},        {"1920 x 1080", {1920, 1080}}, {"2400 x 1600 at scale 1.25", {1920, 1280}},
        {"2400 x 1600 at scale 1.5", {1600, 1067}}, {"1366 x 768", {1366, 768}}, {"1280 x 800", {1280, 800}},
        {"1280 x 720", {1280, 720}},      {"1024 x 768", {1024, 768}},
    };
    const double titleBar = DemoSession::kCascade.room.top();
    constexpr double kGrip = 100;  // room for a click beside a title bar's buttons
    for (const auto &[name, size] : screensFit) {
        SCOPED_TRACE(name);
        SimulatedScreens screens;
        showOneScreen(screens, size, name == std::string("designed") ? 25 : 0);
        const auto windows = DemoSession::windows(DemoSession::openingArea(screens));
        const auto boundsOf = [&](std::size_t i) {
            const auto &b = windows[i].bounds;
            return QRectF(QPointF(b.left, b.top), QPointF(b.right, b.bottom));
        };
        const auto frameOf = [&](std::size_t i) { return boundsOf(i).adjusted(0, -titleBar, 0, 0); };
        EXPECT_LT(windows[1].bounds.top, windows[0].bounds.top) << "the front window stands lowest";
        EXPECT_LT(windows[1].bounds.left, windows[0].bounds.left) << "and furthest right";

        std::vector<std::size_t> order{0, 1, 2};  // front to back
        do {
            const auto front = order.front();
            SidebarGeometry sidebar;
            sidebar.screens = screens.screens();
            sidebar.mainScreen = screens.mainScreen();
            sidebar.safariFrame = flipped(boundsOf(front), screens.firstScreenHeight());
            EXPECT_FALSE(sidebar.needsRoomFromSafari()) << "window " << front + 1 << " need not move aside";
            std::vector<QRectF> covers{flipped(sidebar.sidebarFrame(), screens.firstScreenHeight())};
            for (const auto i : order) {
                const auto &b = windows[i].bounds;
                SCOPED_TRACE("window " + std::to_string(i + 1) + " behind " + std::to_string(covers.size() - 1));
                EXPECT_GE(widestShown(b.left, b.right, b.top - titleBar / 2, covers), kGrip) << "its title bar";
                EXPECT_GE(widestShown(b.left, b.right, b.top + TabStripLayout::kHeight / 2, covers), kGrip) << "its tab strip";
                covers.push_back(frameOf(i));
            }
        } while (std::next_permutation(order.begin(), order.end()));
    }
}

TEST(DemoSession, TheLinkOpensInTheFirstWindowNestedUnderItsPageWhicheverWindowIsInFront) {
    // A window manager may bring up another window before the app has seen the session.
    for (const std::int64_t front : DemoSession::kWindowIDs) {
        SCOPED_TRACE(front);
        test::BrowserWorld world;
        world.safari.launch();
        world.safari.setWindows(DemoSession::windows());
        ASSERT_TRUE(world.safari.bringToFront(front));
        SafariController controller(world.engine, world.scheduler, world.workspace);
        ASSERT_EQ(world.run(controller.snapshot()).size(), 3u);

        ASSERT_TRUE(DemoSession::openLinkFromPage(world.safari));
        EXPECT_FALSE(DemoSession::openLinkFromPage(world.safari));  // only once
        const auto windows = world.run(controller.snapshot());
        EXPECT_EQ(windows.front().safariID, front) << "the front window stays where it was";
        const auto first = std::find_if(windows.begin(), windows.end(), [](const SafariWindow &w) {
            return w.safariID == DemoSession::kWindowIDs[0];
        });
        ASSERT_NE(first, windows.end());
        const auto opener = first->activeTab();
        ASSERT_TRUE(opener);
        EXPECT_EQ(opener->title, QStringLiteral("Sky - Wikipedia"));
        const auto linked = std::find_if(first->tabs.begin(), first->tabs.end(), [](const SafariTab &t) {
            return t.url && t.url->toString() == DemoSession::linkedTab().url;
        });
        ASSERT_NE(linked, first->tabs.end());
        EXPECT_EQ(linked->index, opener->index + 1);
        EXPECT_FALSE(linked->isActive);
        EXPECT_EQ(linked->parentID, opener->id);
    }
}

}  // namespace
}  // namespace ondrake
