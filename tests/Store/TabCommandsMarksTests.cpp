#include "StoreTestSupport.h"

#include "Store/TabCommands.h"

namespace ondrake {
namespace {

using test::tab;
using test::window;
using Outcome = CommandOutcome;
using Refusal = CommandOutcome::Refusal;

const BrowserCapabilities kSafari{0x2C3E3};

// The commands of a real store over a browser the test holds: window 1 shows p > c > g, then x.
struct MarksTest : ::testing::Test {
    test::StoreWorld world;
    std::unique_ptr<TabStore> store;

    MarksTest() {
        world.browser.windows = {window(1, {tab("p", 1, 1, true), tab("c", 1, 2, false, QStringLiteral("p")),
                                            tab("g", 1, 3, false, QStringLiteral("c")), tab("x", 1, 4)})};
        store = world.makeStore();
        world.refresh(*store);
    }
    TabCommands &commands() { return store->commands(); }
    OndrakeID id(const char *session) const { return store->ondrakeIDs().value(QString::fromUtf8(session)); }
    const TabRecord &record(const char *session) const { return store->records().at(id(session)); }
    std::vector<OndrakeID> ids(std::initializer_list<const char *> sessions) const {
        std::vector<OndrakeID> list;
        for (const auto *s : sessions) list.push_back(id(s));
        return list;
    }
    template<typename T>
    T run(QCoro::Task<T> task) { return runToCompletion(world.scheduler, std::move(task)); }
    void enableGroups() { store->flags().replaceOverrides({{FeatureFlag::tabGroups().key, true}}); }
    bool pooled(const OndrakeID &record) const {
        const auto &pool = store->resolver().pool();
        return std::any_of(pool.begin(), pool.end(), [&](const auto &entry) { return entry.id == record; });
    }
};

TEST_F(MarksTest, PinningIsTheSidebarsOwnUnlessTheBrowserCanPin) {
    struct Case {
        const char *name;
        BrowserCapabilities caps;
        bool featureOn;
        std::function<void(const SafariTab &)> onPin;
        Outcome expected;
        std::size_t browserRequests;
        bool pinned;
    };
    const auto failOnC = [](const SafariTab &t) {
        if (t.id == QStringLiteral("c")) throw SafariControllerError::automationFailure(QStringLiteral("no"));
    };
    const std::vector<Case> cases{
        {"the browser cannot pin", kSafari, true, {}, Outcome::appliedLocally(), 0, true},
        {"the browser pins", kSafari | BrowserCapabilities::pin, true, {}, Outcome::applied(), 3, true},
        {"one native pin fails", kSafari | BrowserCapabilities::pin, true, failOnC, Outcome::appliedLocally(), 3, true},
        {"the feature is off", kSafari | BrowserCapabilities::pin, false, {}, Outcome::refused(Refusal::featureDisabled("pinnedTabs")), 0, false},
    };
    for (const auto &c : cases) {
        world.browser.caps = c.caps;
        world.browser.onPin = c.onPin;
        world.browser.pinRequests.clear();
        store->flags().replaceOverrides({{FeatureFlag::pinnedTabs().key, c.featureOn}});
        store->updateBook([](TabRecordBook &book) { for (auto &[_, r] : book.records) r.pinned = false; });

        EXPECT_EQ(run(commands().setPinned(true, ids({"p", "c", "g"}))), c.expected) << c.name;
        EXPECT_EQ(world.browser.pinRequests.size(), c.browserRequests) << c.name;
        for (const auto *s : {"p", "c", "g"}) EXPECT_EQ(record(s).pinned, c.pinned) << c.name << " " << s;
        EXPECT_FALSE(record("x").pinned) << c.name;
    }
    EXPECT_EQ(run(commands().setPinned(true, {})), Outcome::refused(Refusal::nothingToDo()));
}

TEST_F(MarksTest, MutingNeedsABrowserThatMutes) {
    EXPECT_EQ(run(commands().setMuted(true, ids({"p"}))), Outcome::unavailable(BrowserCapabilities::mute));
    EXPECT_EQ(run(commands().setMuted(true, {})), Outcome::unavailable(BrowserCapabilities::mute)) << "even for nothing";
    EXPECT_EQ(run(commands().muteSubtree(id("p"), true)), Outcome::unavailable(BrowserCapabilities::mute));
    EXPECT_FALSE(record("p").muted);
    EXPECT_TRUE(world.browser.muteRequests.empty());

    world.browser.caps = kSafari | BrowserCapabilities::mute;
    world.browser.onMute = [](const SafariTab &t) {
        if (t.id == QStringLiteral("x")) throw SafariControllerError::tabNotFound();
    };
    EXPECT_EQ(run(commands().setMuted(true, ids({"p", "x"}))), Outcome::unavailable(BrowserCapabilities::mute));
    EXPECT_TRUE(record("p").muted);
    EXPECT_FALSE(record("x").muted) << "a failed mute is not recorded";

    world.browser.onMute = {};
    QSignalSpy published(store.get(), &TabStore::recordsChanged);
    EXPECT_EQ(run(commands().setMuted(true, ids({"c", "g", "x"}))), Outcome::applied());
    EXPECT_EQ(published.count(), 1) << "a list is written once";
    for (const auto *s : {"c", "g", "x"}) EXPECT_TRUE(record(s).muted) << s;
}

TEST_F(MarksTest, MutingASubtreeReachesOnlyTheOpenTabsUnderIt) {
    world.browser.caps = kSafari | BrowserCapabilities::mute;
    world.browser.windows[0].tabs.resize(2);  // g and x close
    world.refresh(*store);
    ASSERT_TRUE(store->records().at(id("p")).isOpen());
    const auto g = std::find_if(store->records().begin(), store->records().end(),
                                [](const auto &e) { return e.second.title == QStringLiteral("g"); })->first;
    ASSERT_EQ(store->records().at(g).parentID, id("c"));

    EXPECT_EQ(run(commands().muteSubtree(id("p"), true)), Outcome::applied());
    std::vector<QString> asked;
    for (const auto &[muted, session] : world.browser.muteRequests) asked.push_back(session);
    EXPECT_EQ(asked, (std::vector<QString>{"p", "c"}));
    EXPECT_FALSE(store->records().at(g).muted);

    EXPECT_EQ(run(commands().muteSubtree(g, true)), Outcome::refused(Refusal::nothingToDo()))
        << "a closed root with nothing open below";
    EXPECT_EQ(run(commands().muteSubtree(OndrakeID(), true)), Outcome::refused(Refusal::noSuchRecord()));
}

TEST_F(MarksTest, LockingRecordsWhatItCanAndReportsTheWorst) {
    EXPECT_EQ(commands().setLocked(true, {id("p"), OndrakeID(), id("x")}), Outcome::refused(Refusal::noSuchRecord()));
    EXPECT_TRUE(record("p").locked);
    EXPECT_TRUE(record("x").locked);
    EXPECT_EQ(commands().setLocked(false, ids({"p"})), Outcome::appliedLocally());
    EXPECT_FALSE(record("p").locked);
    EXPECT_EQ(commands().setLocked(true, {}), Outcome::refused(Refusal::nothingToDo()));
}

TEST_F(MarksTest, ReadLaterAddsToTheReadingListAsAnExtra) {
    const auto now = world.scheduler.wallNow();
    EXPECT_EQ(run(commands().toggleReadLater(true, id("p"))), Outcome::applied());
    EXPECT_TRUE(record("p").readLater);
    EXPECT_EQ(record("p").addedToReadLaterAt, now);
    ASSERT_EQ(world.browser.readingListAdds.size(), 1u);
    EXPECT_EQ(world.browser.readingListAdds[0], std::make_pair(QUrl("https://p.example/"), QStringLiteral("p")));

    world.browser.onReadingListAdd = [] { throw SafariControllerError::automationFailure(QStringLiteral("no")); };
    EXPECT_EQ(run(commands().toggleReadLater(true, id("c"))), Outcome::appliedLocally());
    EXPECT_TRUE(record("c").readLater) << "the local flag still stands";

    store->updateBook([&](TabRecordBook &book) { book.records.at(id("x")).url.reset(); });
    world.browser.readingListAdds.clear();
    EXPECT_EQ(run(commands().toggleReadLater(true, id("x"))), Outcome::appliedLocally());
    EXPECT_TRUE(record("x").readLater);
    EXPECT_TRUE(world.browser.readingListAdds.empty()) << "no address, no Reading List";

    store->updateBook([&](TabRecordBook &book) { book.records.at(id("p")).readAt = now; });
    EXPECT_EQ(run(commands().toggleReadLater(false, id("p"))), Outcome::appliedLocally());
    EXPECT_FALSE(record("p").readLater);
    EXPECT_FALSE(record("p").addedToReadLaterAt);
    EXPECT_FALSE(record("p").readAt);
    EXPECT_TRUE(world.browser.readingListAdds.empty()) << "taking off never touches the Reading List";

    EXPECT_EQ(run(commands().toggleReadLater(true, OndrakeID())), Outcome::refused(Refusal::noSuchRecord()));
}

TEST_F(MarksTest, GroupsAreMadeEditedAndFiledOnlyWithTheFeatureOn) {
    const auto off = Outcome::refused(Refusal::featureDisabled("tabGroups"));
    EXPECT_FALSE(commands().createGroup("Work", std::nullopt));
    EXPECT_TRUE(store->groups().empty());

    enableGroups();
    const auto first = commands().createGroup(" Work ", QStringLiteral("blue"));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->sortIndex, 0);
    EXPECT_EQ(first->name, QStringLiteral(" Work ")) << "trimming is the caller's";
    EXPECT_EQ(first->colorName, QStringLiteral("blue"));
    EXPECT_FALSE(first->isCollapsed);
    EXPECT_EQ(store->groups().at(first->id), *first);
    store->updateBook([&](TabRecordBook &book) { book.groups.at(first->id).sortIndex = 4; });
    const auto second = commands().createGroup("Home", std::nullopt);
    EXPECT_EQ(second->sortIndex, 5) << "after the last in sort order";

