#include "Shell/AppDelegate.h"

#include "DemoSession.h"
#include "Log.h"
#include "Ondrake/Model/TabRecordFileStore.h"
#include "Qt/DBusNamedNotifier.h"
#include "Qt/QtDialogs.h"
#include "Qt/QtFrameClock.h"
#include "Qt/QtHttpClient.h"
#include "Qt/QtScheduler.h"
#include "Qt/QtScreens.h"
#include "Qt/QtStatusItem.h"
#include "Qt/QtUpdateAlert.h"
#include "Qt/QtWindowList.h"
#include "Qt/SingleInstance.h"
#include "Qt/TabStripLayout.h"
#include "Qt/TerminationSignals.h"
#include "Qt/VisibleBrowser.h"
#include "Qt/WakeReport.h"
#include "SimulatedAccessibility.h"
#include "SimulatedApplication.h"
#include "SimulatedFrameClock.h"
#include "SimulatedPrivacy.h"
#include "SimulatedSafari.h"
#include "SimulatedScreens.h"
#include "SimulatedScriptEngine.h"
#include "SimulatedUpdater.h"
#include "SimulatedWindowServer.h"
#include "SimulatedWorkspace.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

using namespace ondrake;

namespace {

// The windowing services the application sees. On a display: the desktop's own screens and mouse,
// with the simulated browser's windows shown as real windows a person can move. Offscreen: the
// simulated window server, screens and mouse.
struct Desktop {
    std::unique_ptr<Screens> screens;
    std::unique_ptr<Pointer> pointer;
    std::unique_ptr<FrameClock> frameClock;
    std::unique_ptr<WindowList> windowList;
    std::unique_ptr<VisibleBrowser> visibleBrowser;
    // Keeps the window list told where the sidebar's panel stands.
    std::function<std::unique_ptr<PanelWindowListLink>(SidebarPanel &)> linkPanel;

    static bool isVisible() {
        const auto platform = QGuiApplication::platformName();
        return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
    }

    Desktop(SimulatedSafari &safari, SimulatedWorkspace &workspace, Scheduler &scheduler, std::int64_t ownProcessID) {
        if (isVisible()) {
            screens = std::make_unique<QtScreens>();
            pointer = std::make_unique<QtPointer>(*screens);
            frameClock = std::make_unique<QtFrameClock>(scheduler);
            auto list = std::make_unique<QtWindowList>(*screens);
            linkPanel = [list = list.get()](SidebarPanel &panel) { return std::make_unique<QtPanelRaiseNotes>(panel, *list); };
            windowList = std::move(list);
            visibleBrowser = VisibleBrowser::createOnDisplay(safari, scheduler, screens->nativeOrigin());
            return;
        }
        auto simulatedScreens = std::make_unique<SimulatedScreens>();
        frameClock = std::make_unique<SimulatedFrameClock>(scheduler, *simulatedScreens);
        screens = std::move(simulatedScreens);
        pointer = std::make_unique<SimulatedPointer>();
        auto server = std::make_unique<SimulatedWindowServer>(safari, workspace);
        linkPanel = [server = server.get(), screens = screens.get(), pid = ownProcessID](SidebarPanel &panel) {
            return std::make_unique<SidebarPanelMirror>(panel, *server, *screens, pid);
        };
        windowList = std::move(server);
    }
};

// The offscreen platform cannot stack windows and says so each time a window is shown or raised.
QtMessageHandler defaultMessageHandler = nullptr;
void quietOffscreenStacking(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (message == QLatin1String("This plugin does not support raise()")) return;
    defaultMessageHandler(type, context, message);
}

// Once the application has run, ends the process when everything made after this has gone, before
// the application object goes: that one waits for the network's name lookups, which cannot be
// cancelled and take seconds on a machine without a network. The records are saved by then. A
// launch that ends before running leaves as usual.
struct EndBeforeQtTeardown {
    std::optional<int> status;
    ~EndBeforeQtTeardown() {
        if (!status) return;
        std::fflush(nullptr);
        std::_Exit(*status);
    }
};

}  // namespace

