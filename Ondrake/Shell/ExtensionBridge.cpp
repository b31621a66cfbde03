#include "ExtensionBridge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondrake {

namespace {

// The whole file, or nothing when it cannot be read or is not a regular file: the folder is shared
// with another program, and a pipe or device in place of the file must not hold up the main thread.
std::optional<QByteArray> readRegularFile(const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    QFile file;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    return file.readAll();
}

}  // namespace

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
    const auto bytes = readRegularFile(QDir(*folder).filePath(OndrakeExtensionProtocol::stateFileName));
    if (!bytes) return;
    auto decoded = ExtensionState::decode(*bytes);
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
