#include "XSession.h"

#include "ManualScheduler.h"
#include "SimulatedWorkspace.h"

#include "Qt/QtScreens.h"
#include "Qt/QtWindowList.h"
#include "Qt/VisibleBrowser.h"
#include "Qt/X11MoveWatch.h"
#include "Qt/X11Placement.h"
#include "Qt/X11Stacking.h"
#include "Qt/XcbReply.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <memory>
#include <random>

namespace ondrake::test {
namespace {

// Set by main before the application connects to it.
XServer *server = nullptr;

std::vector<std::int64_t> numbersFrontToBack(const QtWindowList &list) {
    std::vector<std::int64_t> out;
    const auto windows = list.onScreenWindows();
    for (const auto &w : *windows) out.push_back(w.number.value_or(0));
    return out;
}

struct ThreeWindows {
    std::vector<std::unique_ptr<QWidget>> widgets;

    ThreeWindows() {
        for (int i = 0; i < 3; ++i) {
            auto widget = std::make_unique<QWidget>();
            widget->setGeometry(200 + 60 * i, 150 + 40 * i, 500, 400);
            widget->winId();
            widget->windowHandle()->setProperty(QtWindowList::kWindowNumberProperty, 1001 + i);
            widget->show();
            widgets.push_back(std::move(widget));
        }
    }
    XWindow id(int i) const { return XWindow(widgets[std::size_t(i)]->winId()); }
};

// Three windows on the server, and the application's window list reading the server's order.
struct ListedWindows {
    explicit ListedWindows(const XInspector &x)
        : shown(waitUntil([&] { return x.isViewable(windows.id(0)) && x.isViewable(windows.id(2)); }, Milliseconds(5000))) {}
    bool isReady() const { return shown && reader && list.readsStackingOrder(); }

