#include "SimulatedWorkspace.h"

#include <algorithm>

namespace ondrake {

SimulatedWorkspace::SimulatedWorkspace(Scheduler &scheduler, QObject *parent)
    : Workspace(parent), scheduler_(scheduler) {}

SimulatedWorkspace::~SimulatedWorkspace() { *alive_ = false; }

std::vector<RunningApplication> SimulatedWorkspace::listRunningApplications() const {
    const std::lock_guard lock(mutex_);
    return running_;
}

bool SimulatedWorkspace::isRunning(const QString &bundleIdentifier) const {
    const std::lock_guard lock(mutex_);
    return std::any_of(running_.begin(), running_.end(),
                       [&](const auto &a) { return a.bundleIdentifier == bundleIdentifier; });
}

void SimulatedWorkspace::setInstalledApplicationVersion(const QString &bundleIdentifier, std::optional<QString> version) {
    const std::lock_guard lock(mutex_);
    if (version)
        installedVersions_[bundleIdentifier] = *version;
    else
        installedVersions_.erase(bundleIdentifier);
}

std::optional<QString> SimulatedWorkspace::installedApplicationVersion(const QString &bundleIdentifier) const {
    const std::lock_guard lock(mutex_);
    const auto it = installedVersions_.find(bundleIdentifier);
    if (it == installedVersions_.end()) return std::nullopt;
    return it->second;
}

std::int64_t SimulatedWorkspace::launch(const QString &bundleIdentifier) {
    RunningApplication launched;
    {
        const std::lock_guard lock(mutex_);
        for (const auto &app : running_)
            if (app.bundleIdentifier == bundleIdentifier) return app.processIdentifier;
        launched = {bundleIdentifier, nextProcessIdentifier_++, false, false};
        running_.push_back(launched);
    }
    notify(&Workspace::applicationLaunched, launched);
    return launched.processIdentifier;
}

bool SimulatedWorkspace::activate(const QString &bundleIdentifier) {
    RunningApplication activated;
    {
        const std::lock_guard lock(mutex_);
        const auto it = std::find_if(running_.begin(), running_.end(),
                                     [&](const auto &a) { return a.bundleIdentifier == bundleIdentifier; });
        if (it == running_.end()) return false;
        if (it->isActive) return true;
        for (auto &app : running_) app.isActive = false;
        it->isActive = true;
        activated = *it;
    }
    notify(&Workspace::applicationActivated, activated);
    return true;
}

bool SimulatedWorkspace::terminate(const QString &bundleIdentifier) {
    std::vector<RunningApplication> ended;
    {
        const std::lock_guard lock(mutex_);
        const auto split = std::stable_partition(running_.begin(), running_.end(),
                                                 [&](const auto &a) { return a.bundleIdentifier != bundleIdentifier; });
        ended.assign(split, running_.end());
        running_.erase(split, running_.end());
    }
    for (auto &app : ended) {
        app.isActive = false;
        app.isTerminated = true;
        notify(&Workspace::applicationTerminated, app);
    }
    return !ended.empty();
}

void SimulatedWorkspace::notify(void (Workspace::*signal)(const RunningApplication &), RunningApplication app) {
    scheduler_.post([this, alive = alive_, signal, app = std::move(app)] {
        if (*alive) Q_EMIT(this->*signal)(app);
    });
}

}  // namespace ondrake
