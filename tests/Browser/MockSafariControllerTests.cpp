#include "Async.h"
#include "Browser/MockSafariController.h"

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

SafariWindow win(std::int64_t id, std::initializer_list<const char *> ids) {
    SafariWindow w;
    w.safariID = id;
    w.index = 1;
    for (const auto *t : ids) {
        SafariTab tab;
        tab.id = t;
        tab.windowID = id;
        tab.index = std::int64_t(w.tabs.size()) + 1;
        tab.url = QUrl(QStringLiteral("https://%1.example/").arg(t));
        w.tabs.push_back(tab);
    }
    return w;
}

QStringList ids(const SafariWindow &w) {
    QStringList out;
    for (const auto &t : w.tabs) out << t.id;
    return out;
}

struct MockWorld {
    ManualScheduler scheduler;
    template<typename T>
    T run(QCoro::Task<T> task) {
        return runToCompletion(scheduler, std::move(task));
    }
    template<typename T>
    std::optional<SafariControllerError> errorOf(QCoro::Task<T> task) {
        try {
            run(std::move(task));
        } catch (const SafariControllerError &e) {
            return e;
        }
        return std::nullopt;
    }
};

TEST(MockSafariController, SnapshotFollowsTheBehaviourAndNothingElseDoes) {
    MockWorld m;
    const std::pair<MockSafariController::Behaviour, SafariControllerError> cases[] = {
        {MockSafariController::Behaviour::safariNotRunning, SafariControllerError::safariNotRunning()},
        {MockSafariController::Behaviour::permissionDenied, SafariControllerError::permissionDenied()},
    };
    for (const auto &[behaviour, error] : cases) {
        MockSafariController mock({}, {win(1, {"a", "b"})}, behaviour, {1});
        EXPECT_EQ(m.errorOf(mock.snapshot()), error);
        m.run(mock.closeTabs({mock.windows()[0].tabs[0]}));
        EXPECT_EQ(ids(mock.windows()[0]), QStringList{"b"});
        EXPECT_EQ(m.run(mock.isWindowZoomed(1)), true);
        EXPECT_EQ(m.run(mock.isWindowZoomed(2)), false);
    }
    MockSafariController normal(BrowserCapabilities::close, {win(1, {"a"})});
    EXPECT_EQ(m.run(normal.snapshot()), normal.windows());
    EXPECT_TRUE(normal.supports(BrowserCapabilities::close));
    EXPECT_FALSE(normal.supports(BrowserCapabilities::move));
}

TEST(MockSafariController, ClosingHandsChildrenUpAndRemovesEmptyWindows) {
    MockWorld m;
    auto w = win(1, {"a", "b", "c"});
    w.tabs[1].parentID = "a";
    w.tabs[2].parentID = "b";
    MockSafariController mock({}, {w, win(2, {"solo"})});
    auto stale = mock.windows()[0].tabs[1];
    stale.parentID.reset();  // the caller's copy may be out of date; the held parent counts
    m.run(mock.closeTabs({stale, mock.windows()[1].tabs[0], stale}));  // b twice: closed once
    ASSERT_EQ(mock.windows().size(), 1u);
    EXPECT_EQ(ids(mock.windows()[0]), (QStringList{"a", "c"}));
    EXPECT_EQ(mock.windows()[0].tabs[1].parentID, "a");
    EXPECT_EQ(mock.windows()[0].tabs[1].index, 2);
}

TEST(MockSafariController, Moves) {
    MockWorld m;
    MockSafariController mock({}, {win(1, {"1", "2", "3", "4", "5"})});
    m.run(mock.moveTabs({1, 5, 1, 2, "", 5, "5", QString("1")}));
    EXPECT_EQ(ids(mock.windows()[0]), (QStringList{"1", "5", "2", "3", "4"}));
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(mock.windows()[0].tabs[i].index, std::int64_t(i + 1));
    EXPECT_EQ(mock.windows()[0].tabs[1].parentID, "1");

    m.run(mock.moveTabs({1, 1, 2, 4, "ignored", 5, "1", {}}));
    EXPECT_EQ(ids(mock.windows()[0]), (QStringList{"2", "3", "4", "1", "5"}));

    const auto before = mock.windows();
    EXPECT_EQ(m.errorOf(mock.moveTabs({1, 1, 1, 2, "", 4, "2", {}})), SafariControllerError::tabNotFound());
    EXPECT_EQ(m.errorOf(mock.moveTabs({1, 5, 2, 1, "", 5, "2", {}})), SafariControllerError::tabNotFound());
    EXPECT_EQ(m.errorOf(mock.moveTabs({9, 1, 1, 2, "", 5, "2", {}})), SafariControllerError::windowNotFound());
    EXPECT_EQ(mock.windows(), before);
}

