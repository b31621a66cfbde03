#include "FolderWatch.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <sys/inotify.h>
#include <unistd.h>

namespace ondrake {

namespace {

constexpr std::uint32_t kContentEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kGoneEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

}  // namespace

struct FolderWatch::State {
    QString folder;
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void()> onChange;

    ~State() { close(); }

    void close() {
        notifier.reset();
        if (fd >= 0) ::close(fd);
        fd = -1;
    }

    // Drains every queued event; true when the folder has left the watched path.
    bool drain() {
        alignas(inotify_event) char buffer[4096];
        bool gone = false;
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            for (ssize_t offset = 0; offset < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                if (event->mask & kGoneEvents) gone = true;
                offset += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return gone;
    }
};

FolderWatch::FolderWatch(const QString &folder, std::function<void()> onChange) {
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return;
    auto state = std::make_unique<State>();
    state->folder = folder;
    state->fd = fd;
    state->onChange = std::move(onChange);
    if (inotify_add_watch(fd, QFile::encodeName(folder).constData(), kContentEvents | kGoneEvents | IN_ONLYDIR) < 0)
        return;  // the state closes the descriptor
    state->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    State *raw = state.get();
    QObject::connect(raw->notifier.get(), &QSocketNotifier::activated, raw->notifier.get(), [raw] {
        if (raw->drain()) raw->close();
        // The owner may end or replace this watch from the callback, which destroys `raw`.
        const auto onChange = raw->onChange;
        if (onChange) onChange();
    });
    state_ = std::move(state);
}

FolderWatch::FolderWatch() = default;

FolderWatch::FolderWatch(FolderWatch &&other) noexcept = default;

FolderWatch &FolderWatch::operator=(FolderWatch &&other) noexcept {
    if (this != &other) {
        cancel();
        state_ = std::move(other.state_);
    }
    return *this;
}

FolderWatch::~FolderWatch() = default;

void FolderWatch::cancel() { state_.reset(); }

bool FolderWatch::isActive() const { return state_ && state_->fd >= 0; }

int FolderWatch::descriptor() const { return isActive() ? state_->fd : -1; }

QString FolderWatch::folder() const { return state_ ? state_->folder : QString(); }

}  // namespace ondrake
