#pragma once

#include "Scheduler.h"
#include "Workspace.h"

#include <map>
#include <memory>
#include <mutex>

namespace ondrake {

// The simulated world's applications. Tests and the simulated browser launch, activate and
// terminate them from any thread; observers hear of it on the main thread, in order.
class SimulatedWorkspace final : public Workspace {
    Q_OBJECT
public:
    explicit SimulatedWorkspace(Scheduler &scheduler, QObject *parent = nullptr);
    ~SimulatedWorkspace() override;

    // Starts the application unless it runs already; answers its process id. A launch does not
    // activate it.
    std::int64_t launch(const QString &bundleIdentifier);
    // Makes it the one active application. False when it is not running.
    bool activate(const QString &bundleIdentifier);
    // Ends every process with that bundle identifier. False when none ran.
    bool terminate(const QString &bundleIdentifier);
    bool isRunning(const QString &bundleIdentifier) const;
    // What an installed application's bundle says its version is; nothing: not installed.
    void setInstalledApplicationVersion(const QString &bundleIdentifier, std::optional<QString> version);
    std::optional<QString> installedApplicationVersion(const QString &bundleIdentifier) const override;

protected:
    std::vector<RunningApplication> listRunningApplications() const override;

private:
    void notify(void (Workspace::*signal)(const RunningApplication &), RunningApplication app);

    Scheduler &scheduler_;
    mutable std::mutex mutex_;
    std::vector<RunningApplication> running_;
    std::map<QString, QString> installedVersions_;
    std::int64_t nextProcessIdentifier_ = 501;
    // Shared with posted notifications, so one that arrives after the workspace is gone is dropped.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ondrake
