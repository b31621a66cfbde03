#include "SyncTestSupport.h"

#include "Sync/TabEventDiffer.h"
#include "Sync/TabIdentityResolver.h"
#include "Sync/TabRecordBook.h"

#include "Async.h"
#include "Browser/SafariController.h"
#include "ManualScheduler.h"
#include "SimulatedSafari.h"
#include "SimulatedScriptEngine.h"
#include "SimulatedWorkspace.h"

namespace ondrake {
namespace {

using Tab = SimulatedSafari::Tab;
using SimWindow = SimulatedSafari::Window;

Tab page(const char *name) {
    return {QString::fromUtf8(name), QStringLiteral("https://%1.example/").arg(QString::fromUtf8(name).toLower())};
}

SimWindow simWindow(std::int64_t id, std::vector<Tab> tabs, std::int64_t current = 1) {
    SimWindow w;
    w.id = id;
    w.tabs = std::move(tabs);
    w.currentTab = current;
    return w;
}

// The simulated browser and its controller, and what the store does with each poll: resolve,
// diff, apply the events to the records, hand closed records with user state back to the pool,
// and unbind everything when the browser has quit.
struct SyncWorld {
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    SimulatedScriptEngine engine{safari};
    SafariController controller{engine, scheduler, workspace};

    TabIdentityResolver resolver;
    TabEventDiffer differ;
    TabRecordBook book;
    ResolvedSnapshot last;
    std::vector<TabEvent> events;

    void poll() {
        scheduler.runUntilIdle();
        if (!safari.isRunning()) {
            browserQuit();
            return;
        }
        const auto windows = runToCompletion(scheduler, controller.snapshot());
        const auto mapping = resolver.resolve(windows);
        const auto current = makeResolvedSnapshot(windows, mapping);
        events = differ.diff(last.tabs, last.windowIDs, current.tabs, current.windowIDs, current.browserWasRunning);
        last = current;
        if (events.empty()) return;
        auto copy = book;
        copy.apply(events, current.tabs, scheduler.wallNow(), true);
        for (const auto &event : events)
            if (const auto *closed = event.as<TabEvent::TabClosed>())
                if (const auto r = copy.record(closed->id); r && r->hasUserState()) resolver.release(*r);
        book = std::move(copy);
        scheduler.advance(Seconds(1));
    }

    void browserQuit() {
        events.clear();
        book.unbindAll();
        resolver.unbindAll(book.openRecords());
        last = ResolvedSnapshot{{}, {}, false};
    }

    // The open record showing that title.
    TabRecord open(const char *title) const {
        for (const auto &[_, r] : book.records)
            if (!r.closedAt && r.title == QString::fromUtf8(title)) return r;
        ADD_FAILURE() << "no open record titled " << title;
        return {};
    }
};

TEST(SyncEndToEnd, RecordsFollowTheBrowserAndReattachAfterARelaunch) {
    SyncWorld world;
    world.safari.launch();
    world.safari.setWindows({simWindow(1, {page("News"), page("Docs")}), simWindow(2, {page("Mail")})});
    world.poll();
    ASSERT_EQ(world.book.records.size(), 3u);
    const auto news = world.open("News"), docs = world.open("Docs"), mail = world.open("Mail");
    EXPECT_EQ(news.windowID, 1);
    EXPECT_EQ(docs.index, 2);
    EXPECT_EQ(mail.windowID, 2);
    EXPECT_EQ(news.faviconHost, QStringLiteral("news.example"));
    EXPECT_EQ(news.lastActivatedAt, news.createdAt);

    // The user's own marks and a group.
    const TabGroup work{.id = test::gid(1), .name = QStringLiteral("Work"), .createdAt = world.scheduler.wallNow()};
    world.book.groups.emplace(work.id, work);
    world.book.assignGroup(work.id, {docs.id});
    world.book.setPinned(true, docs.id);
    world.book.records.at(news.id).important = true;

    // A link opened from News lands right after it, nested under it.
    world.safari.update([](auto &windows) { windows[0].tabs.insert(windows[0].tabs.begin() + 1, page("Story")); });
    world.poll();
    const auto story = world.open("Story");
    EXPECT_EQ(story.parentID, news.id);
    EXPECT_EQ(story.index, 2);
    EXPECT_EQ(world.open("Docs").index, 3);

    // Renamed and moved to the other window.
    world.safari.update([](auto &windows) {
        windows[1].tabs[0].title = QStringLiteral("Mail (3)");
        windows[1].tabs.push_back(windows[0].tabs[2]);
        windows[0].tabs.pop_back();
    });
    world.poll();
    EXPECT_EQ(world.book.records.at(mail.id).title, QStringLiteral("Mail (3)"));
    const auto movedDocs = world.book.records.at(docs.id);
    EXPECT_EQ(movedDocs.windowID, 2);
    EXPECT_EQ(movedDocs.index, 2);
    EXPECT_TRUE(std::find(world.events.begin(), world.events.end(), TabEvent::tabMovedToWindow(docs.id, 1, 2))
                != world.events.end());

    // Closed: kept in the history, not waiting for reattachment.
    world.safari.update([](auto &windows) { windows[1].tabs.erase(windows[1].tabs.begin()); });
    world.poll();
    const auto closedMail = world.book.records.at(mail.id);
    ASSERT_TRUE(closedMail.closedAt);
    EXPECT_FALSE(closedMail.sessionTabID);
    EXPECT_EQ(world.book.records.size(), 4u);

    // The browser quits: every record unbound, the open ones waiting in the pool.
    world.safari.quit();
    world.poll();
    for (const auto &[_, r] : world.book.records) EXPECT_FALSE(r.sessionTabID) << r.title.toStdString();
    EXPECT_EQ(world.resolver.pool().size(), 3u);

    // It comes back with News and Docs restored in new windows; Story is opened again from News.
    world.safari.launch();
    world.safari.setWindows({simWindow(5, {page("News")}), simWindow(6, {page("Docs")})});
    world.poll();
    const auto newsAgain = world.book.records.at(news.id);
    EXPECT_EQ(newsAgain.windowID, 5);
    EXPECT_TRUE(newsAgain.important);
    const auto docsAgain = world.book.records.at(docs.id);
    EXPECT_EQ(docsAgain.windowID, 6);
    EXPECT_TRUE(docsAgain.pinned);
    EXPECT_EQ(docsAgain.groupID, work.id);
    EXPECT_EQ(docsAgain.createdAt, docs.createdAt);

    world.safari.update([](auto &windows) { windows[0].tabs.push_back(page("Story")); });
    world.poll();
    const auto storyAgain = world.book.records.at(story.id);
    EXPECT_EQ(storyAgain.sessionTabID.has_value(), true);
    EXPECT_EQ(storyAgain.parentID, news.id);
    EXPECT_EQ(storyAgain.createdAt, story.createdAt);
    EXPECT_TRUE(world.resolver.pool().empty());
    EXPECT_EQ(world.book.records.size(), 4u);  // nothing made twice
    EXPECT_TRUE(world.book.records.at(mail.id).closedAt);
}

}  // namespace
}  // namespace ondrake
