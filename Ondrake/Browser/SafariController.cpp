#include "SafariController.h"

#include "Browser/AutomationPermission.h"
#include "Browser/BrowserURL.h"
#include "Browser/SafariScript.h"

#include <QSet>

#include <algorithm>
#include <exception>
#include <limits>
#include <map>

namespace ondrake {

namespace {
using Args = std::vector<AppleEventDescriptor>;

AppleEventDescriptor text(const QString &value) { return AppleEventDescriptor::fromString(value); }
AppleEventDescriptor real(double value) { return AppleEventDescriptor::fromDouble(value); }

QString textItem(const AppleEventDescriptor &list, std::int64_t index) {
    const auto *item = list.itemAt(index);
    if (!item || item->type() != AppleEventDescriptor::Type::text) return {};
    return *item->stringValue();
}

std::int64_t integerItem(const AppleEventDescriptor &list, std::int64_t index) {
    const auto *item = list.itemAt(index);
    return item ? item->int32Value() : 0;
}

double doubleItem(const AppleEventDescriptor &list, std::int64_t index) {
    const auto *item = list.itemAt(index);
    return item ? item->doubleValue() : 0;
}

// The script recognises a tab by comparing address texts, and a parsed URL spells some escapes
// its own way ("%7e" comes back as "~"). So when Safari's last report for the matching tab names
// the same address, its own text is sent instead.
using Entries = std::optional<std::vector<TabIdentityRegistry::Entry>>;

template<typename Matches>
QString asReported(const Entries &entries, Matches matches, const QString &text) {
    if (text.isEmpty() || !entries) return text;
    for (const auto &e : *entries) {
        if (!matches(e)) continue;
        return e.url == text || absoluteText(parseURL(e.url)) == text ? e.url : text;
    }
    return text;
}

QString asReported(const Entries &entries, const SafariTab &tab) {
    return asReported(entries, [&](const TabIdentityRegistry::Entry &e) { return e.id == tab.id; },
                      absoluteText(tab.url));
}
}  // namespace

SafariController::SafariController(ScriptEngine &engine, Scheduler &scheduler, const Workspace &workspace)
    : runner_(std::make_unique<AppleScriptRunner>(safariScriptSource(), engine, scheduler)), workspace_(workspace) {}

AppleEventDescriptor SafariController::integer(std::int64_t value) {
    const auto clamped = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max());
    return AppleEventDescriptor::fromInt32(std::int32_t(clamped));
}

bool SafariController::isSafariRunning() const {
    return !workspace_.runningApplications(safariBundleIdentifier()).empty();
}

void SafariController::requireSafari() const {
    if (!isSafariRunning()) throw SafariControllerError::safariNotRunning();
}

void SafariController::resetSession() {
    ++sessionSerial_;
    identities_.reset();
    tree_.reset();
}

void SafariController::checkWord(const AppleEventDescriptor &reply, const QString &handler) const {
    const auto word = reply.stringValue().value_or(QString());
    if (word == QLatin1String("OK")) return;
    if (word == QLatin1String("NOT_RUNNING")) throw SafariControllerError::safariNotRunning();
    if (word == QLatin1String("NO_WINDOW")) {
        logger_.debug("Window vanished before %{public}s could run", handler);
        throw SafariControllerError::windowNotFound();
    }
    if (word == QLatin1String("NO_TAB")) {
        logger_.debug("Tab moved or vanished before %{public}s could run", handler);
        throw SafariControllerError::tabNotFound();
    }
    throw SafariControllerError::automationFailure(QStringLiteral("Unexpected script result: ") + word);
}

QCoro::Task<AppleEventDescriptor> SafariController::call(QString handler, std::vector<AppleEventDescriptor> args) {
    const std::weak_ptr<const bool> alive = alive_;
    std::optional<AppleEventDescriptor> reply;
    std::exception_ptr failure;
    try {
        reply = co_await runner_->call(std::move(handler), std::move(args));
    } catch (...) {
        failure = std::current_exception();
    }
    // Checked before the runner's own error, which a caller could otherwise take for a stale target.
    if (alive.expired()) throw SafariControllerError::automationFailure(QStringLiteral("Safari controller deallocated"));
    if (failure) std::rethrow_exception(failure);
    co_return std::move(*reply);
}

QCoro::Task<> SafariController::callForWord(QString handler, std::vector<AppleEventDescriptor> args) {
    const auto reply = co_await call(handler, std::move(args));
    checkWord(reply, handler);
}

