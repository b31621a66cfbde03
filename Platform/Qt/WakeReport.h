#pragma once

#include "Log.h"
#include "Scheduler.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <optional>

namespace ondrake {

// How often the main thread's event loop wakes, and for what, logged once every interval: what
// the application costs while it idles, in a count that a busy machine does not move, as the share
// of a core it takes does. The report's own timer is one of the timers counted.
class WakeReport final : public QObject, public QAbstractNativeEventFilter {
public:
    struct Counts {
        qint64 wakes = 0;
        qint64 timers = 0;
        qint64 postedCalls = 0;
        qint64 repaints = 0;
        qint64 windowEvents = 0;  // from the window server
    };

    // The interval asked for in ONDRAKE_WAKE_REPORT_SECONDS; none when unset or not positive.
    static std::optional<Seconds> requestedInterval();

    // Counts from now on, on the thread of the application object.
    WakeReport(Scheduler &scheduler, Seconds interval);
    ~WakeReport() override;

    const Counts &counts() const { return counts_; }

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;
    void report();

    Scheduler &scheduler_;
    const Logger logger_{QStringLiteral("Wakes")};
    Counts counts_;
    double since_;
    TimerHandle timer_;
};

}  // namespace ondrake