int main(int argc, char *argv[]) {
    // A machine without a display still runs the application, drawing offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    EndBeforeQtTeardown end;
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        defaultMessageHandler = qInstallMessageHandler(quietOffscreenStacking);
    QApplication::setApplicationName(QStringLiteral("Ondrake"));
    QApplication::setOrganizationDomain(QStringLiteral("ondrake.com"));
    QApplication::setQuitOnLastWindowClosed(false);

    const Logger log(QStringLiteral("App"));
    // One instance per user: a second one would poll and save the same record file beside the
    // first, and the last save would win. A later launch brings the running one's sidebar back.
    const Paths paths = Paths::system();
    const QString recordFile = TabRecordFileStore::defaultFileURL(paths, SimulatedApplication::kBundleIdentifier);
    SingleInstance instance(SingleInstance::socketPathFor(SimulatedApplication::kBundleIdentifier, paths),
                            recordFile + QStringLiteral(".lock"));
    InstanceGuard &guard = instance;
    switch (guard.claim()) {
    case InstanceGuard::Claim::first: break;
    case InstanceGuard::Claim::firstUnreachable:
        log.error("A second start will not reach this one to show its sidebar; it will end instead");
        break;
    case InstanceGuard::Claim::reopenedRunning:
        log.info("Ondrake is already running; asked it to show the sidebar");
        return 0;
    case InstanceGuard::Claim::unanswered:
        log.error("Ondrake is already running but did not answer; not starting a second one");
        return 1;
    case InstanceGuard::Claim::unguarded:
        log.error("Running without the guard against a second instance");
        break;
    }
    // From the moment the quit begins, a later launch waits for this one to end and then runs in
    // its place: told to reopen, it would leave nothing running.
    const auto quit = [&guard] {
        guard.stopAnswering();
        QApplication::quit();
    };

    // Installed before anything is built, so a signal during start-up still ends in the orderly
    // quit with the final save; it is read once the event loop runs.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, [&](int number) {
        log.info("Received signal %{public}d; quitting", number);
        quit();
    });
    QtScheduler scheduler;
    std::optional<WakeReport> wakes;
    if (const auto interval = WakeReport::requestedInterval()) wakes.emplace(scheduler, *interval);
    UserDefaults defaults(paths, QString::fromLatin1(kStandardDefaultsDomain));

    // No browser on this machine: the application runs against the simulated one, seeded with
    // the same small session on every start, laid out to fit the screen it opens on.
    SimulatedWorkspace workspace(scheduler);
    SimulatedApplication application(workspace, quit);
    SimulatedSafari safari(workspace);
    safari.launch();
    Desktop desktop(safari, workspace, scheduler, application.processIdentifier());
    DemoSession::seed(safari, *desktop.screens);
    safari.activate();
    SimulatedScriptEngine scriptEngine(safari);
    SimulatedPrivacy privacy(workspace);
    // The simulated desktop's user has let this application read the browser's windows, as it
    // has let it script the browser; the immersive bar needs that trust.
    privacy.setTrusted(true);
    SimulatedAccessibility accessibility(scheduler, safari, privacy);
    workspace.setInstalledApplicationVersion(safari.bundleIdentifier(), QStringLiteral("17.4"));
    // The immersive bar finds the tab row where the shown windows draw their strip.
    if (desktop.visibleBrowser) accessibility.setDrawnTabStrip(TabStripLayout::kHeight);

    DBusNamedNotifier notifier;
    QtStatusItem statusItem;
    QtDialogs dialogs;
    AppDelegate delegate(AppDelegate::Platform{scheduler, workspace, *desktop.windowList, *desktop.screens,
                                               *desktop.pointer, *desktop.frameClock, defaults, paths, scriptEngine,
                                               privacy, accessibility, std::make_shared<QtHttpClient>(), notifier, statusItem,
                                               dialogs, application,
                                               [&] {
                                                   // This build has no update feed; a check says so.
                                                   auto updater = std::make_unique<SimulatedUpdater>(scheduler, &defaults);
                                                   updater->setAlertPresenter(messageBoxAlertPresenter());
                                                   return updater;
                                               },
                                               FeatureFlags::processEnvironment(), desktop.linkPanel});


    // Once the sidebar has seen the session, a page in its first window opens a link, so that the
    // new tab arrives nested under its opener.
    auto linkOpened = std::make_shared<bool>(false);
    QObject::connect(&delegate.store(), &TabStore::windowsChanged, &app, [&, linkOpened] {
        if (*linkOpened || delegate.store().windows().empty()) return;
        *linkOpened = true;
        scheduler.post([&safari] { DemoSession::openLinkFromPage(safari); });
    });

    delegate.answerLaterLaunches(guard);
    delegate.applicationDidFinishLaunching();
    log.info("Ondrake started");
    end.status = QApplication::exec();
    guard.stopAnswering();
    delegate.applicationWillTerminate();
    log.info("Ondrake stopped");
    return *end.status;
}
