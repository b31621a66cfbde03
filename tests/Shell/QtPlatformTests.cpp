#include "Qt/QtDialogs.h"
#include "Qt/QtFrameClock.h"
#include "Qt/QtScreens.h"
#include "Qt/QtWindowList.h"

#include "ManualScheduler.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

namespace ondrake {
namespace {

std::optional<WindowInfo> find(const std::vector<WindowInfo> &list, std::int64_t number) {
    for (const auto &w : list)
        if (w.number == number) return w;
    return std::nullopt;
}

TEST(QtScreens, TheFirstScreenHoldsTheOriginAndRectanglesMapBothWays) {
    QtScreens screens;
    const auto all = screens.screens();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().frame.topLeft(), QPointF(0, 0));
    EXPECT_TRUE(all.front().frame.contains(all.front().visibleFrame));
    EXPECT_EQ(screens.mainScreen()->name, all.front().name);

    const QRect native(100, 50, 300, 200);
    const auto onScreen = screens.fromNative(native);
    EXPECT_EQ(onScreen, QRectF(100, screens.firstScreenHeight() - 250, 300, 200));
    EXPECT_EQ(screens.toNative(onScreen), native);

    QtPointer pointer(screens);
    EXPECT_FALSE(pointer.isPrimaryButtonDown());
}

TEST(QtPointer, TellsOfPressesOfThePrimaryButtonOnTheApplicationsWindows) {
    QtScreens screens;
    QtPointer pointer(screens);
    int presses = 0;
    QObject::connect(&pointer, &Pointer::primaryButtonPressed, [&] { ++presses; });
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    window.show();
    QCoreApplication::processEvents();

    // As the desktop delivers them: to the window, and through it to the widget.
    auto *native = window.windowHandle();
    QTest::mousePress(native, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(presses, 1);
    EXPECT_TRUE(pointer.isPrimaryButtonDown());
    QTest::mouseRelease(native, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseClick(native, Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_EQ(presses, 1) << "only the primary button";
    EXPECT_FALSE(pointer.isPrimaryButtonDown());
}

// Answers the next modal alert from inside its own event loop, as a person would.
void answerNextAlert(std::function<void(QMessageBox &)> answer) {
    QTimer::singleShot(0, [answer = std::move(answer)] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        answer(*box);
        // An answer that left the alert open fails through the default button rather than hanging.
        QTimer::singleShot(0, [box = QPointer<QMessageBox>(box)] {
            if (box && box->isVisible()) box->defaultButton()->click();
        });
    });
}

TEST(QtDialogs, AlertsAnswerWithTheChosenButtonAndEscapeCancels) {
    QtDialogs dialogs;
    const Dialogs::Alert importing{Dialogs::AlertStyle::informational, QStringLiteral("Import Ondrake data"),
                                   QStringLiteral("Choose how the 2 imported tab(s) should be applied."),
                                   {QStringLiteral("Merge"), QStringLiteral("Open as New Group"),
                                    QStringLiteral("Restore Complete Structure"), QStringLiteral("Cancel")}};
    const auto press = [](const QString &title) {
        return [title](QMessageBox &box) {
            for (auto *button : box.buttons())
                if (button->text() == title) return button->click();
            FAIL() << "no button " << title.toStdString();
        };
    };
    const auto key = [](Qt::Key k) { return [k](QMessageBox &box) { QTest::keyClick(&box, k); }; };
    const struct {
        const char *name;
        std::function<void(QMessageBox &)> answer;
        int expected;
    } cases[] = {
        {"a click", press(QStringLiteral("Open as New Group")), 1},
        {"return takes the first", key(Qt::Key_Return), 0},
        {"escape cancels", key(Qt::Key_Escape), 3},
    };
    for (const auto &c : cases) {
        answerNextAlert(c.answer);
        EXPECT_EQ(dialogs.runAlert(importing), c.expected) << c.name;
    }
}

// Answers the next file panel from inside its own event loop: notes the folder it shows, then
// chooses `file` in it, or cancels without one.
void answerNextPanel(QString &shownFolder, std::optional<QString> file) {
    QTimer::singleShot(0, [&shownFolder, file] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        shownFolder = dialog->directory().canonicalPath();
        if (!file) return dialog->reject();
        dialog->selectFile(*file);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

TEST(QtDialogs, PanelsOpenInTheHomeFolderThenWhereTheLastFileWasChosen) {
    QTemporaryDir home, elsewhere;
    ASSERT_TRUE(home.isValid() && elsewhere.isValid());
    // Started from another folder, as from a launcher or a terminal.
    const QString startedIn = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    const auto backHome = qScopeGuard([&] { QDir::setCurrent(startedIn); });
    QDir(home.path()).mkpath(QStringLiteral("Exports"));
    const QString exports = QDir(home.path()).filePath(QStringLiteral("Exports"));
    QFile archive(QDir(exports).filePath(QStringLiteral("old.json")));
    ASSERT_TRUE(archive.open(QIODevice::WriteOnly));
    archive.close();

    QtDialogs dialogs(home.path());
    const Dialogs::SavePanel save{QStringLiteral("json"), QStringLiteral("Ondrake Export.json"), QStringLiteral("Export")};
    const Dialogs::OpenPanel open{QStringLiteral("json"), false, QStringLiteral("Import")};
    const QString homeFolder = QDir(home.path()).canonicalPath();
    QString shown;

    answerNextPanel(shown, std::nullopt);
    EXPECT_EQ(dialogs.runOpenPanel(open), std::nullopt);
    EXPECT_EQ(shown.toStdString(), homeFolder.toStdString()) << "not the folder the program started in";

    answerNextPanel(shown, std::nullopt);
    EXPECT_EQ(dialogs.runSavePanel(save), std::nullopt);
    EXPECT_EQ(shown.toStdString(), homeFolder.toStdString()) << "a cancelled panel changes nothing";

    answerNextPanel(shown, archive.fileName());
    const auto chosen = dialogs.runOpenPanel(open);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(QFileInfo(*chosen).canonicalFilePath(), QFileInfo(archive).canonicalFilePath());

    answerNextPanel(shown, std::nullopt);
    dialogs.runSavePanel(save);
    EXPECT_EQ(shown.toStdString(), QDir(exports).canonicalPath().toStdString())
        << "export goes where the last import came from";

    // A folder removed since is no place to start.
    ASSERT_TRUE(QDir(exports).removeRecursively());
    EXPECT_EQ(QDir(dialogs.startFolder()).canonicalPath().toStdString(), homeFolder.toStdString());
}

TEST(QtWindowList, ListsThisProcesssWindowsWithTheNumbersTheyStandFor) {
    QtScreens screens;
    QtWindowList list(screens);
    QWidget browser, other;
    browser.setGeometry(100, 50, 400, 300);
    browser.winId();
    browser.windowHandle()->setProperty(QtWindowList::kWindowNumberProperty, 4242);
    browser.windowHandle()->setProperty(QtWindowList::kOwnerProcessProperty, 777);
    other.setGeometry(200, 80, 400, 300);
    browser.show();
    other.show();
    QCoreApplication::processEvents();

    list.noteRaised(other.windowHandle());
    list.noteRaised(browser.windowHandle());
    auto shown = list.onScreenWindows().value();
    const auto entry = find(shown, 4242);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->ownerProcessID, 777);
    EXPECT_EQ(entry->layer, 0);
    EXPECT_EQ(entry->bounds, QRectF(100, 50, 400, 300));
    const auto own = find(shown, std::int64_t(other.winId()));
    ASSERT_TRUE(own);
    EXPECT_EQ(own->ownerProcessID, QCoreApplication::applicationPid());
    EXPECT_EQ(shown.front().number, 4242);  // the last one raised is in front

    list.noteRaised(other.windowHandle());
    EXPECT_EQ(list.onScreenWindows()->front().number, std::int64_t(other.winId()));

    browser.hide();
    EXPECT_FALSE(find(list.onScreenWindows().value(), 4242));
    ASSERT_TRUE(list.window(4242));
    EXPECT_FALSE(list.window(4242)->isOnScreen);
    EXPECT_FALSE(list.window(987654321));
}

TEST(QtFrameClock, MakesLinksOnlyForAttachedScreens) {
    ManualScheduler scheduler;
    QtScreens screens;
    QtFrameClock clock(scheduler);
    EXPECT_TRUE(clock.makeDisplayLink(screens.screens().front(), [](double) {}, [] {}));
    ScreenInfo unplugged;
    unplugged.name = QStringLiteral("Unplugged");
    EXPECT_FALSE(clock.makeDisplayLink(unplugged, [](double) {}, [] {}));
}

}  // namespace
}  // namespace ondrake
