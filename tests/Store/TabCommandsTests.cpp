#include "StoreTestSupport.h"

#include "Store/TabCommands.h"

namespace ondrake {
namespace {

using test::rid;
using test::tab;
using test::window;

// The store's side, as plain values.
struct Records final : TabRecordWriting {
    TabRecordBook bookValue;
    ClosedTabStack history;
    AppSettings settingsValue;
    int bookWrites = 0;
    int historyWrites = 0;
    const TabRecordBook &book() const override { return bookValue; }
    void setBook(TabRecordBook book) override {
        bookValue = std::move(book);
        ++bookWrites;
    }
    const ClosedTabStack &recentlyClosed() const override { return history; }
    void setRecentlyClosed(ClosedTabStack h) override {
        history = std::move(h);
        ++historyWrites;
    }
    const AppSettings &settings() const override { return settingsValue; }
    void releaseForReattachment(const TabRecord &) override {}

    // A record bound to the session tab, with marks.
    void bind(int id, const QString &sessionID, bool locked = false, bool pinned = false) {
        TabRecord r{.id = rid(id), .sessionTabID = sessionID, .windowID = 1, .index = 1,
                    .url = QStringLiteral("https://%1.example/").arg(sessionID), .title = sessionID, .locked = locked};
        r.pinned = pinned;
        bookValue.records[r.id] = r;
    }
};

// Window 1: p with children c1 (locked) and c2 (pinned), c2's child g; x alone; l locked alone.
struct CommandsTest : ::testing::Test {
    ManualScheduler scheduler;
    test::FakeBrowser browser;
    FeatureFlags flags{{}, {}};
    std::shared_ptr<Records> records = std::make_shared<Records>();
    std::shared_ptr<TabCommands> commands = std::make_shared<TabCommands>(browser, flags, records, scheduler);

