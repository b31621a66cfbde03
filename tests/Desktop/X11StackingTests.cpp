#include "XSession.h"

#include "Qt/QtScreens.h"
#include "Qt/QtWindowList.h"
#include "Qt/X11Stacking.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

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
