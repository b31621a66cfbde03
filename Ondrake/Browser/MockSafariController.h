#pragma once

#include "Browser/BrowserAdapter.h"

#include <set>

namespace ondrake {

// An adapter over windows kept in memory, entirely under its creator's control: operations change
// them the way the browser would, and the behaviour makes the snapshot fail like a missing
// browser or a refused permission. Tab indices are 1-based and renumbered after every change.
class MockSafariController final : public BrowserAdapter {
public:
    enum class Behaviour { normal, safariNotRunning, permissionDenied };

    MockSafariController(BrowserCapabilities capabilities, std::vector<SafariWindow> windows,
                         Behaviour behaviour = Behaviour::normal, std::set<std::int64_t> zoomedWindowIDs = {});

    BrowserCapabilities capabilities() const override { return capabilities_; }
    QCoro::Task<std::vector<SafariWindow>> snapshot() override;
    QCoro::Task<> activateTab(SafariTab tab) override;
    QCoro::Task<> closeTab(SafariTab tab) override;
    QCoro::Task<> moveTabs(SafariTabMove move) override;
    QCoro::Task<std::optional<SafariWindowFrameChange>> reserveSpace(double minLeft, double maxRight) override;
    QCoro::Task<> restoreWindowBounds(SafariWindowFrameChange change) override;
    QCoro::Task<std::optional<SafariWindowFrameChange>> setLeftEdge(double newLeft) override;
    QCoro::Task<std::optional<bool>> isWindowZoomed(std::int64_t windowID) override;
    QCoro::Task<> openTab(std::optional<QUrl> url, std::optional<std::int64_t> windowID) override;
    QCoro::Task<> addReadingListItem(QUrl url, QString title) override;

    const std::vector<SafariWindow> &windows() const { return windows_; }
    // The browser changed by itself (the user acted in it).
    void setWindows(std::vector<SafariWindow> windows) { windows_ = std::move(windows); }
    const std::vector<std::optional<QUrl>> &openedURLs() const { return openedURLs_; }
    const std::vector<QUrl> &readingList() const { return readingList_; }
    Behaviour behaviour() const { return behaviour_; }
    const std::set<std::int64_t> &zoomedWindowIDs() const { return zoomedWindowIDs_; }

private:
    void closeNow(const SafariTab &tab);
    void moveNow(const SafariTabMove &move);
    void openNow(const std::optional<QUrl> &url, std::optional<std::int64_t> windowID);
    bool holds(const QString &tabID) const;

    const BrowserCapabilities capabilities_;
    std::vector<SafariWindow> windows_;
    std::vector<std::optional<QUrl>> openedURLs_;
    std::vector<QUrl> readingList_;
    const Behaviour behaviour_;
    std::set<std::int64_t> zoomedWindowIDs_;
};

}  // namespace ondrake