    ThreeWindows windows;
    const bool shown;
    QtScreens screens;
    std::unique_ptr<X11Stacking> stacking = X11Stacking::forApplication();
    const X11Stacking *reader = stacking.get();
    QtWindowList list{screens, std::move(stacking)};
};

TEST(X11Stacking, TheWindowListFollowsTheServersOrderWhoeverRaisesTheWindows) {
    ASSERT_TRUE(server && server->isRunning());
    struct Case {
        const char *name;
        bool windowManager;
        X11Stacking::Source source;
    };
    for (const Case c : {Case{"without a window manager", false, X11Stacking::Source::rootChildren},
                         Case{"under a window manager", true, X11Stacking::Source::windowManager}}) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<WindowManager> manager;
        if (c.windowManager) {
            manager = std::make_unique<WindowManager>(*server);
            ASSERT_TRUE(manager->isRunning());
        }
        const XInspector x(*server);
        ListedWindows listed(x);
        ASSERT_TRUE(listed.isReady());
        auto &windows = listed.windows;
        const auto &list = listed.list;
        const auto *reader = listed.reader;

        // Another client raises each window in turn; the application takes no focus and is told
        // nothing, yet the list puts that window in front.
        const std::vector<std::int64_t> expected[] = {{1002, 1003, 1001}, {1001, 1002, 1003}, {1003, 1001, 1002}};
        const int raised[] = {1, 0, 2};
        for (std::size_t step = 0; step < std::size(raised); ++step) {
            x.raise(windows.id(raised[step]));
            EXPECT_TRUE(waitUntil([&] { return numbersFrontToBack(list) == expected[step]; }, Milliseconds(5000)))
                << "step " << step << ": list " << ::testing::PrintToString(numbersFrontToBack(list));
            EXPECT_EQ(reader->lastSource(), c.source);
        }

        // A hidden window leaves the list; the manager may still list it for a moment.
        windows.widgets[1]->hide();
        EXPECT_TRUE(waitUntil([&] { return numbersFrontToBack(list) == std::vector<std::int64_t>{1003, 1001}; },
                              Milliseconds(5000)));

        if (!manager) continue;
        // The manager goes and leaves its list behind on the root: the server's own order counts.
        manager.reset();
        x.raise(windows.id(0));
        EXPECT_TRUE(waitUntil([&] { return numbersFrontToBack(list) == std::vector<std::int64_t>{1001, 1003}; },
                              Milliseconds(5000)))
            << ::testing::PrintToString(numbersFrontToBack(list));
        EXPECT_EQ(reader->lastSource(), X11Stacking::Source::rootChildren);
    }
}

TEST(X11Stacking, AManagerThatComesLaterIsHeardAndItsListTakesOver) {
    ASSERT_TRUE(server && server->isRunning());
    const XInspector x(*server);
    ListedWindows listed(x);
    ASSERT_TRUE(listed.isReady());
    const auto &windows = listed.windows;
    auto &list = listed.list;
    const auto *reader = listed.reader;
    x.raise(windows.id(1));
    ASSERT_TRUE(waitUntil([&] { return numbersFrontToBack(list) == std::vector<std::int64_t>{1002, 1003, 1001}; },
                          Milliseconds(5000)));
    ASSERT_EQ(reader->lastSource(), X11Stacking::Source::rootChildren);
    int announced = 0;
    list.setChangeHandler([&] { ++announced; });

    // The manager frames the windows it finds; from then on its list is the order.
    const WindowManager manager(*server);
    ASSERT_TRUE(manager.isRunning());
    x.raise(windows.id(0));
    EXPECT_TRUE(waitUntil(
        [&] {
            return numbersFrontToBack(list) == std::vector<std::int64_t>{1001, 1002, 1003}
                   && reader->lastSource() == X11Stacking::Source::windowManager;
        },
        Milliseconds(5000)))
        << ::testing::PrintToString(numbersFrontToBack(list));
    EXPECT_GT(announced, 0) << "the manager's arrival is passed on";
}

TEST(X11Stacking, TheManagersListIsReadAgainOnlyWhenItAnnouncesAChangeWhichIsPassedOn) {
    ASSERT_TRUE(server && server->isRunning());
    const WindowManager manager(*server);
    ASSERT_TRUE(manager.isRunning());
    const XInspector x(*server);
    ThreeWindows windows;
    ASSERT_TRUE(waitUntil([&] { return x.stacking().size() == 3; }, Milliseconds(5000)));
    const auto stacking = X11Stacking::forApplication();
    const std::vector<XWindow> ids{windows.id(0), windows.id(1), windows.id(2)};
    const auto topIs = [&](XWindow w) {
        const auto order = stacking->frontToBack(ids);
        return order && !order->empty() && order->front() == w;
    };
    ASSERT_TRUE(waitUntil([&] { return topIs(windows.id(2)); }, Milliseconds(5000)));
    const int reads = stacking->managerListReads();
    int announced = 0;
    stacking->setChangeHandler([&] { ++announced; });
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(topIs(windows.id(2)));
    EXPECT_EQ(stacking->managerListReads(), reads) << "nothing changed, nothing asked";
    EXPECT_EQ(announced, 0);

    // Another client's raise is announced, and only then is the list read again.
    x.raise(windows.id(0));
    EXPECT_TRUE(waitUntil([&] { return announced > 0 && topIs(windows.id(0)); }, Milliseconds(5000)));
    EXPECT_GT(stacking->managerListReads(), reads);
}

// Another client of the server, doing to the application's window what a window manager does:
// moving it, or putting it inside a frame of its own and moving the frame. Each request has been
// carried out by the server when the call returns.
class ForeignClient {
public:
    explicit ForeignClient(const XServer &server) : x_(server) {}

    void move(XWindow window, QPoint place) const {
        const std::uint32_t xy[] = {std::uint32_t(place.x()), std::uint32_t(place.y())};
        xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, xy);
        sync();
    }
    // A frame at `place` with the window inside it at `inset`.
    XWindow frame(XWindow window, QRect place, QPoint inset) const {
        const XWindow frame = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, frame, root_, std::int16_t(place.x()),
                          std::int16_t(place.y()), std::uint16_t(place.width()), std::uint16_t(place.height()), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_reparent_window(connection_, window, frame, std::int16_t(inset.x()), std::int16_t(inset.y()));
        xcb_map_window(connection_, frame);
        sync();
        return frame;
    }

private:
    void sync() const {
        const XcbReply<xcb_get_input_focus_reply_t> reply{
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)};
    }

    XConnection x_;
    xcb_connection_t *const connection_ = x_.get();
    const XWindow root_ = x_.root();
};

