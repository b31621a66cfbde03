// Ending the application as a person does, on a desktop with a window manager and a system tray:
// the terminal it was started from goes away, or it is quit from its menu while another start of
// it comes. The steps run in the order they are written and share one desktop and one home; each
// starts the application it needs.

#include "OndrakeProcess.h"
#include "TrayDesktop.h"

#include "DemoSession.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace ondrake::test {
namespace {

const QString kStarted = QStringLiteral("Ondrake started");
const QString kStopped = QStringLiteral("Ondrake stopped");

constexpr Milliseconds kEnd{10000};

struct QuittingDesktop : TrayDesktop {
    XInput input{server};
};

class Quitting : public TrayDesktopSuite<QuittingDesktop> {
protected:
    static XInspector &x() { return desktop->x; }
    static const Hand &hand() { return desktop->hand; }
    static QString recordFile() { return OndrakeProcess::recordFile(desktop->home.path()); }
    static QJsonArray records() { return OndrakeProcess::readJson(recordFile())[QStringLiteral("records")].toArray(); }

    // One start of the application, shown: the demo session published, the sidebar docked beside
    // the session's first window, which is active, and the status item in the tray.
    struct Running {
        std::unique_ptr<OndrakeProcess> process;
        XWindow sidebar = 0;
        XWindow browser = 0;

        QRect panel() const { return x().geometry(sidebar).value_or(QRect()); }
        QPoint row(int index) const { return panel().topLeft() + QPoint(150, kFirstRowCentre + index * kRowPitch); }
        bool isMenuOpen() const { return !desktop->popups.menus(process->processID()).empty(); }
        bool isDockedBesideItsWindow() const {
            const auto window = x().geometry(browser);
            const auto side = x().geometry(sidebar);
            return window && side && std::abs(side->right() + 1 - window->x()) <= 1;
        }
    };
    // Waits for a start under way to show; none when it did not.
    static std::optional<Running> shown(std::unique_ptr<OndrakeProcess> process) {
        Running app{std::move(process)};
        const auto shown = desktop->waitForDemo(*app.process, [&](const TrayDesktop::Shown &s) {
            app.sidebar = s.sidebar;
            app.browser = s.browser;
            return app.isDockedBesideItsWindow();
        });
        if (!shown) {
            // What it logged, for the failure's message.
            for (const auto &line : app.process->lines()) std::printf("  not shown: %s\n", qPrintable(line.text));
            std::printf("  sidebars %zu, first windows %zu, tray icons %zu\n", x().windowsNamed(kSidebar).size(),
                        x().windowsNamed(kFirstWindow).size(), desktop->tray.iconCount());
            return std::nullopt;
        }
        return app;
    }
    static std::unique_ptr<OndrakeProcess> launch() {
        return std::make_unique<OndrakeProcess>(desktop->server, desktop->home.path());
    }

