#include "SimulatedNamedNotifier.h"

#include <map>
#include <mutex>
#include <vector>

namespace ondrake {

namespace {

struct Observer {
    QString name;
    std::function<void()> callback;
    bool registered = true;  // main thread only
};

}  // namespace

struct SimulatedNamedNotifier::Centre {
    mutable std::mutex mutex;
    std::map<std::uint64_t, std::shared_ptr<Observer>> observers;
    std::uint64_t nextId = 0;
    QStringList posted;
};

SimulatedNamedNotifier::SimulatedNamedNotifier(Scheduler &scheduler)
    : scheduler_(scheduler), centre_(std::make_shared<Centre>()) {}

SimulatedNamedNotifier::~SimulatedNamedNotifier() = default;

void SimulatedNamedNotifier::post(const QString &name) {
    std::vector<std::shared_ptr<Observer>> receivers;
    {
        const std::lock_guard lock(centre_->mutex);
        centre_->posted.append(name);
        for (const auto &[id, observer] : centre_->observers)
            if (observer->name == name) receivers.push_back(observer);
    }
    for (auto &observer : receivers)
        scheduler_.post([observer = std::move(observer)] {
            if (observer->registered) observer->callback();
        });
}

NotificationObservation SimulatedNamedNotifier::observe(const QString &name, std::function<void()> callback) {
    auto observer = std::make_shared<Observer>(Observer{name, std::move(callback)});
    std::uint64_t id = 0;
    {
        const std::lock_guard lock(centre_->mutex);
        id = centre_->nextId++;
        centre_->observers.emplace(id, observer);
    }
    return NotificationObservation([weakCentre = std::weak_ptr<Centre>(centre_), observer, id] {
        observer->registered = false;
        if (const auto centre = weakCentre.lock()) {
            const std::lock_guard lock(centre->mutex);
            centre->observers.erase(id);
        }
    });
}

QStringList SimulatedNamedNotifier::posted() const {
    const std::lock_guard lock(centre_->mutex);
    return centre_->posted;
}

int SimulatedNamedNotifier::observerCount(const QString &name) const {
    const std::lock_guard lock(centre_->mutex);
    int count = 0;
    for (const auto &[id, observer] : centre_->observers) count += observer->name == name ? 1 : 0;
    return count;
}

}  // namespace ondrake
