#include "ExtensionBridge.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace ondrake {

ExtensionBridge::ExtensionBridge(const Paths &paths, NamedNotifier &notifier, Scheduler &scheduler, QObject *parent)
    : QObject(parent),
      home_(paths.home),
      notifier_(notifier),
      scheduler_(scheduler),
      ownExecutor_(std::make_unique<ExtensionBridgeWorker>(scheduler)),
      executor_(*ownExecutor_) {}

ExtensionBridge::ExtensionBridge(const Paths &paths, NamedNotifier &notifier, Scheduler &scheduler,
                                 ExtensionBridgeExecutor &executor, QObject *parent)
    : QObject(parent), home_(paths.home), notifier_(notifier), scheduler_(scheduler), executor_(executor) {}

ExtensionBridge::~ExtensionBridge() = default;

bool ExtensionBridge::isFresh() const {
    if (!state_) return false;
    return state_->updatedAt.msecsTo(scheduler_.wallNow()) < qint64(kFreshness.count() * 1000);
}

void ExtensionBridge::start() {
    if (running_) return;
    running_ = true;
    darwinObserver_ = notifier_.observe(OndrakeExtensionProtocol::stateChangedNotification, [this] { reload(); });
    startWatching();
    reload();
}

void ExtensionBridge::stop() {
    if (!running_) return;
    running_ = false;
    watcher_.cancel();
    darwinObserver_.cancel();
    ++generation_;
    reading_ = rereadWanted_ = false;
}

void ExtensionBridge::startWatching() {
    const auto folder = OndrakeExtensionProtocol::exchangeDirectory(false, home_);
    if (!folder || !QFileInfo::exists(*folder)) return;  // the handler makes it on its first write
    FolderWatch watch(*folder, [this] { reload(); });
    if (!watch.isActive()) return;
    watcher_ = std::move(watch);
}

void ExtensionBridge::reload() {
    // A folder made after start, or made anew after it went away, is watched from here on.
    if (running_ && !watcher_.isActive()) startWatching();
    if (reading_) {
        // The read in progress may have seen the file before this change; one more read follows.
        rereadWanted_ = true;
        return;
    }
    const auto folder = OndrakeExtensionProtocol::exchangeDirectory(false, home_);
    if (!folder) return;
    read(QDir(*folder).filePath(OndrakeExtensionProtocol::stateFileName));
}

// One read at a time, each compared with the state held when it was asked for: as results are
// taken in the order asked, that is the state held when it arrives, and a later file always wins.
void ExtensionBridge::read(const QString &path) {
    reading_ = true;
    executor_.run([path, held = state_, self = QPointer(this), generation = generation_] {
        auto result = ExtensionStateRead::of(path, held.get());
        return [self, generation, result = std::move(result)]() mutable {
            if (self) self->readFinished(generation, std::move(result));
        };
    });
}

void ExtensionBridge::readFinished(std::uint64_t generation, ExtensionStateRead result) {
    if (generation != generation_) {  // asked for before a stop
        dispose(std::move(result.state));
        return;
    }
    reading_ = false;
    take(std::move(result));
    if (std::exchange(rereadWanted_, false)) reload();
}

void ExtensionBridge::take(ExtensionStateRead result) {
    using Outcome = ExtensionStateRead::Outcome;
    switch (result.outcome) {
    case Outcome::nothing: return;
    case Outcome::tooLarge:
        // Every write reaches the bridge more than once; one line per file says enough.
        if (refusedFile_ != result.stamp)
            log_.error("Ignoring an extension state file of %{public}ld bytes; the limit is %{public}ld",
                       result.stamp.size, OndrakeExtensionProtocol::maximumMessageLength);
        refusedFile_ = result.stamp;
        return;
    case Outcome::newerVersion:
        log_.debug("Ignoring extension state at version %{public}ld", result.version);
        return;
    case Outcome::changed: {
        auto replaced = std::exchange(state_, std::move(result.state));
        Q_EMIT stateChanged(*state_);
        dispose(std::move(replaced));
        return;
    }
    }
}

void ExtensionBridge::dispose(std::shared_ptr<const ExtensionState> state) {
    if (!state) return;
    executor_.run([state = std::move(state)]() mutable {
        state.reset();
        return ExtensionBridgeExecutor::Completion();
    });
}

}  // namespace ondrake
