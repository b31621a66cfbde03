#include "TabStore.h"

namespace ondrake {

QCoro::Task<> TabStore::placePendingRestores() {
    if (pendingRestores_.empty()) co_return;
    // The list is settled before the first await, so restores added while a move is under way
    // wait for the next pass instead of being lost.
    auto moves = advancePendingRestores(pendingRestores_, windows_, ondrakeIDs_, logger_);
    if (moves.empty()) co_return;
    const auto alive = lifetime();
    if (co_await performMoves(std::move(moves), QStringLiteral("Could not place a reopened tab")) && !alive.expired())
        co_await republishAfterMoves();
}

QCoro::Task<> TabStore::nestLinkedTabs() {
    const auto alive = lifetime();
    auto moves = co_await adapter_.takePendingLinkMoves();
    if (alive.expired() || moves.empty() || !flags_->isEnabled(FeatureFlag::autoNestLinkedTabs())) co_return;
    if (co_await performMoves(std::move(moves), QStringLiteral("Could not auto-nest a linked tab")) && !alive.expired())
        co_await republishAfterMoves();
}

QCoro::Task<> TabStore::restoreReattachedNesting() {
    if (pendingRelinks_.empty()) co_return;
    auto moves = std::exchange(pendingRelinks_, {});
    const auto alive = lifetime();
    if (co_await performMoves(std::move(moves), QStringLiteral("Could not nest a reattached tab again")) &&
        !alive.expired())
        co_await republishAfterMoves();
}

QCoro::Task<bool> TabStore::performMoves(std::vector<SafariTabMove> moves, QString failureMessage) {
    const auto alive = lifetime();
    bool done = false;
    for (const auto &move : moves) {
        if (alive.expired()) co_return false;
        if (!adapter_.supports(BrowserCapabilities::move)) {
            done = true;
            continue;
        }
        try {
            co_await adapter_.moveTabs(move);
            done = true;
        } catch (const std::exception &error) {
            if (!alive.expired()) logger_.debug("%{public}s: %s", failureMessage, QString::fromUtf8(error.what()));
        }
    }
    co_return done;
}

QCoro::Task<> TabStore::republishAfterMoves() {
    const auto alive = lifetime();
    WindowList windows;
    try {
        windows = co_await adapter_.snapshot();
    } catch (...) {
        co_return;
    }
    if (alive.expired()) co_return;
    followBrowserSession();
    applyBrowserEvents(windows);
    publish(std::move(windows), SidebarState::ready());
}

}  // namespace ondrake
