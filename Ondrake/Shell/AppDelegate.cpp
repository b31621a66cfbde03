#include "AppDelegate.h"

#include "Shell/SettingsPanelBinding.h"

#include "Ondrake/Sidebar/CommandPaletteView.h"
#include "Ondrake/Sidebar/SidebarView.h"
#include "Overlay/OverlayCalibrationView.h"
#include "Settings/SettingsView.h"

#include "Async.h"
#include "Store/StoreStartup.h"

#include <QThread>

#include <stdexcept>

namespace ondrake {

AppDelegate::AppDelegate(Platform platform, QObject *parent)
    : QObject(parent),
      platform_(std::move(platform)),
      tracker_({platform_.scheduler, platform_.windowList, platform_.workspace, platform_.pointer, platform_.screens,
                platform_.frameClock, platform_.defaults, platform_.application.processIdentifier()}),
      extensionBridge_(platform_.paths, platform_.notifier, platform_.scheduler),
      permission_(platform_.workspace, platform_.privacy, platform_.defaults),
      calibrationStore_(platform_.defaults, platform_.scheduler),
      secondaryWindows_([app = &platform_.application] { app->activateIgnoringOtherApps(); }) {
    // The former identity's records are carried over before the store loads them.
    auto fileStore = openRecordFileStore(platform_.paths, platform_.defaults);
    controller_ = std::make_unique<SafariController>(platform_.scriptEngine, platform_.scheduler, platform_.workspace);
    store_ = std::make_unique<TabStore>(*controller_, std::move(fileStore),
                                        TabStore::Services{platform_.scheduler, platform_.workspace, permission_,
                                                           platform_.defaults, platform_.paths, platform_.http,
                                                           platform_.environment});
    updates_ = std::make_unique<UpdateController>(platform_.makeUpdater(),
                                                  [app = &platform_.application] { app->activateIgnoringOtherApps(); });
    presence_ = std::make_unique<SidebarPresence>(
        *store_, tracker_,
        SidebarPresence::Services{platform_.scheduler, platform_.workspace, platform_.pointer, platform_.defaults,
                                  platform_.application.processIdentifier()});
}

AppDelegate::~AppDelegate() {
    *alive_ = false;
    // A quit waiting for windows another request is putting back learns that nothing will follow.
    for (auto &waiter : std::exchange(restoreWaiters_, {})) waiter->fail(std::runtime_error("The application has gone"));
    // The coordinator and the models' closures must not reach a delegate being torn down.
    if (immersive_) {
        immersive_->onEnablementChanged = [](bool) {};
        immersive_->onCalibrationChanged = [](const SafariChromeInsets &) {};
    }
    presence_->isImmersiveActive = [] { return false; };
    panelLink_.reset();
    for (const auto &c : workspaceObservers_) disconnect(c);
    for (const auto &c : subscriptions_) disconnect(c);
    tracker_.setOnChange({});
    tracker_.stop();
    if (poller_) poller_->stop();
    presence_->setWindowController(nullptr);
    presence_->setPoller(nullptr);
    // The store may call back into the tracker until it goes.
    store_->onBrowserWindowRaised = [] {};
}

void AppDelegate::applicationDidFinishLaunching() {
    if (windowController_) return;
    platform_.application.setAccessoryActivationPolicy();
    installStatusItem();
    buildWindowController();

    tracker_.setSidebarWindowNumber(windowController_->panel().windowNumber());
    tracker_.setOnChange([this](const std::optional<SafariWindowSample> &sample) { windowTrackerChanged(sample); });
    store_->onBrowserWindowRaised = [this] { tracker_.extendOrderingWatch(SidebarPresence::kRaiseWatch); };

    poller_ = std::make_unique<TabPoller>(*store_, platform_.scheduler, platform_.workspace,
                                          platform_.application.processIdentifier());
    presence_->setPoller(poller_.get());
    buildImmersiveOverlay();
    prepareSecondaryWindows();
    subscribe();
    extensionBridge_.start();
    observeWorkspace();
    presence_->applySidebarPresence();
    presence_->evaluatePresence(std::nullopt);
}

void AppDelegate::buildWindowController() {
    const QPointer<AppDelegate> self(this);
    SidebarView::Callbacks callbacks{
        [self] {
            if (self) self->sidebarResizeBegan();
        },
        [self](double distance) {
            if (self) self->sidebarResize(distance);
        },
        [self] {
            if (self) self->sidebarResizeEnded();
        },
        [self](bool focused) {
            if (self) self->searchFocusChanged(focused);
        },
        [self](bool compact) {
            if (self) self->compactModeChanged(compact);
        },
        [self](SidebarThemeChoice theme) {
            if (self) self->themeChanged(theme);
        },
    };
    // The panel takes the view into its widget tree and so owns it.
    auto *view = new SidebarView(*store_, std::move(callbacks),
                                 {platform_.scheduler, platform_.defaults, platform_.privacy});
    windowController_ = std::make_unique<SidebarWindowController>(
        view, SidebarWindowController::Services{platform_.defaults, platform_.screens, platform_.pointer,
                                                platform_.scheduler});
    auto &controller = *windowController_;
    if (platform_.linkPanel) panelLink_ = platform_.linkPanel(controller.panel());
    controller.onVisibilityChange = [this](bool) { presence_->applySidebarPresence(); };
    controller.onKeyCommand = [this](SidebarKeyCommand command) { handleKeyCommand(command); };
    controller.hasSelection = [this] { return !store_->selection().ids.empty(); };
    if (controller.setCompact(store_->isCompact())) controller.scheduleFrameUpdate();
    applyTheme(sidebarThemeChoiceFromString(platform_.defaults.stringForKey(QString::fromLatin1(kSidebarThemeDefaultsKey))
                                                .value_or(QString())));
    presence_->setWindowController(windowController_.get());
}

void AppDelegate::buildImmersiveOverlay() {
    const QPointer<AppDelegate> self(this);
    overlayModel_.onMenu = [self] {
        if (self) self->platform_.statusItem.performClick();
    };
    overlayModel_.onActivateCrumb = [self](const QString &tabID) {
        if (self) self->activateCrumbTab(tabID);
    };
    overlayModel_.onCommandPalette = [self] {
        if (self) self->openCommandPalette();
    };

    immersive_ = std::make_unique<ImmersiveOverlayCoordinator>(
        overlayModel_, safariVersion(), calibrationStore_,
        ImmersiveOverlayCoordinator::Services{platform_.scheduler, platform_.workspace, platform_.accessibility,
                                              platform_.privacy, platform_.screens, platform_.defaults});
    immersive_->onEnablementChanged = [self](bool) {
        if (self) self->presence_->applySidebarPresence();
    };
    immersive_->onCalibrationChanged = [self](const SafariChromeInsets &insets) {
        if (self) self->calibrationModel_.setInsets(insets);
    };
    immersive_->setEnabled(isImmersiveModeOn());
    presence_->isImmersiveActive = [self] { return self && self->immersive_ && self->immersive_->isEnabled(); };
}

void AppDelegate::prepareSecondaryWindows() {
    const QPointer<AppDelegate> self(this);
    secondaryWindows_.setContent(SecondaryWindows::Kind::settings, [self]() -> std::unique_ptr<QWidget> {
        if (!self) return nullptr;
        return std::make_unique<SettingsView>(
            *self->store_, *self->updates_, self->platform_.defaults,
            settingsPanelBinding([self] { return self ? self->windowController_.get() : nullptr; }, self->platform_.defaults));
    });
    secondaryWindows_.setContent(SecondaryWindows::Kind::calibration, [self]() -> std::unique_ptr<QWidget> {
        if (!self) return nullptr;
        return std::make_unique<OverlayCalibrationView>(self->calibrationModel_);
    });
    // Closing the calibration window ends a calibration without keeping it.
    secondaryWindows_.setOnClose(SecondaryWindows::Kind::calibration, [self] {
        if (self && self->immersive_) self->immersive_->abandonCalibration();
    });
    secondaryWindows_.setContent(SecondaryWindows::Kind::commandPalette, [self]() -> std::unique_ptr<QWidget> {
        if (!self) return nullptr;
        return std::make_unique<CommandPaletteView>(*self->store_, [self] {
            if (self) self->secondaryWindows_.close(SecondaryWindows::Kind::commandPalette);
        });
    });
    // However the palette closes, the search it typed ends with it.
    secondaryWindows_.setOnClose(SecondaryWindows::Kind::commandPalette, [self] {
        if (self) self->store_->setSearchQuery(QString());
    });
}

bool AppDelegate::isOwnWindow(const QWidget &window) const {
    return (windowController_ && &window == &windowController_->panel()) || secondaryWindows_.contains(window);
}

const std::optional<QString> &AppDelegate::safariVersion() {
    if (!safariVersion_) safariVersion_ = platform_.workspace.installedApplicationVersion(kBrowserBundleIdentifier);
    return *safariVersion_;
}

void AppDelegate::subscribe() {
    // Delivered on the next turn of the main loop, as a subscriber on the main run loop would be.
    const auto later = [this](auto signal, void (AppDelegate::*reaction)()) {
        subscriptions_.push_back(connect(store_.get(), signal, this, [this, reaction] {
            platform_.scheduler.post([self = QPointer<AppDelegate>(this), reaction] {
                if (self) ((*self).*reaction)();
            });
        }));
    };
    later(&TabStore::windowsChanged, &AppDelegate::refreshOverlay);
    subscriptions_.push_back(connect(&extensionBridge_, &ExtensionBridge::stateChanged, this, [this] {
        platform_.scheduler.post([self = QPointer<AppDelegate>(this)] {
            if (self) self->refreshOverlay();
        });
    }));
    later(&TabStore::flagsVersionChanged, &AppDelegate::flagsChanged);
    later(&TabStore::windowsChanged, &AppDelegate::updateKnownWindowIDs);
    // However the compact flag changes (menu, key, sidebar toggle, settings), the panel follows.
    subscriptions_.push_back(connect(store_.get(), &TabStore::isCompactChanged, this,
                                     [this] { compactModeChanged(store_->isCompact()); }));
}

void AppDelegate::observeWorkspace() {
    // The workspace promises the main thread; a notification from elsewhere is carried there
    // rather than handled on the wrong thread.
    const auto observe = [this](auto signal, WorkspaceEvent event) {
        workspaceObservers_.push_back(connect(
            &platform_.workspace, signal, this,
            [this, event](const RunningApplication &app) {
                if (QThread::currentThread() == thread()) {
                    activeApplicationChanged(event, app);
                    return;
                }
                platform_.scheduler.post([self = QPointer<AppDelegate>(this), event, app] {
                    if (self) self->activeApplicationChanged(event, app);
                });
            },
            Qt::DirectConnection));
    };
    observe(&Workspace::applicationActivated, WorkspaceEvent::activated);
    observe(&Workspace::applicationLaunched, WorkspaceEvent::launched);
    observe(&Workspace::applicationTerminated, WorkspaceEvent::terminated);
}

void AppDelegate::activeApplicationChanged(WorkspaceEvent event, const RunningApplication &application) {
    if (terminated_) return;
    const auto activated = event == WorkspaceEvent::activated ? std::optional(application) : std::nullopt;
    presence_->evaluatePresence(activated);
    if (immersive_) immersive_->evaluate(activated);
}

bool AppDelegate::applicationShouldHandleReopen() {
    presence_->userWantsSidebar = true;
    presence_->applySidebarPresence();
    presence_->evaluatePresence(std::nullopt);
    activateSafari();
    return true;
}

void AppDelegate::answerLaterLaunches(InstanceGuard &guard) {
    laterLaunches_ = &guard;
    guard.setReopenHandler([self = QPointer<AppDelegate>(this)] {
        if (!self) return;
        self->applicationShouldHandleReopen();
        const bool shown = self->windowController_ && self->windowController_->panel().isVisible();
        Logger(QStringLiteral("App")).info("Opened again by a later launch; the sidebar is %{public}s",
                                           shown ? "shown" : "hidden");
    });
}

void AppDelegate::activateSafari() {
    for (const auto &app : platform_.workspace.runningApplications(kBrowserBundleIdentifier)) {
        if (app.isTerminated) continue;
        platform_.application.activate(app);
        return;
    }
}

void AppDelegate::applicationWillTerminate() {
    if (terminated_) return;
    terminated_ = true;
    if (poller_) poller_->stop();
    tracker_.stop();
    extensionBridge_.stop();
    store_->cancelPendingSave();
    store_->save();
    for (const auto &c : workspaceObservers_) disconnect(c);
    workspaceObservers_.clear();
    // Icons still on their way are not worth waiting for.
    platform_.http->close();
}

void AppDelegate::windowTrackerChanged(const std::optional<SafariWindowSample> &sample) {
    if (immersive_) immersive_->handleWindowSample(sample);
    presence_->windowTrackerChanged(sample);
}

// MARK: The sidebar view's reports

void AppDelegate::sidebarResizeBegan() {
    if (windowController_) windowController_->widthAtDragStart = windowController_->currentWidth();
}

void AppDelegate::sidebarResize(double distance) {
    if (windowController_) windowController_->resize(distance);
}

void AppDelegate::sidebarResizeEnded() {
    if (windowController_) windowController_->widthAtDragStart.reset();
    presence_->dockSidebar();
}

void AppDelegate::searchFocusChanged(bool focused) {
    if (windowController_) windowController_->searchFieldIsFocused = focused;
}

void AppDelegate::compactModeChanged(bool compact) {
    if (!windowController_) return;
    auto &controller = *windowController_;
    const double previousWidth = controller.currentWidth();
    // Several paths report one change; only the first has anything to do.
    if (!controller.setCompact(compact)) return;
    controller.scheduleFrameUpdate();
    const auto resized = [](QPointer<AppDelegate> self, double previous, bool nowCompact) -> QCoro::Task<> {
        if (!self || !self->windowController_) co_return;
        if (self->platform_.defaults.boolForKey(kExpandSafariWhenCompactKey)) {
            if (const auto x = self->windowController_->safariMinXAfterWidthChange(previous))
                co_await self->store_->setLeftEdge(*x);
        }
        if (self && !nowCompact) self->presence_->dockSidebar();
    };
    startTask(resized(this, previousWidth, compact), QStringLiteral("Compact mode"));
}

void AppDelegate::themeChanged(SidebarThemeChoice theme) { applyTheme(theme); }

SidebarView *AppDelegate::sidebarView() {
    return windowController_ ? windowController_->panel().findChild<SidebarView *>() : nullptr;
}

void AppDelegate::openCommandPalette() { secondaryWindows_.open(SecondaryWindows::Kind::commandPalette); }

void AppDelegate::applyTheme(std::optional<SidebarThemeChoice> theme) {
    if (!windowController_) return;
    const auto appearance = theme ? std::optional(ondrake::panelAppearance(*theme)) : std::nullopt;
    panelAppearance_ = appearance && *appearance != PanelAppearance::followSystem ? appearance : std::nullopt;
    windowController_->panel().setAppearance(panelAppearance_);
}

// MARK: Keys

void AppDelegate::handleKeyCommand(SidebarKeyCommand command) {
    switch (command) {
    case SidebarKeyCommand::selectAll: store_->selectAll(); break;
    case SidebarKeyCommand::clearSelection: store_->clearSelection(); break;
    case SidebarKeyCommand::closeSelection:
        if (auto tabs = store_->selectedTabs(); !tabs.empty())
            startTask(store_->closeTabs(std::move(tabs)), QStringLiteral("Closing"));
        break;
    case SidebarKeyCommand::reopenLastClosed: reopenLastClosed(); break;
    case SidebarKeyCommand::focusSearch: store_->focusSearch(); break;
    case SidebarKeyCommand::toggleCompactMode: store_->setCompact(!store_->isCompact()); break;
    }
}

bool AppDelegate::isImmersiveModeOn() const {
    return store_->flags().isEnabled(FeatureFlag::immersiveMode()) && platform_.defaults.boolForKey(kImmersiveModeKey);
}

// MARK: Reactions

void AppDelegate::flagsChanged() {
    if (immersive_) immersive_->setEnabled(isImmersiveModeOn());
}

void AppDelegate::refreshOverlay() {
    const auto &windows = store_->windows();
    const auto front = std::find_if(windows.begin(), windows.end(), [](const SafariWindow &w) { return w.isFrontmost; });
    const auto active = front == windows.end() ? std::nullopt : front->activeTab();
    QString title = active ? active->title : QString();
    if (extensionBridge_.isFresh()) {
        // What the extension reports of the browser's own tab wins while it is recent.
        if (const auto tab = extensionBridge_.state()->activeTab(); tab && !tab->title.isEmpty()) title = tab->title;
    }
    overlayModel_.setTitle(title);
    overlayModel_.setBreadcrumb(active ? TabBreadcrumb::make(*active, front->tabs, 4,
                                                             [this](const QString &id) { return store_->groupName(id); })
                                       : TabBreadcrumb{});
}

void AppDelegate::activateCrumbTab(const QString &tabID) {
    std::optional<SafariTab> found;
    for (const auto &w : store_->windows())
        for (const auto &t : w.tabs)
            if (!found && t.id == tabID) found = t;
    if (!found) return;
    const auto activate = [](std::shared_ptr<bool> alive, TabStore &store, SafariTab tab) -> QCoro::Task<> {
        store.select(tab.id, SidebarModifiers::none());
        const auto outcome = co_await store.performReportingErrors(store.activate(tab));
        if (!*alive) co_return;  // the store went with the application
        if (outcome && outcome->kind == CommandOutcome::Kind::applied) store.onBrowserWindowRaised();
        co_await store.requestRefresh();
    };
    startTask(activate(alive_, *store_, *found), QStringLiteral("Activating a tab"));
}

void AppDelegate::updateKnownWindowIDs() {
    std::set<std::int64_t> ids;
    for (const auto &w : store_->windows()) ids.insert(w.safariID);
    if (ids == tracker_.knownSafariWindowIDs()) return;
    QStringList text;
    for (const auto id : ids) text << QString::number(id);
    tracker_.setKnownSafariWindowIDs(std::move(ids));
    log_.debug("Safari's own window ids: %{public}s", text.join(QLatin1Char(',')));
}

// MARK: Tasks

void AppDelegate::startTask(QCoro::Task<> task, const QString &what) { startDetached(std::move(task), log_, what); }

}  // namespace ondrake