    CommandsTest() {
        browser.windows = {window(1, {tab("p", 1, 1), tab("c1", 1, 2, false, QStringLiteral("p")),
                                      tab("c2", 1, 3, false, QStringLiteral("p")),
                                      tab("g", 1, 4, false, QStringLiteral("c2")), tab("x", 1, 5), tab("l", 1, 6)})};
        records->bind(1, "p");
        records->bind(2, "c1", true);
        records->bind(3, "c2", false, true);
        records->bind(6, "l", true);
    }
    SafariTab find(const QString &id) const {
        for (const auto &t : browser.windows[0].tabs)
            if (t.id == id) return t;
        ADD_FAILURE() << "no tab " << id.toStdString();
        return {};
    }
    std::vector<SafariTab> tabs(std::initializer_list<const char *> ids) const {
        std::vector<SafariTab> list;
        for (const auto *id : ids) list.push_back(find(QString::fromUtf8(id)));
        return list;
    }
    TabCommands::CloseResult close(std::initializer_list<const char *> ids,
                                   std::optional<ParentCloseBehavior> behavior = std::nullopt) {
        return runToCompletion(scheduler, commands->closeTabs(tabs(ids), browser.windows, behavior));
    }
};

std::vector<QString> idsOf(const std::vector<SafariTab> &tabs) {
    std::vector<QString> ids;
    for (const auto &t : tabs) ids.push_back(t.id);
    return ids;
}

TEST_F(CommandsTest, PlansWhatClosesAndWhatIsKept) {
    using B = ParentCloseBehavior;
    struct Case {
        const char *name;
        std::vector<const char *> asked;
        B behavior;
        std::vector<QString> close, locked, pinned;
    };
    const std::vector<Case> cases{
        {"parent only", {"p"}, B::parentOnly, {"p"}, {}, {}},
        {"whole subtree keeps locked and pinned children", {"p"}, B::parentAndDescendants, {"p", "g"}, {"c1"}, {"c2"}},
        {"a pinned tab asked for closes", {"c2"}, B::parentAndDescendants, {"c2", "g"}, {}, {}},
        {"parent and child asked: the child once", {"p", "c1"}, B::parentAndDescendants, {"p", "g"}, {"c1"}, {"c2"}},
        {"only locked tabs", {"l", "c1"}, B::parentOnly, {}, {"c1", "l"}, {}},
        {"unknown ids are ignored", {}, B::parentOnly, {}, {}, {}},
    };
    for (const auto &c : cases) {
        std::vector<SafariTab> asked;
        for (const auto *id : c.asked) asked.push_back(find(QString::fromUtf8(id)));
        if (asked.empty()) asked.push_back(tab("gone", 1, 9));
        const auto plan = commands->planClose(asked, browser.windows, c.behavior);
        EXPECT_EQ(idsOf(plan.close), c.close) << c.name;
        EXPECT_EQ(idsOf(plan.keptLocked), c.locked) << c.name;
        EXPECT_EQ(idsOf(plan.keptPinned), c.pinned) << c.name;
    }
}

TEST_F(CommandsTest, TheSettingsDecideWhenNoBehaviourIsGiven) {
    records->settingsValue.parentCloseBehavior = ParentCloseBehavior::parentAndDescendants;
    EXPECT_EQ(idsOf(commands->planClose(tabs({"p"}), browser.windows).close), (std::vector<QString>{"p", "g"}));
    records.reset();  // the store is gone: nothing is protected, parents close alone
    EXPECT_EQ(idsOf(commands->planClose(tabs({"l"}), browser.windows).close), (std::vector<QString>{"l"}));
}

TEST_F(CommandsTest, ALockedTabNestedTwiceIsCountedOnce) {
    browser.windows = {window(1, {tab("a", 1, 1), tab("b", 1, 2, false, QStringLiteral("a")),
                                  tab("k", 1, 3, false, QStringLiteral("b"))})};
    records->bookValue.records.clear();
    records->bind(3, "k", true);
    const auto plan = commands->planClose({browser.windows[0].tabs[0], browser.windows[0].tabs[1]}, browser.windows,
                                          ParentCloseBehavior::parentAndDescendants);
    EXPECT_EQ(idsOf(plan.keptLocked), (std::vector<QString>{"k"}));
}

TEST_F(CommandsTest, TheBatchIsInTheHistoryBeforeTheBrowserIsAsked) {
    std::size_t batchesWhileClosing = 0;
    browser.onClose = [&](const std::vector<SafariTab> &closing) {
        batchesWhileClosing = records->history.batches.size();
        browser.removeTabs(closing);
    };
    const auto result = close({"p"}, ParentCloseBehavior::parentAndDescendants);
    EXPECT_EQ(batchesWhileClosing, 1u);
    EXPECT_EQ(result.closed, 2);
    EXPECT_EQ(result.keptLocked, 1);
    EXPECT_EQ(result.keptPinned, 1);
    ASSERT_TRUE(result.batch);
    EXPECT_EQ(records->history.batches.back(), *result.batch);
    ASSERT_EQ(result.batch->tabs.size(), 2u);
    EXPECT_EQ(result.batch->tabs[0].id, rid(1)) << "a bound tab is remembered under its record";
    EXPECT_EQ(result.batch->tabs[0].url, QStringLiteral("https://p.example/"));
    EXPECT_EQ(result.batch->tabs[1].parentID, std::nullopt) << "a tab without a record gets a fresh entry";
    EXPECT_EQ(result.batch->tabs[1].faviconHost, QStringLiteral("g.example"));
    EXPECT_EQ(result.batch->tabs[1].index, 4);
    EXPECT_EQ(records->bookWrites, 0) << "a close leaves the records to the next poll";
}

TEST_F(CommandsTest, NothingHappensForNothingToCloseOrProtectedTabs) {
    EXPECT_EQ(runToCompletion(scheduler, commands->closeTabs({}, browser.windows)), TabCommands::CloseResult{});
    const auto protectedOnly = close({"l", "c1"});
    EXPECT_EQ(protectedOnly, (TabCommands::CloseResult{0, 2, 0, std::nullopt}));
    browser.caps = BrowserCapabilities(0x2C3E3 & ~0x40);
    EXPECT_EQ(close({"x"}), TabCommands::CloseResult{});
    EXPECT_TRUE(browser.closeRequests.empty());
    EXPECT_EQ(records->historyWrites, 0);
}

TEST_F(CommandsTest, AFailedCloseTakesItsBatchBackOut) {
    for (int i = 0; i < 25; ++i) records->history.batches.push_back(ClosedTabBatch{.tabs = {ClosedTab{}}});
    const auto oldest = records->history.batches.front().id;
    browser.onClose = [](const std::vector<SafariTab> &) { throw SafariControllerError::safariNotRunning(); };
    browser.snapshotErrors.push_back(std::make_exception_ptr(SafariControllerError::safariNotRunning()));
    const auto result = close({"x"});
    EXPECT_EQ(result, (TabCommands::CloseResult{0, 0, 0, std::nullopt}));
    EXPECT_EQ(records->history.batches.size(), 24u) << "the trimmed oldest batch does not come back";
    EXPECT_NE(records->history.batches.front().id, oldest);
}

TEST_F(CommandsTest, APartialCloseKeepsWhatTheBrowserClosed) {
    browser.onClose = [&](const std::vector<SafariTab> &closing) {
        browser.removeTabs({closing.front()});
        throw SafariControllerError::automationFailure(QStringLiteral("timed out"));
    };
    const auto result = close({"p", "x"});
    ASSERT_TRUE(result.batch);
    EXPECT_EQ(result.closed, 1);
    ASSERT_EQ(result.batch->tabs.size(), 1u);
    EXPECT_EQ(result.batch->tabs[0].id, rid(1));
    ASSERT_EQ(records->history.batches.size(), 1u);
    EXPECT_EQ(records->history.batches[0], *result.batch);
}

TEST_F(CommandsTest, TheHistoryHoldsAtMost25Batches) {
    for (int i = 0; i < 26; ++i) {
        browser.windows[0].tabs.push_back(tab(QStringLiteral("n%1").arg(i), 1, 7 + i));
        EXPECT_TRUE(commands->rememberClose({browser.windows[0].tabs.back()}));
    }
    ASSERT_EQ(records->history.batches.size(), 25u);
    EXPECT_EQ(records->history.batches.front().tabs[0].title, QStringLiteral("n1"));
    records.reset();
    EXPECT_FALSE(commands->rememberClose({browser.windows[0].tabs.back()}));
}

}  // namespace
}  // namespace ondrake
