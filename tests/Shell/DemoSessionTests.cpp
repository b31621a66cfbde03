#include "../Browser/BrowserTestWorld.h"

#include "Browser/SafariController.h"

#include "DemoSession.h"

#include <QSet>
#include <QUrl>

#include <gtest/gtest.h>

namespace ondrake {
namespace {

TEST(DemoSession, ThreeWindowsOfOrdinaryBrowsingTheSameEveryTime) {
    const auto windows = DemoSession::windows();
    EXPECT_EQ(windows, DemoSession::windows());
    ASSERT_EQ(windows.size(), 3u);
    std::size_t tabs = 0;
    QSet<QString> urls;
    int duplicates = 0;
    for (const auto &w : windows) {
        tabs += w.tabs.size();
        EXPECT_GE(w.currentTab, 1);
        EXPECT_LE(w.currentTab, std::int64_t(w.tabs.size()));
        EXPECT_GE(w.bounds.right - w.bounds.left, SimulatedSafari::kMinimumWindowWidth);
        for (const auto &t : w.tabs) {
            if (urls.contains(t.url)) ++duplicates;
            urls.insert(t.url);
            EXPECT_TRUE(QUrl(t.url, QUrl::StrictMode).isValid()) << t.url.toStdString();
        }
    }
    EXPECT_GE(tabs + 1, 28u);
    EXPECT_LE(tabs + 1, 32u);
    EXPECT_GE(duplicates, 2);
}

TEST(DemoSession, TheLinkOpensInTheFirstWindowNestedUnderItsPageWhicheverWindowIsInFront) {
    // A window manager may bring up another window before the app has seen the session.
    for (const std::int64_t front : DemoSession::kWindowIDs) {
        SCOPED_TRACE(front);
        test::BrowserWorld world;
        world.safari.launch();
        DemoSession::seed(world.safari);
        ASSERT_TRUE(world.safari.bringToFront(front));
        SafariController controller(world.engine, world.scheduler, world.workspace);
        ASSERT_EQ(world.run(controller.snapshot()).size(), 3u);

        ASSERT_TRUE(DemoSession::openLinkFromPage(world.safari));
        EXPECT_FALSE(DemoSession::openLinkFromPage(world.safari));  // only once
        const auto windows = world.run(controller.snapshot());
        EXPECT_EQ(windows.front().safariID, front) << "the front window stays where it was";
        const auto first = std::find_if(windows.begin(), windows.end(), [](const SafariWindow &w) {
            return w.safariID == DemoSession::kWindowIDs[0];
        });
        ASSERT_NE(first, windows.end());
        const auto opener = first->activeTab();
        ASSERT_TRUE(opener);
        EXPECT_EQ(opener->title, QStringLiteral("Sky - Wikipedia"));
        const auto linked = std::find_if(first->tabs.begin(), first->tabs.end(), [](const SafariTab &t) {
            return t.url && t.url->toString() == DemoSession::linkedTab().url;
        });
        ASSERT_NE(linked, first->tabs.end());
        EXPECT_EQ(linked->index, opener->index + 1);
        EXPECT_FALSE(linked->isActive);
        EXPECT_EQ(linked->parentID, opener->id);
    }
}

}  // namespace
}  // namespace ondrake
