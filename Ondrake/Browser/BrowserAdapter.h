#pragma once

#include "BrowserCapabilities.h"
#include "SafariControllerError.h"
#include "SafariTab.h"
#include "SafariTabMove.h"
#include "SafariWindowFrameChange.h"

#include <QCoro/QCoroTask>

#include <optional>
#include <vector>

namespace ondrake {

inline QString safariBundleIdentifier() { return QStringLiteral("com.apple.Safari"); }

// The only road to the browser. Adapters are confined to the main thread; every operation but
// `capabilities` is a coroutine, and all but `takePendingLinkMoves` may throw
// SafariControllerError. An adapter may interleave operations while one waits for the browser.
class BrowserAdapter {
public:
    virtual ~BrowserAdapter() = default;

    virtual BrowserCapabilities capabilities() const = 0;
    // Changes whenever the adapter starts a new browser session (the browser quit, or another
    // process answers): session tab ids of one session mean nothing in the next. Default: one.
    virtual std::uint64_t sessionSerial() const { return 0; }
    bool supports(BrowserCapabilities wanted) const { return capabilities().contains(wanted); }

    // Front to back as the browser lists them, each with its tabs, session ids and parents.
    virtual QCoro::Task<std::vector<SafariWindow>> snapshot() = 0;
    virtual QCoro::Task<> activateTab(SafariTab tab) = 0;
    // The primitive under the default `closeTabs`; callers use `closeTabs`.
    virtual QCoro::Task<> closeTab(SafariTab tab) = 0;
    // Default: by window id ascending, then index descending, one `closeTab` each; a tab that
    // is already gone is skipped, any other error ends the loop.
    virtual QCoro::Task<> closeTabs(std::vector<SafariTab> tabs);
    virtual QCoro::Task<> moveTabs(SafariTabMove move) = 0;
    // Requests collected since the last call. Default: none.
    virtual QCoro::Task<std::vector<SafariTabMove>> takePendingLinkMoves();
    virtual QCoro::Task<std::optional<SafariWindowFrameChange>> reserveSpace(double minLeft, double maxRight) = 0;
    virtual QCoro::Task<> restoreWindowBounds(SafariWindowFrameChange change) = 0;
    virtual QCoro::Task<std::optional<SafariWindowFrameChange>> setLeftEdge(double newLeft) = 0;
    // Absent: unknown.
    virtual QCoro::Task<std::optional<bool>> isWindowZoomed(std::int64_t windowID) = 0;
    // No URL: a blank tab; no window: a new window.
    virtual QCoro::Task<> openTab(std::optional<QUrl> url, std::optional<std::int64_t> windowID) = 0;
    // Defaults throw `unsupported` with the pin or mute capability.
    virtual QCoro::Task<> setPinned(bool pinned, SafariTab tab);
    virtual QCoro::Task<> setMuted(bool muted, SafariTab tab);
    virtual QCoro::Task<> addReadingListItem(QUrl url, QString title) = 0;
};

// The order in which the default `closeTabs` closes: lower window ids first, and within a window
// the highest index first, so the indices still to close stay valid.
std::vector<SafariTab> closingOrder(std::vector<SafariTab> tabs);

}  // namespace ondrake
