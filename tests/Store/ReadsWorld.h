#pragma once

#include "StoreTestSupport.h"

#include "Browser/MockSafariController.h"

#include <functional>
#include <stdexcept>

namespace ondrake::test {

// A store polling the in-memory browser, with virtual time and in-memory defaults.
struct ReadsWorld {
    test::TemporaryPaths folders;
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedPrivacy privacy{workspace};
    UserDefaults defaults;
    AutomationPermission permission{workspace, privacy, defaults};
    std::unique_ptr<MockSafariController> browser;
    std::shared_ptr<test::ScriptedHttpClient> http = std::make_shared<test::ScriptedHttpClient>();
    std::unique_ptr<TabStore> store;

    explicit ReadsWorld(std::vector<SafariWindow> windows, BrowserCapabilities caps = BrowserCapabilities(0x2C3E3)) {
        workspace.launch(safariBundleIdentifier());
        browser = std::make_unique<MockSafariController>(caps, std::move(windows));
        store = std::make_unique<TabStore>(
            *browser, TabRecordFileStore(folders.paths(), Logger(QStringLiteral("Persistence"))),
            TabStore::Services{scheduler, workspace, permission, defaults, folders.paths(),
                               http, {}});
        poll();
    }
    void poll() { runToCompletion(scheduler, store->requestRefresh()); }
    void showAllWindows() { defaults.setString(kSidebarWindowScopeKey, QStringLiteral("allWindows")); }

    void changeRecord(const QString &tabID, const std::function<void(TabRecord &)> &change) {
        const auto id = store->ondrakeIDs().value(tabID);
        store->updateBook([&](TabRecordBook &book) { change(book.records.at(id)); });
    }
    TabGroup addGroup(const QString &name, qint64 sortIndex, bool collapsed = false) {
        TabGroup group{.name = name, .createdAt = scheduler.wallNow(), .sortIndex = sortIndex, .isCollapsed = collapsed};
        store->updateBook([&](TabRecordBook &book) { book.groups[group.id] = group; });
        return group;
    }
    const SafariTab &shown(const QString &id) const {
        for (const auto &w : store->windows())
            for (const auto &t : w.tabs)
                if (t.id == id) return t;
        throw std::runtime_error("no such tab");
    }
};

}  // namespace ondrake::test
