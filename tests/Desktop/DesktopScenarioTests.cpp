// The application as a new user meets it on a desktop: a real X server with a window manager,
// the demo session, the keyboard and the mouse. The steps run in the order they are written and
// share one desktop and one running application, as a person's session does.

#include "OndrakeProcess.h"
#include "TitleInk.h"
#include "XSession.h"

#include "Ondrake/Shell/SafariWindowTracker.h"
#include "Ondrake/Sidebar/SidebarThemeChoice.h"
#include "Ondrake/Sidebar/ThemeColor.h"
#include "Ondrake/Sync/TabPoller.h"

#include "DemoSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <utility>

namespace ondrake::test {
namespace {

// The demo session's windows show their current tab's title.
const QString kFirstWindow = QStringLiteral("Sky - Wikipedia");
const QString kSecondWindow = QStringLiteral("QWidget Class | Qt Widgets 6");
const QString kThirdWindow = QStringLiteral("Lisbon travel guide - Wikivoyage");
const QString kSidebar = QStringLiteral("Sidebar");
constexpr int kExpandedWidth = 300;
constexpr int kCompactWidth = 64;

constexpr Milliseconds kStartTimeout{15000};
constexpr Milliseconds kSettle{5000};
// A motion of the pointer that the window manager does not answer by then is followed by another.
constexpr Milliseconds kNudgeTaken{250};
// The application reports how often its event loop woke every this many seconds.
constexpr int kWakeReportSeconds = 1;
constexpr int kIdleReports = 30;
// Seconds from the final save to the end of the process: the teardown that the quit skips waits
// seconds for name lookups; a loaded machine adds a few tens of milliseconds at most.
constexpr double kQuitBudget = 1.0;
constexpr double kBodyTextContrast = 4.5;

// One report of the application's wakes.
struct Wakes {
    double seconds = 0;
    qint64 wakes = 0;
    qint64 timers = 0;
    qint64 postedCalls = 0;
    qint64 repaints = 0;
    qint64 windowEvents = 0;