    EXPECT_EQ(commands().assignGroup(ids({"p", "c"}), first->id), Outcome::appliedLocally());
    EXPECT_EQ(record("p").groupID, first->id);
    EXPECT_EQ(commands().editGroups(first->id, TabCommands::renameGroup("Jobs")), Outcome::appliedLocally());
    EXPECT_EQ(commands().editGroups(first->id, TabCommands::setGroupColor(std::nullopt)), Outcome::appliedLocally());
    EXPECT_EQ(commands().editGroups(first->id, TabCommands::setGroupCollapsed(true)), Outcome::appliedLocally());
    EXPECT_EQ(store->groups().at(first->id).name, QStringLiteral("Jobs"));
    EXPECT_FALSE(store->groups().at(first->id).colorName);
    EXPECT_TRUE(store->groups().at(first->id).isCollapsed);
    EXPECT_EQ(commands().reorderGroups({second->id, first->id}), Outcome::appliedLocally());
    EXPECT_EQ(store->groups().at(second->id).sortIndex, 0);
    EXPECT_EQ(store->groups().at(first->id).sortIndex, 1);

    EXPECT_EQ(commands().editGroups(first->id, TabCommands::deleteGroup()), Outcome::appliedLocally());
    EXPECT_FALSE(store->groups().contains(first->id));
    EXPECT_FALSE(record("p").groupID) << "the records stay and leave the group";
    EXPECT_EQ(commands().assignGroup(ids({"x"}), first->id), Outcome::refused(Refusal::noSuchRecord()));
    EXPECT_EQ(commands().editGroups(first->id, TabCommands::renameGroup("x")), Outcome::refused(Refusal::noSuchRecord()));
    EXPECT_EQ(commands().assignGroup({}, second->id), Outcome::refused(Refusal::nothingToDo()));
    EXPECT_EQ(commands().reorderGroups({}), Outcome::refused(Refusal::nothingToDo()));
    EXPECT_EQ(commands().assignGroup(ids({"x"}), second->id), Outcome::appliedLocally());
    EXPECT_EQ(commands().assignGroup(ids({"x"}), std::nullopt), Outcome::appliedLocally());
    EXPECT_FALSE(record("x").groupID) << "no group files the record out";

