#include "SimulatedUpdater.h"

#include "UserDefaults.h"

namespace ondrake {

SimulatedUpdater::SimulatedUpdater(Scheduler &scheduler, UserDefaults *settings, QObject *parent)
    : Updater(parent), scheduler_(scheduler), settings_(settings) {
    if (settings_) {
        checksAutomatically_ = settings_->boolForKey(kChecksKey);
        downloadsAutomatically_ = settings_->boolForKey(kDownloadsKey);
    }
}

SimulatedUpdater::~SimulatedUpdater() = default;

void SimulatedUpdater::start() {
    if (started_) return;
    started_ = true;
    Q_EMIT canCheckForUpdatesChanged();
}

void SimulatedUpdater::setAutomaticallyChecksForUpdates(bool checks) {
    ++settingWrites_;
    checksAutomatically_ = checks;
    if (settings_) settings_->setBool(kChecksKey, checks);
}

void SimulatedUpdater::setAutomaticallyDownloadsUpdates(bool downloads) {
    ++settingWrites_;
    downloadsAutomatically_ = downloads;
    if (settings_) settings_->setBool(kDownloadsKey, downloads);
}

SimulatedUpdater::Alert SimulatedUpdater::noUpdateSourceAlert() {
    return {QStringLiteral("Cannot Check for Updates"),
            QStringLiteral("No update source is configured for this build of Ondrake, so there is nothing to check.")};
}

void SimulatedUpdater::checkForUpdates() {
    ++checkRequests_;
    if (!canCheckForUpdates()) return;
    beginCheck();
    if (feedURL_) return;
    logger_.info("Update check asked for, but no update source is configured");
    scheduler_.post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired()) return;
        auto finish = [this, alive] {
            if (!alive.expired() && checking_) endCheck();
        };
        if (!presenter_) {
            finish();
            return;
        }
        if (delegate_) delegate_->willShowModalAlert();
        presenter_(noUpdateSourceAlert(), std::move(finish));
    });
}

void SimulatedUpdater::beginCheck() { setChecking(true); }

void SimulatedUpdater::endCheck(std::optional<QDateTime> checkedAt) {
    if (checkedAt) lastCheck_ = checkedAt;
    setChecking(false);
}

void SimulatedUpdater::showUpdate(const UpdateUserState &state) {
    if (delegate_) delegate_->willHandleShowingUpdate(true, state);
}

void SimulatedUpdater::setChecking(bool checking) {
    const bool could = canCheckForUpdates();
    checking_ = checking;
    if (canCheckForUpdates() != could) Q_EMIT canCheckForUpdatesChanged();
}

}  // namespace ondrake
