#pragma once

#include "StoreTestSupport.h"

#include "Browser/SafariController.h"
#include "SimulatedSafari.h"
#include "SimulatedScriptEngine.h"

#include <stdexcept>

namespace ondrake::test {

using Page = SimulatedSafari::Tab;

inline Page page(const QString &name) { return {name, QStringLiteral("https://%1.example/").arg(name.toLower())}; }

inline std::vector<Page> pages(std::initializer_list<const char *> titles) {
    std::vector<Page> out;
    for (const auto *title : titles) out.push_back(page(QString::fromUtf8(title)));
    return out;
}

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

// One window as the sidebar shows it, a tab a word: its title, then "L" when locked, "I" when
// marked important, and "^n" when nested under the tab at n; the record's own link must agree.
inline std::vector<std::string> shape(const Browser &browser, const SafariWindow &window) {
    std::vector<std::string> out;
    const auto &ids = browser.store->ondrakeIDs();
    for (const auto &tab : window.tabs) {
        const auto &record = browser.store->records().at(ids.value(tab.id));
        auto word = tab.title + (record.locked ? QStringLiteral(" L") : QString()) +
                    (record.important ? QStringLiteral(" I") : QString());
        const auto shownParent = tab.parentID ? std::optional(ids.value(*tab.parentID)) : std::nullopt;
        if (tab.parentID)
            for (std::size_t p = 0; p < window.tabs.size(); ++p)
                if (window.tabs[p].id == *tab.parentID) word += QStringLiteral(" ^%1").arg(p);
        if (shownParent != record.parentID) word += QStringLiteral(" (the record has another parent)");
        out.push_back(word.toStdString());
    }
    return out;
}

}  // namespace ondrake::test
