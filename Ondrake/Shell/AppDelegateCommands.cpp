#include "AppDelegate.h"

namespace ondrake {

void AppDelegate::showSidebar() {
    presence_->userWantsSidebar = true;
    presence_->applySidebarPresence();
    presence_->evaluatePresence(std::nullopt);
    activateSafari();
}

void AppDelegate::hideSidebar() {
    presence_->userWantsSidebar = false;
    presence_->evaluatePresence(std::nullopt);
    presence_->applySidebarPresence();
    startTask(restoreDisplacedWindows(), QStringLiteral("Putting windows back"));
}

void AppDelegate::toggleCompactMode() { store_->setCompact(!store_->isCompact()); }

void AppDelegate::toggleImmersiveMode() {
    const bool wasOn = isImmersiveModeOn();
    platform_.defaults.setBool(kImmersiveModeKey, !wasOn);
    if (!wasOn) permission_.requestAccessibility();
    if (immersive_) immersive_->setEnabled(isImmersiveModeOn());
}

void AppDelegate::calibrateOverlay() {
    if (!immersive_ || !store_->flags().isEnabled(FeatureFlag::immersiveMode())) return;
    if (!isImmersiveModeOn()) {
        platform_.defaults.setBool(kImmersiveModeKey, true);
        permission_.requestAccessibility();
        immersive_->setEnabled(isImmersiveModeOn());
    }
    platform_.application.activateIgnoringOtherApps();
    immersive_->beginCalibration();
    calibrationModel_.setInsets(immersive_->calibrationSeed());
    calibrationModel_.setHasStoredCalibration(immersive_->hasStoredCalibration());
    calibrationModel_.setSafariVersion(OverlayCalibrationModel::versionName(immersive_->safariVersion()));
    setCalibrationHandlers();
    secondaryWindows_.open(SecondaryWindows::Kind::calibration);
}

void AppDelegate::openSettings() { secondaryWindows_.open(SecondaryWindows::Kind::settings); }

void AppDelegate::checkForUpdates() {
    if (updates_->updater().canCheckForUpdates()) updates_->updater().checkForUpdates();
}

void AppDelegate::setCalibrationHandlers() {
    const QPointer<AppDelegate> self(this);
    calibrationModel_.onEdit = [self](const SafariChromeInsets &insets) {
        if (self && self->immersive_) self->immersive_->applyCalibrationEdit(insets);
    };
    const auto end = [self](bool save) {
        if (!self) return;
        if (self->immersive_) self->immersive_->endCalibration(save);
        self->calibrationModel_.setHasStoredCalibration(self->immersive_ && self->immersive_->hasStoredCalibration());
        self->secondaryWindows_.orderOut(SecondaryWindows::Kind::calibration);
    };
    calibrationModel_.onSave = [end] { end(true); };
    calibrationModel_.onCancel = [end] { end(false); };
    calibrationModel_.onResetToAutomatic = [self] {
        if (!self) return;
        if (self->immersive_) self->immersive_->resetToAutomaticDetection();
        self->calibrationModel_.setHasStoredCalibration(false);
    };
}

void AppDelegate::reopenLastClosed() { startTask(store_->reopenLastClosed(), QStringLiteral("Reopening")); }

namespace {

// A menu item's argument as an id, when it is a string naming one.
template<typename Identity>
std::optional<Identity> identity(const QVariant &value) {
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    return Identity::fromString(value.toString());
}

}  // namespace

void AppDelegate::reopenSpecific(const QVariant &batchID) {
    if (batchID.typeId() != QMetaType::QUuid) return;
    const auto id = batchID.toUuid();
    const auto &batches = store_->recentlyClosed().batches;
    const auto it = std::find_if(batches.begin(), batches.end(), [&](const ClosedTabBatch &b) { return b.id == id; });
    if (it == batches.end()) return;
    startTask(store_->reopen(*it), QStringLiteral("Reopening"));
}

void AppDelegate::setCloseBehavior(const QVariant &rawValue) {
    if (rawValue.typeId() != QMetaType::QString) return;
    if (const auto behavior = parentCloseBehaviorFromString(rawValue.toString()))
        store_->setParentCloseBehavior(*behavior);
}

void AppDelegate::openReadLater(const QVariant &recordID, bool markRead) {
    if (const auto id = identity<OndrakeID>(recordID))
        startTask(store_->openReadLater(*id, markRead), QStringLiteral("Opening a read-later page"));
}

void AppDelegate::markReadLater(const QVariant &recordID) {
    if (const auto id = identity<OndrakeID>(recordID)) store_->markReadLaterItemRead(*id);
}

void AppDelegate::removeReadLater(const QVariant &recordID) {
    const auto id = identity<OndrakeID>(recordID);
    if (!id) return;
    const auto remove = [](QPointer<AppDelegate> self, OndrakeID id) -> QCoro::Task<> {
        co_await self->store_->commands().toggleReadLater(false, id);
    };
    startTask(remove(this, *id), QStringLiteral("Leaving the read-later list"));
}

void AppDelegate::exportGroup(const QVariant &groupID) {
    if (const auto id = identity<TabGroupID>(groupID)) runExportPanel(TabStore::ExportScope::group(*id));
}

void AppDelegate::refresh() { startTask(store_->requestRefresh(), QStringLiteral("Refresh")); }

void AppDelegate::quit() {
    // The first quit ends the application once every window is back; a second has nothing to add.
    if (quitting_) return;
    quitting_ = true;
    // A launch told to reopen now would show a sidebar about to go, dock it, and end, leaving
    // nothing running; it waits for this instance to end instead and runs in its place.
    if (laterLaunches_) laterLaunches_->stopAnswering();
    // A window moved aside after the restore below had begun would stay moved.
    store_->closeWindowRoom();
    startTask(quitAfterRestoring(this), QStringLiteral("Quit"));
}

QCoro::Task<> AppDelegate::quitAfterRestoring(QPointer<AppDelegate> self) {
    const auto alive = self->alive_;
    // A move asked for before the quit is remembered first, so that its window is put back too.
    co_await self->store_->windowMovesAnswered();
    if (!*alive) co_return;
    co_await self->restoreDisplacedWindows();
    if (*alive) self->platform_.application.terminate();
}

QCoro::Task<> AppDelegate::restoreDisplacedWindows() {
    const auto alive = alive_;
    ++restoresInFlight_;
    co_await store_->restoreDisplacedWindows();
    if (!*alive) co_return;  // the application went while its windows were on their way back
    --restoresInFlight_;
    if (restoresInFlight_ > 0) {
        // Windows an earlier request took over are still on their way back: wait for them too.
        auto waiter = std::make_shared<Deferred<>>();
        restoreWaiters_.push_back(waiter);
        co_await *waiter;
        co_return;
    }
    for (auto &waiter : std::exchange(restoreWaiters_, {})) waiter->resolve();
}

}  // namespace ondrake