TEST(MockSafariController, ActivatesWithinItsWindowAndFrontsIt) {
    MockWorld m;
    auto one = win(1, {"a", "b"});
    one.tabs[0].isActive = true;
    auto two = win(2, {"c"});
    two.tabs[0].isActive = true;
    MockSafariController mock({}, {one, two});
    m.run(mock.activateTab(mock.windows()[0].tabs[1]));
    EXPECT_FALSE(mock.windows()[0].tabs[0].isActive);
    EXPECT_TRUE(mock.windows()[0].tabs[1].isActive);
    EXPECT_TRUE(mock.windows()[1].tabs[0].isActive);
    EXPECT_TRUE(mock.windows()[0].isFrontmost);
    EXPECT_FALSE(mock.windows()[1].isFrontmost);
    SafariTab ghost;
    ghost.id = "ghost";
    EXPECT_EQ(m.errorOf(mock.activateTab(ghost)), SafariControllerError::tabNotFound());
}

TEST(MockSafariController, OpensTabsWithUniqueIds) {
    MockWorld m;
    MockSafariController empty({}, {});
    EXPECT_EQ(m.errorOf(empty.openTab(QUrl("https://a.example/"), std::nullopt)), SafariControllerError::windowNotFound());
    EXPECT_EQ(empty.openedURLs(), (std::vector<std::optional<QUrl>>{QUrl("https://a.example/")}));

    auto w = win(7, {"a", "b", "c"});
    w.tabs[0].isActive = true;
    MockSafariController mock({}, {w});
    m.run(mock.openTab(QUrl("about:blank"), std::nullopt));
    const auto &tabs = mock.windows()[0].tabs;
    ASSERT_EQ(tabs.size(), 4u);
    EXPECT_EQ(tabs[3].id, "mock-new-4-7");
    EXPECT_EQ(tabs[3].title, "Untitled");
    EXPECT_EQ(tabs[3].index, 4);
    EXPECT_TRUE(tabs[3].isActive);
    EXPECT_FALSE(tabs[0].isActive);

    // Close one of the first three and open again: "mock-new-4-7" is taken, so the next is free.
    m.run(mock.closeTabs({mock.windows()[0].tabs[0]}));
    m.run(mock.openTab(QUrl("https://host.example/x"), 7));
    EXPECT_EQ(mock.windows()[0].tabs.back().id, "mock-new-5-7");
    EXPECT_EQ(mock.windows()[0].tabs.back().title, "host.example");
    EXPECT_EQ(mock.openedURLs().size(), 2u);
}

TEST(MockSafariController, TheRestAnswersQuietly) {
    MockWorld m;
    MockSafariController mock({}, {win(1, {"a"})});
    EXPECT_EQ(m.run(mock.reserveSpace(0, 100)), std::nullopt);
    EXPECT_EQ(m.run(mock.setLeftEdge(10)), std::nullopt);
    m.run(mock.restoreWindowBounds({}));
    EXPECT_TRUE(m.run(mock.takePendingLinkMoves()).empty());
    m.run(mock.addReadingListItem(QUrl("https://r.example/"), "R"));
    EXPECT_EQ(mock.readingList(), std::vector<QUrl>{QUrl("https://r.example/")});
    EXPECT_EQ(m.errorOf(mock.setMuted(true, mock.windows()[0].tabs[0])),
              SafariControllerError::unsupported(BrowserCapabilities(0x800)));
}

}  // namespace
