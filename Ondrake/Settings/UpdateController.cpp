#include "Settings/UpdateController.h"

namespace ondrake {

// The application has no Dock icon, so nothing brings it forward when the updater opens a window:
// this does, for alerts and for updates the user asked for, but not for a background check.
class UpdatePresentation final : public UpdaterUserDriverDelegate {
public:
    explicit UpdatePresentation(std::function<void()> activateApplication)
        : activateApplication_(std::move(activateApplication)) {}

    void willShowModalAlert() override { activateApplication_(); }
    void willHandleShowingUpdate(bool handleShowingUpdate, const UpdateUserState &state) override {
        if (handleShowingUpdate && state.userInitiated) activateApplication_();
    }

private:
    std::function<void()> activateApplication_;
};

UpdateController::UpdateController(std::unique_ptr<Updater> updater, std::function<void()> activateApplication,
                                   QObject *parent)
    : QObject(parent), presentation_(std::make_unique<UpdatePresentation>(std::move(activateApplication))),
      updater_(std::move(updater)) {
    updater_->setUserDriverDelegate(presentation_.get());
    updater_->start();
    checksAutomatically_ = updater_->automaticallyChecksForUpdates();
    downloadsAutomatically_ = updater_->automaticallyDownloadsUpdates();
    canCheck_ = updater_->canCheckForUpdates();
    lastCheck_ = updater_->lastUpdateCheckDate();
    allowsAutomaticDownloads_ = updater_->allowsAutomaticUpdates();
    connect(updater_.get(), &Updater::canCheckForUpdatesChanged, this, &UpdateController::refreshFromUpdater);
    refreshFromUpdater();
    const auto feed = updater_->feedURL();
    logger_.debug("Updater started. Feed: %{public}s",
                  feed ? feed->toString(QUrl::FullyEncoded) : QStringLiteral("none"));
}

UpdateController::~UpdateController() = default;

// Each setting writes only its own twin: the updater may have changed the other one itself (its
// update window offers automatic downloads) since the mirror last read it.
void UpdateController::setChecksAutomatically(bool checks) {
    assign(checksAutomatically_, checks, &UpdateController::checksAutomaticallyChanged);
    syncChecksToUpdater();
}

void UpdateController::setDownloadsAutomatically(bool downloads) {
    assign(downloadsAutomatically_, downloads, &UpdateController::downloadsAutomaticallyChanged);
    syncDownloadsToUpdater();
}

void UpdateController::refreshFromUpdater() {
    assign(canCheck_, updater_->canCheckForUpdates(), &UpdateController::canCheckChanged);
    assign(lastCheck_, updater_->lastUpdateCheckDate(), &UpdateController::lastCheckChanged);
    assign(checksAutomatically_, updater_->automaticallyChecksForUpdates(), &UpdateController::checksAutomaticallyChanged);
    assign(downloadsAutomatically_, updater_->automaticallyDownloadsUpdates(),
           &UpdateController::downloadsAutomaticallyChanged);
    assign(allowsAutomaticDownloads_, updater_->allowsAutomaticUpdates(),
           &UpdateController::allowsAutomaticDownloadsChanged);
    syncChecksToUpdater();
    syncDownloadsToUpdater();
}

void UpdateController::syncChecksToUpdater() {
    if (updater_->automaticallyChecksForUpdates() != checksAutomatically_)
        updater_->setAutomaticallyChecksForUpdates(checksAutomatically_);
}

void UpdateController::syncDownloadsToUpdater() {
    if (updater_->automaticallyDownloadsUpdates() != downloadsAutomatically_)
        updater_->setAutomaticallyDownloadsUpdates(downloadsAutomatically_);
}

}  // namespace ondrake
