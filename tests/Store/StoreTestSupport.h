#pragma once

#include "Store/TabStore.h"

#include "Async.h"
#include "Browser/BrowserURL.h"
#include "FixedIdentities.h"
#include "ManualScheduler.h"
#include "ScriptedHttpClient.h"
#include "StorePlatform.h"
#include "TestSupport.h"

#include <QSignalSpy>

#include <deque>
#include <functional>
#include <memory>

namespace ondrake::test {

inline SafariTab tab(const QString &id, std::int64_t windowID, std::int64_t index, bool active = false,
                     std::optional<QString> parent = std::nullopt, const QString &url = {}) {
    const QString address = url.isEmpty() ? QStringLiteral("https://%1.example/").arg(id) : url;
    return SafariTab{id, windowID, index, id, parseURL(address), active, std::move(parent)};
}

inline SafariWindow window(std::int64_t id, std::vector<SafariTab> tabs, bool frontmost = true, std::int64_t index = 1) {
    return SafariWindow{id, index, frontmost, std::move(tabs)};
}

// A browser under the test's hand: it shows what the test sets, fails when told to, and can hold
// an operation at its await until the test releases it.
class FakeBrowser final : public BrowserAdapter {
public:
    BrowserCapabilities caps{0x2C3E3};
    std::vector<SafariWindow> windows;
    std::deque<std::exception_ptr> snapshotErrors;  // thrown by the next snapshots, in order
    std::optional<Deferred<>> snapshotGate;          // every snapshot waits for it while set
    std::uint64_t session = 0;
    int snapshotCount = 0;

    std::vector<SafariTabMove> moves;
    std::function<void(const SafariTabMove &)> onMove;  // may throw; default: moves and nests
    std::optional<Deferred<>> moveGate;
    std::vector<SafariTabMove> linkMoves;

    std::vector<std::vector<SafariTab>> closeRequests;
    std::function<void(const std::vector<SafariTab> &)> onClose;  // default: the tabs vanish
    std::optional<Deferred<>> closeGate;

    struct OpenRequest {
        std::optional<QUrl> url;
        std::optional<std::int64_t> windowID;
        bool operator==(const OpenRequest &) const = default;
    };
    std::vector<OpenRequest> openRequests;
    std::function<void(const OpenRequest &)> onOpen;  // may throw; default: openNow
    int openedTabs = 0;
    std::int64_t nextWindowID = 900;
    std::vector<std::pair<QUrl, QString>> readingListAdds;
    std::function<void()> onReadingListAdd;  // may throw
    std::vector<std::pair<bool, QString>> pinRequests, muteRequests;
    std::function<void(const SafariTab &)> onPin, onMute;  // may throw

    std::optional<SafariWindowFrameChange> nextFrameChange;
    std::optional<std::exception_ptr> frameError;
    std::optional<Deferred<>> frameGate;  // moving a window aside and putting it back wait for it
    std::vector<SafariWindowFrameChange> restoreRequests;
    std::set<std::int64_t> goneWindows;
    std::optional<bool> zoomAnswer;
    int zoomQueries = 0;

    BrowserCapabilities capabilities() const override { return caps; }
    std::uint64_t sessionSerial() const override { return session; }

