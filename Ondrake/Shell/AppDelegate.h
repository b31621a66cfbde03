#pragma once

#include "Shell/ExtensionBridge.h"
#include "Shell/MenuKeyEquivalents.h"
#include "Shell/SafariWindowTracker.h"
#include "Shell/SecondaryWindows.h"
#include "Shell/SidebarPanelMirror.h"
#include "Shell/SidebarPresence.h"
#include "Shell/SidebarWindowController.h"
#include "Settings/UpdateController.h"

#include "Accessibility.h"
#include "Application.h"
#include "Async.h"
#include "Browser/AutomationPermission.h"
#include "Browser/SafariController.h"
#include "Dialogs.h"
#include "FrameClock.h"
#include "HttpClient.h"
#include "InstanceGuard.h"
#include "Log.h"
#include "MenuModel.h"
#include "NamedNotifier.h"
#include "Ondrake/Model/FeatureFlags.h"
#include "Ondrake/Sidebar/SidebarThemeChoice.h"
#include "Overlay/ImmersiveOverlayCoordinator.h"
#include "Overlay/OverlayBarModel.h"
#include "Overlay/OverlayCalibrationModel.h"
#include "Overlay/OverlayCalibrationStore.h"
#include "Paths.h"
#include "Pointer.h"
#include "Privacy.h"
#include "Scheduler.h"
#include "Screens.h"
#include "ScriptEngine.h"
#include "StatusItem.h"
#include "Store/SidebarKeyCommand.h"
#include "Store/TabStore.h"
#include "Sync/TabPoller.h"
#include "Updater.h"
#include "UserDefaults.h"
#include "WindowList.h"
#include "Workspace.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

namespace ondrake {

class SidebarView;

// Builds and wires the application: the store over the browser, the window tracker, the docked
// panel, the status menu and the bridge to the extension handler. It decides (through its
// presence) when the sidebar is shown, runs the menu's commands, and shuts down with a final
// save. Owns every long-lived object for the life of the process. Main thread.
class AppDelegate final : public QObject {
    Q_OBJECT
public:
    // The platform it runs on; each service must outlive the delegate.
    struct Platform {
        Scheduler &scheduler;
        Workspace &workspace;
        const WindowList &windowList;
        Screens &screens;
        const Pointer &pointer;
        FrameClock &frameClock;
        UserDefaults &defaults;
        Paths paths;
        ScriptEngine &scriptEngine;
        Privacy &privacy;
        Accessibility &accessibility;
        std::shared_ptr<HttpClient> http;
        NamedNotifier &notifier;
        StatusItem &statusItem;
        Dialogs &dialogs;
        Application &application;
        // Makes the software updater, once.
        std::function<std::unique_ptr<Updater>()> makeUpdater;
        Environment environment = FeatureFlags::processEnvironment();
        // Keeps the window list told where the panel stands, once the panel exists.
        std::function<std::unique_ptr<PanelWindowListLink>(SidebarPanel &)> linkPanel;
    };

    static inline const QString kBrowserBundleIdentifier = QStringLiteral("com.apple.Safari");
    static inline const QString kImmersiveModeKey = QStringLiteral("ImmersiveModeEnabled");
    static inline const QString kExpandSafariWhenCompactKey = QStringLiteral("SidebarExpandSafariWhenCompact");
    // "Settings…": in the status menu, and like every key of its items, in every window of the
    // application's own.
    static inline const KeyEquivalent kSettingsKey = KeyEquivalent::commandKey(QStringLiteral(","));

    // Builds the long-lived objects; the store loads the record file here. Starts nothing.
    explicit AppDelegate(Platform platform, QObject *parent = nullptr);
    ~AppDelegate() override;

    // Builds the status item, the panel and the rest of the graph, starts the bridge, observes
    // the workspace, and shows the sidebar as presence decides.
    void applicationDidFinishLaunching();
    // The application was opened again while running: the sidebar is wanted back.
    bool applicationShouldHandleReopen();
    // Each later launch that reaches this one through `guard` opens it again, until a quit begins.
    // The guard must outlive the delegate.
    void answerLaterLaunches(InstanceGuard &guard);
    // Stops every timer and observer, saves the records at once and ends the network requests
    // under way.
    void applicationWillTerminate();
    bool isLaunched() const { return windowController_ != nullptr; }
    bool hasTerminated() const { return terminated_; }

    // What the sidebar view reports.
    void sidebarResizeBegan();
    void sidebarResize(double distance);
    void sidebarResizeEnded();
    void searchFocusChanged(bool focused);
    void compactModeChanged(bool compact);
    void themeChanged(SidebarThemeChoice theme);

    void handleKeyCommand(SidebarKeyCommand command);
    // Also the immersive bar's palette button.
    void openCommandPalette();
    // Whether the immersive bar is wanted: the feature and the user's switch.
    bool isImmersiveModeOn() const;