    static std::optional<Wakes> parse(const QString &line) {
        static const QRegularExpression report(QStringLiteral(
            R"(Woke (\d+) times in ([\d.]+) s: (\d+) timer\(s\), (\d+) posted call\(s\), (\d+) repaint\(s\), (\d+) window event\(s\))"));
        const auto m = report.match(line);
        if (!m.hasMatch()) return std::nullopt;
        return Wakes{m.captured(2).toDouble(), m.captured(1).toLongLong(), m.captured(3).toLongLong(),
                     m.captured(4).toLongLong(), m.captured(5).toLongLong(), m.captured(6).toLongLong()};
    }
    Wakes &operator+=(const Wakes &o) {
        seconds += o.seconds, wakes += o.wakes, timers += o.timers, postedCalls += o.postedCalls;
        repaints += o.repaints, windowEvents += o.windowEvents;
        return *this;
    }
    std::string describe() const {
        return QStringLiteral("%1 wakes in %2 s: %3 timers, %4 posted calls, %5 repaints, %6 window events")
            .arg(wakes).arg(seconds, 0, 'f', 1).arg(timers).arg(postedCalls).arg(repaints).arg(windowEvents)
            .toStdString();
    }
};

// What the polling plan lets the application do while nothing happens, over `seconds`: each poll
// wakes it for its timer, for the refresh it posts and for the browser's answer; each of the
// window tracker's idle measurements and each wake report once. Half again as many as margin.
// Nothing changes, so nothing is repainted; a few are let pass (a poll's repaint would be one
// each 0.75 s).
struct IdleAllowance {
    qint64 wakes = 0;
    qint64 repaints = 0;
    explicit IdleAllowance(double seconds) {
        const double polls = seconds / TabPoller::kInterval.count();
        const double plan = polls * 3 + seconds / SafariWindowTracker::kIdleMeasureInterval + seconds / kWakeReportSeconds;
        wakes = qint64(plan * 1.5);
        repaints = qint64(polls / 8);
    }
    bool admits(const Wakes &w) const { return w.wakes <= wakes && w.repaints <= repaints; }
};

void saveScreenshot(const QImage &image, const QString &name) {
    const QString dir = QStringLiteral(ONDRAKE_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"))) << name.toStdString();
}

class DesktopScenario : public ::testing::Test {
protected:
    // One desktop and one application for every step.
    struct Desktop {
        explicit Desktop(bool withManager) {
            if (withManager) manager = std::make_unique<WindowManager>(server);
        }
        bool isReady() const { return server.isRunning() && (!manager || manager->isRunning()) && x.isConnected(); }

        XServer server;
        std::unique_ptr<WindowManager> manager;
        XInspector x{server};
        XInput input{server};
        QTemporaryDir home;
        std::unique_ptr<OndrakeProcess> app;
        XWindow sidebar = 0;
        std::map<QString, XWindow> browser;  // by the title each window showed at the start
    };
    static inline std::unique_ptr<Desktop> desktop;
    static inline std::optional<QString> unavailable;

    static void SetUpTestSuite() { setUpDesktop(true); }
    static void setUpDesktop(bool withManager) {
        if ((unavailable = missingDesktopPrograms())) return;
        desktop = std::make_unique<Desktop>(withManager);
        if (!desktop->isReady()) unavailable = QStringLiteral("the X server or the window manager did not start");
    }
    static void TearDownTestSuite() { desktop.reset(); }

    void SetUp() override {
        ASSERT_FALSE(unavailable) << unavailable->toStdString();
        if (!desktop->app) {
            desktop->app = start();
            ASSERT_TRUE(desktop->app) << "the application did not start and dock";
        }
    }

    static XInspector &x() { return desktop->x; }
    static const XInput &input() { return desktop->input; }
    static OndrakeProcess &app() { return *desktop->app; }
    static XWindow sidebar() { return desktop->sidebar; }
    static XWindow browser(const QString &title) { return desktop->browser.at(title); }
    static QString home() { return desktop->home.path(); }

    // Starts the application and waits until the sidebar stands docked beside the session's first
    // window, in front of it, that window being the active one: the same on every start.
    static std::unique_ptr<OndrakeProcess> start() {
        QProcessEnvironment measured;
        measured.insert(QStringLiteral("ONDRAKE_WAKE_REPORT_SECONDS"), QString::number(kWakeReportSeconds));
        auto app = std::make_unique<OndrakeProcess>(desktop->server, home(), measured);
        if (!app->waitForLine(QStringLiteral("Ondrake started"), kStartTimeout)) return nullptr;
        auto &d = *desktop;
        const bool shown = waitUntil(
            [&] {
                const auto sidebars = d.x.windowsNamed(kSidebar);
                if (sidebars.size() != 1 || !d.x.isViewable(sidebars.front())) return false;
                d.sidebar = sidebars.front();
                for (const auto &title : {kFirstWindow, kSecondWindow, kThirdWindow}) {
                    const auto found = d.x.windowsNamed(title);
                    if (found.size() != 1) return false;
                    d.browser[title] = found.front();
                }
                return true;
            },
            kStartTimeout);
        if (!shown) return nullptr;
        if (!waitUntil([&] { return isShownWith(d.browser.at(kFirstWindow)); }, kStartTimeout)) return nullptr;
        return app;
    }

    // The sidebar docked beside the window's left edge, level with its top, in front of it.
    static bool isDockedBeside(XWindow window) {
        const auto panel = x().geometry(sidebar());
        const auto target = x().geometry(window);
        return panel && target && std::abs(panel->x() + panel->width() - target->x()) <= 1
               && std::abs(panel->y() - std::max(target->y(), 0)) <= 1;
    }
    static bool isShownWith(XWindow window) {
        return x().activeWindow() == window && x().isAbove(sidebar(), window) && isDockedBeside(window);
    }
    static QString whereThingsAre(XWindow window) {
        return QStringLiteral("sidebar %1, window %2, active %3, sidebar in front %4")
            .arg(describe(x().geometry(sidebar())), describe(x().geometry(window)))
            .arg(x().activeWindow().value_or(0) == window)
            .arg(x().isAbove(sidebar(), window));
    }

    // Once the picture holds still between two looks, so that it shows what a person would see.
    static QImage shoot(const QString &name) {
        const auto shot = x().stillScreenshot(kSettle);
        saveScreenshot(shot, QStringLiteral("desktop-") + name);
        return shot;
    }
    static QRect panel() { return x().geometry(sidebar()).value_or(QRect()); }
    // The next report of the application's wakes from line `read` on; none when none comes within
    // a generous bound (the application hangs).
    static std::optional<Wakes> nextReport(OndrakeProcess &app, std::size_t &read) {
        std::optional<Wakes> found;
        waitUntil(
            [&] {
                const auto &lines = app.lines();
                while (!found && read < lines.size()) found = Wakes::parse(lines[read++].text);
                return found.has_value();
            },
            kSettle * 4);
        return found;
    }
    // The title once it has held still through a whole report of the application's wakes begun
    // after this call: whatever it was asked to repaint before has been painted by then.
    static TitleInk settledTitle(OndrakeProcess &app) {
        std::size_t read = app.lines().size();
        QImage last;
        for (int reports = 0; reports < 15 && nextReport(app, read); ++reports) {
            const auto now = x().screenshot().copy(TitleInk::area(panel()));
            if (now == last) break;
            last = now;
        }
        return TitleInk::measure(x().screenshot(), panel());
    }
    // Whether the title comes to be painted `width` wide; `seen`, the last width it had.
    static bool titleComesTo(int width, int &seen) {
        return waitUntil([&] { return (seen = TitleInk::measure(x().screenshot(), panel()).paintedWidth) == width; }, kSettle);
    }
    // The saved record of the tab at that place with that address, by id.
    static QString recordAt(const QString &url, int index) {
        const auto records = OndrakeProcess::readJson(OndrakeProcess::recordFile(home()))[QStringLiteral("records")].toArray();
        for (const auto &value : records) {
            const auto record = value.toObject();
            if (record[QStringLiteral("url")] == url && record[QStringLiteral("index")] == index)
                return record[QStringLiteral("id")].toString();
        }
        return {};
    }
    // Whom the demo's link tab was saved nested under.
    static QString linkParent() {
        const auto records = OndrakeProcess::readJson(OndrakeProcess::recordFile(home()))[QStringLiteral("records")].toArray();
        for (const auto &value : records) {
            const auto record = value.toObject();
            if (record[QStringLiteral("url")] == DemoSession::linkedTab().url) return record[QStringLiteral("parentID")].toString();
        }
        return {};
    }
    // The middle of the window's title bar, where a person takes hold of it to drag it.
    static QPoint titleBarPoint(XWindow window) {
        const auto inside = *x().geometry(window);
        return {inside.center().x(), inside.top() - std::max(x().frameExtents(window).top(), 2) / 2};
    }
    // The primary button held down; let go however the test ends, so that no later step starts
    // in the middle of a drag.
    struct HeldButton {
        bool held = false;
        bool press(QPoint point) { return held = input().press(point); }
        bool release() { return !std::exchange(held, false) || input().release(); }
        ~HeldButton() { release(); }
    };
    // A click on the sidebar's empty space below its rows makes it the key window.
    static bool focusSidebar() {
        const auto p = panel();
        return input().click(QPoint(p.center().x(), p.bottom() - 120))
               && waitUntil([] { return x().activeWindow() == sidebar(); }, kSettle);
    }
};

TEST(TitleInk, MeasuresTheLettersAndTheirContrastAgainstTheSurface) {
    const QRect panel(100, 50, 300, 800);
    QImage shot(600, 900, QImage::Format_RGB32);
    shot.fill(QColor(30, 30, 32));
    QPainter painter(&shot);
    const auto area = TitleInk::area(panel);
    // Two "letters" 40 points apart, a light one and a grey one; buttons to the right and the
    // divider below are not the title's.
    painter.fillRect(QRect(area.left() + 5, area.top() + 8, 6, 12), QColor(235, 235, 240));
    painter.fillRect(QRect(area.left() + 45, area.top() + 8, 6, 12), QColor(90, 90, 95));
    painter.fillRect(QRect(area.right() + 3, area.top() + 8, 20, 12), Qt::white);
    painter.fillRect(QRect(panel.left(), area.bottom() + 2, panel.width(), 1), Qt::white);
    painter.end();

    const auto ink = TitleInk::measure(shot, panel);
    EXPECT_EQ(ink.surface, QColor(30, 30, 32));
    EXPECT_EQ(ink.paintedWidth, 46);
    EXPECT_NEAR(ink.contrast, contrastRatio(QColor(235, 235, 240), QColor(30, 30, 32)), 1e-9);
    EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21, 1e-9);

    shot.fill(QColor(30, 30, 32));
    EXPECT_EQ(TitleInk::measure(shot, panel).paintedWidth, 0) << "nothing painted";
}

TEST_F(DesktopScenario, TheDemoStartsWithItsFirstWindowInFrontAndTheSidebarDockedBesideIt) {
    // start() waited for exactly this; the window manager may still bring up the window it was
    // asked to activate, over the sidebar, which then comes back in front. The picture, with the
    // link tab nested, is for a person.
    EXPECT_TRUE(waitUntil([] { return isShownWith(browser(kFirstWindow)); }, kSettle))
        << whereThingsAre(browser(kFirstWindow)).toStdString();
    EXPECT_EQ(panel().width(), kExpandedWidth);
    EXPECT_TRUE(app().waitForLine(QStringLiteral("Published 3 window(s), 30 tab(s)"), kStartTimeout));
    shoot(QStringLiteral("start"));
}

TEST_F(DesktopScenario, TheSidebarFollowsAMovedWindowAndMakesRoomAtTheScreensEdge) {
    const auto window = browser(kFirstWindow);
    ASSERT_TRUE(input().move(window, QPoint(700, 200)));
    EXPECT_TRUE(waitUntil([&] { return x().geometry(window)->x() > 600 && isDockedBeside(window); }, kSettle))
        << whereThingsAre(window).toStdString();
    shoot(QStringLiteral("moved"));

    // Into the sidebar's strip: the window is moved aside so the sidebar fits on the screen.
    ASSERT_TRUE(input().move(window, QPoint(100, 120)));
    EXPECT_TRUE(waitUntil([&] { return x().geometry(window)->x() >= kExpandedWidth && isDockedBeside(window); }, kSettle))
        << whereThingsAre(window).toStdString();
    EXPECT_EQ(panel().x(), 0);
    shoot(QStringLiteral("room-made"));
}

TEST_F(DesktopScenario, TheSidebarFollowsAWindowDraggedByItsTitleBarBeforeTheButtonIsLetGo) {
    // The window manager moves the window while the button is down and tells the application
    // its new place only when it is let go; the sidebar must not wait for that.
    const auto window = browser(kFirstWindow);
    ASSERT_TRUE(input().activate(window));
    ASSERT_TRUE(waitUntil([&] { return isShownWith(window); }, kSettle)) << whereThingsAre(window).toStdString();

    struct Case {
        std::string name;
        QPoint to;  // the window's inside at the end of the drag
        bool intoStrip;
    };
    std::vector<Case> cases{{"away from the screen's edge", {760, 180}, false},
                            {"into the sidebar's strip", {120, 140}, true}};
    // Random places, each on the far side of the last so that every step moves the window.
    std::mt19937 random(20260530);
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int i = 0; i < 4; ++i) {
        const QPoint to(i % 2 ? between(360, 480) : between(700, 820), between(60, 200));
        cases.push_back({"random " + std::to_string(i), to, false});
    }

