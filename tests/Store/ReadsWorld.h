#pragma once

#include "StorePlatform.h"
#include "StoreTestSupport.h"

#include <functional>
#include <stdexcept>

namespace ondrake::test {

// A store polling the in-memory browser, with virtual time and in-memory defaults.
struct ReadsWorld : MockBrowserStore {
    explicit ReadsWorld(std::vector<SafariWindow> windows, BrowserCapabilities caps = BrowserCapabilities(0x2C3E3),
                        std::shared_ptr<test::ScriptedHttpClient> http = std::make_shared<test::ScriptedHttpClient>())
        : MockBrowserStore(std::move(windows), http, caps), http(std::move(http)) {
        EXPECT_TRUE(folders.isValid());
        poll();
    }

    // What the store's favicon loader is answered.
    std::shared_ptr<test::ScriptedHttpClient> http;

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