    // The status menu and its commands.
    void installStatusItem();
    void menuNeedsUpdate();
    void rebuildSubmenus();
    void showSidebar();
    void hideSidebar();
    void toggleCompactMode();
    void toggleImmersiveMode();
    void reopenLastClosed();
    // The "When Closing a Tab" choice; the item's raw value, anything unknown does nothing.
    void setCloseBehavior(const QVariant &rawValue);
    void refresh();
    // Stops answering later launches and moving windows aside, puts the moved browser windows
    // back, then ends the application. A second quit while that runs joins it.
    void quit();
    bool isQuitting() const { return quitting_; }

    // Starts calibrating the immersive bar by hand; nothing while the feature is off.
    void calibrateOverlay();
    void openSettings();
    void checkForUpdates();
    void reopenSpecific(const QVariant &batchID);
    void openReadLater(const QVariant &recordID, bool markRead);
    void markReadLater(const QVariant &recordID);
    void removeReadLater(const QVariant &recordID);
    // Asks where to write the archive of the scope, and says so when it cannot be written.
    void runExportPanel(const TabStore::ExportScope &scope);
    void exportGroup(const QVariant &groupID);
    // Asks for an archive and how to apply it, then has the store import it.
    void importArchive();
    // "Imported " and the date in the locale's medium style.
    static QString importedGroupName(const QDate &date, const QLocale &locale);

    // Reactions to the store's published values.
    void flagsChanged();
    void updateKnownWindowIDs();
    // The immersive bar's title and breadcrumb, from the front window's active tab.
    void refreshOverlay();
    // A crumb of the immersive bar was clicked: that tab is selected and brought forward.
    void activateCrumbTab(const QString &tabID);
    // The browser's version, asked of the workspace once.
    const std::optional<QString> &safariVersion();

    TabStore &store() { return *store_; }
    UpdateController &updates() { return *updates_; }
    SecondaryWindows &secondaryWindows() { return secondaryWindows_; }
    OverlayBarModel &overlayModel() { return overlayModel_; }
    OverlayCalibrationModel &calibrationModel() { return calibrationModel_; }
    ImmersiveOverlayCoordinator *immersive() { return immersive_.get(); }
    SafariWindowTracker &tracker() { return tracker_; }
    SidebarPresence &presence() { return *presence_; }
    SidebarWindowController *windowController() { return windowController_.get(); }
    // The sidebar's root view, in the panel.
    SidebarView *sidebarView();
    TabPoller *poller() { return poller_.get(); }
    ExtensionBridge &extensionBridge() { return extensionBridge_; }
    const std::shared_ptr<MenuModel> &statusMenu() const { return statusMenu_; }
    const std::optional<PanelAppearance> &panelAppearance() const { return panelAppearance_; }

private:
    enum class WorkspaceEvent { launched, activated, terminated };

    void buildWindowController();
    void buildImmersiveOverlay();
    void prepareSecondaryWindows();
    // Whether `window` is the panel or one of the secondary windows.
    bool isOwnWindow(const QWidget &window) const;
    void setCalibrationHandlers();
    void subscribe();
    void observeWorkspace();
    void activeApplicationChanged(WorkspaceEvent event, const RunningApplication &application);
    void activateSafari();
    void applyTheme(std::optional<SidebarThemeChoice> theme);
    void windowTrackerChanged(const std::optional<SafariWindowSample> &sample);
    // Puts the displaced windows back; every caller waits for the windows put back by earlier
    // callers too.
    QCoro::Task<> restoreDisplacedWindows();
    static QCoro::Task<> quitAfterRestoring(QPointer<AppDelegate> self);
    void startTask(QCoro::Task<> task, const QString &what);

    Platform platform_;
    const Logger log_{QStringLiteral("Sidebar")};
    SafariWindowTracker tracker_;
    OverlayBarModel overlayModel_;
    ExtensionBridge extensionBridge_;
    OverlayCalibrationModel calibrationModel_;
    AutomationPermission permission_;
    OverlayCalibrationStore calibrationStore_;
    std::unique_ptr<SafariController> controller_;
    std::unique_ptr<TabStore> store_;
    std::unique_ptr<UpdateController> updates_;
    SecondaryWindows secondaryWindows_;
    std::unique_ptr<SidebarPresence> presence_;
    std::shared_ptr<MenuModel> statusMenu_;
    std::unique_ptr<SidebarWindowController> windowController_;
    std::unique_ptr<PanelWindowListLink> panelLink_;
    std::unique_ptr<TabPoller> poller_;
    std::unique_ptr<ImmersiveOverlayCoordinator> immersive_;
    std::unique_ptr<MenuKeyEquivalents> menuKeys_;
    std::optional<std::optional<QString>> safariVersion_;
    std::optional<PanelAppearance> panelAppearance_;
    std::vector<QMetaObject::Connection> workspaceObservers_;
    std::vector<QMetaObject::Connection> subscriptions_;
    InstanceGuard *laterLaunches_ = nullptr;
    // Windows being put back, and those waiting for them.
    int restoresInFlight_ = 0;
    // Cleared first thing in the destructor: work resumed while the members are being torn down
    // (the store ends its operations as it goes) must not take the delegate for a live one.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::vector<std::shared_ptr<Deferred<>>> restoreWaiters_;
    bool quitting_ = false;
    bool terminated_ = false;
};

}  // namespace ondrake
