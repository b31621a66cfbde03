#include "ExtensionBridge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ondrake {

ExtensionBridge::ExtensionBridge(const Paths &paths, NamedNotifier &notifier, Scheduler &scheduler, QObject *parent)
    : QObject(parent), home_(paths.home), notifier_(notifier), scheduler_(scheduler) {}

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
    const auto folder = OndrakeExtensionProtocol::exchangeDirectory(false, home_);
    if (!folder) return;
    QFile file(QDir(*folder).filePath(OndrakeExtensionProtocol::stateFileName));
    if (!file.open(QIODevice::ReadOnly)) return;
    auto decoded = ExtensionState::decode(file.readAll());
    if (!decoded) return;
    if (decoded->version >= 2) {
        log_.debug("Ignoring extension state at version %{public}ld", decoded->version);
        return;
    }
    if (decoded == state_) return;
    state_ = std::move(decoded);
    Q_EMIT stateChanged(*state_);
}

}  // namespace ondrake
