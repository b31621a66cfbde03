#include "TabStore.h"

namespace ondrake {

QCoro::Task<> TabStore::reserveSpace(double minLeft, double maxRight) {
    if (windowRoomClosed_) co_return;
    auto ticket = windowMoves_.begin();
    co_await displaceWindow(adapter_.reserveSpace(minLeft, maxRight));
}

QCoro::Task<> TabStore::setLeftEdge(double newLeft) {
    if (windowRoomClosed_) co_return;
    auto ticket = windowMoves_.begin();
    co_await displaceWindow(adapter_.setLeftEdge(newLeft));
}

QCoro::Task<> TabStore::displaceWindow(QCoro::Task<std::optional<SafariWindowFrameChange>> move) {
    const auto alive = lifetime();
    try {
        const auto change = co_await std::move(move);
        // A window moved for a store that went is left where it is: nobody would put it back.
        if (change && !alive.expired()) rememberDisplacedWindow(*change);
    } catch (const SafariControllerError &error) {
        if (!alive.expired()) reportAdapterError(error);
    } catch (const std::exception &error) {
        if (!alive.expired()) reportError(error);
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
    const auto alive = lifetime();
    for (const auto &[_, change] : taken) {
        if (alive.expired()) co_return;
        try {
            co_await adapter_.restoreWindowBounds(change);
        } catch (...) {
            // A window the user closed is simply not put back.
        }
    }
}

QCoro::Task<std::optional<bool>> TabStore::isWindowZoomed(std::int64_t windowID) {
    if (!adapter_.supports(BrowserCapabilities::zoomState)) co_return std::nullopt;
    const auto alive = lifetime();
    try {
        co_return co_await adapter_.isWindowZoomed(windowID);
    } catch (const std::exception &error) {
        if (alive.expired()) co_return std::nullopt;
        logger_.debug("Could not read window %ld's zoomed state: %{public}s", windowID, QString::fromUtf8(error.what()));
    }
    co_return std::nullopt;
}

}  // namespace ondrake