    constexpr Milliseconds kHoldStill{500};
    constexpr int kEdgeResistance = 24;  // how far the window manager may hold an edge back
    double slowestFollow = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto start = *x().geometry(window);
        const auto grip = titleBarPoint(window);
        const auto distance = c.to - start.topLeft();
        HeldButton button;
        ASSERT_TRUE(button.press(grip));
        // The manager begins the move at a first motion and moves the window from a later one,
        // and a busy manager may take several motions as one: small ones take hold first.
        for (int nudge = 1; nudge <= 20 && x().geometry(window) == start; ++nudge) {
            ASSERT_TRUE(input().moveTo(grip + QPoint(2 * nudge, 0)));
            waitUntil([&] { return x().geometry(window) != start; }, kNudgeTaken);
        }
        ASSERT_NE(x().geometry(window), start) << "the window manager never took hold of the window";
        const int steps = between(3, 6);
        for (int step = 1; step <= steps; ++step) {
            const auto before = x().geometry(window);
            QElapsedTimer clock;
            clock.start();
            ASSERT_TRUE(input().moveTo(grip + distance * step / steps));
            // Beside the window wherever it stands now, the button still down.
            const bool followed = waitUntil(
                [&] { return x().geometry(window) != before && (c.intoStrip || isDockedBeside(window)); }, kSettle);
            EXPECT_TRUE(followed) << "step " << step << ": " << whereThingsAre(window).toStdString();
            if (!c.intoStrip) slowestFollow = std::max(slowestFollow, clock.nsecsElapsed() / 1e9);
        }

