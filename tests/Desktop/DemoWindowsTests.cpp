// The demo session's windows as a new user first meets them: each one reached with the mouse on
// the screens people have, and where the session put them after a launch that the window manager
// did not answer at first. Each screen is one desktop and one start of the application. Places are
// the X server's, in its pixels.

#include "OndrakeProcess.h"
#include "ManagedDesktopTest.h"
#include "XSession.h"

#include "DemoSession.h"
#include "Qt/TabStripLayout.h"

#include <QDir>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <ostream>

namespace ondrake::test {
namespace {

const QString kSidebar = QStringLiteral("Sidebar");
// The windows show their current tab's title; front to back as seeded.
const QStringList kTitles{QStringLiteral("Sky - Wikipedia"), QStringLiteral("QWidget Class | Qt Widgets 6"),
                          QStringLiteral("Lisbon travel guide - Wikivoyage")};

constexpr Milliseconds kStartTimeout{15000};
constexpr Milliseconds kSettle{5000};
constexpr Milliseconds kHeld{2000};
constexpr Milliseconds kHoldStill{500};
// Openbox's title bar: the window's icon at the left end, three buttons at the right.
constexpr int kIconRoom = 24;
constexpr int kButtonsRoom = 70;
constexpr int kNarrowestGrip = 20;

struct Screen {
    const char *name;
    QSize pixels;
};

void PrintTo(const Screen &screen, std::ostream *out) { *out << screen.name; }

// A stretch of one row of pixels, [left, right).
struct Stretch {
    int left = 0;
    int right = 0;
    int width() const { return right - left; }
};

class DemoDesktop : public ManagedDesktopTest<Screen> {
protected:
    std::unique_ptr<OndrakeProcess> launch() { return std::make_unique<OndrakeProcess>(*server, home.path()); }

    // The sidebar and the three windows, once each shows.
    bool findWindows() {
        return waitUntil(
            [&] {
                const auto sidebars = x->windowsNamed(kSidebar);
                if (sidebars.size() != 1 || !x->isViewable(sidebars.front())) return false;
                sidebar = sidebars.front();
                windows.clear();
                for (const auto &title : kTitles) {
                    const auto found = x->windowsNamed(title);
                    if (found.size() != 1 || !x->isViewable(found.front())) return false;
                    windows.push_back(found.front());
                }
                return true;
            },
            kStartTimeout);
    }

    // Where the session puts each window on this screen, front to back.
    std::vector<QRect> seeded() const {
        std::vector<QRect> out;
        for (const auto &w : DemoSession::windows(QRectF(QPointF(0, 0), QSizeF(GetParam().pixels))))
            out.push_back(QRectF(QPointF(w.bounds.left, w.bounds.top), QPointF(w.bounds.right, w.bounds.bottom)).toRect());
        return out;
    }
    bool standsAsSeeded() const {
        const auto places = seeded();
        for (std::size_t i = 0; i < windows.size(); ++i)
            if (x->geometry(windows[i]) != places[i]) return false;
        return true;
    }
    bool isShownWith(XWindow window) const {
        return x->activeWindow() == window && x->isAbove(sidebar, window) && x->isFlushBeside(sidebar, window);
    }
    QString whereThingsAre() const {
        QStringList out{QStringLiteral("sidebar %1").arg(describe(x->geometry(sidebar)))};
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const bool active = x->activeWindow() == windows[i];
            out << QStringLiteral("window %1%2 %3").arg(i + 1).arg(active ? QStringLiteral(" (active)") : QString(),
                                                          describe(x->geometry(windows[i])));
        }
        return out.join(QStringLiteral(", "));
    }

    QRect frameOf(XWindow window) const { return x->geometry(window).value_or(QRect()).marginsAdded(x->frameExtents(window)); }
    // The stretches of row `y` of the window's frame that no window in front of it covers, the
    // sidebar included, left to right.
    std::vector<Stretch> shownStretches(XWindow window, int y) const {
        const auto frame = frameOf(window);
        std::vector<Stretch> shown{{frame.left(), frame.right() + 1}};
        const auto order = x->topLevels();
        std::vector<XWindow> inFront(std::find(order.begin(), order.end(), window), order.end());
        if (!inFront.empty()) inFront.erase(inFront.begin());
        inFront.push_back(sidebar);
        for (const auto other : inFront) {
            const auto cover = frameOf(other);
            if (other == window || !x->isViewable(other) || y < cover.top() || y > cover.bottom()) continue;
            std::vector<Stretch> rest;
            for (const auto &s : shown) {
                if (s.left < cover.left()) rest.push_back({s.left, std::min(s.right, cover.left())});
                if (s.right > cover.right() + 1) rest.push_back({std::max(s.left, cover.right() + 1), s.right});
            }
            shown = std::move(rest);
        }
        return shown;
    }
    // Where a person clicks the window's title bar: the middle of the widest stretch of it that
    // shows, off the icon and the buttons. None when too little shows.
    std::optional<QPoint> titleBarGrip(XWindow window) const {
        const auto inside = *x->geometry(window);
        const auto frame = frameOf(window);
        const int y = inside.top() - std::max(x->frameExtents(window).top(), 2) / 2;
        std::optional<Stretch> widest;
        for (auto s : shownStretches(window, y)) {
            s = {std::max(s.left, frame.left() + kIconRoom), std::min(s.right, frame.right() + 1 - kButtonsRoom)};
            if (s.width() >= kNarrowestGrip && (!widest || s.width() > widest->width())) widest = s;
        }
        if (!widest) return std::nullopt;
        return QPoint((widest->left + widest->right) / 2, y);
    }
    int tabStripShown(XWindow window) const {
        const int y = x->geometry(window)->top() + TabStripLayout::kHeight / 2;
        int widest = 0;
        for (const auto &s : shownStretches(window, y)) widest = std::max(widest, s.width());
        return widest;
    }

