#pragma once

#include "FolderWatch.h"
#include "Log.h"
#include "NamedNotifier.h"
#include "Paths.h"
#include "Scheduler.h"
#include "Shared/ExtensionState.h"
#include "Shell/ExtensionBridgeExecutor.h"
#include "Shell/ExtensionBridgeRead.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>

namespace ondrake {

// The application's reader of the extension handler's state file. It listens for the handler's
// notification and watches the exchange folder, reads the file afresh on either, and publishes
// the state when its content changed. It never writes and never creates the folder. Main thread;
// the file is read and decoded on the executor's thread, and only the result is taken in here.
class ExtensionBridge final : public QObject {
    Q_OBJECT
public:
    static constexpr Seconds kFreshness{15};

    // `paths.home` is the real home folder under which the exchange folder lies. The bridge reads
    // on a thread of its own, or through `executor`, which must outlive the bridge.
    ExtensionBridge(const Paths &paths, NamedNotifier &notifier, Scheduler &scheduler, QObject *parent = nullptr);
    ExtensionBridge(const Paths &paths, NamedNotifier &notifier, Scheduler &scheduler,
                    ExtensionBridgeExecutor &executor, QObject *parent = nullptr);
    ~ExtensionBridge() override;

    // The last accepted state, shared and never changed in place; never cleared, so it ages out
    // through isFresh.
    const std::shared_ptr<const ExtensionState> &state() const { return state_; }
    bool isRunning() const { return running_; }
    bool isRegistered() const { return darwinObserver_.isActive(); }
    bool isWatching() const { return watcher_.isActive(); }
    int watchedDescriptor() const { return watcher_.descriptor(); }

    // A state is present and was made less than kFreshness ago (or lies in the future).
    bool isFresh() const;

    // Registers for the notification, watches the folder and reads the file once. Once only.
    void start();
    // Also drops the result of a read still in progress.
    void stop();
    // Reads the file and publishes it when it decodes, is of a version this program knows, and
    // differs from the current state. Installs the watch first when the folder has appeared. A
    // file larger than the largest message the handler takes is not read; it is logged once.
    // While a read is in progress, one more follows it, so the last change is always read.
    void reload();
    void startWatching();

Q_SIGNALS:
    void stateChanged(const ondrake::ExtensionState &state);

private:
    void read(const QString &path);
    void readFinished(std::uint64_t generation, ExtensionStateRead result);
    void take(ExtensionStateRead result);
    // A state is freed on the executor's thread: freeing thousands of tabs is itself a stall.
    void dispose(std::shared_ptr<const ExtensionState> state);

    const Logger log_{QStringLiteral("extension")};
    QString home_;
    NamedNotifier &notifier_;
    Scheduler &scheduler_;
    std::unique_ptr<ExtensionBridgeExecutor> ownExecutor_;
    ExtensionBridgeExecutor &executor_;
    std::shared_ptr<const ExtensionState> state_;
    FolderWatch watcher_;
    bool running_ = false;
    NotificationObservation darwinObserver_;
    std::optional<ExtensionStateRead::Stamp> refusedFile_;  // the last file refused for its size
    bool reading_ = false;
    bool rereadWanted_ = false;
    std::uint64_t generation_ = 0;  // a read of an older generation is dropped when it arrives
};

}  // namespace ondrake