        // Held still: the sidebar stands beside the window before the button is let go, and
        // nothing pulls the window from under the pointer, not even to make room.
        const auto held = x().geometry(window);
        ASSERT_TRUE(held);
        EXPECT_LE((held->topLeft() - c.to).manhattanLength(), kEdgeResistance) << describe(held).toStdString();
        bool stayed = true;
        QElapsedTimer still;
        still.start();
        waitUntil(
            [&] {
                stayed = stayed && x().geometry(window) == held;
                return still.elapsed() >= kHoldStill.count();
            },
            kSettle);
        EXPECT_TRUE(stayed) << whereThingsAre(window).toStdString();
        if (c.intoStrip)
            EXPECT_TRUE(panel().x() == 0 && std::abs(panel().y() - held->y()) <= 1)
                << "at the screen's edge, level with the window: " << whereThingsAre(window).toStdString();
        else
            EXPECT_TRUE(isDockedBeside(window)) << "before the release: " << whereThingsAre(window).toStdString();
        if (c.name == cases.front().name) shoot(QStringLiteral("dragged-held"));

        // Let go: the sidebar stays beside it; a window in the strip moves aside to make room.
        ASSERT_TRUE(button.release());
        EXPECT_TRUE(waitUntil(
            [&] {
                const auto now = x().geometry(window);
                const bool placed = c.intoStrip ? now && now->x() >= kExpandedWidth : now == held;
                return placed && isDockedBeside(window);
            },
            kSettle))
            << "after the release: " << whereThingsAre(window).toStdString();
    }
    RecordProperty("slowestDragFollowMs", int(slowestFollow * 1000));
    std::printf("The sidebar followed each step of a drag within %.0f ms at the slowest\n", slowestFollow * 1000);
}

