#include "TabStore.h"

namespace ondrake {

QCoro::Task<> TabStore::reserveSpace(double minLeft, double maxRight) {
    try {
        if (const auto change = co_await adapter_.reserveSpace(minLeft, maxRight)) rememberDisplacedWindow(*change);
    } catch (const SafariControllerError &error) {
        reportAdapterError(error);
    } catch (const std::exception &error) {
        reportError(error);
    }
}

QCoro::Task<> TabStore::setLeftEdge(double newLeft) {
    try {
        if (const auto change = co_await adapter_.setLeftEdge(newLeft)) rememberDisplacedWindow(*change);
    } catch (const SafariControllerError &error) {
        reportAdapterError(error);
    } catch (const std::exception &error) {
        reportError(error);
    }
}

void TabStore::rememberDisplacedWindow(const SafariWindowFrameChange &change) {
    const auto it = displacedWindows_.find(change.windowID);
    if (it == displacedWindows_.end()) displacedWindows_.emplace(change.windowID, change);
    else it->second.applied = change.applied;  // back to where it was before the first move
}

QCoro::Task<> TabStore::restoreDisplacedWindows() {
    // Emptied first: a window moved again meanwhile is remembered afresh and survives this.
    const auto taken = std::exchange(displacedWindows_, {});
    for (const auto &[_, change] : taken) {
        try {
            co_await adapter_.restoreWindowBounds(change);
        } catch (...) {
            // A window the user closed is simply not put back.
        }
    }
}

QCoro::Task<std::optional<bool>> TabStore::isWindowZoomed(std::int64_t windowID) {
    if (!adapter_.supports(BrowserCapabilities::zoomState)) co_return std::nullopt;
    try {
        co_return co_await adapter_.isWindowZoomed(windowID);
    } catch (const std::exception &error) {
        logger_.debug("Could not read window %ld's zoomed state: %{public}s", windowID, QString::fromUtf8(error.what()));
    }
    co_return std::nullopt;
}

}  // namespace ondrake