std::vector<SafariSnapshot::RawWindow> SafariController::parseSnapshot(const AppleEventDescriptor &reply, const Logger &log) {
    std::vector<SafariSnapshot::RawWindow> windows;
    QSet<std::int64_t> taken;
    const auto count = reply.numberOfItems();
    for (std::int64_t i = 1; i <= count; ++i) {
        const auto *item = reply.itemAt(i);
        if (!item || item->numberOfItems() < 5) continue;
        const auto *titles = item->itemAt(4);
        const auto *urls = item->itemAt(5);
        if (!titles || !urls) continue;
        const auto id = integerItem(*item, 1);
        if (taken.contains(id)) {
            log.debug("Snapshot named window %{public}ld twice; keeping the first", id);
            continue;
        }
        taken.insert(id);
        SafariSnapshot::RawWindow window;
        window.id = id;
        window.index = integerItem(*item, 2);
        window.currentTabIndex = integerItem(*item, 3);
        const auto n = std::min(titles->numberOfItems(), urls->numberOfItems());
        window.tabs.reserve(std::size_t(std::max<std::int64_t>(n, 0)));
        for (std::int64_t p = 1; p <= n; ++p) window.tabs.push_back({p, textItem(*titles, p), textItem(*urls, p)});
        if (n == 0) continue;
        windows.push_back(std::move(window));
    }
    return windows;
}

std::optional<SafariWindowFrameChange> SafariController::parseFrameChange(const AppleEventDescriptor &reply) {
    if (reply.numberOfItems() != 9) return std::nullopt;
    SafariWindowFrameChange change;
    change.windowID = integerItem(reply, 1);
    if (change.windowID == 0) return std::nullopt;
    for (std::size_t k = 0; k < 4; ++k) {
        change.original[k] = doubleItem(reply, std::int64_t(k) + 2);
        change.applied[k] = doubleItem(reply, std::int64_t(k) + 6);
    }
    return change;
}

QCoro::Task<std::vector<SafariWindow>> SafariController::snapshot() {
    const auto processes = workspace_.runningApplications(safariBundleIdentifier());
    if (processes.empty()) {
        if (safariWasRunning_) {
            safariWasRunning_ = false;
            lastProcessIdentifier_.reset();
            resetSession();
        }
        throw SafariControllerError::safariNotRunning();
    }
    const auto process = processes.front().processIdentifier;
    if (lastProcessIdentifier_ && *lastProcessIdentifier_ != process) {
        logger_.debug("Safari restarted as process %{public}ld; starting a new session", process);
        resetSession();
    }
    lastProcessIdentifier_ = process;
    safariWasRunning_ = true;

    const auto reply = co_await call(QStringLiteral("getSnapshot"));
    const auto raw = parseSnapshot(reply, logger_);
    co_return tree_.apply(identities_.assign(raw));
}

QCoro::Task<> SafariController::activateTab(SafariTab tab) {
    requireSafari();
    // Activating raises all of Safari's windows over the sidebar, so only when it is not active yet.
    const bool shouldActivate = !AutomationPermission::isSafariFrontmost(workspace_);
    const auto expectedURL = asReported(identities_.previousEntries(tab.windowID), tab);
    Args args{integer(tab.windowID), integer(tab.index), text(expectedURL), AppleEventDescriptor::fromBool(shouldActivate)};
    co_await callForWord(QStringLiteral("activateTab"), std::move(args));
}

QCoro::Task<> SafariController::closeTab(SafariTab tab) {
    std::vector<SafariTab> one{std::move(tab)};
    co_await closeTabs(std::move(one));
}

QCoro::Task<> SafariController::closeTabs(std::vector<SafariTab> tabs) {
    requireSafari();
    if (tabs.empty()) co_return;
    // Windows in ascending id order, so a close of several windows always runs the same way.
    std::map<std::int64_t, std::vector<SafariTab>> byWindow;
    for (auto &t : tabs) byWindow[t.windowID].push_back(std::move(t));
    for (auto &[windowID, windowTabs] : byWindow) {
        std::stable_sort(windowTabs.begin(), windowTabs.end(),
                         [](const SafariTab &a, const SafariTab &b) { return a.index > b.index; });
        const auto reported = identities_.previousEntries(windowID);
        auto indices = AppleEventDescriptor::list();
        auto urls = AppleEventDescriptor::list();
        for (const auto &t : windowTabs) {
            indices.appendItem(integer(t.index));
            urls.appendItem(text(asReported(reported, t)));
        }
        Args args{integer(windowID), std::move(indices), std::move(urls)};
        bool windowGone = false;
        try {
            co_await callForWord(QStringLiteral("closeTabs"), std::move(args));
        } catch (const SafariControllerError &error) {
            if (error.kind() != SafariControllerError::Kind::windowNotFound) throw;
            windowGone = true;
        }
        if (windowGone) {
            logger_.debug("Window %{public}ld had already gone; nothing to close in it", windowID);
            continue;
        }
        std::vector<QString> closed;
        for (const auto &t : windowTabs) closed.push_back(t.id);
        identities_.noteClosed(closed);
    }
}