std::optional<QRectF> listedBounds(const QtWindowList &list, std::int64_t number) {
    const auto shown = list.onScreenWindows();
    for (const auto &w : *shown)
        if (w.number == number) return w.bounds;
    return std::nullopt;
}

TEST(X11Placement, TheWindowListSeesWhereTheServerHasAWindowWhoseClientWasNotTold) {
    ASSERT_TRUE(server && server->isRunning());
    const XInspector x(*server);
    const ForeignClient other(*server);
    constexpr std::int64_t kNumber = 2001;
    QWidget widget;
    widget.setGeometry(300, 200, 500, 400);
    widget.winId();
    widget.windowHandle()->setProperty(QtWindowList::kWindowNumberProperty, qlonglong(kNumber));
    widget.show();
    const auto id = XWindow(widget.winId());
    ASSERT_TRUE(waitUntil([&] { return x.isViewable(id) && widget.geometry() == QRect(300, 200, 500, 400); },
                          Milliseconds(5000)));

    QtScreens screens;
    const QtWindowList list(screens, nullptr);
    const QtWindowList qtOnly(screens, nullptr, nullptr);
    ASSERT_TRUE(list.readsPlaces());
    ASSERT_FALSE(qtOnly.readsPlaces());
    const auto inside = [&](const QtWindowList &l) { return listedBounds(l, kNumber); };
    const auto single = [&](const QtWindowList &l) {
        const auto info = l.window(kNumber);
        return info ? info->bounds : std::nullopt;
    };

    // Moved by another client and looked at before Qt has taken in the news.
    other.move(id, QPoint(420, 260));
    EXPECT_EQ(inside(list), QRectF(420, 260, 500, 400));
    EXPECT_EQ(single(list), QRectF(420, 260, 500, 400));
    EXPECT_EQ(inside(qtOnly), QRectF(300, 200, 500, 400)) << "Qt has not heard yet";
    ASSERT_TRUE(waitUntil([&] { return widget.geometry().topLeft() == QPoint(420, 260); }, Milliseconds(5000)));

    // Inside a frame that moves, as a window manager moves it by hand: the window never moves
    // within its parent, so its client is told nothing, however long it listens.
    const QPoint inset(4, 22);
    const XWindow frame = other.frame(id, QRect(100, 100, 508, 426), inset);
    ASSERT_TRUE(waitUntil([&] { return inside(list) == QRectF(104, 122, 500, 400); }, Milliseconds(5000)))
        << ::testing::PrintToString(inside(list).value_or(QRectF()).topLeft());
    const auto heard = widget.geometry();
    std::mt19937 random(20260530);
    std::uniform_int_distribution<int> across(0, 1300), down(0, 600);
    for (int move = 0; move < 12; ++move) {
        SCOPED_TRACE(move);
        const QPoint to(across(random), down(random));
        other.move(frame, to);
        const QRectF expected(to + inset, QSizeF(500, 400));
        EXPECT_EQ(inside(list), expected);
        EXPECT_EQ(single(list), expected);
        // News of the move, were there any, would reach Qt within this.
        waitUntil([] { return false; }, Milliseconds(20));
        EXPECT_EQ(inside(list), expected);
        EXPECT_EQ(widget.geometry(), heard) << "the client was told nothing";
        EXPECT_EQ(inside(qtOnly), QRectF(heard));
    }
}

TEST(X11Placement, AskingForManyWindowsAnswersEachInItsPlaceAndNothingForAWindowGone) {
    ASSERT_TRUE(server && server->isRunning());
    const XInspector x(*server);
    ThreeWindows windows;
    ASSERT_TRUE(
        waitUntil([&] { return x.isViewable(windows.id(0)) && x.isViewable(windows.id(2)); }, Milliseconds(5000)));
    const auto placement = X11Placement::forApplication();
    ASSERT_TRUE(placement);
    const XWindow gone = 0x7ffffff;  // no client's window
    const auto insides = placement->insides({windows.id(2), gone, windows.id(0), windows.id(1)});
    ASSERT_EQ(insides.size(), 4u);
    EXPECT_EQ(insides[0], x.geometry(windows.id(2)));
    EXPECT_EQ(insides[1], std::nullopt);
    EXPECT_EQ(insides[2], x.geometry(windows.id(0)));
    EXPECT_EQ(insides[3], x.geometry(windows.id(1)));
    EXPECT_TRUE(placement->insides({}).empty());
}

