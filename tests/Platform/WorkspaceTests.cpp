#include "Workspace.h"

#include <gtest/gtest.h>

namespace ondrake {
namespace {

class ListedWorkspace final : public Workspace {
public:
    std::vector<RunningApplication> apps;

protected:
    std::vector<RunningApplication> listRunningApplications() const override { return apps; }
};

// The platform can still list an application a moment after it ended; every question about
// running applications must pass it over, or a quit browser would look alive.
TEST(Workspace, AnApplicationThatHasTerminatedNeverCountsAsRunning) {
    ListedWorkspace workspace;
    const QString browser = QStringLiteral("com.apple.Safari");
    const QString other = QStringLiteral("org.example.Editor");
    workspace.apps = {{browser, 10, true, true}, {other, 20, false, false}};

    EXPECT_TRUE(workspace.runningApplications(browser).empty());
    ASSERT_EQ(workspace.runningApplications().size(), 1u);
    EXPECT_EQ(workspace.runningApplications().front().processIdentifier, 20);
    EXPECT_FALSE(workspace.frontmostApplication()) << "the only active one has ended";

    workspace.apps.push_back({browser, 11, true, false});
    ASSERT_EQ(workspace.runningApplications(browser).size(), 1u);
    EXPECT_EQ(workspace.runningApplications(browser).front().processIdentifier, 11);
    EXPECT_EQ(workspace.frontmostApplication()->processIdentifier, 11);
}

}  // namespace
}  // namespace ondrake
