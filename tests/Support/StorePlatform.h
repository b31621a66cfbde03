#pragma once

#include "Store/TabStore.h"

#include "Async.h"
#include "Browser/MockSafariController.h"
#include "ManualScheduler.h"
#include "SimulatedPrivacy.h"
#include "SimulatedWorkspace.h"
#include "TemporaryFolder.h"

#include <memory>
#include <vector>

namespace ondrake::test {

// The platform around a store: virtual time, a workspace where the browser runs, privacy answers,
// in-memory defaults and a record file in a temporary folder.
struct StorePlatform {
    TemporaryFolder folders;
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedPrivacy privacy{workspace};
    UserDefaults defaults;
    AutomationPermission permission{workspace, privacy, defaults};

    StorePlatform() { workspace.launch(safariBundleIdentifier()); }

    TabRecordFileStore fileStore() const {
        return TabRecordFileStore(folders.paths(), Logger(QStringLiteral("Persistence")));
    }
    std::unique_ptr<TabStore> makeStore(BrowserAdapter &browser, std::shared_ptr<HttpClient> http,
                                        Environment environment = {}) {
        return std::make_unique<TabStore>(browser, fileStore(),
                                          TabStore::Services{scheduler, workspace, permission, defaults,
                                                             folders.paths(), std::move(http), std::move(environment)});
    }
    void showAllWindows() { defaults.setString(kSidebarWindowScopeKey, QStringLiteral("allWindows")); }
};

// A store over the in-memory browser, not yet polled.
struct MockBrowserStore : StorePlatform {
    std::unique_ptr<MockSafariController> browser;
    std::unique_ptr<TabStore> store;

    MockBrowserStore(std::vector<SafariWindow> windows, std::shared_ptr<HttpClient> http,
                     BrowserCapabilities caps = BrowserCapabilities(0x2C3E3))
        : browser(std::make_unique<MockSafariController>(caps, std::move(windows))),
          store(makeStore(*browser, std::move(http))) {}

    void poll() { runToCompletion(scheduler, store->requestRefresh()); }
};

}  // namespace ondrake::test
