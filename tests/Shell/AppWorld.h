#pragma once

#include "Shell/AppDelegate.h"

#include "Async.h"
#include "ManualScheduler.h"
#include "ScriptedDialogs.h"
#include "ScriptedHttpClient.h"
#include "SimulatedAccessibility.h"
#include "SimulatedApplication.h"
#include "SimulatedFrameClock.h"
#include "SimulatedNamedNotifier.h"
#include "SimulatedPrivacy.h"
#include "SimulatedSafari.h"
#include "SimulatedScreens.h"
#include "SimulatedScriptEngine.h"
#include "SimulatedStatusItem.h"
#include "SimulatedUpdater.h"
#include "SimulatedWindowServer.h"
#include "SimulatedWorkspace.h"
#include "TestSupport.h"

#include <memory>

namespace ondrake::test {

// The application over one simulated desktop: the browser (not yet running), this application's
// process, a 1440 × 900 screen, the window server, a status item and dialogs answered by the test,
// and record and preference folders of the test's own. The delegate is made and launched on
// request; a second one may follow over the same folders.
struct AppWorld {
    static inline const QString kBrowser = QStringLiteral("com.apple.Safari");
    static inline const QString kEditor = QStringLiteral("com.example.Editor");

    TemporaryPaths folders;
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedApplication application{workspace};
    SimulatedSafari safari{workspace};
    SimulatedScriptEngine engine{safari};
    SimulatedPrivacy privacy{workspace};
    SimulatedAccessibility accessibility{scheduler, safari, privacy};
    SimulatedWindowServer windowServer{safari, workspace};
    SimulatedScreens screens;
    SimulatedPointer pointer;
    SimulatedFrameClock frameClock{scheduler, screens};
    SimulatedNamedNotifier notifier{scheduler};
    SimulatedStatusItem statusItem;
    ScriptedDialogs dialogs;
    UserDefaults defaults{folders.paths(), QString::fromLatin1(kStandardDefaultsDomain)};
    std::shared_ptr<ScriptedHttpClient> http = std::make_shared<ScriptedHttpClient>();
    Environment environment;
    SimulatedUpdater *updater = nullptr;  // the last one made
    std::unique_ptr<AppDelegate> delegate;

    ~AppWorld() {
        settle();
        delegate.reset();
        // Work that was waiting on a timer (a refresh due shortly after the browser quit) ends
        // now, finding its owner gone, rather than being dropped half done with the clock.
        const double until = scheduler.now() + 60;
        while (const auto next = scheduler.nextTimerTime()) {
            if (*next > until) break;
            scheduler.advance(Seconds(*next - scheduler.now()));
            settle();
        }
    }

    AppDelegate::Platform platform() {
        return {scheduler, workspace, windowServer, screens, pointer, frameClock, defaults, folders.paths(), engine,
                privacy, accessibility, http, notifier, statusItem, dialogs, application,
                [this] {
                    auto made = std::make_unique<SimulatedUpdater>(scheduler);
                    updater = made.get();
                    updater->setAlertPresenter([](const SimulatedUpdater::Alert &, std::function<void()> dismissed) { dismissed(); });
                    return made;
                },
                environment,
                [this](SidebarPanel &panel) {
                    return std::make_unique<SidebarPanelMirror>(panel, windowServer, screens,
                                                                application.processIdentifier());
                }};
    }
    // A new delegate, launched, as at a start of the application.
    AppDelegate &launch() {
        if (delegate) {
            settle();
            delegate.reset();
        }
        delegate = std::make_unique<AppDelegate>(platform());
        delegate->applicationDidFinishLaunching();
        settle();
        return *delegate;
    }
    AppDelegate &app() { return *delegate; }
    TabStore &store() { return delegate->store(); }
    SidebarPanel &panel() { return delegate->windowController()->panel(); }
    SidebarPresence &presence() { return delegate->presence(); }

    // Runs what is due now, waiting for the browser's script to answer, without moving the clock.
    void settle() { ondrake::settle(scheduler); }
    // Moves virtual time on; the script answers at once in virtual time.
    void step(double seconds) { ondrake::step(scheduler, Seconds(seconds)); }
    void poll() {
        runToCompletion(scheduler, store().requestRefresh());
        settle();
    }

    // The browser running with one window of these tabs at these bounds (left, top, right,
    // bottom; origin top left), frontmost.
    std::int64_t openBrowser(std::vector<SimulatedSafari::Tab> tabs,
                             SimulatedSafari::Bounds bounds = {400, 25, 1400, 875}) {
        safari.launch();
        SimulatedSafari::Window w;
        w.bounds = bounds;
        w.tabs = std::move(tabs);
        const auto id = safari.addWindow(std::move(w));
        safari.activate();
        settle();
        return id;
    }
    std::optional<SimulatedSafari::Window> browserWindow(std::int64_t id) const { return safari.window(id); }
    void activate(const QString &bundle) {
        workspace.activate(bundle);
        settle();
    }
    std::int64_t launchEditor(QRectF bounds = QRectF(300, 100, 800, 600)) {
        const auto pid = workspace.launch(kEditor);
        WindowInfo info;
        info.layer = 0;
        info.bounds = bounds;
        info.ownerProcessID = pid;
        info.isOnScreen = true;
        windowServer.addWindow(info);
        return pid;
    }
};

inline SimulatedSafari::Tab page(const QString &name) {
    return {name, QStringLiteral("https://%1.example/").arg(name.toLower())};
}

}  // namespace ondrake::test
