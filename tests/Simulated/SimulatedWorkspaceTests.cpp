#include "ManualScheduler.h"
#include "SimulatedWorkspace.h"

#include <QSignalSpy>
#include <QThread>

#include <thread>

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

TEST(SimulatedWorkspaceTest, LaunchActivateTerminate) {
    ManualScheduler s;
    SimulatedWorkspace w(s);
    QSignalSpy launched(&w, &Workspace::applicationLaunched);
    QSignalSpy activated(&w, &Workspace::applicationActivated);
    QSignalSpy terminated(&w, &Workspace::applicationTerminated);

    const auto safari = w.launch("com.apple.Safari");
    EXPECT_EQ(w.launch("com.apple.Safari"), safari);  // already running
    w.launch("com.ondrake.Ondrake");
    EXPECT_FALSE(w.frontmostApplication().has_value());
    EXPECT_EQ(launched.count(), 0);  // delivered through the main queue
    s.runUntilIdle();
    EXPECT_EQ(launched.count(), 2);

    EXPECT_TRUE(w.activate("com.apple.Safari"));
    EXPECT_TRUE(w.activate("com.ondrake.Ondrake"));
    EXPECT_FALSE(w.activate("org.example.None"));
    EXPECT_EQ(w.frontmostApplication()->bundleIdentifier, "com.ondrake.Ondrake");
    const auto safariNow = w.runningApplications("com.apple.Safari");
    ASSERT_EQ(safariNow.size(), 1u);
    EXPECT_FALSE(safariNow[0].isActive);
    EXPECT_EQ(safariNow[0].processIdentifier, safari);

    EXPECT_TRUE(w.terminate("com.apple.Safari"));
    EXPECT_FALSE(w.terminate("com.apple.Safari"));
    EXPECT_TRUE(w.runningApplications("com.apple.Safari").empty());
    s.runUntilIdle();
    ASSERT_EQ(activated.count(), 2);
    ASSERT_EQ(terminated.count(), 1);
    const auto ended = terminated.at(0).at(0).value<RunningApplication>();
    EXPECT_TRUE(ended.isTerminated);
    EXPECT_EQ(ended.processIdentifier, safari);
    EXPECT_NE(w.launch("com.apple.Safari"), safari);  // a relaunch is a new process
}

TEST(SimulatedWorkspaceTest, NotificationsPostedFromAnotherThreadArriveOnTheMainThread) {
    ManualScheduler s;
    SimulatedWorkspace w(s);
    std::vector<Qt::HANDLE> threads;
    QObject::connect(&w, &Workspace::applicationLaunched, [&] { threads.push_back(QThread::currentThreadId()); });
    std::thread other([&] { w.launch("com.apple.Safari"); });
    other.join();
    s.runUntilIdle();
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads[0], QThread::currentThreadId());
}

TEST(SimulatedWorkspaceTest, NotificationsQueuedBeforeDestructionAreDropped) {
    ManualScheduler s;
    {
        SimulatedWorkspace w(s);
        w.launch("com.apple.Safari");
    }
    s.runUntilIdle();  // must not touch the destroyed workspace
}

}  // namespace
