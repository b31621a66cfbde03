#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace ondrake {

// Watches one folder through inotify: entries created, deleted or renamed in it, and the folder
// itself moved or deleted. Owns its descriptor: cancelling, destroying or assigning over the watch
// closes it. Main thread; events arrive through the thread's event loop.
class FolderWatch {
public:
    FolderWatch();
    // Inactive when the folder cannot be watched (missing, not a folder, no descriptors left).
    FolderWatch(const QString &folder, std::function<void()> onChange);
    FolderWatch(FolderWatch &&other) noexcept;
    FolderWatch &operator=(FolderWatch &&other) noexcept;
    FolderWatch(const FolderWatch &) = delete;
    FolderWatch &operator=(const FolderWatch &) = delete;
    ~FolderWatch();

    void cancel();
    // Watching: opened and not cancelled, and the folder has not gone from where it was watched.
    // Once it has, `onChange` runs a last time and the watch ends by itself, so that whoever owns
    // it can watch the path afresh.
    bool isActive() const;
    int descriptor() const;  // -1 when inactive
    QString folder() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace ondrake