    // "Mark Important" from the row's menu: the first item.
    static bool markImportant(const Running &app, int row) {
        return hand().click(app.row(row), 3) && waitUntil([&] { return app.isMenuOpen(); }, kSettle)
               && hand().key(QStringLiteral("Down")) && hand().key(QStringLiteral("Return"))
               && waitUntil([&] { return !app.isMenuOpen(); }, kSettle);
    }
    static int importantRecords() {
        int count = 0;
        for (const auto &value : records()) count += value.toObject()[QStringLiteral("important")].toBool() ? 1 : 0;
        return count;
    }
    static bool linkTabIsNested() {
        for (const auto &value : records()) {
            const auto record = value.toObject();
            if (record[QStringLiteral("url")] == DemoSession::linkedTab().url)
                return !record[QStringLiteral("parentID")].toString().isEmpty();
        }
        return false;
    }
};

// Closing the terminal sends a hang-up: the application ends as it does at a quit, with the final
// save in place of the one still two seconds away.
TEST_F(Quitting, AHangUpSavesWhatChangedAMomentBefore) {
    // A first run: nothing saved yet when the session has just been seen, the link tab nested.
    {
        auto app = shown(launch());
        ASSERT_TRUE(app) << "the application did not start and dock";
        const bool savedBefore = QFile::exists(recordFile());
        const auto exit = app->process->endWith(SIGHUP, kEnd);
        ASSERT_TRUE(exit) << "the process did not end";
        EXPECT_TRUE(exit->normal);
        EXPECT_EQ(exit->code, 0);
        EXPECT_GE(exit->afterFinalSave, 0) << "\"" << kStopped.toStdString() << "\" was logged";
        EXPECT_TRUE(linkTabIsNested()) << "saved " << (savedBefore ? "before the hang-up too" : "at the hang-up alone");
        std::printf("A first run hung up %s its first save\n", savedBefore ? "after" : "before");
    }
    // A mark made a moment before.
    {
        auto app = shown(launch());
        ASSERT_TRUE(app) << "the application did not start and dock";
        ASSERT_EQ(importantRecords(), 0);
        ASSERT_TRUE(markImportant(*app, 3));
        const auto exit = app->process->endWith(SIGHUP, kEnd);
        ASSERT_TRUE(exit) << "the process did not end";
        EXPECT_TRUE(exit->normal);
        EXPECT_EQ(exit->code, 0);
        EXPECT_GE(exit->afterFinalSave, 0) << "\"" << kStopped.toStdString() << "\" was logged";
        EXPECT_EQ(importantRecords(), 1);
    }
    // The terminal showed the log through a pipe (`| tee`), whose reader the hang-up has ended:
    // what the application writes on its way out goes nowhere, and it still saves.
    {
        auto app = shown(launch());
        ASSERT_TRUE(app) << "the application did not start and dock";
        ASSERT_TRUE(markImportant(*app, 5));
        app->process->stopReadingOutput();
        const auto exit = app->process->endWith(SIGHUP, kEnd);
        ASSERT_TRUE(exit) << "the process did not end";
        EXPECT_TRUE(exit->normal) << "not ended by its own writes";
        EXPECT_EQ(exit->code, 0);
        EXPECT_EQ(importantRecords(), 2);
    }
}

// A launch at moments across a quit from the status menu, with a window moved aside to put back:
// the launch never reopens the quitting instance, waits for it or finds it gone, and runs in its
// place, and the quitting instance puts the window back and moves none aside once its quit has
// begun. The quit goes as fast as it does, and then once more held up for a while just after it
// began, as a slow browser would hold it up, so that the launches arrive while it goes on. Each
// round's launch is the one the next round quits.
TEST_F(Quitting, ALaunchAcrossAMenuQuitRunsInItsPlaceAndTheWindowIsBack) {
    // The quit takes some tens of milliseconds; the launch's own start, some tens more.
    const int offsets[] = {0, 5, 10, 15, 20, 30, 40, 60, 80, 100};
    constexpr qint64 kQuitHeldUpUntil = 120;
    const QPoint intoTheRoom(100, 140);
    auto running = shown(launch());
    ASSERT_TRUE(running) << "the application did not start and dock";
    for (const bool heldUp : {false, true}) {
        const char *quit = heldUp ? "a menu quit held up" : "a menu quit";
        int exactlyOne = 0;
        int waited = 0;
        int seenBack = 0;
        for (const int offset : offsets) {
            SCOPED_TRACE(testing::Message() << quit << ", " << offset << " ms");
            // The user drags the window into the sidebar's strip; the sidebar moves it aside.
            const XWindow window = running->browser;
            const QString movedAsideLine = QStringLiteral("aside for the sidebar");
            const int movesBefore = running->process->count(movedAsideLine);
            ASSERT_TRUE(desktop->input.move(window, intoTheRoom));
            ASSERT_TRUE(waitUntil(
                [&] {
                    return running->process->count(movedAsideLine) > movesBefore
                           && x().geometry(window)->x() >= kExpandedWidth && running->isDockedBesideItsWindow();
                },
                kSettle))
                << "moved aside";

            // Quit Ondrake, chosen by its key in the open menu.
            ASSERT_TRUE(hand().click(desktop->tray.iconCentre(0)));
            ASSERT_TRUE(waitUntil([&] { return running->isMenuOpen(); }, kSettle));
            QProcess key;
            key.setProcessEnvironment(desktop->server.clientEnvironment(QString()));
            QElapsedTimer sinceQuit;
            sinceQuit.start();
            key.start(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+q")});
            std::optional<QRect> lastPlace;
            std::unique_ptr<OndrakeProcess> next;
            if (heldUp) {
                const auto began = running->process->waitForLine(QStringLiteral("No longer answering later launches"), kEnd);
                ASSERT_TRUE(began) << "the quit did not begin";
                sinceQuit.restart();
                const auto pid = pid_t(running->process->processID());
                ::kill(pid, SIGSTOP);
                waitUntil([&] { return sinceQuit.elapsed() >= offset; }, Milliseconds(offset + 1000));
                next = launch();
                waitUntil([&] { return sinceQuit.elapsed() >= kQuitHeldUpUntil; }, Milliseconds(kQuitHeldUpUntil + 1000));
                ::kill(pid, SIGCONT);
            }
            // Watched closely where the quit is not held up: the window goes a few milliseconds
            // after it is back, with the quitting process that draws it.
            while (!heldUp && sinceQuit.elapsed() < kEnd.count()) {
                // The moment is what is tried here.
                if (!next && sinceQuit.elapsed() >= offset) next = launch();
                const auto place = x().geometry(window);
                if (!place) break;
                lastPlace = place;
            }
            if (!next) next = launch();
            key.waitForFinished(int(kEnd.count()));
            const auto exit = running->process->waitForEnd(kEnd);
            const qint64 endedAfter = sinceQuit.elapsed();
            ASSERT_TRUE(exit) << "the quitting instance did not end";

            // What the quitting instance did from the moment its quit began.
            bool quitBegan = false;
            int movedAside = 0;
            int putBack = 0;
            for (const auto &line : running->process->lines()) {
                quitBegan = quitBegan || line.text.contains(QStringLiteral("No longer answering later launches"));
                if (!quitBegan) continue;
                movedAside += line.text.contains(movedAsideLine) ? 1 : 0;
                putBack += line.text.contains(QStringLiteral("Asked to restore Safari window")) ? 1 : 0;
            }
            auto successor = shown(std::move(next));
            const bool reopenedTheQuittingOne = running->process->count(QStringLiteral("asked this instance to reopen")) > 0;
            const bool toldToReopen = successor && successor->process->count(QStringLiteral("asked it to show the sidebar")) > 0;
            const bool waitedForIt = successor && successor->process->count(QStringLiteral("Waiting for the instance")) > 0;
            const bool back = lastPlace && lastPlace->topLeft() == intoTheRoom;
            const bool one = exit->normal && exit->code == 0 && successor && successor->process->count(kStarted) == 1
                          && !reopenedTheQuittingOne && !toldToReopen && x().windowsNamed(kSidebar).size() == 1
                          && desktop->tray.iconCount() == 1;
            exactlyOne += one ? 1 : 0;
            waited += waitedForIt ? 1 : 0;
            seenBack += back ? 1 : 0;
            const QString seen = heldUp ? QStringLiteral("not watched")
                                 : lastPlace ? QStringLiteral("last seen at %1,%2").arg(lastPlace->x()).arg(lastPlace->y())
                                             : QStringLiteral("not seen");
            std::printf("%s, launched %3d ms after %s: the quitting instance ended after %3lld ms, put back %d window(s) "
                        "and moved %d aside; the launch %s; %s; the window %s\n",
                        quit, offset, heldUp ? "the quit began" : "the key", endedAfter, putBack, movedAside,
                        waitedForIt ? "waited for it" : "found it gone", one ? "exactly one instance" : "NOT exactly one instance",
                        qPrintable(seen));
            EXPECT_TRUE(one);
            EXPECT_GE(putBack, 1);
            EXPECT_EQ(movedAside, 0);
            ASSERT_TRUE(successor) << "the launch did not start and dock";
            running = std::move(successor);
        }
        std::printf("Launches timed across %s: %zu; exactly one instance afterwards: %d; of them waited for the quitting "
                    "one: %d; window seen back before it went: %d\n",
                    quit, std::size(offsets), exactlyOne, waited, seenBack);
        EXPECT_EQ(exactlyOne, int(std::size(offsets)));
    }
    const auto exit = running->process->terminate(kEnd);
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->code, 0);
}

}  // namespace
}  // namespace ondrake::test
