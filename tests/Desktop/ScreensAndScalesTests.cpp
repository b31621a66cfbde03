// The application on the screens people have: small laptop screens, and fractional scales on
// large ones. Each screen is one desktop and one start of the application, which every check on
// that screen shares. Places are the X server's, in its pixels.

#include "OndrakeProcess.h"
#include "ManagedDesktopTest.h"
#include "XSession.h"

#include <QElapsedTimer>
#include <QRect>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <ostream>

namespace ondrake::test {
namespace {

const QString kSidebar = QStringLiteral("Sidebar");
// The demo session's windows show their current tab's title; the first is in front.
const QString kFrontWindow = QStringLiteral("Sky - Wikipedia");
const QStringList kWindows{kFrontWindow, QStringLiteral("QWidget Class | Qt Widgets 6"),
                           QStringLiteral("Lisbon travel guide - Wikivoyage")};

constexpr Milliseconds kStartTimeout{15000};
constexpr Milliseconds kSettle{5000};
constexpr Milliseconds kHoldStill{400};
// A motion of the pointer that the window manager does not answer by then is followed by another.
constexpr Milliseconds kNudgeTaken{250};

struct Screen {
    const char *name;
    QSize pixels;
    double scale;
    // Where the front window's inside is dragged to, one drag after the other. Under a fractional
    // scale, places between Qt's whole units: those Qt alone cannot put a window on.
    std::vector<QPoint> drags;
};

void PrintTo(const Screen &screen, std::ostream *out) { *out << screen.name; }

class ScreensAndScales : public ManagedDesktopTest<Screen> {
protected:
    bool isFlushBeside(XWindow window) const { return x->isFlushBeside(sidebar, window); }
    QString whereThingsAre(XWindow window) const {
        return QStringLiteral("sidebar %1, window %2")
            .arg(describe(x->geometry(sidebar)), describe(x->geometry(window)));
    }
    // The middle of the window's title bar, where a person takes hold of it.
    QPoint titleBarPoint(XWindow window) const {
        const auto inside = *x->geometry(window);
        return {inside.center().x(), inside.top() - std::max(x->frameExtents(window).top(), 2) / 2};
    }

    XWindow sidebar = 0;
};

TEST_P(ScreensAndScales, TheSidebarShowsFlushBesideTheFrontWindowAtLaunchAndAfterHandDrags) {
    const auto &screen = GetParam();
    QProcessEnvironment settings;
    if (screen.scale != 1) settings.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(screen.scale));
    OndrakeProcess app(*server, home.path(), settings);
    ASSERT_TRUE(app.waitForLine(QStringLiteral("Ondrake started"), kStartTimeout));

    // The sidebar shows, beside the front window, and the browser is polled.
    std::map<QString, XWindow> windows;
    const bool shown = waitUntil(
        [&] {
            const auto sidebars = x->windowsNamed(kSidebar);
            if (sidebars.size() != 1 || !x->isViewable(sidebars.front())) return false;
            sidebar = sidebars.front();
            for (const auto &title : kWindows) {
                const auto found = x->windowsNamed(title);
                if (found.size() != 1) return false;
                windows[title] = found.front();
            }
            return true;
        },
        kStartTimeout);
    ASSERT_TRUE(shown) << "the sidebar never showed";
    const auto front = windows.at(kFrontWindow);
    EXPECT_TRUE(waitUntil([&] { return isFlushBeside(front); }, kSettle))
        << "at launch: " << whereThingsAre(front).toStdString();
    EXPECT_TRUE(app.waitForLine(QStringLiteral("Safari's own window ids"), kStartTimeout)) << "no poll ran";

    // The demo session fits the screen, the window manager's frames included.
    const QRect all(QPoint(0, 0), screen.pixels);
    for (const auto &[title, window] : windows) {
        const auto frame = x->geometry(window)->marginsAdded(x->frameExtents(window));
        EXPECT_TRUE(all.contains(frame)) << title.toStdString() << ": " << describe(frame).toStdString();
    }

    // Dragged by hand: flush while the button is held and after it is let go, and the window
    // stays where it was let go, not nudged by its own place written back.
    for (const auto &to : screen.drags) {
        SCOPED_TRACE(describe(QRect(to, QSize())).toStdString());
        const auto start = *x->geometry(front);
        const auto grip = titleBarPoint(front);
        ASSERT_TRUE(input->press(grip));
        // The manager takes hold at a first motion and moves the window from a later one.
        for (int nudge = 1; nudge <= 20 && x->geometry(front) == start; ++nudge) {
            ASSERT_TRUE(input->moveTo(grip + QPoint(nudge, 0)));
            waitUntil([&] { return x->geometry(front) != start; }, kNudgeTaken);
        }
        ASSERT_TRUE(input->moveTo(grip + (to - start.topLeft())));
        EXPECT_TRUE(waitUntil([&] { return x->geometry(front) != start && isFlushBeside(front); }, kSettle))
            << "held: " << whereThingsAre(front).toStdString();
        ASSERT_TRUE(input->release());
        const auto released = x->geometry(front);
        EXPECT_TRUE(waitUntil([&] { return isFlushBeside(front); }, kSettle))
            << "let go: " << whereThingsAre(front).toStdString();
        QElapsedTimer still;
        still.start();
        bool stayed = true;
        waitUntil(
            [&] {
                stayed = stayed && x->geometry(front) == released && isFlushBeside(front);
                return still.elapsed() >= kHoldStill.count();
            },
            kSettle);
        EXPECT_TRUE(stayed) << "let go, then: " << whereThingsAre(front).toStdString();
        EXPECT_EQ(x->geometry(front)->size(), start.size()) << "the window keeps its size";
        std::printf("%s: window let go at %s, sidebar at %s\n", screen.name, qPrintable(describe(x->geometry(front))),
                    qPrintable(describe(x->geometry(sidebar))));
    }
}

// Inside positions at 1.25 on 2, 7, 12... pixels, and at 1.5 on 1, 4, 7... of a screen's edge:
// pixels no whole number of Qt's units lands on.
INSTANTIATE_TEST_SUITE_P(
    CommonScreens, ScreensAndScales,
    ::testing::Values(Screen{"1366x768", {1366, 768}, 1, {{602, 101}}},
                      Screen{"1280x720", {1280, 720}, 1, {{560, 83}}},
                      Screen{"2400x1600_at_1_25", {2400, 1600}, 1.25, {{757, 202}, {912, 147}, {1002, 297}}},
                      Screen{"2400x1600_at_1_5", {2400, 1600}, 1.5, {{751, 205}, {919, 148}, {1003, 298}}}),
    [](const ::testing::TestParamInfo<Screen> &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ondrake::test
