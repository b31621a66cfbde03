#include "Qt/WakeReport.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>

namespace ondrake {

std::optional<Seconds> WakeReport::requestedInterval() {
    bool ok = false;
    const double seconds = qEnvironmentVariable("ONDRAKE_WAKE_REPORT_SECONDS").toDouble(&ok);
    if (!ok || !(seconds > 0)) return std::nullopt;
    return Seconds(seconds);
}

WakeReport::WakeReport(Scheduler &scheduler, Seconds interval) : scheduler_(scheduler), since_(scheduler.now()) {
    auto *app = QCoreApplication::instance();
    app->installEventFilter(this);
    app->installNativeEventFilter(this);
    // Emitted each time the loop comes back from waiting, or would have waited: a loop that never
    // waits (a zero-interval timer, work that posts itself again) is counted on every turn.
    connect(QAbstractEventDispatcher::instance(app->thread()), &QAbstractEventDispatcher::awake, this,
            [this] { ++counts_.wakes; });
    timer_ = scheduler_.every(interval, [this] { report(); });
}

WakeReport::~WakeReport() {
    if (auto *app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

bool WakeReport::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::Timer: ++counts_.timers; break;
    case QEvent::MetaCall: ++counts_.postedCalls; break;
    case QEvent::UpdateRequest: ++counts_.repaints; break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

bool WakeReport::nativeEventFilter(const QByteArray &, void *, qintptr *) {
    ++counts_.windowEvents;
    return false;
}

void WakeReport::report() {
    const double now = scheduler_.now();
    logger_.info("Woke %{public}ld times in %.2f s: %{public}ld timer(s), %{public}ld posted call(s), %{public}ld "
                 "repaint(s), %{public}ld window event(s)",
                 counts_.wakes, now - since_, counts_.timers, counts_.postedCalls, counts_.repaints, counts_.windowEvents);
    counts_ = {};
    since_ = now;
}

}  // namespace ondrake
