#include "BrowserAdapter.h"

#include <algorithm>

namespace ondrake {

std::vector<SafariTab> closingOrder(std::vector<SafariTab> tabs) {
    std::stable_sort(tabs.begin(), tabs.end(), [](const SafariTab &a, const SafariTab &b) {
        if (a.windowID != b.windowID) return a.windowID < b.windowID;
        return a.index > b.index;
    });
    return tabs;
}

QCoro::Task<> BrowserAdapter::closeTabs(std::vector<SafariTab> tabs) {
    for (const auto &tab : closingOrder(std::move(tabs))) {
        try {
            co_await closeTab(tab);
        } catch (const SafariControllerError &error) {
            if (error.kind() != SafariControllerError::Kind::tabNotFound) throw;
        }
    }
}

QCoro::Task<std::vector<SafariTabMove>> BrowserAdapter::takePendingLinkMoves() { co_return {}; }

QCoro::Task<> BrowserAdapter::setPinned(bool, SafariTab) {
    throw SafariControllerError::unsupported(BrowserCapabilities::pin);
    co_return;
}

QCoro::Task<> BrowserAdapter::setMuted(bool, SafariTab) {
    throw SafariControllerError::unsupported(BrowserCapabilities::mute);
    co_return;
}

}  // namespace ondrake