TEST_F(DesktopScenario, TheSidebarStandsInFrontOfEachWindowActivatedInTurn) {
    const std::vector<XWindow> windows{browser(kFirstWindow), browser(kSecondWindow), browser(kThirdWindow)};
    std::mt19937 random(20260512);  // the same order on every run
    XWindow current = *x().activeWindow();
    double slowest = 0;
    // Waits for the sidebar to stand with the window, and notes how long that took.
    const auto timed = [&](XWindow window, const QElapsedTimer &clock) {
        const bool shown = waitUntil([&] { return isShownWith(window); }, kSettle);
        slowest = std::max(slowest, clock.nsecsElapsed() / 1e9);
        EXPECT_TRUE(shown) << whereThingsAre(window).toStdString();
    };
    for (int activation = 0; activation < 60; ++activation) {
        SCOPED_TRACE(activation);
        // Still in front of the last one, however long it stood there (or back from whatever late
        // restacking the window manager did).
        EXPECT_TRUE(waitUntil([&] { return isShownWith(current); }, kSettle)) << whereThingsAre(current).toStdString();
        std::vector<XWindow> others;
        std::copy_if(windows.begin(), windows.end(), std::back_inserter(others), [&](XWindow w) { return w != current; });
        const XWindow next = others[std::uniform_int_distribution<std::size_t>(0, others.size() - 1)(random)];

        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(input().activate(next));
        timed(next, clock);
        current = next;

        // A click into the page of the active window raises it over the sidebar, with no change
        // of the active window to tell of it.
        if (activation % 3 == 2) {
            const auto page = x().geometry(current)->adjusted(40, 80, -40, -40);
            clock.restart();
            ASSERT_TRUE(input().click(page.center()));
            timed(current, clock);
        }
    }
    RecordProperty("slowestRaiseMs", int(slowest * 1000));
    std::printf("The sidebar stood in front of the activated window within %.0f ms at the slowest\n", slowest * 1000);
    shoot(QStringLiteral("activations"));
}

