#include "Workspace.h"

namespace ondrake {

std::vector<RunningApplication> Workspace::runningApplications() const {
    auto running = listRunningApplications();
    std::erase_if(running, [](const RunningApplication &app) { return app.isTerminated; });
    return running;
}

std::vector<RunningApplication> Workspace::runningApplications(const QString &bundleIdentifier) const {
    std::vector<RunningApplication> matching;
    for (auto &app : runningApplications())
        if (app.bundleIdentifier == bundleIdentifier) matching.push_back(std::move(app));
    return matching;
}

std::optional<RunningApplication> Workspace::frontmostApplication() const {
    for (auto &app : runningApplications())
        if (app.isActive) return std::move(app);
    return std::nullopt;
}

}  // namespace ondrake
