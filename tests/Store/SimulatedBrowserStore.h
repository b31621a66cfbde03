#pragma once

#include "StoreTestSupport.h"

#include "Browser/SafariController.h"
#include "SimulatedSafari.h"
#include "SimulatedScriptEngine.h"

#include <stdexcept>

namespace ondrake::test {

using Page = SimulatedSafari::Tab;

inline Page page(const QString &name) { return {name, QStringLiteral("https://%1.example/").arg(name.toLower())}; }

inline SimulatedSafari::Window simWindow(std::vector<Page> tabs) {
    SimulatedSafari::Window w;
    w.tabs = std::move(tabs);
    return w;
}

// The store polling the simulated browser through the real controller.
struct Browser {
    test::TemporaryPaths folders;
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    SimulatedScriptEngine engine{safari};
    SimulatedPrivacy privacy{workspace};
    UserDefaults defaults;
    AutomationPermission permission{workspace, privacy, defaults};
    std::unique_ptr<SafariController> controller;
    std::unique_ptr<TabStore> store;

    Browser() {
        defaults.setString(kSidebarWindowScopeKey, QStringLiteral("allWindows"));
        safari.launch();
    }
    // A new controller and store, as at a launch of the application.
    void start() {
        store.reset();
        controller = std::make_unique<SafariController>(engine, scheduler, workspace);
        store = std::make_unique<TabStore>(*controller,
                                           TabRecordFileStore(folders.paths(), Logger(QStringLiteral("Persistence"))),
                                           TabStore::Services{scheduler, workspace, permission, defaults, folders.paths(),
                                                                             std::make_shared<test::ScriptedHttpClient>(), {}});
    }
    void poll() { runToCompletion(scheduler, store->requestRefresh()); }
    // Runs what is due, waiting for the script's thread, without moving the clock.
    void settle() {
        for (;;) {
            scheduler.runUntilIdle();
            if (scheduler.externalWorkInFlight() == 0) return;
            scheduler.waitForExternalWork();
        }
    }

    const SafariTab &tab(const QString &title) const {
        for (const auto &w : store->windows())
            for (const auto &t : w.tabs)
                if (t.title == title) return t;
        throw std::logic_error("no tab titled " + title.toStdString());
    }
    OndrakeID idOf(const QString &title) const { return store->ondrakeIDs().value(tab(title).id); }
    // Nests a tab the way a drag in the sidebar does.
    void nest(const QString &child, const QString &parent) {
        const auto t = tab(child);
        std::int64_t count = 0;
        for (const auto &w : store->windows())
            if (w.safariID == t.windowID) count = std::int64_t(w.tabs.size());
        runToCompletion(scheduler, controller->moveTabs({t.windowID, t.index, 1, t.index, absoluteText(t.url), count,
                                                        t.id, tab(parent).id}));
    }
    std::vector<QString> titles() const {
        std::vector<QString> all;
        for (const auto &w : safari.windows())
            for (const auto &t : w.tabs) all.push_back(t.title);
        return all;
    }
};

}  // namespace ondrake::test