    XWindow sidebar = 0;
    std::vector<XWindow> windows;  // front to back as seeded
};

using DemoWindows = DemoDesktop;

TEST_P(DemoWindows, EachWindowIsBroughtForwardByAClickOnItsTitleBarWithTheSidebarFlushBesideIt) {
    auto app = launch();
    ASSERT_TRUE(app->waitForLine(QStringLiteral("Ondrake started"), kStartTimeout));
    ASSERT_TRUE(findWindows()) << "the sidebar and the three windows never showed";
    ASSERT_TRUE(waitUntil([&] { return isShownWith(windows.front()) && standsAsSeeded(); }, kSettle))
        << "at launch: " << whereThingsAre().toStdString();
    const QString folder = QStringLiteral(ONDRAKE_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    x->stillScreenshot(kSettle).save(QDir(folder).filePath(QStringLiteral("demo-windows-%1.png").arg(QString::fromLatin1(GetParam().name))));

    // From each window to each other one: every order of the three comes up on the way.
    for (const int next : {1, 2, 0, 2, 1, 0}) {
        SCOPED_TRACE("window " + std::to_string(next + 1) + " from " + whereThingsAre().toStdString());
        const auto window = windows[std::size_t(next)];
        for (std::size_t i = 0; i < windows.size(); ++i)
            EXPECT_GE(tabStripShown(windows[i]), kNarrowestGrip) << "window " << i + 1 << "'s tab strip shows";
        const auto grip = titleBarGrip(window);
        ASSERT_TRUE(grip) << "no part of its title bar shows";
        ASSERT_TRUE(input->click(*grip));
        EXPECT_TRUE(waitUntil([&] { return isShownWith(window); }, kSettle)) << whereThingsAre().toStdString();
    }
    EXPECT_TRUE(standsAsSeeded()) << "no window was moved aside: " << whereThingsAre().toStdString();
}

using LaunchBesideAHeldWindowManager = DemoDesktop;

TEST_P(LaunchBesideAHeldWindowManager, EveryWindowEndsWhereItWasSeededAndTheSidebarFlushBesideTheFrontOne) {
    std::unique_ptr<OndrakeProcess> app;
    {
        const WindowManager::Hold held(*manager);
        ASSERT_TRUE(held.isHeld());
        QElapsedTimer clock;
        clock.start();
        app = launch();
        ASSERT_TRUE(app->waitForLine(QStringLiteral("Ondrake started"), kStartTimeout)) << "it starts all the same";
        waitUntil([&] { return clock.elapsed() >= kHeld.count(); }, kHeld * 2);
    }
    ASSERT_TRUE(findWindows()) << "the sidebar and the three windows never showed";
    EXPECT_TRUE(waitUntil([&] { return isShownWith(windows.front()) && standsAsSeeded(); }, kSettle))
        << whereThingsAre().toStdString();

    QElapsedTimer still;
    still.start();
    bool stayed = true;
    waitUntil(
        [&] {
            stayed = stayed && standsAsSeeded() && x->isFlushBeside(sidebar, windows.front());
            return still.elapsed() >= kHoldStill.count();
        },
        kSettle);
    EXPECT_TRUE(stayed) << whereThingsAre().toStdString();
}

const auto kScreens = ::testing::Values(Screen{"1920x1080", {1920, 1080}}, Screen{"1366x768", {1366, 768}});
const auto kName = [](const ::testing::TestParamInfo<Screen> &info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(CommonScreens, DemoWindows, kScreens, kName);
INSTANTIATE_TEST_SUITE_P(CommonScreens, LaunchBesideAHeldWindowManager, kScreens, kName);

}  // namespace
}  // namespace ondrake::test
