#pragma once

#include "Browser/AppleScriptRunner.h"
#include "Browser/BrowserAdapter.h"
#include "Browser/SafariSnapshot.h"
#include "Browser/TabTreeRegistry.h"
#include "SessionIdentities/TabIdentityRegistry.h"

#include "Log.h"
#include "Workspace.h"

#include <memory>

namespace ondrake {

// The adapter over Safari: each operation is one call of a handler of the embedded script,
// run by its own runner. Snapshots get per-session tab ids and nesting. Main thread only;
// operations may interleave while one waits for Safari, and the runner executes their handlers
// in the order they were sent.
class SafariController final : public BrowserAdapter {
public:
    static constexpr BrowserCapabilities kCapabilities{0x2C3E3};

    SafariController(ScriptEngine &engine, Scheduler &scheduler, const Workspace &workspace);

    BrowserCapabilities capabilities() const override { return capabilities_; }
    std::uint64_t sessionSerial() const override { return sessionSerial_; }
    QCoro::Task<std::vector<SafariWindow>> snapshot() override;
    QCoro::Task<> activateTab(SafariTab tab) override;
    QCoro::Task<> closeTab(SafariTab tab) override;
    QCoro::Task<> closeTabs(std::vector<SafariTab> tabs) override;
    QCoro::Task<> moveTabs(SafariTabMove move) override;
    QCoro::Task<std::vector<SafariTabMove>> takePendingLinkMoves() override;
    QCoro::Task<std::optional<SafariWindowFrameChange>> reserveSpace(double minLeft, double maxRight) override;
    QCoro::Task<> restoreWindowBounds(SafariWindowFrameChange change) override;
    QCoro::Task<std::optional<SafariWindowFrameChange>> setLeftEdge(double newLeft) override;
    QCoro::Task<std::optional<bool>> isWindowZoomed(std::int64_t windowID) override;
    QCoro::Task<> openTab(std::optional<QUrl> url, std::optional<std::int64_t> windowID) override;
    QCoro::Task<> addReadingListItem(QUrl url, QString title) override;

    const TabIdentityRegistry &identities() const { return identities_; }
    const TabTreeRegistry &tree() const { return tree_; }

    // The getSnapshot reply as raw windows: malformed entries and repeated window ids are skipped,
    // windows without tabs dropped.
    static std::vector<SafariSnapshot::RawWindow> parseSnapshot(const AppleEventDescriptor &reply, const Logger &log);
    // A frame reply of exactly nine items with a window id; anything else is nothing.
    static std::optional<SafariWindowFrameChange> parseFrameChange(const AppleEventDescriptor &reply);
    static AppleEventDescriptor integer(std::int64_t value);  // clamped to 32 bits
    // 1 zoomed, 0 not, anything else unknown.
    static std::optional<bool> zoomAnswer(const AppleEventDescriptor &reply);

private:
    bool isSafariRunning() const;
    void requireSafari() const;
    void resetSession();
    // The runner's answer, or the error of a controller that went while it was on its way.
    QCoro::Task<AppleEventDescriptor> call(QString handler, std::vector<AppleEventDescriptor> args = {});
    QCoro::Task<> callForWord(QString handler, std::vector<AppleEventDescriptor> args);
    void checkWord(const AppleEventDescriptor &reply, const QString &handler) const;

    const BrowserCapabilities capabilities_ = kCapabilities;
    const Logger logger_{QStringLiteral("Safari")};
    std::unique_ptr<AppleScriptRunner> runner_;
    TabIdentityRegistry identities_;
    TabTreeRegistry tree_;
    bool safariWasRunning_ = false;
    // Safari's process at the last snapshot: a different one means Safari quit and came back
    // between two polls, which must start a new session just as a seen quit does.
    std::optional<std::int64_t> lastProcessIdentifier_;
    std::uint64_t sessionSerial_ = 0;
    const Workspace &workspace_;
    // Answers of calls in flight arrive after the runner has gone (it waits for the handler in
    // progress and fails the queued ones), and resume this controller's operations: they look
    // here before touching it.
    const std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

}  // namespace ondrake