    QCoro::Task<std::vector<SafariWindow>> snapshot() override {
        ++snapshotCount;
        if (snapshotGate) co_await *snapshotGate;
        if (!snapshotErrors.empty()) {
            auto error = snapshotErrors.front();
            snapshotErrors.pop_front();
            std::rethrow_exception(error);
        }
        std::vector<SafariWindow> copy = windows;
        co_return copy;
    }
    QCoro::Task<> activateTab(SafariTab) override { co_return; }
    QCoro::Task<> closeTab(SafariTab tab) override { removeTabs({tab}); co_return; }
    QCoro::Task<> closeTabs(std::vector<SafariTab> tabs) override {
        closeRequests.push_back(tabs);
        if (closeGate) co_await *closeGate;
        if (onClose) onClose(tabs);
        else removeTabs(tabs);
        co_return;
    }
    QCoro::Task<> moveTabs(SafariTabMove move) override {
        moves.push_back(move);
        if (moveGate) co_await *moveGate;
        if (onMove) onMove(move);
        else moveNow(move);
        co_return;
    }
    QCoro::Task<std::vector<SafariTabMove>> takePendingLinkMoves() override {
        auto taken = std::exchange(linkMoves, {});
        co_return taken;
    }
    QCoro::Task<std::optional<SafariWindowFrameChange>> reserveSpace(double, double) override { return frame(); }
    QCoro::Task<std::optional<SafariWindowFrameChange>> setLeftEdge(double) override { return frame(); }
    QCoro::Task<> restoreWindowBounds(SafariWindowFrameChange change) override {
        restoreRequests.push_back(change);
        if (frameGate) co_await *frameGate;
        if (goneWindows.contains(change.windowID)) throw SafariControllerError::windowNotFound();
        co_return;
    }
    QCoro::Task<std::optional<bool>> isWindowZoomed(std::int64_t) override {
        ++zoomQueries;
        co_return zoomAnswer;
    }
    QCoro::Task<> openTab(std::optional<QUrl> url, std::optional<std::int64_t> windowID) override {
        openRequests.push_back({url, windowID});
        if (onOpen) onOpen(openRequests.back());
        else openNow(openRequests.back());
        co_return;
    }
    QCoro::Task<> addReadingListItem(QUrl url, QString title) override {
        readingListAdds.emplace_back(url, title);
        if (onReadingListAdd) onReadingListAdd();
        co_return;
    }
    QCoro::Task<> setPinned(bool pinned, SafariTab tab) override {
        pinRequests.emplace_back(pinned, tab.id);
        if (onPin) onPin(tab);
        co_return;
    }
    QCoro::Task<> setMuted(bool muted, SafariTab tab) override {
        muteRequests.emplace_back(muted, tab.id);
        if (onMute) onMute(tab);
        co_return;
    }

    // The tab shows up at the end of its window; no window, or a window that has gone, as the
    // browser answers it: a new window in front, or windowNotFound.
    void openNow(const OpenRequest &request) {
        const QString id = QStringLiteral("opened-%1").arg(++openedTabs);
        if (!request.windowID) {
            for (auto &w : windows) w.isFrontmost = false;
            const std::int64_t windowID = nextWindowID++;
            windows.insert(windows.begin(), SafariWindow{windowID, 1, true,
                                                        {SafariTab{id, windowID, 1, id, request.url, true, {}}}});
            for (std::size_t i = 0; i < windows.size(); ++i) windows[i].index = std::int64_t(i) + 1;
            return;
        }
        for (auto &w : windows)
            if (w.safariID == *request.windowID) {
                w.tabs.push_back(SafariTab{id, w.safariID, std::int64_t(w.tabs.size()) + 1, id, request.url, false, {}});
                return;
            }
        throw SafariControllerError::windowNotFound();
    }

    void moveNow(const SafariTabMove &move) {
        for (auto &w : windows) {
            if (w.safariID != move.windowID) continue;
            auto moved = w.tabs.at(std::size_t(move.fromIndex - 1));
            w.tabs.erase(w.tabs.begin() + (move.fromIndex - 1));
            moved.parentID = move.newParentID;
            w.tabs.insert(w.tabs.begin() + (move.toIndex - 1), moved);
            for (std::size_t i = 0; i < w.tabs.size(); ++i) w.tabs[i].index = std::int64_t(i) + 1;
        }
    }

    void removeTabs(const std::vector<SafariTab> &tabs) {
        for (auto &w : windows) {
            std::erase_if(w.tabs, [&](const SafariTab &t) {
                return std::any_of(tabs.begin(), tabs.end(), [&](const SafariTab &c) { return c.id == t.id; });
            });
            for (std::size_t i = 0; i < w.tabs.size(); ++i) w.tabs[i].index = std::int64_t(i) + 1;
        }
    }

private:
    QCoro::Task<std::optional<SafariWindowFrameChange>> frame() {
        if (frameGate) co_await *frameGate;
        if (frameError) std::rethrow_exception(*frameError);
        auto change = std::exchange(nextFrameChange, std::nullopt);
        co_return change;
    }
};

// The platform around a store, over a browser under the test's hand.
struct StoreWorld : StorePlatform {
    FakeBrowser browser;
    std::shared_ptr<ScriptedHttpClient> http = std::make_shared<ScriptedHttpClient>();
    Environment environment;

    StoreWorld() { EXPECT_TRUE(folders.isValid()); }

    QString recordFile() const { return fileStore().fileURL(); }
    using StorePlatform::makeStore;
    std::unique_ptr<TabStore> makeStore() { return makeStore(browser, http, environment); }
    // The record file as written, the clock advanced past any pending save first.
    PersistedState written() { return fileStore().load(scheduler.wallNow()).state; }

    void refresh(TabStore &store) { runToCompletion(scheduler, store.requestRefresh()); }
};

}  // namespace ondrake::test
