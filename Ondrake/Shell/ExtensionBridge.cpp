#include "ExtensionBridge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondrake {

namespace {

// The state file as read: its bytes, or why there are none. A file larger than any handler writes
// is not read at all, so that it cannot hold up the main thread.
struct StateFileRead {
    enum class Kind { unreadable, tooLarge, read };
    Kind kind = Kind::unreadable;
    QByteArray bytes;
    ExtensionBridge::FileStamp stamp;
};

// Only a regular file is read: the folder is shared with another program, and a pipe or device in
// place of the file must not hold up the main thread either.
StateFileRead readStateFile(const QString &path) {
    constexpr qint64 kLimit = OndrakeExtensionProtocol::maximumMessageLength;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat info {};
    QFile file;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    const ExtensionBridge::FileStamp stamp{quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
                                           qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
    if (info.st_size > kLimit) return {StateFileRead::Kind::tooLarge, {}, stamp};
    // No more than the size seen: the handler replaces the file whole, and a file that grows in
    // place is someone else's, read in part and not decoded.
    return {StateFileRead::Kind::read, file.read(qint64(info.st_size)), stamp};
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
    const StateFileRead file = readStateFile(QDir(*folder).filePath(OndrakeExtensionProtocol::stateFileName));
    if (file.kind == StateFileRead::Kind::tooLarge) {
        // Every write reaches the bridge more than once; one line per file says enough.
        if (refusedFile_ != file.stamp)
            log_.error("Ignoring an extension state file of %{public}ld bytes; the limit is %{public}ld",
                       file.stamp.size, OndrakeExtensionProtocol::maximumMessageLength);
        refusedFile_ = file.stamp;
        return;
    }
    if (file.kind != StateFileRead::Kind::read) return;
    auto decoded = ExtensionState::decode(file.bytes);
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
