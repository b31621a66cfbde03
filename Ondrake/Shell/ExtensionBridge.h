#pragma once

#include "FolderWatch.h"
#include "Log.h"
#include "NamedNotifier.h"
#include "Paths.h"
#include "Scheduler.h"
#include "Shared/ExtensionState.h"

#include <QObject>

#include <optional>

namespace ondrake {

// The application's reader of the extension handler's state file. It listens for the handler's
// notification and watches the exchange folder, reads the file afresh on either, and publishes
// the state when its content changed. It never writes and never creates the folder. Main thread.
class ExtensionBridge final : public QObject {
    Q_OBJECT
public:
    static constexpr Seconds kFreshness{15};

    // `paths.home` is the real home folder under which the exchange folder lies.
    ExtensionBridge(const Paths &paths, NamedNotifier &notifier, Scheduler &scheduler, QObject *parent = nullptr);
    ~ExtensionBridge() override;

    // The last accepted state; never cleared, so it ages out through isFresh.
    const std::optional<ExtensionState> &state() const { return state_; }
    bool isRunning() const { return running_; }
    bool isRegistered() const { return darwinObserver_.isActive(); }
    bool isWatching() const { return watcher_.isActive(); }
    int watchedDescriptor() const { return watcher_.descriptor(); }

    // A state is present and was made less than kFreshness ago (or lies in the future).
    bool isFresh() const;

    // Registers for the notification, watches the folder and reads the file once. Once only.
    void start();
    void stop();
    // Reads the file and publishes it when it decodes, is of a version this program knows, and
    // differs from the current state. Installs the watch first when the folder has appeared. A
    // file larger than the largest message the handler takes is not read; it is logged once.
    void reload();
    void startWatching();

    // Which file, as of which change.
    struct FileStamp {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modified = 0;  // nanoseconds since 1970
        bool operator==(const FileStamp &) const = default;
    };

Q_SIGNALS:
    void stateChanged(const ondrake::ExtensionState &state);

private:
    const Logger log_{QStringLiteral("extension")};
    QString home_;
    NamedNotifier &notifier_;
    Scheduler &scheduler_;
    std::optional<ExtensionState> state_;
    FolderWatch watcher_;
    bool running_ = false;
    NotificationObservation darwinObserver_;
    std::optional<FileStamp> refusedFile_;  // the last file refused for its size
};

}  // namespace ondrake
