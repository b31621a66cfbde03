#include "BrowserTestWorld.h"

#include "Browser/AutomationPermission.h"

#include <gtest/gtest.h>

using namespace ondrake;
using namespace ondrake::test;
using Status = AutomationPermission::Status;

namespace {

struct PermissionWorld : BrowserWorld {
    UserDefaults defaults;
    AutomationPermission permission{workspace, privacy, defaults};
};

TEST(AutomationPermission, MapsThePlatformAnswer) {
    struct Case {
        std::int32_t answer;
        Status expected;
    };
    const Case cases[] = {{0, Status::granted},
                          {-600, Status::unavailable},
                          {-1743, Status::denied},
                          {-1744, Status::needsConsent},
                          {-1, Status::unavailable}};
    for (const auto &c : cases) {
        PermissionWorld world;
        world.safari.launch();
        world.privacy.setAutomationAnswer(c.answer);
        LogCapture logs;
        EXPECT_EQ(world.permission.status(false), c.expected) << c.answer;
        EXPECT_EQ(logs.contains("Unexpected permission status: -1"), c.answer == -1);
        ASSERT_EQ(world.privacy.automationQuestions().size(), 1u);
        EXPECT_EQ(world.privacy.automationQuestions()[0],
                  (SimulatedPrivacy::AutomationQuestion{{"com.apple.Safari"}, "****", "****", false}));
    }
}

TEST(AutomationPermission, DoesNotAskWhenSafariIsNotRunningOrHasNoAddress) {
    PermissionWorld world;
    EXPECT_EQ(world.permission.status(true), Status::unavailable);
    EXPECT_TRUE(world.privacy.automationQuestions().empty());
    world.safari.launch();
    world.privacy.setAddressFails(true);
    EXPECT_EQ(world.permission.status(true), Status::unavailable);
    EXPECT_TRUE(world.privacy.automationQuestions().empty());
}

TEST(AutomationPermission, PromptingPassesTheFlagAndTakesTheUsersAnswer) {
    PermissionWorld world;
    world.safari.launch();
    world.privacy.setAutomationAnswer(-1744);
    world.privacy.setConsentResponse(true);
    EXPECT_EQ(world.permission.status(false), Status::needsConsent);
    EXPECT_EQ(world.permission.status(true), Status::granted);
    EXPECT_TRUE(world.privacy.automationQuestions().back().askUserIfNeeded);
}

TEST(AutomationPermission, AccessibilityPromptsOnlyWhileUntrusted) {
    PermissionWorld world;
    world.privacy.setTrusted(true);
    EXPECT_TRUE(world.permission.requestAccessibility());
    EXPECT_FALSE(world.defaults.objectForKey("ImmersiveAccessibilityPrompted").has_value());
    EXPECT_EQ(world.privacy.accessibilityPromptCount(), 0);

    world.privacy.setTrusted(false);
    EXPECT_FALSE(world.permission.requestAccessibility());
    EXPECT_FALSE(world.permission.requestAccessibility());
    EXPECT_TRUE(world.defaults.boolForKey("ImmersiveAccessibilityPrompted"));
    EXPECT_EQ(world.privacy.accessibilityPromptCount(), 2);
}

TEST(AutomationPermission, SafariFrontmost) {
    PermissionWorld world;
    EXPECT_FALSE(world.permission.isSafariFrontmost());
    world.safari.launch();
    EXPECT_FALSE(world.permission.isSafariFrontmost());
    world.safari.activate();
    EXPECT_TRUE(world.permission.isSafariFrontmost());
    world.workspace.launch("com.ondrake.Ondrake");
    world.workspace.activate("com.ondrake.Ondrake");
    EXPECT_FALSE(world.permission.isSafariFrontmost());
}

}  // namespace