QCoro::Task<> SafariController::moveTabs(SafariTabMove move) {
    requireSafari();
    if (move.fromIndex != move.toIndex) {
        const auto expectedURL = asReported(
            identities_.previousEntries(move.windowID),
            [&](const TabIdentityRegistry::Entry &e) { return e.index == move.fromIndex; }, move.expectedURL);
        Args args{integer(move.windowID), integer(move.fromIndex), integer(move.count),
                  integer(move.toIndex),  text(expectedURL),       integer(move.expectedTabCount)};
        co_await callForWord(QStringLiteral("moveTabs"), std::move(args));
        identities_.noteMoved(move);
    }
    tree_.recordUserMove(move.newParentID, move.tabID);
}

QCoro::Task<std::vector<SafariTabMove>> SafariController::takePendingLinkMoves() {
    co_return tree_.takePendingLinkMoveRequests();
}

QCoro::Task<std::optional<SafariWindowFrameChange>> SafariController::reserveSpace(double minLeft, double maxRight) {
    requireSafari();
    Args args{real(minLeft), real(maxRight)};
    const auto reply = co_await call(QStringLiteral("reserveSpace"), std::move(args));
    const auto change = parseFrameChange(reply);
    if (change) logger_.debug("Moved Safari window %ld aside for the sidebar", change->windowID);
    co_return change;
}

QCoro::Task<std::optional<SafariWindowFrameChange>> SafariController::setLeftEdge(double newLeft) {
    requireSafari();
    Args args{real(newLeft)};
    const auto reply = co_await call(QStringLiteral("setLeftEdge"), std::move(args));
    const auto change = parseFrameChange(reply);
    if (change) logger_.debug("Repositioned Safari window %ld's left edge", change->windowID);
    co_return change;
}

QCoro::Task<> SafariController::restoreWindowBounds(SafariWindowFrameChange change) {
    if (!isSafariRunning()) co_return;
    Args args{integer(change.windowID)};
    for (const double v : change.applied) args.push_back(real(v));
    for (const double v : change.original) args.push_back(real(v));
    // The reply is not examined: gone or moved by the user, either way nothing is left to do.
    co_await call(QStringLiteral("restoreWindowBounds"), std::move(args));
    logger_.debug("Asked to restore Safari window %ld", change.windowID);
}

QCoro::Task<std::optional<bool>> SafariController::isWindowZoomed(std::int64_t windowID) {
    if (!isSafariRunning()) co_return std::nullopt;
    Args args{integer(windowID)};
    const auto reply = co_await call(QStringLiteral("isWindowZoomed"), std::move(args));
    co_return zoomAnswer(reply);
}

std::optional<bool> SafariController::zoomAnswer(const AppleEventDescriptor &reply) {
    if (reply.isNull() || reply.type() == AppleEventDescriptor::Type::list) return std::nullopt;
    switch (reply.int32Value()) {
    case 1: return true;
    case 0: return false;
    default: return std::nullopt;
    }
}

QCoro::Task<> SafariController::openTab(std::optional<QUrl> url, std::optional<std::int64_t> windowID) {
    requireSafari();
    const auto target = windowID.value_or(0);
    Args args{integer(target), text(absoluteText(url))};
    co_await callForWord(QStringLiteral("openTab"), std::move(args));
    tree_.noteOpenedTab(target == 0 ? std::nullopt : std::optional<std::int64_t>(target), url);
}

QCoro::Task<> SafariController::addReadingListItem(QUrl url, QString title) {
    requireSafari();
    Args args{text(absoluteText(url)), text(title)};
    co_await callForWord(QStringLiteral("addReadingListItem"), std::move(args));
}

}  // namespace ondrake