    store->flags().replaceOverrides({});
    EXPECT_EQ(commands().editGroups(second->id, TabCommands::renameGroup("x")), off);
    EXPECT_EQ(commands().reorderGroups({second->id}), off);
    EXPECT_EQ(commands().assignGroup(ids({"x"}), second->id), off);
}

TEST_F(MarksTest, OpeningAReadLaterItemHandsItsRecordOverFirst) {
    const TabRecord saved{.url = QStringLiteral("https://r.example/"), .title = QStringLiteral("Saved"),
                          .createdAt = world.scheduler.wallNow(), .closedAt = world.scheduler.wallNow(),
                          .readLater = true};
    const auto x = saved.id;
    store->updateBook([&](TabRecordBook &book) { book.records[x] = saved; });
    ASSERT_FALSE(pooled(x));

    bool pooledWhenOpened = false;
    world.browser.onOpen = [&](const test::FakeBrowser::OpenRequest &request) {
        pooledWhenOpened = pooled(x);
        world.browser.openNow(request);
    };
    EXPECT_EQ(run(commands().openReadLaterItem(x, true, 1)), Outcome::applied());
    EXPECT_TRUE(pooledWhenOpened);
    ASSERT_EQ(world.browser.openRequests.size(), 1u);
    EXPECT_EQ(world.browser.openRequests[0], (test::FakeBrowser::OpenRequest{QUrl("https://r.example/"), 1}));
    EXPECT_FALSE(store->records().at(x).readLater);
    EXPECT_EQ(store->records().at(x).readAt, world.scheduler.wallNow());
    world.refresh(*store);
    EXPECT_EQ(store->ondrakeIDs().value(QStringLiteral("opened-1")), x) << "the new tab takes the old identity";

    world.browser.onOpen = [](const auto &) { throw SafariControllerError::windowNotFound(); };
    EXPECT_EQ(run(commands().openReadLaterItem(id("p"), false, 7)), Outcome::refused(Refusal::nothingToDo()));
    EXPECT_EQ(run(commands().openReadLaterItem(OndrakeID(), false, 1)), Outcome::refused(Refusal::noSuchRecord()));
    store->updateBook([&](TabRecordBook &book) { book.records.at(id("c")).url.reset(); });
    EXPECT_EQ(run(commands().openReadLaterItem(id("c"), false, 1)), Outcome::refused(Refusal::nothingToDo()));
    world.browser.caps = BrowserCapabilities(0x2C3E3 & ~0x100);
    EXPECT_EQ(run(commands().openReadLaterItem(id("p"), false, 1)), Outcome::unavailable(BrowserCapabilities::open));
}

ClosedTab closedTab(const QString &name, std::optional<std::int64_t> windowID, std::optional<std::int64_t> index,
                    std::optional<OndrakeID> parent = std::nullopt) {
    return ClosedTab{.id = OndrakeID(), .url = QStringLiteral("https://%1.example/").arg(name), .title = name,
                     .parentID = parent, .windowID = windowID, .index = index};
}

TEST_F(MarksTest, ReopeningRevivesPoolsThenOpensTabByTab) {
    const ClosedTabBatch batch{.tabs = {closedTab("a", 1, 2), closedTab("b", 1, 3), closedTab("c2", std::nullopt, std::nullopt)}};
    std::vector<bool> pooledWhenOpened;
    world.browser.onOpen = [&](const test::FakeBrowser::OpenRequest &request) {
        pooledWhenOpened.push_back(std::all_of(batch.tabs.begin(), batch.tabs.end(), [&](auto &t) { return pooled(t.id); }));
        if (request.url == QUrl("https://b.example/")) throw SafariControllerError::automationFailure("timed out");
        world.browser.openNow(request);
    };
    const auto result = run(commands().reopen(batch, std::nullopt));
    EXPECT_EQ(result.outcome, Outcome::applied()) << "two of three opened";
    EXPECT_EQ(pooledWhenOpened, (std::vector<bool>{true, true, true}));
    ASSERT_EQ(result.restores.size(), 1u) << "only opened tabs with a place wait for it";
    EXPECT_EQ(result.restores[0], (PendingRestore{batch.tabs[0].id, std::nullopt, 2, 8}));
    for (const auto &t : batch.tabs) EXPECT_TRUE(store->records().at(t.id).isOpen()) << t.title.toStdString();
    ASSERT_EQ(world.browser.openRequests.size(), 3u);
    EXPECT_EQ(world.browser.openRequests[2].windowID, std::nullopt) << "no window remembered: a new one";
    EXPECT_TRUE(store->recentlyClosed().batches.empty()) << "the history is the caller's";

    world.browser.onOpen = [](const auto &) { throw SafariControllerError::safariNotRunning(); };
    const ClosedTabBatch failing{.tabs = {closedTab("d", 1, 1)}};
    const auto none = run(commands().reopen(failing, std::nullopt));
    EXPECT_EQ(none, (TabCommands::ReopenResult{Outcome::refused(Refusal::nothingToDo()), {}}));
    EXPECT_TRUE(store->records().at(failing.tabs[0].id).isOpen()) << "revived all the same";
    EXPECT_TRUE(pooled(failing.tabs[0].id));

    EXPECT_EQ(run(commands().reopen(ClosedTabBatch{}, std::nullopt)).outcome, Outcome::refused(Refusal::nothingToDo()));
    world.browser.caps = BrowserCapabilities(0x2C3E3 & ~0x100);
    EXPECT_EQ(run(commands().reopen(batch, std::nullopt)).outcome, Outcome::unavailable(BrowserCapabilities::open));
}

TEST_F(MarksTest, TabsThatNeedANewWindowShareOne) {
    struct Case {
        const char *name;
        std::vector<std::optional<std::int64_t>> remembered;  // window of each closed tab
        std::optional<std::int64_t> given;
        std::vector<std::optional<std::int64_t>> asked;  // what the browser was asked, in order
    };
    const std::vector<Case> cases{
        {"no window anywhere", {std::nullopt, std::nullopt, std::nullopt}, std::nullopt, {std::nullopt, 900, 900}},
        {"the remembered window has gone", {1, 5, 5, 1}, std::nullopt, {1, 5, std::nullopt, 900, 1}},
        {"a window given wins", {5, std::nullopt}, 1, {1, 1}},
    };
    for (const auto &c : cases) {
        world.browser.openRequests.clear();
        world.browser.nextWindowID = 900;
        ClosedTabBatch batch;
        for (std::size_t i = 0; i < c.remembered.size(); ++i)
            batch.tabs.push_back(closedTab(QStringLiteral("n%1").arg(i), c.remembered[i], std::nullopt));
        EXPECT_EQ(run(commands().reopen(batch, c.given)).outcome, Outcome::applied()) << c.name;
        std::vector<std::optional<std::int64_t>> asked;
        for (const auto &request : world.browser.openRequests) asked.push_back(request.windowID);
        EXPECT_EQ(asked, c.asked) << c.name;
        std::erase_if(world.browser.windows, [](const SafariWindow &w) { return w.safariID != 1; });
    }
}

}  // namespace
}  // namespace ondrake
