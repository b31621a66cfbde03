#include "ManualScheduler.h"
#include "Qt/WakeReport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace ondrake {
namespace {

using namespace std::chrono_literals;

TEST(WakeReport, CountsEachTurnOfTheLoopAndWhatItHandledAndStartsAgainAfterEachReport) {
    ManualScheduler scheduler;
    LogCapture log;
    WakeReport report(scheduler, 5s);
    QObject target;
    QEventLoop loop;
    // Work that posts itself again never lets the loop wait: every turn counts all the same.
    int left = 100;
    std::function<void()> again = [&] {
        if (--left > 0) QMetaObject::invokeMethod(&target, again, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(&target, again, Qt::QueuedConnection);
    QCoreApplication::postEvent(&target, new QEvent(QEvent::UpdateRequest));
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (left == 0) loop.quit();
        else timer.start(1);
    });
    timer.start(1);
    QTimer::singleShot(5000, &loop, [&] { loop.quit(); });  // guard against a hang only
    loop.exec();

    const auto counts = report.counts();
    ASSERT_EQ(left, 0);
    EXPECT_GE(counts.wakes, 100);
    EXPECT_GE(counts.timers, 1);
    EXPECT_EQ(counts.postedCalls, 100);
    EXPECT_EQ(counts.repaints, 1);

    scheduler.advance(5s);
    ASSERT_EQ(log.messages(QStringLiteral("Wakes")).size(), 1u);
    EXPECT_EQ(log.messages(QStringLiteral("Wakes")).front(),
              QStringLiteral("Woke %1 times in 5.00 s: %2 timer(s), 100 posted call(s), 1 repaint(s), 0 window event(s)")
                  .arg(counts.wakes)
                  .arg(counts.timers));
    EXPECT_EQ(report.counts().wakes, 0) << "counted again from the report on";
}

}  // namespace
}  // namespace ondrake