TEST(X11MoveWatch, ABrowserWindowTakesItsBoundsAlongWithEveryMoveOfItsFrame) {
    ASSERT_TRUE(server && server->isRunning());
    const XInspector x(*server);
    const ForeignClient other(*server);
    ManualScheduler scheduler;
    SimulatedWorkspace workspace(scheduler);
    SimulatedSafari safari(workspace);
    safari.launch();
    SimulatedSafari::Window window;
    window.bounds = {300, 200, 1100, 800};
    const auto id = safari.addWindow(window);
    const VisibleBrowser browser(safari, scheduler, QPoint());
    const auto *shown = browser.window(id);
    ASSERT_TRUE(shown);
    const auto xid = XWindow(shown->winId());
    ASSERT_TRUE(waitUntil([&] { return x.isViewable(xid); }, Milliseconds(5000)));
    const auto bounds = [&] { return safari.window(id)->bounds; };
    const auto boundsAt = [](QPoint p) {
        return SimulatedSafari::Bounds{double(p.x()), double(p.y()), p.x() + 800.0, p.y() + 600.0};
    };

    // Put in a frame, as a manager takes a window in, and moved with it.
    const QPoint inset(4, 22);
    const XWindow frame = other.frame(xid, QRect(100, 100, 808, 626), inset);
    EXPECT_TRUE(waitUntil([&] { return bounds() == boundsAt(QPoint(104, 122)); }, Milliseconds(5000)));
    const auto heard = shown->geometry();
    std::mt19937 random(20260531);
    std::uniform_int_distribution<int> across(0, 1100), down(0, 450);
    for (int move = 0; move < 12; ++move) {
        SCOPED_TRACE(move);
        const QPoint to(across(random), down(random));
        other.move(frame, to);
        EXPECT_TRUE(waitUntil([&] { return bounds() == boundsAt(to + inset); }, Milliseconds(5000)))
            << bounds().left << "," << bounds().top;
        EXPECT_EQ(shown->geometry(), heard) << "Qt was told nothing";
        // The browser showing its own bounds back does not move the window.
        scheduler.runUntilIdle();
        EXPECT_EQ(x.geometry(xid)->topLeft(), to + inset);
    }
}

TEST(QtPointer, APressTheApplicationNeverSeesCountsAsHeldUntilTheManagerHasHadItsMomentAfterTheRelease) {
    ASSERT_TRUE(server && server->isRunning());
    QtScreens screens;
    const QtPointer pointer(screens);
    const XInput input(*server);
    // On the bare root, where no window of the application could hear of it.
    ASSERT_TRUE(input.press(QPoint(1900, 1060)));
    EXPECT_TRUE(waitUntil([&] { return pointer.isPrimaryButtonDown(); }, Milliseconds(5000)));
    EXPECT_EQ(QGuiApplication::mouseButtons(), Qt::NoButton);
    ASSERT_TRUE(input.release());
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(pointer.isPrimaryButtonDown()) << "still held just after the release";
    EXPECT_TRUE(waitUntil([&] { return !pointer.isPrimaryButtonDown(); }, Milliseconds(5000)));
    EXPECT_GE(clock.elapsed(), QtPointer::kManagerLetGo.count());
    EXPECT_FALSE(pointer.isPrimaryButtonDown());
}

}  // namespace
}  // namespace ondrake::test

// The application connects to a server of the test's own, started before it.
int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (const auto missing = ondrake::test::missingDesktopPrograms()) {
        fprintf(stderr, "%s\n", qPrintable(*missing));
        return 1;
    }
    ondrake::test::XServer server;
    if (!server.isRunning()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    fprintf(stderr, "X server on %s\n", qPrintable(server.display()));
    qputenv("DISPLAY", server.display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    ondrake::test::server = &server;
    return RUN_ALL_TESTS();
}
