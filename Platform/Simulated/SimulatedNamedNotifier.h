#pragma once

#include "NamedNotifier.h"
#include "Scheduler.h"

#include <QStringList>

#include <memory>

namespace ondrake {

// The simulated world's notification centre, shared by every program a test plays. A post from any
// thread reaches each observer of the name through the scheduler's main queue.
class SimulatedNamedNotifier final : public NamedNotifier {
public:
    explicit SimulatedNamedNotifier(Scheduler &scheduler);
    ~SimulatedNamedNotifier() override;

    void post(const QString &name) override;
    NotificationObservation observe(const QString &name, std::function<void()> callback) override;

    QStringList posted() const;  // every name posted so far, oldest first
    int observerCount(const QString &name) const;

private:
    struct Centre;
    Scheduler &scheduler_;
    std::shared_ptr<Centre> centre_;  // observations that outlive the notifier still unregister safely
};

}  // namespace ondrake
