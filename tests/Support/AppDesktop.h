#pragma once

#include "Shell/AppDelegate.h"

#include "Async.h"
#include "ManualScheduler.h"
#include "ScriptedDialogs.h"
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
#include "TemporaryFolder.h"

#include <functional>
#include <memory>

namespace ondrake::test {

// One simulated desktop for the whole application: the browser (not yet running), this
// application's process, a 1440 × 900 screen, the window server, a status item, dialogs answered
// by whoever holds it, and record and preference folders of its own.
struct AppDesktop {
    TemporaryFolder folders;
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

    // What an application delegate is built over on this desktop.
    AppDelegate::Platform platform(std::shared_ptr<HttpClient> http, std::function<std::unique_ptr<Updater>()> makeUpdater,
                                   Environment environment) {
        return {scheduler, workspace, windowServer, screens, pointer, frameClock, defaults, folders.paths(), engine,
                privacy, accessibility, std::move(http), notifier, statusItem, dialogs, application,
                std::move(makeUpdater), std::move(environment),
                [this](SidebarPanel &panel) {
                    return std::make_unique<SidebarPanelMirror>(panel, windowServer, screens,
                                                                application.processIdentifier());
                }};
    }

    // Runs what is due now, waiting for the browser's script to answer, without moving the clock.
    void settle() { ondrake::settle(scheduler); }
    // Moves virtual time on; the script answers at once in virtual time.
    void step(double seconds) { ondrake::step(scheduler, Seconds(seconds)); }
};

}  // namespace ondrake::test
