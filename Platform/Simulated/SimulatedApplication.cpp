#include "SimulatedApplication.h"

namespace ondrake {

SimulatedApplication::SimulatedApplication(SimulatedWorkspace &workspace, std::function<void()> onTerminate)
    : workspace_(workspace), onTerminate_(std::move(onTerminate)), pid_(workspace.launch(kBundleIdentifier)) {}

void SimulatedApplication::setAccessoryActivationPolicy() {
    // Linux desktops have no Dock and no application-wide menu bar to leave out.
    log_.debug("Accessory activation policy has no counterpart here; nothing to do");
}

void SimulatedApplication::activateIgnoringOtherApps() {
    ++activations_;
    workspace_.activate(kBundleIdentifier);
}

void SimulatedApplication::activate(const RunningApplication &application) {
    others_.push_back(application.bundleIdentifier);
    workspace_.activate(application.bundleIdentifier);
}

void SimulatedApplication::terminate() {
    ++terminations_;
    if (onTerminate_) onTerminate_();
}

}  // namespace ondrake