TEST_F(DesktopScenario, CompactModeAndSearchComeAndGoAndTheTitleStaysWhole) {
    ASSERT_EQ(panel().width(), kExpandedWidth);
    const auto before = settledTitle(app());
    ASSERT_GT(before.paintedWidth, 20) << "the title is painted";
    shoot(QStringLiteral("title-before"));

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(focusSidebar());
        ASSERT_TRUE(input().key(QStringLiteral("ctrl+shift+c")));
        EXPECT_TRUE(waitUntil([] { return panel().width() == kCompactWidth; }, kSettle)) << panel().width();
        if (round == 0) shoot(QStringLiteral("compact"));
        ASSERT_TRUE(input().key(QStringLiteral("ctrl+shift+c")));
        EXPECT_TRUE(waitUntil([] { return panel().width() == kExpandedWidth; }, kSettle)) << panel().width();
        int seen = 0;
        EXPECT_TRUE(titleComesTo(before.paintedWidth, seen)) << "after compact mode on and off: " << seen;

        ASSERT_TRUE(focusSidebar());
        const auto listBefore = x().screenshot().copy(panel().adjusted(0, 60, 0, -60));
        ASSERT_TRUE(input().key(QStringLiteral("ctrl+f")));
        EXPECT_TRUE(waitUntil([&] { return TitleInk::measure(x().screenshot(), panel()).paintedWidth != before.paintedWidth; },
                              kSettle))
            << "the search field takes the header";
        ASSERT_TRUE(input().type(QStringLiteral("Lisbon")));
        EXPECT_TRUE(waitUntil([&] { return x().screenshot().copy(panel().adjusted(0, 60, 0, -60)) != listBefore; }, kSettle))
            << "the list narrows to the search";
        if (round == 0) shoot(QStringLiteral("search"));
        // The first Escape clears the query, the second ends the search.
        ASSERT_TRUE(input().key(QStringLiteral("Escape Escape")));
        EXPECT_TRUE(titleComesTo(before.paintedWidth, seen)) << "after search opened and closed: " << seen;
    }
    shoot(QStringLiteral("title-after"));
}

TEST_F(DesktopScenario, IdleTheApplicationWakesNoMoreThanItsPollingPlanAllows) {
    ASSERT_TRUE(app().isRunning());
    std::size_t read = app().lines().size();
    // What is left of the start or of the last step (the first polls and save, icon requests
    // given up, a repaint) is not idle; a report within the allowance shows that it has ended.
    // One that never falls quiet is measured all the same, twenty reports on.
    std::optional<Wakes> report;
    for (int tries = 0; tries < 20 && (report = nextReport(app(), read)) && !IdleAllowance(report->seconds).admits(*report);
         ++tries) {}
    ASSERT_TRUE(report) << "no report of the application's wakes";

    // The measurement is these reports: nothing is awaited, nothing is touched.
    const double cpuBefore = app().cpuSeconds();
    Wakes idle;
    for (int i = 0; i < kIdleReports; ++i) {
        const auto next = nextReport(app(), read);
        ASSERT_TRUE(next) << "the application stopped reporting its wakes after " << idle.describe();
        idle += *next;
    }
    const double share = 100.0 * (app().cpuSeconds() - cpuBefore) / idle.seconds;
    const IdleAllowance allowed(idle.seconds);
    RecordProperty("idleWakes", int(idle.wakes));
    RecordProperty("idleCpuPercent", QString::number(share, 'f', 2).toStdString());
    std::printf("Idle over %.0f s: woke %lld times (%lld allowed): %lld timers, %lld posted calls, %lld repaints, "
                "%lld window events; %.2f%% of one core\n",
                idle.seconds, idle.wakes, allowed.wakes, idle.timers, idle.postedCalls, idle.repaints, idle.windowEvents,
                share);
    EXPECT_LE(idle.wakes, allowed.wakes) << idle.describe();
    EXPECT_LE(idle.repaints, allowed.repaints) << idle.describe();
    // Idle is not asleep: the sidebar still stands where it should.
    const auto active = *x().activeWindow();
    EXPECT_TRUE(x().isAbove(sidebar(), active) || active == sidebar());
}

