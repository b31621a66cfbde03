#pragma once

#include "Application.h"
#include "Log.h"
#include "SimulatedWorkspace.h"

#include <functional>

namespace ondrake {

// This application as a process of the simulated workspace: activating it makes it the active
// application there. Termination is handed to whoever runs the main loop.
class SimulatedApplication final : public Application {
public:
    static inline const QString kBundleIdentifier = QStringLiteral("com.ondrake.Ondrake");

    // Launches this application in the workspace unless it runs there already.
    SimulatedApplication(SimulatedWorkspace &workspace, std::function<void()> onTerminate = {});

    std::int64_t processIdentifier() const override { return pid_; }
    void setAccessoryActivationPolicy() override;
    void activateIgnoringOtherApps() override;
    void activate(const RunningApplication &application) override;
    void terminate() override;

    int activationCount() const { return activations_; }
    int terminationRequests() const { return terminations_; }
    const std::vector<QString> &activatedOthers() const { return others_; }

private:
    SimulatedWorkspace &workspace_;
    std::function<void()> onTerminate_;
    const Logger log_{QStringLiteral("Sidebar")};
    std::int64_t pid_;
    int activations_ = 0;
    int terminations_ = 0;
    std::vector<QString> others_;
};

}  // namespace ondrake