TEST_F(DesktopScenario, SigtermSavesTheOrganisationAndEndsPromptly) {
    // The link tab is there to be saved once the sidebar has seen it.
    ASSERT_TRUE(app().waitForLine(QStringLiteral("Published 3 window(s), 30 tab(s)"), kStartTimeout));
    const auto exit = app().terminate(Milliseconds(10000));
    ASSERT_TRUE(exit) << "the process did not end";
    EXPECT_TRUE(exit->normal);
    EXPECT_EQ(exit->code, 0);
    RecordProperty("quitAfterFinalSaveMs", int(exit->afterFinalSave * 1000));
    std::printf("From the final save to the end of the process: %.0f ms\n", exit->afterFinalSave * 1000);
    EXPECT_GE(exit->afterFinalSave, 0) << "the final save was logged";
    EXPECT_LT(exit->afterFinalSave, kQuitBudget);

    // The demo's link tab was saved nested under the page it was opened from.
    const auto sky = recordAt(QStringLiteral("https://en.wikipedia.org/wiki/Sky"), 2);
    EXPECT_FALSE(sky.isEmpty());
    EXPECT_EQ(linkParent(), sky);
}

// A bare X server without a window manager: nobody focuses or stacks the windows but the
// application itself.
class DesktopWithoutManager : public DesktopScenario {
protected:
    static void SetUpTestSuite() { setUpDesktop(false); }
    void SetUp() override { ASSERT_FALSE(unavailable) << unavailable->toStdString(); }
};

TEST_F(DesktopWithoutManager, EveryStartHasTheSameFrontWindowAndNestsTheLinkTab) {
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        // start() waits for the first window to have the focus and the sidebar beside it.
        auto app = DesktopScenario::start();
        ASSERT_TRUE(app) << "the application did not start and dock beside its first window";
        for (const auto &title : {kSecondWindow, kThirdWindow}) EXPECT_TRUE(x().isAbove(browser(kFirstWindow), browser(title)));
        // The link tab opens once the sidebar has seen the session; the record file shows where.
        ASSERT_TRUE(app->waitForLine(QStringLiteral("Published 3 window(s), 30 tab(s)"), kStartTimeout));
        if (start == 0) shoot(QStringLiteral("without-manager"));
        const auto exit = app->terminate(Milliseconds(10000));
        ASSERT_TRUE(exit);
        EXPECT_EQ(exit->code, 0);
        EXPECT_EQ(linkParent(), recordAt(QStringLiteral("https://en.wikipedia.org/wiki/Sky"), 2));
    }
}

// A desktop of their own, where each theme is a start of the application with that theme chosen.
class DesktopThemes : public DesktopScenario {
protected:
    void SetUp() override { ASSERT_FALSE(unavailable) << unavailable->toStdString(); }
};

TEST_F(DesktopThemes, EveryThemePaintsTheTitleReadablyAtItsFullWidth) {
    std::optional<int> fullWidth;
    for (const auto choice : kAllSidebarThemeChoices) {
        const QString name = toString(choice);
        SCOPED_TRACE(name.toStdString());
        const QString path = OndrakeProcess::preferencesFile(home());
        auto preferences = OndrakeProcess::readJson(path).object();
        preferences[QString::fromLatin1(kSidebarThemeDefaultsKey)] = name;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(preferences).toJson());
        file.close();

        auto app = start();
        ASSERT_TRUE(app) << "the application did not start and dock beside its first window";
        ASSERT_TRUE(app->waitForLine(QStringLiteral("Published 3 window(s), 30 tab(s)"), kStartTimeout));
        const auto title = settledTitle(*app);
        saveScreenshot(x().screenshot().copy(panel().adjusted(-8, -8, 8, 8)), QStringLiteral("desktop-theme-") + name);
        EXPECT_GE(title.contrast, kBodyTextContrast) << "surface " << title.surface.name().toStdString();
        if (!fullWidth) fullWidth = title.paintedWidth;
        EXPECT_GT(title.paintedWidth, 20);
        EXPECT_EQ(title.paintedWidth, *fullWidth) << "the same title at the same width in every theme";

        const auto exit = app->terminate(Milliseconds(10000));
        ASSERT_TRUE(exit);
        EXPECT_EQ(exit->code, 0);
        EXPECT_LT(exit->afterFinalSave, kQuitBudget);
    }
}

}  // namespace
}  // namespace ondrake::test
